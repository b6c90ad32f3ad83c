#pragma once
// One match of a regular expression: the matched range and the ranges of its groups,
// in UTF-16 indexes of the searched text.

#include "kit/Types.h"

#include <QList>
#include <QString>

class OGRegularExpressionMatch {
public:
    OGRegularExpressionMatch() = default;
    OGRegularExpressionMatch(QString targetString, QList<kit::Range> groupRanges);

    /// The whole match.
    kit::Range rangeOfMatchedString() const { return rangeOfSubstringAtIndex(0); }
    QString matchedString() const { return substringAtIndex(0); }

    /// The number of ranges: the whole match plus one per group of the expression.
    qsizetype count() const { return m_ranges.size(); }

    /// The range of group `index` (0 is the whole match); {NotFound, 0} for a group
    /// that took no part in the match or an index beyond the groups.
    kit::Range rangeOfSubstringAtIndex(qsizetype index) const;
    /// The text of group `index`; a null string where the range is {NotFound, 0}.
    QString substringAtIndex(qsizetype index) const;

    /// The text that was searched.
    const QString& targetString() const { return m_target; }

private:
    QString m_target;
    QList<kit::Range> m_ranges;
};
