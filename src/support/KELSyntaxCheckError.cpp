#include "support/KELSyntaxCheckError.h"

#include <algorithm>

KELSyntaxCheckError KELSyntaxCheckError::copy() const
{
    KELSyntaxCheckError c;
    c.m_title = m_title;
    c.m_description = m_description;
    c.m_level = m_level;
    c.m_lineNumber = m_lineNumber;
    c.m_textRange = m_textRange;
    return c;
}

int KELSyntaxCheckError::compareByLineNumber(const KELSyntaxCheckError& a, const KELSyntaxCheckError& b)
{
    if (a.m_lineNumber == b.m_lineNumber)
        return 0;
    return a.m_lineNumber < b.m_lineNumber ? -1 : 1;
}

int KELSyntaxCheckError::compareByTextLocation(const KELSyntaxCheckError& a, const KELSyntaxCheckError& b)
{
    const bool aNone = a.m_textRange.location == kit::NotFound;
    const bool bNone = b.m_textRange.location == kit::NotFound;
    if (aNone || bNone)
        return aNone == bNone ? 0 : (aNone ? -1 : 1);
    if (a.m_textRange.location == b.m_textRange.location)
        return 0;
    return a.m_textRange.location < b.m_textRange.location ? -1 : 1;
}

namespace {

bool isLineTerminator(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// End of the line starting at start: just after its terminator (CR LF counts as one).
qsizetype lineEnd(const QString& s, qsizetype start)
{
    const qsizetype n = s.size();
    qsizetype i = start;
    while (i < n && !isLineTerminator(s.at(i)))
        ++i;
    if (i < n) {
        if (s.at(i) == u'\r' && i + 1 < n && s.at(i + 1) == u'\n')
            i += 2;
        else
            ++i;
    }
    return i;
}

} // namespace

void KELSyntaxCheckError::populateLocationsOfErrors(const QList<KELSyntaxCheckError*>& errors, const QString& source)
{
    QList<KELSyntaxCheckError*> withoutLine; // list A
    QList<KELSyntaxCheckError*> withoutRange; // list B
    for (KELSyntaxCheckError* e : errors) {
        if (!e)
            continue;
        if (e->m_lineNumber == 0)
            withoutLine.append(e);
        if (e->m_textRange.location == kit::NotFound)
            withoutRange.append(e);
    }
    std::stable_sort(withoutLine.begin(), withoutLine.end(),
        [](const KELSyntaxCheckError* a, const KELSyntaxCheckError* b) { return compareByTextLocation(*a, *b) < 0; });
    std::stable_sort(withoutRange.begin(), withoutRange.end(),
        [](const KELSyntaxCheckError* a, const KELSyntaxCheckError* b) { return compareByLineNumber(*a, *b) < 0; });

    qsizetype a = 0, b = 0;
    quint64 line = 0;
    qsizetype start = 0;
    const qsizetype n = source.size();
    while (start < n && (a < withoutLine.size() || b < withoutRange.size())) {
        ++line;
        const qsizetype end = lineEnd(source, start);
        while (b < withoutRange.size() && withoutRange.at(b)->m_lineNumber <= line) {
            withoutRange.at(b)->m_textRange = kit::Range(start, end - start);
            ++b;
        }
        while (a < withoutLine.size() && withoutLine.at(a)->m_textRange.location < end) {
            withoutLine.at(a)->m_lineNumber = line;
            ++a;
        }
        start = end;
    }
    for (; b < withoutRange.size(); ++b)
        withoutRange.at(b)->m_textRange = kit::Range(n, 0);
    for (; a < withoutLine.size(); ++a)
        withoutLine.at(a)->m_lineNumber = line;
}

void KELSyntaxCheckError::populateLocationsOfErrors(QList<KELSyntaxCheckError>& errors, const QString& source)
{
    QList<KELSyntaxCheckError*> pointers;
    pointers.reserve(errors.size());
    for (KELSyntaxCheckError& e : errors)
        pointers.append(&e);
    populateLocationsOfErrors(pointers, source);
}
