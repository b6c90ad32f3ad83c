#pragma once
// One selector of a selector group: its sequences in order (combinators are not kept).

#include "css/KELParsedCSSSlabs.h"
#include "css/KELOwnedList.h"
#include "css/KELParsedCSSSelectorSequence.h"

#include <QList>
#include <QString>
#include <memory>

class KELParsedCSSSelector {
public:
    KEL_PARSED_CSS_SLABS(KELParsedCSSSelector)
    const QList<KELParsedCSSSelectorSequence*>& sequences() const { return m_sequences.items(); }
    KELParsedCSSSelectorSequence* addSequence(std::unique_ptr<KELParsedCSSSelectorSequence> s) { return m_sequences.add(std::move(s)); }
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }

private:
    KELOwnedList<KELParsedCSSSelectorSequence> m_sequences;
    bool m_valid = true;
};
