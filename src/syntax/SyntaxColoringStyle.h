#pragma once
// A colouring style of a syntax type: a list of rules, split into text rules
// (no structure paths) and the others.

#include "syntax/ColoringRuleRange.h"
#include "syntax/SyntaxColoringRule.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class SyntaxXMLNode;

class SyntaxColoringStyle
{
public:
    SyntaxColoringStyle() = default;
    /// Reads a style element. A rule element with fewer than two children is
    /// skipped and reported through `problems` (when given).
    explicit SyntaxColoringStyle(const SyntaxXMLNode& node, QStringList* problems = nullptr);

    const QString& name() const { return m_name; }
    bool defaultStyle() const { return m_defaultStyle; }
    const std::vector<std::unique_ptr<SyntaxColoringRule>>& rules() const { return m_rules; }
    const QList<SyntaxColoringRule*>& textRules() const { return m_textRules; }
    const QList<SyntaxColoringRule*>& nonTextRules() const { return m_nonTextRules; }
    /// One per non-text rule, in the same order; working state of the engine.
    std::vector<ColoringRuleRange>& coloringRuleRanges() const { return m_coloringRuleRanges; }
    QList<SyntaxColoringRule*> rulesWithName(const QString& name) const;

    /// Adds a rule (readers and tests).
    void addRule(std::unique_ptr<SyntaxColoringRule> rule);
    void setName(const QString& name) { m_name = name; }
    void setDefaultStyle(bool v) { m_defaultStyle = v; }

private:
    QString m_name;
    bool m_defaultStyle = false;
    std::vector<std::unique_ptr<SyntaxColoringRule>> m_rules;
    QList<SyntaxColoringRule*> m_textRules;
    QList<SyntaxColoringRule*> m_nonTextRules;
    mutable std::vector<ColoringRuleRange> m_coloringRuleRanges;
};
