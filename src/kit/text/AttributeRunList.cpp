#include "kit/text/AttributeRunList.h"

#include <QColor>
#include <algorithm>

namespace kit {

namespace {
qsizetype blockSize = 512;

// Equal values must hash alike: numbers by their value (QVariant compares them across
// types), strings and colours by content, anything else by its type alone.
size_t hashOf(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QString:
        return qHash(*static_cast<const QString*>(v.constData()));
    case QMetaType::QColor: {
        const QRgba64 c = v.value<QColor>().rgba64();
        return qHash(quint64(c));
    }
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return qHash(v.toDouble());
    case QMetaType::QByteArray:
        return qHash(*static_cast<const QByteArray*>(v.constData()));
    default:
        return qHash(v.typeId());
    }
}
} // namespace

AttributeValueTable::AttributeValueTable()
{
    m_values.emplace_back();
}

AttributeValueId AttributeValueTable::intern(const QVariant& value)
{
    if (!value.isValid())
        return 0;
    const size_t h = hashOf(value);
    for (auto it = m_index.constFind(h); it != m_index.constEnd() && it.key() == h; ++it) {
        if (m_values[it.value()] == value)
            return it.value();
    }
    const AttributeValueId id = AttributeValueId(m_values.size());
    m_values.push_back(value);
    m_index.insert(h, id);
    return id;
}

std::vector<AttributeValueId> AttributeValueTable::compact(const std::vector<bool>& used)
{
    std::vector<AttributeValueId> map(m_values.size(), 0);
    std::deque<QVariant> kept;
    kept.emplace_back();
    m_index.clear();
    for (size_t id = 1; id < m_values.size(); ++id) {
        if (id >= used.size() || !used[id])
            continue;
        map[id] = AttributeValueId(kept.size());
        m_index.insert(hashOf(m_values[id]), map[id]);
        kept.push_back(std::move(m_values[id]));
    }
    m_values = std::move(kept);
    return map;
}

void AttributeRunList::setBlockSizeForTesting(qsizetype size)
{
    blockSize = std::max<qsizetype>(2, size);
}

qsizetype AttributeRunList::runCount() const
{
    qsizetype n = 0;
    for (const Block& b : m_blocks)
        n += qsizetype(b.runs.size());
    return n;
}

AttributeRunList::Pos AttributeRunList::find(qsizetype index) const
{
    // The last block whose first run starts at or before index, then the run in it.
    // Reads and writes come in order, mostly within one block: try the last one
    // found and its successor before searching.
    size_t bi = m_hint;
    auto holds = [&](size_t k) {
        return k < m_blocks.size() && (k == 0 || m_blocks[k].first() <= index)
            && (k + 1 == m_blocks.size() || m_blocks[k + 1].first() > index);
    };
    if (!holds(bi)) {
        if (holds(bi + 1)) {
            ++bi;
        } else {
            auto bit = std::upper_bound(m_blocks.begin(), m_blocks.end(), index, [](qsizetype v, const Block& b) { return v < b.first(); });
            bi = bit == m_blocks.begin() ? 0 : size_t(bit - m_blocks.begin()) - 1;
        }
        m_hint = bi;
    }
    const Block& b = m_blocks[bi];
    const qsizetype rel = index - b.offset;
    // Likewise the run: the last one found or one of the next few.
    const size_t n = b.runs.size();
    auto runHolds = [&](size_t r) {
        return r < n && (r == 0 || b.runs[r].start <= rel) && (r + 1 == n || b.runs[r + 1].start > rel);
    };
    for (size_t r = m_runHint > 0 ? m_runHint - 1 : 0; r < std::min(m_runHint + 3, n); ++r) {
        if (runHolds(r)) {
            m_runHint = r;
            return Pos{bi, r};
        }
    }
    auto rit = std::upper_bound(b.runs.begin(), b.runs.end(), rel, [](qsizetype v, const Run& r) { return v < r.start; });
    const size_t ri = rit == b.runs.begin() ? 0 : size_t(rit - b.runs.begin()) - 1;
    m_runHint = ri;
    return Pos{bi, ri};
}

bool AttributeRunList::advance(Pos& p) const
{
    if (p.run + 1 < m_blocks[p.block].runs.size()) {
        ++p.run;
        return true;
    }
    if (p.block + 1 < m_blocks.size()) {
        ++p.block;
        p.run = 0;
        return true;
    }
    return false;
}

void AttributeRunList::splitAt(qsizetype p, qsizetype total)
{
    if (p <= 0 || p >= total || m_blocks.empty())
        return;
    const Pos pos = find(p);
    if (startOf(pos) == p)
        return;
    Block& b = m_blocks[pos.block];
    b.runs.insert(b.runs.begin() + qsizetype(pos.run) + 1, Run{qint32(p - b.offset), b.runs[pos.run].value});
}

void AttributeRunList::replaceSpan(qsizetype a, qsizetype b, qsizetype total, qsizetype newLength, Value value)
{
    const qsizetype delta = newLength - (b - a);
    const qsizetype newTotal = total + delta;
    if (newTotal <= 0) {
        m_blocks.clear();
        return;
    }
    if (m_blocks.empty()) {
        // Only an insertion into an empty text can meet an empty list.
        Block block;
        block.runs.push_back(Run{0, value});
        m_blocks.push_back(std::move(block));
        return;
    }
    splitAt(a, total);
    splitAt(b, total);
    // Only the blocks that meet [a, b) change inside; later ones move by their offset.
    const size_t firstBlock = a < total ? find(a).block : m_blocks.size() - 1;
    const size_t none = size_t(-1);
    size_t insertBlock = none, insertRun = 0;
    size_t k = firstBlock;
    for (; k < m_blocks.size(); ++k) {
        Block& blk = m_blocks[k];
        if (blk.runs.empty())
            continue;
        if (blk.first() >= b)
            break;
        auto from = std::lower_bound(blk.runs.begin(), blk.runs.end(), a - blk.offset, [](const Run& r, qsizetype v) { return r.start < v; });
        auto to = std::lower_bound(from, blk.runs.end(), b - blk.offset, [](const Run& r, qsizetype v) { return r.start < v; });
        const size_t at = size_t(from - blk.runs.begin());
        blk.runs.erase(from, to);
        for (size_t j = at; j < blk.runs.size(); ++j)
            blk.runs[j].start += qint32(delta);
        if (insertBlock == none) {
            insertBlock = k;
            insertRun = at;
        }
    }
    if (delta != 0) {
        for (size_t j = k; j < m_blocks.size(); ++j)
            m_blocks[j].offset += delta;
    }
    if (insertBlock == none) {
        if (k < m_blocks.size()) {
            insertBlock = k;
            insertRun = 0;
        } else {
            insertBlock = m_blocks.size() - 1;
            insertRun = m_blocks[insertBlock].runs.size();
        }
    }
    if (newLength > 0) {
        Block& blk = m_blocks[insertBlock];
        blk.runs.insert(blk.runs.begin() + qsizetype(insertRun), Run{qint32(a - blk.offset), value});
    }
    // Empty blocks go (only those just touched can be empty).
    const size_t touchedEnd = std::min(k + 1, m_blocks.size());
    for (size_t j = touchedEnd; j-- > firstBlock;) {
        if (m_blocks[j].runs.empty())
            m_blocks.erase(m_blocks.begin() + qsizetype(j));
    }
    if (m_blocks.empty())
        return;
    if (m_blocks.front().first() != 0)
        m_blocks.front().runs.front().start = qint32(-m_blocks.front().offset);
    // Merge equal neighbours around the changed stretch.
    if (a > 0 && a < newTotal) {
        const Pos p = find(a);
        if (startOf(p) == a && valueAt(a - 1, newTotal) == m_blocks[p.block].runs[p.run].value)
            eraseAt(p);
    }
    const qsizetype after = a + newLength;
    if (newLength > 0 && after < newTotal) {
        const Pos p = find(after);
        if (startOf(p) == after && valueAt(after - 1, newTotal) == m_blocks[p.block].runs[p.run].value)
            eraseAt(p);
    }
    // Keep the changed block small.
    if (!m_blocks.empty())
        keepSmall(std::min(insertBlock, m_blocks.size() - 1));
}

void AttributeRunList::eraseAt(Pos p)
{
    std::vector<Run>& runs = m_blocks[p.block].runs;
    runs.erase(runs.begin() + qsizetype(p.run));
    if (runs.empty())
        m_blocks.erase(m_blocks.begin() + qsizetype(p.block));
}

void AttributeRunList::keepSmall(size_t block)
{
    if (qsizetype(m_blocks[block].runs.size()) <= 2 * blockSize)
        return;
    Block tail;
    tail.offset = m_blocks[block].offset;
    tail.runs.assign(m_blocks[block].runs.begin() + blockSize, m_blocks[block].runs.end());
    m_blocks[block].runs.resize(size_t(blockSize));
    m_blocks.insert(m_blocks.begin() + qsizetype(block) + 1, std::move(tail));
}

bool AttributeRunList::assign(qsizetype a, qsizetype b, qsizetype total, Value value)
{
    a = std::max<qsizetype>(a, 0);
    b = std::min(b, total);
    if (a >= b)
        return false;
    if (m_blocks.empty()) {
        if (value == 0)
            return false;
        Block block;
        block.runs.push_back(Run{0, 0});
        m_blocks.push_back(std::move(block));
    }
    const Pos p = find(a);
    Pos n = p;
    const bool hasNext = advance(n);
    const qsizetype s = startOf(p);
    const qsizetype e = hasNext ? startOf(n) : total;
    const Value old = m_blocks[p.block].runs[p.run].value;
    if (old == value && e >= b)
        return false;
    if (e < b) {
        // Across runs: the general replacement.
        replaceSpan(a, b, total, b - a, value);
        return true;
    }
    // [a, b) lies inside the run [s, e) of another value: at most two run starts come
    // in, and the neighbours' starts go where they hold the value already.
    const bool head = a > s;
    const bool tail = b < e;
    const bool prevSame = !head && (p.run > 0 || p.block > 0)
        && (p.run > 0 ? m_blocks[p.block].runs[p.run - 1].value : m_blocks[p.block - 1].runs.back().value) == value;
    if (!tail && hasNext && m_blocks[n.block].runs[n.run].value == value)
        eraseAt(n); // the next run joins; it sits after p, so p stays where it is
    Block& blk = m_blocks[p.block];
    const auto at = blk.runs.begin() + qsizetype(p.run);
    const Run after{qint32(b - blk.offset), old};
    if (head) {
        const Run here{qint32(a - blk.offset), value};
        if (tail)
            blk.runs.insert(at + 1, {here, after});
        else
            blk.runs.insert(at + 1, here);
    } else if (prevSame) {
        // The previous run grows over [a, b).
        if (tail) {
            at->start = after.start;
        } else {
            eraseAt(p);
            return true;
        }
    } else {
        at->value = value;
        if (tail)
            blk.runs.insert(at + 1, after);
    }
    keepSmall(p.block);
    return true;
}

AttributeRunList::Value AttributeRunList::valueAt(qsizetype index, qsizetype total, Range* run) const
{
    if (m_blocks.empty() || index < 0 || index >= total) {
        if (run)
            *run = Range(std::clamp<qsizetype>(index, 0, total), 0);
        return 0;
    }
    Pos p = find(index);
    const qsizetype s = startOf(p);
    const Value v = m_blocks[p.block].runs[p.run].value;
    if (run) {
        Pos n = p;
        const qsizetype e = advance(n) ? startOf(n) : total;
        *run = Range(s, e - s);
    }
    return v;
}

bool AttributeRunList::holds(Range range, qsizetype total, Value value) const
{
    range = Range::intersection(range, Range(0, total));
    if (range.length <= 0)
        return true;
    if (m_blocks.empty())
        return value == 0;
    const Pos p = find(range.location);
    if (m_blocks[p.block].runs[p.run].value != value)
        return false;
    Pos n = p;
    const qsizetype e = advance(n) ? startOf(n) : total;
    return e >= range.end();
}

void AttributeRunList::remapValues(const std::vector<Value>& map)
{
    for (Block& b : m_blocks)
        for (Run& r : b.runs)
            r.value = r.value < map.size() ? map[r.value] : 0;
}

void AttributeRunList::markValues(std::vector<bool>& used) const
{
    for (const Block& b : m_blocks)
        for (const Run& r : b.runs) {
            if (r.value >= used.size())
                used.resize(size_t(r.value) + 1, false);
            used[r.value] = true;
        }
}

} // namespace kit
