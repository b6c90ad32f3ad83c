#pragma once
// The runs of one attribute over a text: (start, value id) pairs covering the text, no
// two neighbours equal. Kept in blocks whose starts move together, so an edit shifts
// a few block offsets instead of every later run, whatever the number of runs.
// Values are small ids into a value table (0: no value): a run costs 8 bytes and
// comparing two values is comparing two integers. Starts within a block are 32-bit,
// which holds for texts of up to a billion UTF-16 units.

#include "kit/Types.h"

#include <QHash>
#include <QMutex>
#include <QVariant>
#include <deque>
#include <vector>

namespace kit {

/// The id of an attribute value in its table; 0 is "no value".
using AttributeValueId = quint32;

/// Interned attribute values: equal values (QVariant equality) share one id.
class AttributeValueTable {
public:
    AttributeValueTable();
    /// The id of the value, added when new; 0 for an invalid value.
    AttributeValueId intern(const QVariant& value);
    /// The value of an id (an invalid value for 0 or an unknown id).
    /// The reference stays good while the table grows (not across compact()).
    const QVariant& value(AttributeValueId id) const
    {
        return id < m_values.size() ? m_values[id] : m_values.front();
    }
    qsizetype size() const { return qsizetype(m_values.size()); }
    /// Keeps only the ids marked in `used` (indexed by id); answers the old-to-new map.
    std::vector<AttributeValueId> compact(const std::vector<bool>& used);

private:
    std::deque<QVariant> m_values;
    QMultiHash<size_t, AttributeValueId> m_index;
};

class AttributeRunList {
public:
    using Value = AttributeValueId;

    bool isEmpty() const { return m_blocks.empty(); }
    void clear() { m_blocks.clear(); }
    qsizetype runCount() const;

    /// The old stretch [a, b) of a text of length total becomes [a, a + newLength) with
    /// value (nothing when newLength is 0); what follows moves by newLength - (b - a).
    void replaceSpan(qsizetype a, qsizetype b, qsizetype total, qsizetype newLength, Value value);
    /// Sets [a, b) of a text of length total to value, the length unchanged; answers
    /// whether anything changed. One lookup when the stretch lies within one run, the
    /// common case of colouring, and an append when writes come in order.
    bool assign(qsizetype a, qsizetype b, qsizetype total, Value value);
    /// The value at index and its run (the whole run of equal values).
    Value valueAt(qsizetype index, qsizetype total, Range* run = nullptr) const;
    /// Calls f(start, length, value) for each run meeting range, clipped to it, in order;
    /// stop by returning false.
    template <class F>
    void forEachRun(Range range, qsizetype total, F&& f) const;
    /// Whether every character of the range (within the text) holds the value.
    bool holds(Range range, qsizetype total, Value value) const;
    /// Replaces every value v by map[v].
    void remapValues(const std::vector<Value>& map);
    /// Marks the values in use.
    void markValues(std::vector<bool>& used) const;

    /// Tests: small blocks exercise the block boundaries.
    static void setBlockSizeForTesting(qsizetype size);

private:
    struct Run {
        qint32 start; // relative to the block's offset
        Value value;
    };
    static_assert(sizeof(Run) == 8);
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
    /// Removes the run at p, and its block when that empties.
    void eraseAt(Pos p);
    /// Splits the block in two when it has grown past twice the block size.
    void keepSmall(size_t block);

    std::vector<Block> m_blocks;
    // Block and run of the last find (the run index may belong to another block).
    mutable size_t m_hint = 0;
    mutable size_t m_runHint = 0;
};

template <class F>
void AttributeRunList::forEachRun(Range range, qsizetype total, F&& f) const
{
    range = Range::intersection(range, Range(0, total));
    if (range.length <= 0)
        return;
    if (m_blocks.empty()) {
        f(range.location, range.length, Value(0));
        return;
    }
    Pos p = find(range.location);
    while (true) {
        Pos n = p;
        const bool more = advance(n);
        const qsizetype s = std::max(startOf(p), range.location);
        const qsizetype e = std::min(more ? startOf(n) : total, range.end());
        if (s >= range.end())
            break;
        if (e > s && !f(s, e - s, m_blocks[p.block].runs[p.run].value))
            break;
        if (!more)
            break;
        p = n;
    }
}

} // namespace kit
