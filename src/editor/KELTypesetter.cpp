#include "editor/KELTypesetter.h"

#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"

#include <QFontMetricsF>

using kit::Range;

qreal KELTypesetter::wrappedLineIndent(const kit::TextStorage* ts, Range paragraph, const QFont& font, qreal tabWidth,
                                       qreal containerWidth) const
{
    if (!m_indentWrapped || m_unit.isEmpty())
        return 0;
    qsizetype i = paragraph.location;
    qsizetype units = 0;
    const qsizetype limit = paragraph.end();
    while (i + m_unit.size() <= limit && ts->substring(Range(i, m_unit.size())) == m_unit) {
        i += m_unit.size();
        ++units;
    }
    if (units == 0)
        return 0;
    qreal width = 0;
    if (m_unit == QLatin1String("\t"))
        width = units * tabWidth;
    else
        width = QFontMetricsF(font).horizontalAdvance(ts->substring(Range(paragraph.location, i - paragraph.location)));
    if (width > 0 && width < 0.75 * containerWidth)
        return width;
    return 0;
}

bool KELTypesetter::shouldBreakLineByWordBeforeCharacterAtIndex(const kit::TextStorage* ts, qsizetype index) const
{
    if (!m_indentWrapped || m_unit.isEmpty())
        return true;
    const QChar indentChar = m_unit.at(0);
    qsizetype i = index - 1;
    while (i >= 0 && ts->characterAt(i) == indentChar)
        --i;
    if (i < 0)
        return false;
    if (!kit::TextStorage::isLineTerminator(ts->characterAt(i)))
        return true;
    return bool(KELTokenParser::tokenIdAt(ts, i));
}

Range KELTypesetter::typesetParagraphRangeForTextRange(const kit::TextStorage* ts, Range range) const
{
    if (range.length <= 0)
        return range;
    const qsizetype n = ts->length();
    qsizetype start = range.location;
    qsizetype end = range.end();
    while (start > 0 && KELTokenParser::tokenIdAt(ts, start - 1)) {
        Range tok;
        KELTokenParser::tokenIdAt(ts, start - 1, &tok);
        if (tok.location >= start)
            break;
        if (tok.length > LargeTokenLimit) {
            start = tok.end() > range.location ? tok.location : tok.end();
            break;
        }
        start = ts->paragraphRange(Range(tok.location, 0)).location;
    }
    while (end < n && end > 0 && KELTokenParser::tokenIdAt(ts, end - 1)) {
        Range tok;
        KELTokenParser::tokenIdAt(ts, end - 1, &tok);
        if (tok.length <= LargeTokenLimit) {
            if (tok.end() <= end && tok.end() != end)
                break;
            const qsizetype before = end;
            end = tok.end();
            if (end < n)
                end = ts->paragraphRange(Range(end, 0)).end();
            if (end <= before)
                break;
        } else {
            end = tok.location < range.end() ? tok.end() : tok.location;
            break;
        }
    }
    return Range(start, end - start);
}
