#include "html/TagReader.h"

#include <QSet>

namespace {

bool isBlank(QChar c)
{
    return c.isSpace();
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

} // namespace

qsizetype TagReader::indexAfterPHPClose(qsizetype from, qsizetype last, const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String("?>"), from);
    return at >= 0 && at + 1 <= last ? at + 2 : last + 1;
}

qsizetype TagReader::scanTag(qsizetype s, qsizetype e, const QString& text, TagScan& scan, bool* complete)
{
    if (complete)
        *complete = false;
    const qsizetype lastIndex = qMin(e, text.size() - 1);
    if (s >= lastIndex)
        return qMax(s, lastIndex);

    // The tag's end, past quoted parts and embedded PHP blocks.
    qsizetype g = -1;
    QChar quote;
    qsizetype i = s + 1;
    while (i <= lastIndex) {
        const QChar c = text.at(i);
        if (c == u'<' && i + 1 <= lastIndex && text.at(i + 1) == u'?') {
            const qsizetype after = indexAfterPHPClose(i + 1, e, text);
            if (after > lastIndex)
                return lastIndex;
            i = after;
            continue;
        }
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (isQuote(c)) {
            quote = c;
        } else if (c == u'>') {
            g = i;
            break;
        } else if (c == u'<') {
            return i - 1;
        }
        if (i == lastIndex)
            return i;
        ++i;
    }
    if (g < 0)
        return lastIndex;

    // Name, kind and extent.
    const bool isClose = text.at(s + 1) == u'/';
    scan.isCloseTag = isClose;
    scan.location = kit::Range(s, g - s + 1);
    scan.attributes.clear();
    qsizetype nameEnd = s;
    while (nameEnd < g && !isBlank(text.at(nameEnd)))
        ++nameEnd;
    qsizetype attributeEnd = g;
    const bool xhtml = !isClose && g - 1 > s && text.at(g - 1) == u'/';
    scan.isXHTMLCloseTag = xhtml;
    if (xhtml) {
        attributeEnd = g - 1;
        if (nameEnd > attributeEnd)
            nameEnd = attributeEnd;
    }
    const qsizetype nameStart = qMin(s + (isClose ? 2 : 1), nameEnd);
    scan.nameRange = kit::Range(nameStart, nameEnd - nameStart);
    const qsizetype result = xhtml ? g - 1 : g;

    // Attributes.
    qsizetype p = nameEnd + 1;
    while (p < attributeEnd) {
        while (p < attributeEnd && isBlank(text.at(p)))
            ++p;
        const qsizetype ns = p;
        while (p < attributeEnd && text.at(p) != u'=' && !isBlank(text.at(p)))
            ++p;
        const kit::Range name(ns, p - ns);
        // Blanks may stand on either side of "=" ("href = 'x'").
        qsizetype equals = p;
        while (equals < attributeEnd && isBlank(text.at(equals)))
            ++equals;
        if (equals > p && ns < p && equals < attributeEnd && text.at(equals) == u'=')
            p = equals;
        qsizetype valueStart, valueEnd, stop, start;
        if (p < attributeEnd && text.at(p) == u'=') {
            qsizetype q = p + 1;
            while (q < attributeEnd && isBlank(text.at(q)))
                ++q;
            if (q == attributeEnd)
                q = p + 1; // "name=" with nothing after it: an empty value
            QChar open;
            if (q < attributeEnd && isQuote(text.at(q))) {
                open = text.at(q);
                ++q;
            }
            valueStart = q;
            while (q < attributeEnd) {
                const QChar c = text.at(q);
                if (!open.isNull()) {
                    if (c == open)
                        open = QChar();
                } else if (isBlank(c)) {
                    break;
                } else if (isQuote(c)) {
                    open = c;
                }
                ++q;
            }
            stop = q;
            valueEnd = stop - 1 >= valueStart && isQuote(text.at(stop - 1)) ? stop - 1 : stop;
            start = valueStart;
        } else {
            valueStart = valueEnd = stop = p;
            start = ns;
        }
        if (start < attributeEnd)
            scan.attributes.push_back({ name, kit::Range(valueStart, valueEnd - valueStart) });
        p = stop + 1;
    }

    if (complete)
        *complete = true;
    return result;
}

qsizetype TagReader::readTag(qsizetype s, qsizetype e, TagInstance& tag, const QString& text, bool* complete,
    const AttributeRead& attributeRead)
{
    if (complete)
        *complete = false;
    TagScan scan;
    bool scanned = false;
    const qsizetype result = scanTag(s, e, text, scan, &scanned);
    if (!scanned)
        return result;
    const qsizetype before = tag.attributes().size();
    fillTag(scan, lowerCaseName(QStringView(text).mid(scan.nameRange.location, scan.nameRange.length)), text, tag);
    if (attributeRead) {
        for (size_t k = 0; k < scan.attributes.size(); ++k)
            attributeRead(tag.attributes().at(before + qsizetype(k)), scan.attributes[k].value);
    }
    if (complete)
        *complete = true;
    return result;
}

void TagReader::fillTag(const TagScan& scan, const QString& lowerCaseName, const QString& text, TagInstance& tag)
{
    tag.setIsCloseTag(scan.isCloseTag);
    tag.setLocation(scan.location);
    if (scan.isXHTMLCloseTag)
        tag.setIsXHTMLCloseTag(true);
    tag.setNameRange(scan.nameRange);
    tag.setName(lowerCaseName);
    QStringList names = tag.attributes();
    QStringList values = tag.values();
    names.reserve(names.size() + qsizetype(scan.attributes.size()));
    values.reserve(values.size() + qsizetype(scan.attributes.size()));
    for (const TagScan::Attribute& attribute : scan.attributes) {
        names.append(text.mid(attribute.name.location, attribute.name.length));
        values.append(text.mid(attribute.value.location, attribute.value.length));
    }
    tag.setAttributes(names);
    tag.setValues(values);
}

QString TagReader::lowerCaseName(QStringView name)
{
    // Bounded, so that a text of endless made-up names cannot grow it without end.
    constexpr qsizetype mostNames = 4096;
    thread_local QSet<QString> known;
    const LowerCaseView lower(name);
    const QStringView view = lower.view();
    if (!lower.isShortASCII())
        return view.toString();
    // A key over the buffer for the look-up only; what is kept owns its characters.
    const QString key = QString::fromRawData(reinterpret_cast<const QChar*>(view.data()), view.size());
    const auto found = known.constFind(key);
    if (found != known.constEnd())
        return *found;
    QString owned = view.toString();
    if (known.size() < mostNames)
        known.insert(owned);
    return owned;
}

LowerCaseView::LowerCaseView(QStringView name)
{
    bool ascii = name.size() <= Capacity;
    for (qsizetype i = 0; ascii && i < name.size(); ++i)
        ascii = name[i].unicode() < 0x80;
    if (!ascii) {
        m_shortASCII = false;
        m_string = name.toString().toLower();
        m_view = m_string;
        return;
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        m_buffer[i] = c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
    }
    m_view = QStringView(m_buffer, name.size());
}

std::shared_ptr<TagInstance> TagReader::tagInRange(kit::Range range, const QString& text)
{
    if (range.isNotFound() || range.length < 2 || range.end() > text.size())
        return nullptr;
    if (text.at(range.location) != u'<' || text.at(range.end() - 1) != u'>')
        return nullptr;
    auto tag = std::make_shared<TagInstance>();
    readTag(range.location, range.end() - 1, *tag, text, nullptr);
    return tag;
}
