#pragma once
// The folded ranges of one file, saved with its per-file preferences and re-applied
// when the file is opened again with the same length.

#include "kit/Types.h"

#include <QList>
#include <QVariantMap>
#include <memory>

namespace kit {
class TextStorage;
}

inline const QString KELCodeFoldingPrefsLengthKey = QStringLiteral("KELCodeFoldingPrefsLengthKey");
inline const QString KELCodeFoldingPrefsRangesKey = QStringLiteral("KELCodeFoldingPrefsRangesKey");

class KELCodeFoldingPrefs {
public:
    /// The folds of the storage; none when nothing is folded.
    static std::unique_ptr<KELCodeFoldingPrefs> fromTextStorage(const kit::TextStorage* ts);
    /// From the stored form; a pair whose end lies before its start is dropped.
    explicit KELCodeFoldingPrefs(const QVariantMap& dictionary = {});

    quint64 stringLength() const { return m_length; }
    const QList<kit::Range>& foldedRanges() const { return m_ranges; }
    /// Folds the ranges when the text has the recorded length; false (nothing done) otherwise.
    bool applyToTextStorage(kit::TextStorage* ts) const;
    QVariantMap prefsDictionary() const;

private:
    KELCodeFoldingPrefs(quint64 length, QList<kit::Range> ranges) : m_length(length), m_ranges(std::move(ranges)) {}
    quint64 m_length = 0;
    QList<kit::Range> m_ranges;
};
