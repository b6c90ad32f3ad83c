#pragma once
// Simple selectors written together without a combinator.

#include "css/KELParsedCSSSlabs.h"
#include "css/KELOwnedList.h"
#include "css/KELParsedCSSSimpleSelector.h"

#include <QList>
#include <QString>
#include <memory>

class KELParsedCSSSelectorSequence {
public:
    KEL_PARSED_CSS_SLABS(KELParsedCSSSelectorSequence)
    const QList<KELParsedCSSSimpleSelector*>& simpleSelectors() const { return m_selectors.items(); }
    KELParsedCSSSimpleSelector* addSimpleSelector(std::unique_ptr<KELParsedCSSSimpleSelector> s) { return m_selectors.add(std::move(s)); }
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }

private:
    KELOwnedList<KELParsedCSSSimpleSelector> m_selectors;
    bool m_valid = true;
};
