#include "editor/HTMLSpellChecker.h"

#include <algorithm>

using kit::NotFound;
using kit::Range;

namespace {
// Letters plus the apostrophe and the right single quotation mark.
bool isWordCharacter(QChar c)
{
    static const QString extra = QStringLiteral("'\u2019");
    return c.isLetter() || extra.contains(c);
}
} // namespace

void HTMLSpellChecker::installAsSharedSpellChecker()
{
    kit::SpellChecker::setSharedSpellChecker(std::make_unique<HTMLSpellChecker>());
}

qsizetype HTMLSpellChecker::locationOfTagEndContainingIndex(qsizetype index, const QString& s)
{
    const qsizetype len = s.size();
    if (index + 1 >= len)
        return index + 1;
    for (qsizetype j = index + 1; j < len; ++j) {
        if (s.at(j) == QLatin1Char('>'))
            return j;
        if (s.at(j) == QLatin1Char('<'))
            return index + 1;
    }
    return len;
}

qsizetype HTMLSpellChecker::locationOfPHPTagEndContainingIndex(qsizetype index, const QString& s)
{
    const qsizetype len = s.size();
    if (index + 2 >= len)
        return len;
    const qsizetype found = s.indexOf(QStringLiteral("?>"), index + 2);
    return found < 0 ? len : found + 2;
}

Range HTMLSpellChecker::checkSpellingOfString(
    const QString& s, qsizetype start, const QString& language, bool wrap, int tag, qint64* wordCount)
{
    const qsizetype len = s.size();
    if (len == 0)
        return Range(NotFound, 0);
    // A start past the end would never be reached again by a wrapped search.
    start = std::clamp<qsizetype>(start, 0, len);

    qsizetype pos = start;
    QChar previous = QLatin1Char(' ');
    if (start < len && s.at(start).isLetter()) {
        while (pos > 0 && s.at(pos - 1).isLetter())
            --pos;
        if (pos > 0)
            previous = s.at(pos - 1);
    }

    bool wrapped = false;
    for (;;) {
        while (pos < len) {
            const QChar c = s.at(pos);
            if (c.isLetter()) {
                qsizetype runEnd = pos;
                while (runEnd < len && isWordCharacter(s.at(runEnd)))
                    ++runEnd;
                qsizetype wordEnd = runEnd;
                while (wordEnd > pos + 1 && !s.at(wordEnd - 1).isLetter())
                    --wordEnd;
                const bool entityName
                    = previous == QLatin1Char('&') && runEnd < len && s.at(runEnd) == QLatin1Char(';');
                if (!entityName) {
                    const QString word = s.mid(pos, wordEnd - pos);
                    const Range r = kit::SpellChecker::checkSpellingOfString(word, 0, language, false, tag, wordCount);
                    if (r.location != NotFound)
                        return Range(pos, wordEnd - pos);
                }
                if (wrapped && runEnd > start)
                    return Range(NotFound, 0);
                pos = runEnd;
                continue;
            }
            qsizetype next = pos + 1;
            if (c == QLatin1Char('<')) {
                if (pos + 1 < len && s.at(pos + 1) == QLatin1Char('?'))
                    next = locationOfPHPTagEndContainingIndex(pos, s);
                else
                    next = locationOfTagEndContainingIndex(pos, s);
                next = std::max(next, pos + 1);
            }
            previous = c;
            pos = next;
            if (wrapped && pos >= start)
                return Range(NotFound, 0);
        }
        // The end is reached at most twice: once before and once after wrapping.
        if (!wrap || wrapped)
            return Range(NotFound, 0);
        wrapped = true;
        pos = 0;
        previous = QLatin1Char(' ');
    }
}
