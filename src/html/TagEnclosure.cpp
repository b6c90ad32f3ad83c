#include "html/TagEnclosure.h"

#include <algorithm>

TagEnclosure::TagEnclosure(TagEnclosure* parent)
    : m_parent(parent)
{
}

TagEnclosure::~TagEnclosure()
{
    // Let go of the subtree one node at a time rather than one call level per
    // tree level, so that a page nested very deeply cannot exhaust the stack.
    std::vector<std::unique_ptr<TagEnclosure>> pending = std::move(m_enclosed);
    while (!pending.empty()) {
        std::unique_ptr<TagEnclosure> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->m_enclosed)
            pending.push_back(std::move(child));
        node->m_enclosed.clear();
    }
}

TagEnclosure* TagEnclosure::addEnclosed(std::unique_ptr<TagEnclosure> child)
{
    m_enclosed.push_back(std::move(child));
    return m_enclosed.back().get();
}

void TagEnclosure::shiftEnclosedObjectsToParent()
{
    if (!m_parent || m_enclosed.empty())
        return;
    auto& siblings = m_parent->m_enclosed;
    // Searched from the back: a node still open when its tags are shifted is its parent's last child.
    const auto found = std::find_if(siblings.rbegin(), siblings.rend(), [this](const auto& node) { return node.get() == this; });
    if (found == siblings.rend())
        return;
    const auto self = std::prev(found.base());
    for (auto& child : m_enclosed)
        child->m_parent = m_parent;
    siblings.insert(std::next(self), std::make_move_iterator(m_enclosed.begin()), std::make_move_iterator(m_enclosed.end()));
    std::vector<std::unique_ptr<TagEnclosure>>().swap(m_enclosed); // no capacity kept for children it no longer has
}
