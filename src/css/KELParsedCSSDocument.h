#pragma once
// A parsed style sheet, or the body of an at-rule that holds rule sets.

#include "css/KELOwnedList.h"
#include "css/KELParsedCSSAtRule.h"
#include "css/KELParsedCSSRuleSet.h"

#include <QList>
#include <QString>
#include <memory>

class KELParsedCSSDocument {
public:
    const QList<KELParsedCSSAtRule*>& atRules() const { return m_atRules.items(); }
    const QList<KELParsedCSSRuleSet*>& ruleSets() const { return m_ruleSets.items(); }
    KELParsedCSSAtRule* addAtRule(std::unique_ptr<KELParsedCSSAtRule> rule) { return m_atRules.add(std::move(rule)); }
    KELParsedCSSRuleSet* addRuleSet(std::unique_ptr<KELParsedCSSRuleSet> set) { return m_ruleSets.add(std::move(set)); }

private:
    KELOwnedList<KELParsedCSSAtRule> m_atRules;
    KELOwnedList<KELParsedCSSRuleSet> m_ruleSets;
};
