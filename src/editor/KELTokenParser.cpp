#include "editor/KELTokenParser.h"

#include "kit/text/TextStorage.h"

#include <QCursor>
#include <algorithm>

using kit::Range;
using kit::TextStorage;

KELTokenParser& KELTokenParser::sharedTokenParser()
{
    static KELTokenParser parser;
    return parser;
}

KELTokenParser::KELTokenParser() : m_extraNameCharacters(QStringLiteral("_-. ()*&$!@%^{}[]=+\\|/?")) {}

bool KELTokenParser::isTokenNameCharacter(QChar c) const
{
    if (c.isSurrogate())
        return false;
    if (c.isLetterOrNumber() || c.isMark())
        return true;
    return m_extraNameCharacters.contains(c);
}

KELTokenIdRef KELTokenParser::tokenIdAt(const TextStorage* ts, qsizetype index, Range* run)
{
    const QVariant v = ts->attribute(KELTokenIdAttributeName, index, run);
    return v.isValid() ? v.value<KELTokenIdRef>() : KELTokenIdRef();
}

int KELTokenParser::tokenTypeAt(const TextStorage* ts, qsizetype index)
{
    const QVariant v = ts->attribute(KELTokenTypeAttributeName, index);
    return v.isValid() ? v.toInt() : 0;
}

std::optional<QString> KELTokenParser::tokenNameInTextStorage(const TextStorage* ts, qsizetype index) const
{
    const qsizetype n = ts->length();
    if (index < 0 || index + 1 >= n || ts->characterAt(index) != QLatin1Char('<') || ts->characterAt(index + 1) != QLatin1Char('#'))
        return std::nullopt;
    qsizetype j = index + 2;
    while (j < n && isTokenNameCharacter(ts->characterAt(j)))
        ++j;
    return ts->substring(Range(index + 2, j - index - 2));
}

void KELTokenParser::textStorageDidProcessEditing(TextStorage* ts)
{
    if (ts->editedMask() & kit::TextStorageEditedCharacters)
        tokenizeTextStorage(ts, ts->editedRange());
}

void KELTokenParser::tokenizeTextStorage(TextStorage* ts, Range range)
{
    const qsizetype n = ts->length();
    if (range.location == kit::NotFound || range.location > n)
        return;
    range = Range::intersection(range, Range(0, n));
    // Widen over tokens that the edit damaged or touches.
    if (range.location > 0) {
        Range run;
        ts->attribute(KELTokenIdAttributeName, range.location - 1, &run, Range(0, range.location));
        const KELTokenIdRef id = tokenIdAt(ts, range.location - 1);
        if (id && qsizetype(id->length()) != run.length)
            range = Range::unionOf(range, run);
    }
    const qsizetype end = range.end();
    if (end < n) {
        Range run;
        const KELTokenIdRef id = tokenIdAt(ts, end, &run);
        if (id && (qsizetype(id->length()) != run.length || run.location < end))
            range = Range::unionOf(range, run);
    }
    ts->beginEditing();
    clearTokenAttributes(ts, range);
    // Scan a copy of the range only: the whole text may be huge and typing keeps a gap in it.
    const qsizetype base = range.location;
    QString copy;
    QStringView s;
    if (range.length > 65536) {
        s = ts->stringView(range); // loading a file: no copy of it
    } else {
        copy = ts->substring(range);
        s = QStringView(copy);
    }
    const qsizetype stop = range.end();
    qsizetype i = range.location;
    while (i < stop) {
        const qsizetype found = s.mid(i - base, stop - i).indexOf(u"<#");
        if (found < 0)
            break;
        const qsizetype p = i + found;
        if (p + 2 >= stop)
            break;
        qsizetype j = p + 2;
        while (j < stop && isTokenNameCharacter(s.at(j - base)))
            ++j;
        if (j >= stop || j >= stop - 1)
            break;
        if (s.at(j - base) == QLatin1Char('#') && s.at(j + 1 - base) == QLatin1Char('>')) {
            setTokenType(KELTokenTypePlaceholder, ts, Range(p, j + 2 - p));
            i = j + 2;
        } else {
            i = j;
        }
    }
    ts->endEditing();
}

void KELTokenParser::tokenizeUntokenizedText(TextStorage* ts)
{
    const qsizetype n = ts->length();
    if (n < 4)
        return;
    // One pass over the text without a copy: a large page without placeholders costs one
    // search for "<#"; attributes are touched only where a placeholder is found.
    const QStringView s = ts->stringView(Range(0, n));
    bool editing = false;
    qsizetype i = 0;
    while (i < n) {
        // '#' is far rarer than '<' in a page, and a one-character search is the fastest.
        qsizetype hash = s.indexOf(QLatin1Char('#'), i + 1);
        while (hash > 0 && s.at(hash - 1) != QLatin1Char('<'))
            hash = s.indexOf(QLatin1Char('#'), hash + 1);
        if (hash < 0)
            break;
        const qsizetype p = hash - 1;
        if (p + 3 >= n)
            break;
        qsizetype j = p + 2;
        while (j < n && isTokenNameCharacter(s.at(j)))
            ++j;
        if (j + 1 >= n)
            break;
        if (s.at(j) != QLatin1Char('#') || s.at(j + 1) != QLatin1Char('>')) {
            i = j;
            continue;
        }
        const Range placeholder(p, j + 2 - p);
        Range run;
        // Inside or over a token (a saved fold) already: left as it is.
        ts->attribute(KELTokenIdAttributeName, p, &run, placeholder);
        if (tokenIdAt(ts, p) || run.end() < placeholder.end()) {
            i = j + 2;
            continue;
        }
        if (!editing) {
            ts->beginEditing();
            editing = true;
        }
        setTokenType(KELTokenTypePlaceholder, ts, placeholder);
        i = j + 2;
    }
    if (editing)
        ts->endEditing();
}

qsizetype KELTokenParser::countNewLines(const TextStorage* ts, Range range)
{
    const qsizetype end = range.end();
    qsizetype pos = range.location;
    qsizetype count = 0;
    while (pos < end) {
        const Range line = ts->lineRange(Range(pos, 0));
        const qsizetype lineEnd = line.end();
        if (lineEnd <= pos)
            break;
        if (lineEnd < end) {
            ++count;
            pos = lineEnd;
        } else {
            if (lineEnd == end)
                ++count;
            break;
        }
    }
    return count;
}

void KELTokenParser::setTokenType(int type, TextStorage* ts, Range range)
{
    range = Range::intersection(range, Range(0, ts->length()));
    if (range.length <= 0)
        return;
    const qsizetype loc = range.location;
    const qsizetype end = range.end();
    ts->beginEditing();
    // Dissolve tokens that the new range would cut at either boundary.
    if (loc > 0) {
        Range run;
        ts->attribute(KELTokenIdAttributeName, loc - 1, &run, Range(loc - 1, 2));
        if (tokenIdAt(ts, loc - 1) && run.length == 2)
            removeTokenType(tokenTypeAt(ts, loc - 1), ts, run);
    }
    if (end < ts->length()) {
        Range run;
        ts->attribute(KELTokenIdAttributeName, end - 1, &run, Range(end - 1, 2));
        if (tokenIdAt(ts, end - 1) && run.length == 2)
            removeTokenType(tokenTypeAt(ts, end), ts, run);
    }
    const qsizetype newLines = countNewLines(ts, range);
    ts->addAttribute(KELTokenTypeAttributeName, type, range);
    ts->addAttribute(KELTokenIdAttributeName, QVariant::fromValue(KELTokenId::tokenIdWithLength(quint64(range.length), quint64(newLines))), range);
    ts->addAttribute(kit::CursorAttributeName, int(Qt::ArrowCursor), Range(loc, 1));
    ts->endEditing();
}

void KELTokenParser::removeTokenType(int type, TextStorage* ts, Range range)
{
    range = Range::intersection(range, Range(0, ts->length()));
    if (range.length <= 0)
        return;
    ts->beginEditing();
    qsizetype i = range.location;
    while (i < range.end()) {
        Range run;
        ts->attribute(KELTokenIdAttributeName, i, &run, range);
        const KELTokenIdRef id = tokenIdAt(ts, i);
        if (id && tokenTypeAt(ts, i) == type) {
            Range whole;
            tokenIdAt(ts, i, &whole);
            clearTokenAttributes(ts, whole);
            i = std::max(whole.end(), i + 1);
        } else {
            i = std::max(run.end(), i + 1);
        }
    }
    ts->endEditing();
}

void KELTokenParser::clearTokenAttributes(TextStorage* ts, Range range)
{
    ts->beginEditing();
    ts->removeAttribute(KELTokenTypeAttributeName, range);
    ts->removeAttribute(KELTokenIdAttributeName, range);
    ts->removeAttribute(kit::CursorAttributeName, range);
    ts->endEditing();
}

void KELTokenParser::detokenizePartialTokens(TextStorage* ts, Range range)
{
    const qsizetype n = ts->length();
    if (range.location == kit::NotFound || range.location < 0)
        return;
    if (range.length > 0 && range.location < n) {
        Range run;
        if (tokenIdAt(ts, range.location, &run) && run.location < range.location)
            clearTokenAttributes(ts, run);
    }
    const qsizetype last = range.location + range.length - 1;
    if (range.location + range.length > 0 && last < n) {
        Range run;
        if (tokenIdAt(ts, last, &run) && run.end() > range.location + range.length)
            clearTokenAttributes(ts, run);
    }
}

bool KELTokenParser::textStorageHasTokenStartingAtIndex(const TextStorage* ts, qsizetype index) const
{
    if (index < 0 || index >= ts->length())
        return false;
    const KELTokenIdRef id = tokenIdAt(ts, index);
    if (!id)
        return false;
    return index == 0 || tokenIdAt(ts, index - 1) != id;
}
