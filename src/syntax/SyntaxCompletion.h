#pragma once
// Where in the parse tree a completion applies and which words it offers,
// with the working records of one completion search.

#include "kit/Types.h"
#include "syntax/SyntaxWord.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class SyntaxXMLNode;
class SyntaxStructure;
class StructureTreeNode;
class KELCompletion;

class SyntaxCompletion
{
public:
    SyntaxCompletion() = default;
    explicit SyntaxCompletion(const SyntaxXMLNode& node);
    ~SyntaxCompletion();
    static std::unique_ptr<SyntaxCompletion> completionWithNode(const SyntaxXMLNode& node)
    {
        return std::make_unique<SyntaxCompletion>(node);
    }

    using Structures = std::vector<std::unique_ptr<SyntaxStructure>>;
    const Structures& rootStructures() const { return m_rootStructures; }
    const Structures& matchStructures() const { return m_matchStructures; }
    const Structures& applyStructures() const { return m_applyStructures; }
    const QList<SyntaxWordRef>& applyWordRefs() const { return m_applyWordRefs; }
    const std::vector<std::unique_ptr<SyntaxCompletion>>& nestedCompletions() const { return m_nestedCompletions; }
    const QString& standard() const { return m_standard; }

    void setRootStructures(Structures s) { m_rootStructures = std::move(s); }
    void setMatchStructures(Structures s) { m_matchStructures = std::move(s); }
    void setApplyStructures(Structures s) { m_applyStructures = std::move(s); }
    void setApplyWordRefs(const QList<SyntaxWordRef>& refs) { m_applyWordRefs = refs; }
    void addNestedCompletion(std::unique_ptr<SyntaxCompletion> c) { m_nestedCompletions.push_back(std::move(c)); }
    void setStandard(const QString& s) { m_standard = s; }

    /// Appends the structure elements of a child to one of the lists.
    static void readStructuresFromNode(const SyntaxXMLNode& node, Structures& into);

private:
    Structures m_rootStructures;
    Structures m_matchStructures;
    Structures m_applyStructures;
    QList<SyntaxWordRef> m_applyWordRefs;
    std::vector<std::unique_ptr<SyntaxCompletion>> m_nestedCompletions;
    QString m_standard;
};

/// The search state of one completion during a pass.
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

/// The entries a colouring pass collected at the cursor.
class SyntaxCompletionResult
{
public:
    QList<std::shared_ptr<KELCompletion>>& completions() { return m_completions; }
    const QList<std::shared_ptr<KELCompletion>>& completions() const { return m_completions; }
    kit::Range maxCompletionRange() const { return m_maxCompletionRange; }
    void setMaxCompletionRange(kit::Range r) { m_maxCompletionRange = r; }

private:
    QList<std::shared_ptr<KELCompletion>> m_completions;
    kit::Range m_maxCompletionRange { kit::NotFound, 0 };
};
