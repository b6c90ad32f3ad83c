#pragma once
// The runs of one attribute over a text: (start, value) pairs covering the text, no
// two neighbours equal. Kept in blocks whose starts move together, so an edit shifts
// a few block offsets instead of every later run, whatever the number of runs.

#include "kit/Types.h"

#include <QVariant>
#include <functional>
#include <vector>

namespace kit {

class AttributeRunList {
public:
    bool isEmpty() const { return m_blocks.empty(); }
    void clear() { m_blocks.clear(); }
    qsizetype runCount() const;

    /// The old stretch [a, b) of a text of length total becomes [a, a + newLength) with
    /// value (nothing when newLength is 0); what follows moves by newLength - (b - a).
    void replaceSpan(qsizetype a, qsizetype b, qsizetype total, qsizetype newLength, const QVariant& value);
    /// The value at index and its run (the whole run of equal values).
    QVariant valueAt(qsizetype index, qsizetype total, Range* run = nullptr) const;
    /// Calls f for each run meeting range, clipped to it, in order; stop by returning false.
    void forEachRun(Range range, qsizetype total, const std::function<bool(qsizetype start, qsizetype length, const QVariant& value)>& f) const;

    /// Tests: small blocks exercise the block boundaries.
    static void setBlockSizeForTesting(qsizetype size);

private:
    struct Run {
        qsizetype start; // relative to the block's offset
        QVariant value;
    };
    struct Block {
        qsizetype offset = 0;
        std::vector<Run> runs;
        qsizetype first() const { return runs.front().start + offset; }
    };
    struct Pos {
        size_t block;
        size_t run;
    };
    Pos find(qsizetype index) const;
    qsizetype startOf(Pos p) const { return m_blocks[p.block].runs[p.run].start + m_blocks[p.block].offset; }
    bool advance(Pos& p) const;
    void splitAt(qsizetype p, qsizetype total);

    std::vector<Block> m_blocks;
};

} // namespace kit
