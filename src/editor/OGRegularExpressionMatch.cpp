#include "editor/OGRegularExpressionMatch.h"

OGRegularExpressionMatch::OGRegularExpressionMatch(QString targetString, QList<kit::Range> groupRanges)
    : m_target(std::move(targetString)), m_ranges(std::move(groupRanges))
{
}

kit::Range OGRegularExpressionMatch::rangeOfSubstringAtIndex(qsizetype index) const
{
    if (index < 0 || index >= m_ranges.size())
        return kit::Range(kit::NotFound, 0);
    return m_ranges[index];
}

QString OGRegularExpressionMatch::substringAtIndex(qsizetype index) const
{
    const kit::Range r = rangeOfSubstringAtIndex(index);
    if (r.isNotFound())
        return QString();
    return m_target.mid(r.location, r.length);
}
