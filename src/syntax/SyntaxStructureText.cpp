#include "syntax/SyntaxStructureText.h"

#include "syntax/SyntaxXML.h"

namespace {

quint64 readCount(const QString& text, quint64 fallback)
{
    if (text.isNull())
        return fallback;
    if (text == QLatin1String("unlimited"))
        return SyntaxUnlimited;
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < 0)
        return fallback;
    return quint64(v);
}

QStringList lowered(const QStringList& values)
{
    QStringList out;
    out.reserve(values.size());
    for (const QString& v : values) {
        QString l = v;
        for (QChar& c : l)
            c = c.toLower();
        out.append(l);
    }
    return out;
}

} // namespace

SyntaxStructureText::SyntaxStructureText(const SyntaxXMLNode& node)
{
    const QString escape = node.valueForAttribute("escapeChar");
    if (!escape.isEmpty())
        m_escapeChar = escape.at(0).unicode();
    m_minCharLength = readCount(node.valueForAttribute("minLength"), 1);
    m_maxCharLength = readCount(node.valueForAttribute("maxLength"), SyntaxUnlimited);
    m_matchOutsideRange = node.valueForAttribute("matchOutside") == QLatin1String("true");
    m_hereDocumentEnd = node.valueForAttribute("hereDocumentEnd") == QLatin1String("true");
    for (const SyntaxXMLNode& child : node.childNodes()) {
        const QString name = child.nodeName();
        if (name == QLatin1String("characterSet"))
            m_characters = readCharacterSetNode(child);
        else if (name == QLatin1String("values"))
            setValues(readValuesNode(child));
        else if (name == QLatin1String("exclude"))
            setExcludeValues(readValuesNode(child));
        else if (name == QLatin1String("endOfContents"))
            m_endOfContents = true;
    }
    updateEdgeFilters();
}

QStringList SyntaxStructureText::readValuesNode(const SyntaxXMLNode& node)
{
    QStringList values;
    for (const SyntaxXMLNode& child : node.childNodes()) {
        const QString text = child.contents();
        values.append(text.isNull() ? QString(QLatin1String("")) : text);
    }
    return values;
}

SyntaxCharacterSet SyntaxStructureText::readCharacterSetNode(const SyntaxXMLNode& node)
{
    return SyntaxCharacterSet::fromNode(node);
}

void SyntaxStructureText::setValues(std::optional<QStringList> values)
{
    m_values = std::move(values);
    m_loweredValues = m_values ? lowered(*m_values) : QStringList();
    m_valueIndex.build(m_loweredValues);
    updateEdgeFilters();
}

namespace {

// The slot of a text character: its lower case as the values are compared.
size_t slotOf(char16_t c)
{
    const char16_t lower = c < 128 ? (c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) : QChar(c).toLower().unicode();
    return lower < 128 ? lower : 128;
}

} // namespace

void SyntaxStructureText::ValueIndex::build(const QStringList& lowered, bool byLast)
{
    offsets.clear();
    items.clear();
    // A short list is as quickly scanned whole.
    if (lowered.size() < 4)
        return;
    std::vector<std::vector<quint32>> slots(Slots);
    for (qsizetype k = 0; k < lowered.size(); ++k) {
        const QString& v = lowered[k];
        if (v.isEmpty()) {
            for (auto& slot : slots)
                slot.push_back(quint32(k));
            continue;
        }
        const char16_t c = (byLast ? v.back() : v.front()).unicode();
        slots[c < 128 ? c : 128].push_back(quint32(k));
    }
    offsets.reserve(Slots + 1);
    for (const auto& slot : slots) {
        offsets.push_back(quint32(items.size()));
        items.insert(items.end(), slot.begin(), slot.end());
    }
    offsets.push_back(quint32(items.size()));
}

void SyntaxStructureText::ValueIndexes::build(const QStringList& lowered)
{
    byFirst.build(lowered, false);
    byLast.build(lowered, true);
}

void SyntaxStructureText::updateEdgeFilters()
{
    m_first = EdgeFilter();
    m_last = EdgeFilter();
    // Matches found elsewhere than at the range's edge, or that may be empty, have
    // no first or last character to test.
    if (m_matchOutsideRange || m_hereDocumentEnd || (!m_values && !m_characters))
        return;
    if (m_characters && m_minCharLength == 0)
        return;
    if (m_values) {
        for (const QString& v : std::as_const(m_loweredValues)) {
            if (v.isEmpty())
                return;
            // Values compare lower-cased: an ASCII letter matches in either case. An
            // ASCII character never lower-cases to a character outside ASCII.
            const char16_t first = v.front().unicode();
            const char16_t last = v.back().unicode();
            if (first < 128) {
                m_first.add(first);
                m_first.add(QChar(first).toUpper().unicode());
            }
            if (last < 128) {
                m_last.add(last);
                m_last.add(QChar(last).toUpper().unicode());
            }
        }
    }
    if (m_characters) {
        for (char16_t c = 0; c < 128; ++c) {
            if (m_characters->contains(c)) {
                m_first.add(c);
                m_last.add(c);
            }
        }
    }
    m_first.active = true;
    m_last.active = true;
}

void SyntaxStructureText::setExcludeValues(std::optional<QStringList> values)
{
    m_excludeValues = std::move(values);
    m_loweredExcludes = m_excludeValues ? lowered(*m_excludeValues) : QStringList();
    m_excludeIndex.build(m_loweredExcludes);
}

qsizetype SyntaxStructureText::maxLength() const
{
    if (m_values) {
        qsizetype longest = 0;
        for (const QString& v : *m_values)
            longest = std::max(longest, v.size());
        return longest;
    }
    if (m_maxCharLength == SyntaxUnlimited)
        return 500;
    return qsizetype(std::min<quint64>(m_maxCharLength, quint64(std::numeric_limits<qsizetype>::max())));
}

qsizetype SyntaxStructureText::matchValues(const SyntaxText& s, kit::Range range, const QStringList& list,
    bool atEnd, const ValueIndexes* index) const
{
    if (list.isEmpty())
        return kit::NotFound;
    // Only the values whose edge character is the text's can match.
    const ValueIndex* byEdge = index ? (atEnd ? &index->byLast : &index->byFirst) : nullptr;
    const quint32* item = nullptr;
    const quint32* itemsEnd = nullptr;
    if (byEdge && !byEdge->offsets.empty() && range.length > 0) {
        const size_t slot = slotOf(s.at(atEnd ? range.end() - 1 : range.location).unicode());
        item = byEdge->items.data() + byEdge->offsets[slot];
        itemsEnd = byEdge->items.data() + byEdge->offsets[slot + 1];
    }
    qsizetype best = kit::NotFound;
    for (qsizetype k = 0;; ++k) {
        if (item) {
            if (item == itemsEnd)
                break;
            k = qsizetype(*item++);
        } else if (k >= list.size()) {
            break;
        }
        const QString& value = list[k];
        const qsizetype len = value.size();
        if (len > range.length)
            continue;
        if (best != kit::NotFound && len <= best)
            continue; // longest wins; of equal lengths the first listed
        const qsizetype start = atEnd ? range.end() - len : range.location;
        const QChar* v = value.constData();
        bool equal = true;
        for (qsizetype j = 0; j < len; ++j) {
            const char16_t c = s.at(start + j).unicode();
            const char16_t lower = c < 128 ? (c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) : QChar(c).toLower().unicode();
            if (lower != v[j].unicode()) {
                equal = false;
                break;
            }
        }
        if (equal)
            best = len;
    }
    if (best == kit::NotFound || m_escapeChar == 0)
        return best;
    // An odd run of escape characters right before the match cancels it. The run
    // is counted before where the match begins, whichever way it was anchored.
    const qsizetype matchStart = atEnd ? range.end() - best : range.location;
    qsizetype count = 0;
    for (qsizetype k = matchStart - 1; k >= 0 && s.at(k).unicode() == m_escapeChar; --k)
        ++count;
    return (count % 2) ? kit::NotFound : best;
}

qsizetype SyntaxStructureText::longestMatchInString(
    const SyntaxText& string, kit::Range range, const QStringList& list, bool atEnd) const
{
    const qsizetype n = string.size();
    if (range.location < 0 || range.location > n)
        return kit::NotFound;
    range.length = std::clamp<qsizetype>(range.length, 0, n - range.location);
    return matchValues(string, range, lowered(list), atEnd);
}

namespace {

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.unicode() >= 0x80;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

qsizetype SyntaxStructureText::matchHereDocumentEnd(const SyntaxText& string, kit::Range range, bool atEnd) const
{
    // Only as an end text: the closing name ends exactly at the range's end.
    if (!atEnd || range.length <= 0)
        return kit::NotFound;
    const qsizetype n = string.size();
    const qsizetype end = range.end();
    if (end < n && isNameCharacter(string.at(end)))
        return kit::NotFound;
    qsizetype nameStart = end;
    while (nameStart > range.location && isNameCharacter(string.at(nameStart - 1)))
        --nameStart;
    if (nameStart == end)
        return kit::NotFound;
    qsizetype lineStart = nameStart;
    while (lineStart > range.location && isBlank(string.at(lineStart - 1)))
        --lineStart;
    if (lineStart == range.location || (string.at(lineStart - 1) != u'\n' && string.at(lineStart - 1) != u'\r'))
        return kit::NotFound;
    // The name the document was opened with ("<<<EOT", "<<<\"EOT\"", "<<<'EOT'").
    // Sought from the closing line, since a pass may resume inside the body.
    const qsizetype opener = string.lastIndexOf(u"<<<", lineStart - 1);
    if (opener < 0)
        return kit::NotFound;
    qsizetype k = opener + 3;
    while (k < lineStart && isBlank(string.at(k)))
        ++k;
    if (k < lineStart && (string.at(k) == u'"' || string.at(k) == u'\''))
        ++k;
    const qsizetype openerName = k;
    while (k < lineStart && isNameCharacter(string.at(k)))
        ++k;
    if (k == openerName || k - openerName != end - nameStart)
        return kit::NotFound;
    for (qsizetype j = 0; j < k - openerName; ++j)
        if (string.at(openerName + j) != string.at(nameStart + j))
            return kit::NotFound;
    return end - (lineStart - 1);
}

qsizetype SyntaxStructureText::fullMatchInString(const SyntaxText& string, kit::Range range, bool atEnd) const
{
    const qsizetype n = string.size();
    if (range.location < 0 || range.location > n)
        return kit::NotFound;
    range.length = std::clamp<qsizetype>(range.length, 0, n - range.location);
    if (m_hereDocumentEnd)
        return matchHereDocumentEnd(string, range, atEnd);
    // Every match is at least one character long when the edge filters are on;
    // the caller has tested the edge character.
    if (m_first.active && range.length == 0)
        return kit::NotFound;
    // Looking outside the range turns the anchor around: after the range's end
    // forwards, or before its start backwards.
    if (m_matchOutsideRange) {
        if (atEnd) {
            range = kit::Range(range.end(), n - range.end());
            atEnd = false;
        } else {
            range = kit::Range(0, range.location);
            atEnd = true;
        }
    }
    const SyntaxText& s = string;
    if (m_excludeValues && matchValues(s, range, m_loweredExcludes, atEnd, &m_excludeIndex) != kit::NotFound)
        return kit::NotFound;
    if (m_values) {
        const qsizetype found = matchValues(s, range, m_loweredValues, atEnd, &m_valueIndex);
        if (found != kit::NotFound)
            return found;
        if (!m_characters)
            return kit::NotFound;
    }
    if (!m_characters)
        return m_minCharLength == 0 ? 0 : kit::NotFound;
    quint64 count = 0;
    const SyntaxCharacterSet& set = *m_characters;
    if (atEnd) {
        for (qsizetype k = range.end() - 1; k >= range.location; --k) {
            if (m_maxCharLength != SyntaxUnlimited && count >= m_maxCharLength)
                break;
            if (!set.contains(s.at(k).unicode()))
                break;
            ++count;
        }
    } else {
        for (qsizetype k = range.location; k < range.end(); ++k) {
            if (m_maxCharLength != SyntaxUnlimited && count >= m_maxCharLength)
                break;
            if (!set.contains(s.at(k).unicode()))
                break;
            ++count;
        }
    }
    if (count < m_minCharLength)
        return kit::NotFound;
    return qsizetype(count);
}
