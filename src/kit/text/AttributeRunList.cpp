#include "kit/text/AttributeRunList.h"

#include <algorithm>

namespace kit {

namespace {
qsizetype blockSize = 512;
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
    auto bit = std::upper_bound(m_blocks.begin(), m_blocks.end(), index, [](qsizetype v, const Block& b) { return v < b.first(); });
    const size_t bi = bit == m_blocks.begin() ? 0 : size_t(bit - m_blocks.begin()) - 1;
    const Block& b = m_blocks[bi];
    const qsizetype rel = index - b.offset;
    auto rit = std::upper_bound(b.runs.begin(), b.runs.end(), rel, [](qsizetype v, const Run& r) { return v < r.start; });
    const size_t ri = rit == b.runs.begin() ? 0 : size_t(rit - b.runs.begin()) - 1;
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
    b.runs.insert(b.runs.begin() + qsizetype(pos.run) + 1, Run{p - b.offset, b.runs[pos.run].value});
}

void AttributeRunList::replaceSpan(qsizetype a, qsizetype b, qsizetype total, qsizetype newLength, const QVariant& value)
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
            blk.runs[j].start += delta;
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
        blk.runs.insert(blk.runs.begin() + qsizetype(insertRun), Run{a - blk.offset, value});
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
        m_blocks.front().runs.front().start = -m_blocks.front().offset;
    // Merge equal neighbours around the changed stretch.
    auto eraseAt = [this](Pos p) {
        m_blocks[p.block].runs.erase(m_blocks[p.block].runs.begin() + qsizetype(p.run));
        if (m_blocks[p.block].runs.empty())
            m_blocks.erase(m_blocks.begin() + qsizetype(p.block));
    };
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
    if (!m_blocks.empty()) {
        const size_t bi = std::min(insertBlock, m_blocks.size() - 1);
        if (qsizetype(m_blocks[bi].runs.size()) > 2 * blockSize) {
            Block tail;
            tail.offset = m_blocks[bi].offset;
            tail.runs.assign(std::make_move_iterator(m_blocks[bi].runs.begin() + blockSize),
                             std::make_move_iterator(m_blocks[bi].runs.end()));
            m_blocks[bi].runs.resize(size_t(blockSize));
            m_blocks.insert(m_blocks.begin() + qsizetype(bi) + 1, std::move(tail));
        }
    }
}

QVariant AttributeRunList::valueAt(qsizetype index, qsizetype total, Range* run) const
{
    if (m_blocks.empty() || index < 0 || index >= total) {
        if (run)
            *run = Range(std::clamp<qsizetype>(index, 0, total), 0);
        return QVariant();
    }
    Pos p = find(index);
    const qsizetype s = startOf(p);
    const QVariant v = m_blocks[p.block].runs[p.run].value;
    if (run) {
        Pos n = p;
        const qsizetype e = advance(n) ? startOf(n) : total;
        *run = Range(s, e - s);
    }
    return v;
}

void AttributeRunList::forEachRun(Range range, qsizetype total, const std::function<bool(qsizetype, qsizetype, const QVariant&)>& f) const
{
    range = Range::intersection(range, Range(0, total));
    if (range.length <= 0)
        return;
    if (m_blocks.empty()) {
        f(range.location, range.length, QVariant());
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
