#pragma once
// Where in the parse tree a completion applies and which words it offers.

#include "kit/Types.h"
#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxWordRef.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class SyntaxXMLNode;

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
