#include "editor/KELCodeFoldingPrefs.h"

#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"

using kit::Range;

std::unique_ptr<KELCodeFoldingPrefs> KELCodeFoldingPrefs::fromTextStorage(const kit::TextStorage* ts)
{
    QList<Range> ranges;
    const qsizetype n = ts->length();
    qsizetype i = 0;
    while (i < n) {
        Range run;
        const KELTokenIdRef id = KELTokenParser::tokenIdAt(ts, i, &run);
        if (id && KELTokenParser::tokenTypeAt(ts, i) == KELTokenTypeFold)
            ranges.append(run);
        i = std::max(run.end(), i + 1);
    }
    if (ranges.isEmpty())
        return nullptr;
    return std::unique_ptr<KELCodeFoldingPrefs>(new KELCodeFoldingPrefs(quint64(n), ranges));
}

KELCodeFoldingPrefs::KELCodeFoldingPrefs(const QVariantMap& d)
{
    m_length = d.value(KELCodeFoldingPrefsLengthKey).toULongLong();
    const QVariantList list = d.value(KELCodeFoldingPrefsRangesKey).toList();
    for (qsizetype i = 1; i < list.size(); i += 2) {
        bool ok1 = false, ok2 = false;
        const qlonglong start = list.at(i - 1).toLongLong(&ok1);
        const qlonglong end = list.at(i).toLongLong(&ok2);
        // A pair that ends before it starts (or is not a number) is never folded.
        if (!ok1 || !ok2 || start < 0 || end < start)
            continue;
        m_ranges.append(Range(start, end - start));
    }
}

bool KELCodeFoldingPrefs::applyToTextStorage(kit::TextStorage* ts) const
{
    if (quint64(ts->length()) != m_length)
        return false;
    Range previous(0, 0);
    ts->beginEditing();
    for (const Range& r : m_ranges) {
        if (r.location >= previous.end() && r.end() <= ts->length())
            KELTokenParser::sharedTokenParser().setTokenType(KELTokenTypeFold, ts, r);
        previous = r;
    }
    ts->endEditing();
    return true;
}

QVariantMap KELCodeFoldingPrefs::prefsDictionary() const
{
    QVariantMap d;
    d.insert(KELCodeFoldingPrefsLengthKey, qulonglong(m_length));
    QVariantList list;
    for (const Range& r : m_ranges) {
        list.append(qulonglong(r.location));
        list.append(qulonglong(r.end()));
    }
    d.insert(KELCodeFoldingPrefsRangesKey, list);
    return d;
}
