#pragma once
// One node of the nesting tree of parsed tags: an opening tag, its closing tag and
// the nodes between them. A node owns its children; the root has no tag.

#include "html/TagInstance.h"

#include <memory>
#include <vector>

class TagEnclosure {
public:
    /// The parent is not owned; null makes a root.
    explicit TagEnclosure(TagEnclosure* parent = nullptr);
    ~TagEnclosure();
    TagEnclosure(const TagEnclosure&) = delete;
    TagEnclosure& operator=(const TagEnclosure&) = delete;

    TagEnclosure* parent() const { return m_parent; }

    const std::shared_ptr<TagInstance>& tag() const { return m_tag; }
    void setTag(std::shared_ptr<TagInstance> tag) { m_tag = std::move(tag); }
    const std::shared_ptr<TagInstance>& closeTag() const { return m_closeTag; }
    void setCloseTag(std::shared_ptr<TagInstance> tag) { m_closeTag = std::move(tag); }

    /// The children in text order.
    const std::vector<std::unique_ptr<TagEnclosure>>& enclosed() const { return m_enclosed; }
    /// Appends a child (made with this node as its parent) and answers it.
    TagEnclosure* addEnclosed(std::unique_ptr<TagEnclosure> child);

    /// Moves the children up one level, right after this node and in their order, so
    /// that a tag without a closing tag ends up a leaf. Nothing happens for a root,
    /// or for a node its parent does not hold.
    void shiftEnclosedObjectsToParent();

private:
    TagEnclosure* m_parent = nullptr;
    std::shared_ptr<TagInstance> m_tag;
    std::shared_ptr<TagInstance> m_closeTag;
    std::vector<std::unique_ptr<TagEnclosure>> m_enclosed;
};
