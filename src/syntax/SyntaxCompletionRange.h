#pragma once
// The search state of one completion during a colouring pass.

#include "kit/Types.h"

#include <QList>

class SyntaxCompletion;
class StructureTreeNode;

class SyntaxCompletionRange
{
public:
    explicit SyntaxCompletionRange(const SyntaxCompletion* c)
        : m_completion(c)
    {
    }
    static SyntaxCompletionRange completionRangeWithCompletion(const SyntaxCompletion* c)
    {
        return SyntaxCompletionRange(c);
    }

    const SyntaxCompletion* completion() const { return m_completion; }
    void setCompletion(const SyntaxCompletion* c) { m_completion = c; }
    bool valid() const { return m_valid; }
    void setValid(bool v) { m_valid = v; }
    kit::Range range() const { return m_range; }
    void setRange(kit::Range r) { m_range = r; }
    const QList<const StructureTreeNode*>& applyStructureTrees() const { return m_applyStructureTrees; }
    void addApplyStructureTree(const StructureTreeNode* node) { m_applyStructureTrees.append(node); }

private:
    const SyntaxCompletion* m_completion = nullptr;
    bool m_valid = false;
    kit::Range m_range { kit::NotFound, 0 };
    QList<const StructureTreeNode*> m_applyStructureTrees;
};
