#include "html/TagEnclosure.h"

#include <algorithm>

TagEnclosure::TagEnclosure(TagEnclosure* parent)
    : m_parent(parent)
{
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
    const auto self = std::find_if(siblings.begin(), siblings.end(), [this](const auto& node) { return node.get() == this; });
    if (self == siblings.end())
        return;
    for (auto& child : m_enclosed)
        child->m_parent = m_parent;
    siblings.insert(std::next(self), std::make_move_iterator(m_enclosed.begin()), std::make_move_iterator(m_enclosed.end()));
    m_enclosed.clear();
}
