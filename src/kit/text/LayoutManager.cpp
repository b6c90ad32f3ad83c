#include "kit/text/LayoutManager.h"

#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>

namespace kit {

namespace {
constexpr char16_t UnitCharacter = 0x00A0;
constexpr qreal NoWrapWidth = 1.0e6;
constexpr int MaxCachedLayouts = 3000;
constexpr qsizetype HugeParagraph = 20000;

// Replaces count items at `at` by items, moving the tail once at most (a keystroke
// usually keeps the count, and these vectors hold an entry per paragraph of the file).
template <typename T>
void splice(std::vector<T>& v, size_t at, size_t count, std::vector<T>& items)
{
    const size_t add = items.size();
    if (add > count) {
        std::vector<T> room(add - count);
        v.insert(v.begin() + qsizetype(at + count), std::make_move_iterator(room.begin()), std::make_move_iterator(room.end()));
    } else if (add < count) {
        v.erase(v.begin() + qsizetype(at + add), v.begin() + qsizetype(at + count));
    }
    std::move(items.begin(), items.end(), v.begin() + qsizetype(at));
}

qsizetype terminatorLength(const TextStorage* s, qsizetype t)
{
    if (t >= s->length())
        return 0;
    if (s->characterAt(t) == QLatin1Char('\r') && s->characterAt(t + 1) == QLatin1Char('\n'))
        return 2;
    return 1;
}
} // namespace

LayoutManager::LayoutManager(QObject* parent) : QObject(parent)
{
    m_font = QFont(QStringLiteral("DejaVu Sans Mono"));
    m_font.setStyleHint(QFont::Monospace);
    updateMetrics();
}

LayoutManager::~LayoutManager()
{
    if (m_storage)
        m_storage->removeLayoutManager(this);
}

void LayoutManager::setTextStorage(TextStorage* storage)
{
    if (m_storage == storage)
        return;
    if (m_storage)
        m_storage->removeLayoutManager(this);
    m_storage = storage;
    if (m_storage)
        m_storage->addLayoutManager(this);
    rebuildAll();
}

void LayoutManager::storageDestroyed(TextStorage* storage)
{
    if (m_storage == storage) {
        m_storage = nullptr;
        rebuildAll();
    }
}

void LayoutManager::setTextView(TextView* view)
{
    m_textView = view;
    m_view = view;
}

TextView* LayoutManager::textView() const
{
    return m_view ? m_textView : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Settings

void LayoutManager::updateMetrics()
{
    QFontMetricsF fm(m_font);
    m_lineHeight = defaultLineHeight(m_font);
    m_avgCharWidth = std::max<qreal>(1.0, fm.horizontalAdvance(QLatin1Char('n')));
    m_nbspAdvance = fm.horizontalAdvance(QChar(UnitCharacter));
    if (m_tabDistance <= 0)
        m_tabDistance = 4 * m_avgCharWidth;
}

qreal LayoutManager::defaultLineHeight(const QFont& font)
{
    QFontMetricsF fm(font);
    return std::ceil(fm.ascent()) + std::ceil(fm.descent());
}

qreal LayoutManager::defaultBaselineOffset(const QFont& font)
{
    return std::ceil(QFontMetricsF(font).ascent());
}

void LayoutManager::settingsChanged()
{
    updateMetrics();
    // Re-estimate every paragraph and drop every layout.
    dropLayouts();
    resetWidths();
    const int n = paragraphCount();
    m_ys.assign(size_t(n) + 1, 0.0);
    double y = 0;
    for (int i = 0; i < n; ++i) {
        m_ys[size_t(i)] = y;
        y += estimateHeight(m_starts[size_t(i)], paragraphEnd(i));
    }
    m_ys[size_t(n)] = y;
    Q_EMIT didInvalidateLayout();
    Q_EMIT heightChanged();
    Q_EMIT needsDisplay();
}

void LayoutManager::setContainerWidth(qreal width)
{
    width = std::max<qreal>(width, 2 * m_padding + 1);
    if (qFuzzyCompare(width, m_containerWidth))
        return;
    m_containerWidth = width;
    if (m_wrapMode != WrapMode::NoWrap)
        settingsChanged();
}

void LayoutManager::setWrapMode(WrapMode mode)
{
    if (mode == m_wrapMode)
        return;
    m_wrapMode = mode;
    settingsChanged();
}

void LayoutManager::setLineFragmentPadding(qreal pad)
{
    m_padding = pad;
    settingsChanged();
}

void LayoutManager::setFont(const QFont& font)
{
    m_font = font;
    m_tabDistance = 0;
    settingsChanged();
}

void LayoutManager::setTabStopDistance(qreal distance)
{
    m_tabDistance = distance;
    settingsChanged();
}

void LayoutManager::setTabStops(const QList<qreal>& stops)
{
    m_tabStops = stops;
    settingsChanged();
}

// ---------------------------------------------------------------------------------------------
// Hooks

void LayoutManager::displayUnitsInRange(Range, QList<DisplayUnit>&) const {}

qreal LayoutManager::wrappedLineIndent(Range) const
{
    return 0;
}

bool LayoutManager::shouldBreakLineBeforeCharacterAtIndex(qsizetype) const
{
    return true;
}

bool LayoutManager::attributeAffectsLayout(const QString& key) const
{
    return key == FontAttributeName;
}

void LayoutManager::drawDisplayUnit(QPainter* painter, const DisplayUnit&, const QRectF& rect, qreal, const QRectF&,
                                    const DrawContext& context)
{
    painter->save();
    painter->setPen(context.textColor);
    painter->drawRect(rect.adjusted(0.5, 2.5, -0.5, -2.5));
    painter->restore();
}

QColor LayoutManager::selectionColor(const DrawContext& context) const
{
    if (context.focused)
        return context.selectionColor;
    const QColor c = context.selectionColor;
    const int grey = (c.red() + c.green() + c.blue()) / 3;
    return QColor(grey, grey, grey, c.alpha());
}

bool LayoutManager::unitAt(qsizetype index, DisplayUnit* unit) const
{
    if (!m_storage || index < 0 || index >= m_storage->length())
        return false;
    QList<DisplayUnit> units;
    displayUnitsInRange(Range(index, 1), units);
    for (const DisplayUnit& u : units) {
        if (u.range.contains(index)) {
            if (unit)
                *unit = u;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Paragraph partition

qsizetype LayoutManager::paragraphEnd(int i) const
{
    if (size_t(i) + 1 < m_starts.size())
        return m_starts[size_t(i) + 1];
    return m_storage ? m_storage->length() : 0;
}

qsizetype LayoutManager::contentEnd(int i) const
{
    const qsizetype s = m_starts[size_t(i)];
    const qsizetype e = paragraphEnd(i);
    if (e <= s || !m_storage)
        return e;
    const TextStorage* str = m_storage;
    if (!TextStorage::isLineTerminator(str->characterAt(e - 1)))
        return e;
    // A terminator inside a unit is content.
    DisplayUnit u;
    if (unitAt(e - 1, &u) && u.range.location >= s)
        return e;
    if (e - 2 >= s && str->characterAt(e - 1) == QLatin1Char('\n') && str->characterAt(e - 2) == QLatin1Char('\r'))
        return e - 2;
    return e - 1;
}

qsizetype LayoutManager::nextParagraphEnd(qsizetype pos, bool* terminated) const
{
    const TextStorage* s = m_storage;
    const qsizetype n = s->length();
    const qsizetype limit = largeUnitLimit();
    *terminated = false;
    QList<DisplayUnit> units;
    qsizetype scan = pos;
    while (true) {
        qsizetype t = s->nextLineTerminator(scan);
        if (t == NotFound)
            t = n;
        units.clear();
        displayUnitsInRange(Range(scan, std::min(t + 1, n) - scan), units);
        bool rescanned = false;
        for (const DisplayUnit& u : units) {
            if (u.range.end() <= scan && u.range.location < pos)
                continue;
            if (u.range.length > limit) {
                // A large unit is a paragraph of its own.
                if (u.range.location <= pos)
                    return std::min(n, std::max(u.range.end(), pos + 1));
                return u.range.location;
            }
            if (t < n && u.range.contains(t)) {
                // A terminator inside a unit does not end the paragraph.
                scan = u.range.end();
                rescanned = true;
                break;
            }
        }
        if (rescanned) {
            if (scan >= n)
                return n;
            continue;
        }
        if (t >= n)
            return n;
        *terminated = true;
        return std::min(n, t + terminatorLength(s, t));
    }
}

void LayoutManager::partition(std::vector<qsizetype>& starts) const
{
    // An empty text, and a text ending with a line terminator, end with an empty paragraph.
    const qsizetype n = m_storage->length();
    qsizetype pos = 0;
    starts.push_back(0);
    QList<DisplayUnit> units;
    displayUnitsInRange(Range(0, n), units);
    if (units.isEmpty()) {
        // No units anywhere (most large files): every line terminator ends a paragraph,
        // found in one pass over the characters.
        const QStringView text = m_storage->stringView(Range(0, n));
        const char16_t* d = text.utf16();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t u = d[i];
            if (u > u'\r' && u < 0x85)
                continue;
            if (u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029) {
                const qsizetype end = u == u'\r' && i + 1 < n && d[i + 1] == u'\n' ? i + 2 : i + 1;
                starts.push_back(end);
                i = end - 1;
            }
        }
        return;
    }
    while (pos < n) {
        bool terminated = false;
        pos = nextParagraphEnd(pos, &terminated);
        if (pos >= n && !terminated)
            break;
        starts.push_back(pos);
    }
}

qreal LayoutManager::estimateHeight(qsizetype start, qsizetype end) const
{
    if (m_wrapMode == WrapMode::NoWrap)
        return m_lineHeight;
    const qreal avail = std::max<qreal>(1.0, m_containerWidth - 2 * m_padding);
    const qreal w = qreal(end - start) * m_avgCharWidth;
    const qreal lines = std::max<qreal>(1.0, std::ceil(w / avail));
    return lines * m_lineHeight;
}

void LayoutManager::rebuildAll()
{
    dropLayouts();
    m_starts.clear();
    m_paragraphs.clear();
    m_ys.clear();
    resetWidths();
    m_knownLength = m_storage ? m_storage->length() : 0;
    if (m_storage)
        partition(m_starts);
    if (m_starts.empty())
        m_starts.push_back(0);
    m_paragraphs.resize(m_starts.size());
    m_widths.assign(m_starts.size(), 0.0);
    m_ys.resize(m_starts.size() + 1);
    double y = 0;
    for (int i = 0; i < paragraphCount(); ++i) {
        m_ys[size_t(i)] = y;
        y += estimateHeight(m_starts[size_t(i)], paragraphEnd(i));
    }
    m_ys.back() = y;
    Q_EMIT didInvalidateLayout();
    Q_EMIT heightChanged();
    Q_EMIT needsDisplay();
}

int LayoutManager::paragraphIndexForCharacter(qsizetype index) const
{
    if (m_starts.empty())
        return 0;
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    if (it == m_starts.begin())
        return 0;
    return int(it - m_starts.begin()) - 1;
}

std::pair<qreal, qreal> LayoutManager::paragraphBand(Range range) const
{
    if (m_starts.empty())
        return {0, 0};
    const int a = paragraphIndexForCharacter(range.location);
    const int b = paragraphIndexForCharacter(range.end());
    return {qreal(m_ys[size_t(a)]), qreal(m_ys[size_t(b) + 1])};
}

Range LayoutManager::paragraphRangeAtIndex(int i) const
{
    if (i < 0 || i >= paragraphCount())
        return Range(NotFound, 0);
    return Range(m_starts[size_t(i)], paragraphEnd(i) - m_starts[size_t(i)]);
}

int LayoutManager::paragraphIndexForY(qreal y) const
{
    if (m_starts.empty())
        return 0;
    auto it = std::upper_bound(m_ys.begin(), m_ys.end() - 1, double(y));
    int i = int(it - m_ys.begin()) - 1;
    return std::clamp(i, 0, paragraphCount() - 1);
}

void LayoutManager::shiftYs(int from, qreal delta)
{
    if (delta == 0)
        return;
    for (size_t i = size_t(from); i < m_ys.size(); ++i)
        m_ys[i] += delta;
}

void LayoutManager::textStorageEdited(TextStorage* storage, int mask, Range range, qsizetype delta, Range)
{
    if (storage != m_storage)
        return;
    if (!(mask & TextStorageEditedCharacters)) {
        bool affects = false;
        for (const QString& key : storage->editedAttributeKeys()) {
            if (attributeAffectsLayout(key)) {
                affects = true;
                break;
            }
        }
        if (!affects) {
            invalidateDisplay(range);
            return;
        }
    }
    const qsizetype oldLength = m_knownLength;
    m_knownLength = storage->length();
    if (m_starts.empty() || range.location == NotFound) {
        rebuildAll();
        return;
    }
    if (!(mask & TextStorageEditedCharacters))
        delta = 0;
    const qsizetype n = storage->length();
    const qsizetype loc = std::clamp<qsizetype>(range.location, 0, n);
    const qsizetype newEnd = std::clamp<qsizetype>(range.end(), loc, n);
    if (oldLength + delta != n || newEnd - delta < loc || newEnd - delta > oldLength) {
        // The notice does not add up with what was laid out: start afresh.
        rebuildAll();
        return;
    }
    repartition(loc, newEnd, delta);
}

void LayoutManager::repartition(qsizetype loc, qsizetype newEnd, qsizetype delta)
{
    // The text before loc is unchanged, the text from newEnd on is the old text from oldEnd
    // on. Paragraphs are partitioned afresh from a start safely before the edit until a
    // start falls on an old start past the edit: from there the old paragraphs hold, moved.
    const int count = paragraphCount();
    const qsizetype n = m_storage->length();
    int first = paragraphIndexForCharacter(loc);
    // The paragraph before may join the edited one (a CR before an LF, a unit now reaching
    // over its terminator): partition from one paragraph earlier.
    if (first > 0)
        --first;
    // A unit that reaches into the paragraph from before pulls earlier paragraphs in.
    DisplayUnit u;
    while (first > 0 && unitAt(m_starts[size_t(first)] - 1, &u) && u.range.end() > m_starts[size_t(first)])
        --first;

    std::vector<qsizetype> fresh;
    qsizetype pos = m_starts[size_t(first)];
    fresh.push_back(pos);
    int resume = count; // the first old paragraph kept after the edit
    int j = first + 1;
    while (pos < n) {
        bool terminated = false;
        pos = nextParagraphEnd(pos, &terminated);
        if (pos >= n && !terminated)
            break;
        if (pos >= newEnd) {
            while (j < count && m_starts[size_t(j)] + delta < pos)
                ++j;
            if (j < count && m_starts[size_t(j)] + delta == pos) {
                resume = j;
                break;
            }
        }
        fresh.push_back(pos);
    }

    const int oldCount = resume - first;
    const int newCount = int(fresh.size());
    const qsizetype regionEnd = resume < count ? m_starts[size_t(resume)] + delta : n;
    auto freshEnd = [&](int k) { return size_t(k) + 1 < fresh.size() ? fresh[size_t(k) + 1] : regionEnd; };
    auto oldEndOf = [&](int i) { return i + 1 < count ? m_starts[size_t(i) + 1] : n - delta; };
    // Paragraphs that end before the edit are unchanged: they keep their layout and height.
    int kept = 0;
    while (kept < oldCount && kept < newCount && fresh[size_t(kept)] == m_starts[size_t(first + kept)]
           && freshEnd(kept) == oldEndOf(first + kept) && freshEnd(kept) <= loc)
        ++kept;
    std::vector<double> heights(size_t(newCount), 0.0);
    for (int k = 0; k < newCount; ++k) {
        if (k < kept || newCount == oldCount) {
            // The usual keystroke keeps the paragraph count: its height stays until laid out.
            heights[size_t(k)] = m_ys[size_t(first + k) + 1] - m_ys[size_t(first + k)];
        } else {
            heights[size_t(k)] = estimateHeight(fresh[size_t(k)], freshEnd(k));
        }
    }
    const double top = m_ys[size_t(first)];
    const double oldHeight = m_ys[size_t(resume)] - top;
    for (int i = first + kept; i < resume; ++i) {
        if (m_paragraphs[size_t(i)]) {
            m_paragraphs[size_t(i)].reset();
            --m_cachedCount;
        }
    }
    std::vector<std::unique_ptr<Paragraph>> layouts(static_cast<size_t>(newCount));
    for (int k = 0; k < kept; ++k)
        layouts[size_t(k)] = std::move(m_paragraphs[size_t(first + k)]);

    splice(m_starts, size_t(first), size_t(oldCount), fresh);
    splice(m_paragraphs, size_t(first), size_t(oldCount), layouts);
    // Widths of the replaced paragraphs go (the widest line may go with them); a keystroke
    // keeps them, as it keeps the heights, until the paragraph is laid out again.
    if (newCount != oldCount) {
        for (int i = first + kept; i < resume; ++i)
            forgetWidth(m_widths[size_t(i)]);
        std::vector<double> widths(size_t(newCount), 0.0);
        std::copy(m_widths.begin() + first, m_widths.begin() + first + kept, widths.begin());
        splice(m_widths, size_t(first), size_t(oldCount), widths);
    }
    // m_ys has one entry more than the paragraphs: the entry at resume (the top of the
    // first kept paragraph, or the total height) stays and moves below.
    std::vector<double> tops(size_t(newCount), 0.0);
    double y = top;
    for (int k = 0; k < newCount; ++k) {
        tops[size_t(k)] = y;
        y += heights[size_t(k)];
    }
    splice(m_ys, size_t(first), size_t(oldCount), tops);
    const double shift = (y - top) - oldHeight;
    const qsizetype after = first + newCount;
    if (delta != 0) {
        for (size_t i = size_t(after); i < m_starts.size(); ++i)
            m_starts[i] += delta;
    }
    if (shift != 0) {
        for (size_t i = size_t(after); i < m_ys.size(); ++i)
            m_ys[i] += shift;
    }
    Q_EMIT didInvalidateLayout();
    Q_EMIT heightChanged();
    // The usual keystroke re-lays one paragraph in place: repaint that one; otherwise
    // everything below moved.
    if (newCount > kept)
        displayParagraphs(first + kept, int(after) - 1, newCount != oldCount || shift != 0);
    else if (newCount != oldCount || shift != 0)
        displayParagraphs(int(std::min<qsizetype>(after, paragraphCount() - 1)), paragraphCount() - 1, true);
}

void LayoutManager::invalidateLayout(Range range)
{
    if (!m_storage || m_starts.empty())
        return;
    const qsizetype n = m_storage->length();
    range = Range::intersection(range, Range(0, n));
    if (range.location == NotFound)
        return;
    repartition(range.location, range.end(), 0);
}

void LayoutManager::invalidateAllLayout()
{
    settingsChanged();
}

void LayoutManager::invalidateDisplay(Range range)
{
    if (!m_storage || m_starts.empty() || range.location == NotFound) {
        Q_EMIT needsDisplay();
        return;
    }
    const qsizetype n = m_storage->length();
    const int a = paragraphIndexForCharacter(std::clamp<qsizetype>(range.location, 0, n));
    const int b = paragraphIndexForCharacter(std::clamp<qsizetype>(range.end(), 0, n));
    // Colours may have changed: the kept glyphs of those paragraphs go.
    for (int i = a; i <= b && i < paragraphCount(); ++i) {
        if (Paragraph* p = m_paragraphs[size_t(i)].get()) {
            p->glyphs.clear();
        }
    }
    displayParagraphs(a, b);
}

void LayoutManager::displayParagraphs(int first, int last, bool andBelow)
{
    const int n = paragraphCount();
    if (n == 0) {
        Q_EMIT needsDisplay();
        return;
    }
    first = std::clamp(first, 0, n - 1);
    last = std::clamp(last, first, n - 1);
    const qreal top = qreal(m_ys[size_t(first)]);
    const qreal bottom = andBelow ? std::numeric_limits<qreal>::infinity() : qreal(m_ys[size_t(last) + 1]);
    Q_EMIT needsDisplayInBand(top, bottom);
}

// The document's width is its widest paragraph's. A count of the paragraphs at that
// width tells when the widest has gone; only then are the widths searched again.
void LayoutManager::resetWidths()
{
    m_widths.assign(m_starts.size(), 0.0);
    m_maxWidth = 0;
    m_maxCount = 0;
    m_widthStale = false;
}

void LayoutManager::noteWidth(double width)
{
    if (width <= 0)
        return;
    if (width > m_maxWidth || (m_widthStale && width == m_maxWidth)) {
        // Wider than every paragraph left: the widest again.
        m_maxWidth = width;
        m_maxCount = 1;
        m_widthStale = false;
    } else if (width == m_maxWidth) {
        ++m_maxCount;
    }
}

void LayoutManager::forgetWidth(double width)
{
    if (width > 0 && width == m_maxWidth && !m_widthStale && --m_maxCount <= 0)
        m_widthStale = true;
}

qreal LayoutManager::usedWidth() const
{
    if (m_widthStale) {
        m_maxWidth = 0;
        m_maxCount = 0;
        for (double w : m_widths) {
            if (w > m_maxWidth) {
                m_maxWidth = w;
                m_maxCount = 1;
            } else if (w == m_maxWidth && w > 0) {
                ++m_maxCount;
            }
        }
        m_widthStale = false;
    }
    return m_maxWidth;
}

void LayoutManager::dropLayouts()
{
    for (auto& p : m_paragraphs)
        p.reset();
    m_cachedCount = 0;
}

void LayoutManager::evictIfNeeded(int keepFrom, int keepTo)
{
    if (m_cachedCount <= MaxCachedLayouts)
        return;
    for (int i = 0; i < paragraphCount(); ++i) {
        if (m_paragraphs[size_t(i)] && (i < keepFrom - 200 || i > keepTo + 200)) {
            m_paragraphs[size_t(i)].reset();
            --m_cachedCount;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Laying out one paragraph

LayoutManager::Paragraph* LayoutManager::layoutParagraph(int i)
{
    if (i < 0 || i >= paragraphCount() || !m_storage)
        return nullptr;
    auto& slot = m_paragraphs[size_t(i)];
    if (slot) {
        slot->lastUse = ++m_useClock;
        return slot.get();
    }
    auto p = std::make_unique<Paragraph>();
    const qsizetype start = m_starts[size_t(i)];
    const qsizetype ce = contentEnd(i);
    const QString content = m_storage->substring(Range(start, ce - start));
    const QStringView s(content);
    p->contentLength = ce - start;
    QList<DisplayUnit> units;
    if (ce > start)
        displayUnitsInRange(Range(start, ce - start), units);
    QList<QTextLayout::FormatRange> formats;
    qsizetype pos = start;
    p->display.reserve(ce - start);
    for (const DisplayUnit& u : units) {
        const qsizetype us = std::max(u.range.location, start);
        const qsizetype ue = std::min(u.range.end(), ce);
        if (ue <= us || us < pos)
            continue;
        p->display.append(s.mid(pos - start, us - pos));
        Segment seg{p->display.size(), us - start, ue - us, u.width, u.kind};
        p->segments.push_back(seg);
        p->display.append(QChar(UnitCharacter));
        QTextLayout::FormatRange fr;
        fr.start = int(seg.display);
        fr.length = 1;
        fr.format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        fr.format.setFontLetterSpacing(u.width - m_nbspAdvance);
        formats.append(fr);
        pos = ue;
    }
    p->display.append(s.mid(pos - start, ce - pos));

    p->layout = std::make_unique<QTextLayout>(p->display, m_font);
    QTextOption opt;
    switch (m_wrapMode) {
    case WrapMode::NoWrap:
        opt.setWrapMode(QTextOption::NoWrap);
        break;
    case WrapMode::WordWrap:
        // Word breaking rescans the rest of an unbreakable run for every line; a huge
        // paragraph (a minified file, a 1 MB line) wraps anywhere instead.
        opt.setWrapMode(p->display.size() > HugeParagraph ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
        break;
    case WrapMode::CharacterWrap:
        opt.setWrapMode(QTextOption::WrapAnywhere);
        break;
    }
    opt.setTabStopDistance(m_tabDistance);
    if (!m_tabStops.isEmpty()) {
        QList<QTextOption::Tab> tabs;
        for (qreal t : m_tabStops)
            tabs.append(QTextOption::Tab(t, QTextOption::LeftTab));
        opt.setTabs(tabs);
    }
    p->layout->setTextOption(opt);
    p->layout->setCacheEnabled(true);
    if (!formats.isEmpty())
        p->layout->setFormats(formats);
    const bool wraps = m_wrapMode != WrapMode::NoWrap;
    const qreal avail = wraps ? std::max<qreal>(1.0, m_containerWidth - 2 * m_padding) : NoWrapWidth;
    qreal indent = wraps ? wrappedLineIndent(Range(start, ce - start)) : 0;
    if (indent < 0 || indent >= avail)
        indent = 0;
    const bool noWrap = m_wrapMode == WrapMode::NoWrap;
    const qreal widthBefore = noWrap ? usedWidth() : 0;
    // A break the typesetting rules forbid (inside the indentation that starts a line)
    // moves: that line alone wraps anywhere, the lines after it wrap as usual.
    const bool checkBreaks = wraps && opt.wrapMode() != QTextOption::WrapAnywhere;
    QTextOption anywhere = opt;
    anywhere.setWrapMode(QTextOption::WrapAnywhere);
    qreal y = 0;
    p->layout->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = p->layout->createLine();
        if (!line.isValid())
            break;
        const qreal width = first ? avail : std::max<qreal>(1.0, avail - indent);
        line.setLineWidth(width);
        line.setPosition(QPointF(first ? m_padding : m_padding + indent, y));
        if (checkBreaks) {
            const qsizetype end = line.textStart() + line.textLength();
            if (end < p->display.size() && !shouldBreakLineBeforeCharacterAtIndex(start + toStorage(*p, end))) {
                p->layout->setTextOption(anywhere);
                line.setLineWidth(width);
                p->layout->setTextOption(opt);
            }
        }
        y += line.height();
    }
    p->layout->endLayout();
    double width = 0;
    for (int k = 0; k < p->layout->lineCount(); ++k) {
        QTextLine line = p->layout->lineAt(k);
        width = std::max<double>(width, line.x() + line.naturalTextWidth() + m_padding);
    }
    forgetWidth(m_widths[size_t(i)]);
    m_widths[size_t(i)] = width;
    noteWidth(width);
    p->height = std::max(y, m_lineHeight);
    p->lastUse = ++m_useClock;

    const double oldHeight = m_ys[size_t(i) + 1] - m_ys[size_t(i)];
    slot = std::move(p);
    ++m_cachedCount;
    if (!m_deferShift && std::abs(oldHeight - slot->height) > 0.001) {
        shiftYs(i + 1, slot->height - oldHeight);
        Q_EMIT heightChanged();
        displayParagraphs(i, paragraphCount() - 1, true);
    } else if (noWrap && usedWidth() > widthBefore) {
        Q_EMIT heightChanged(); // the document got wider
    }
    return slot.get();
}

void LayoutManager::ensureLayoutForRect(const QRectF& rect)
{
    if (!m_storage || m_starts.empty())
        return;
    int i = paragraphIndexForY(rect.top());
    const int firstIndex = i;
    const int n = paragraphCount();
    // Heights become exact paragraph by paragraph; the tail below moves once at the end.
    double y = m_ys[size_t(i)];
    double shift = 0;
    int firstMoved = -1; // the first paragraph whose height turned out other than estimated
    m_deferShift = true;
    while (i < n && y <= rect.bottom()) {
        const double oldHeight = m_ys[size_t(i) + 1] - m_ys[size_t(i)];
        Paragraph* p = layoutParagraph(i);
        const double h = p ? p->height : oldHeight;
        m_ys[size_t(i)] = y;
        if (h != oldHeight && firstMoved < 0)
            firstMoved = i;
        shift += h - oldHeight;
        y += h;
        ++i;
    }
    m_deferShift = false;
    if (shift != 0) {
        for (size_t j = size_t(i); j < m_ys.size(); ++j)
            m_ys[j] += shift;
        Q_EMIT heightChanged();
    }
    if (firstMoved >= 0)
        displayParagraphs(firstMoved, n - 1, true);
    evictIfNeeded(firstIndex, i);
}

void LayoutManager::ensureLayoutForCharacterRange(Range range)
{
    if (!m_storage || m_starts.empty())
        return;
    const int a = paragraphIndexForCharacter(range.location);
    const int b = paragraphIndexForCharacter(range.end());
    for (int i = a; i <= b && i < paragraphCount(); ++i)
        layoutParagraph(i);
}

bool LayoutManager::isLaidOut(qsizetype charIndex) const
{
    const int i = paragraphIndexForCharacter(charIndex);
    return i < paragraphCount() && m_paragraphs[size_t(i)] != nullptr;
}

qreal LayoutManager::usedHeight() const
{
    return m_ys.empty() ? m_lineHeight : m_ys.back();
}

// ---------------------------------------------------------------------------------------------
// Index mapping

qsizetype LayoutManager::toDisplay(const Paragraph& p, qsizetype rel, bool insideToEnd) const
{
    rel = std::clamp<qsizetype>(rel, 0, p.contentLength);
    const auto& segs = p.segments;
    auto it = std::upper_bound(segs.begin(), segs.end(), rel, [](qsizetype v, const Segment& s) { return v < s.storage; });
    if (it == segs.begin())
        return rel;
    const Segment& seg = *(it - 1);
    if (rel == seg.storage)
        return seg.display;
    if (rel < seg.storage + seg.length)
        return seg.display + (insideToEnd ? 1 : 0);
    return seg.display + 1 + (rel - seg.storage - seg.length);
}

qsizetype LayoutManager::toStorage(const Paragraph& p, qsizetype d) const
{
    const auto& segs = p.segments;
    auto it = std::lower_bound(segs.begin(), segs.end(), d, [](const Segment& s, qsizetype v) { return s.display < v; });
    if (it == segs.begin())
        return std::min<qsizetype>(d, p.contentLength);
    const Segment& seg = *(it - 1);
    return std::min<qsizetype>(seg.storage + seg.length + (d - seg.display - 1), p.contentLength);
}

// ---------------------------------------------------------------------------------------------
// Geometry

namespace {
QTextLine lineFor(QTextLayout* layout, qsizetype disp, SelectionAffinity affinity)
{
    const int count = layout->lineCount();
    if (count == 0)
        return QTextLine();
    // Binary search over line starts.
    int lo = 0, hi = count - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (layout->lineAt(mid).textStart() <= disp)
            lo = mid;
        else
            hi = mid - 1;
    }
    QTextLine line = layout->lineAt(lo);
    if (affinity == SelectionAffinity::Upstream && lo > 0 && disp == line.textStart())
        line = layout->lineAt(lo - 1);
    return line;
}

QTextLine lineForY(QTextLayout* layout, qreal y)
{
    const int count = layout->lineCount();
    if (count == 0)
        return QTextLine();
    int lo = 0, hi = count - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (layout->lineAt(mid).y() <= y)
            lo = mid;
        else
            hi = mid - 1;
    }
    return layout->lineAt(lo);
}
} // namespace

QRectF LayoutManager::caretRect(qsizetype index, SelectionAffinity affinity)
{
    if (!m_storage || m_starts.empty())
        return QRectF(m_padding, 0, 1, m_lineHeight);
    index = std::clamp<qsizetype>(index, 0, m_storage->length());
    int i = paragraphIndexForCharacter(index);
    // Upstream, a position that ends a paragraph without a line end (a large unit) stays on it.
    if (affinity == SelectionAffinity::Upstream && i > 0 && index == m_starts[size_t(i)] && contentEnd(i - 1) == index)
        --i;
    Paragraph* p = layoutParagraph(i);
    if (!p)
        return QRectF();
    const qsizetype d = toDisplay(*p, index - m_starts[size_t(i)], true);
    QTextLine line = lineFor(p->layout.get(), d, affinity);
    if (!line.isValid())
        return QRectF(m_padding, m_ys[size_t(i)], 1, m_lineHeight);
    const qreal x = line.cursorToX(int(d));
    return QRectF(x, m_ys[size_t(i)] + line.y(), 1, line.height());
}

QPointF LayoutManager::locationForCharacter(qsizetype index)
{
    const QRectF r = caretRect(index, SelectionAffinity::Downstream);
    const int i = paragraphIndexForCharacter(index);
    Paragraph* p = layoutParagraph(i);
    qreal ascent = defaultBaselineOffset(m_font);
    if (p) {
        QTextLine line = lineFor(p->layout.get(), toDisplay(*p, index - m_starts[size_t(i)], false), SelectionAffinity::Downstream);
        if (line.isValid())
            ascent = line.ascent();
    }
    return QPointF(r.x(), ascent);
}

QRectF LayoutManager::lineFragmentRect(qsizetype index, Range* lineCharacters, SelectionAffinity affinity)
{
    if (!m_storage || m_starts.empty())
        return QRectF(0, 0, m_containerWidth, m_lineHeight);
    index = std::clamp<qsizetype>(index, 0, m_storage->length());
    const int i = paragraphIndexForCharacter(index);
    Paragraph* p = layoutParagraph(i);
    const qsizetype start = m_starts[size_t(i)];
    const qsizetype d = toDisplay(*p, index - start, false);
    QTextLine line = lineFor(p->layout.get(), d, affinity);
    if (!line.isValid())
        return QRectF(0, m_ys[size_t(i)], m_containerWidth, m_lineHeight);
    if (lineCharacters) {
        const qsizetype a = start + toStorage(*p, line.textStart());
        qsizetype b = start + toStorage(*p, line.textStart() + line.textLength());
        if (line.lineNumber() == p->layout->lineCount() - 1)
            b = paragraphEnd(i);
        *lineCharacters = Range(a, b - a);
    }
    return QRectF(0, m_ys[size_t(i)] + line.y(), m_containerWidth, line.height());
}

QRectF LayoutManager::lineFragmentUsedRect(qsizetype index, SelectionAffinity affinity)
{
    if (!m_storage || m_starts.empty())
        return QRectF(0, 0, 2 * m_padding, m_lineHeight);
    index = std::clamp<qsizetype>(index, 0, m_storage->length());
    const int i = paragraphIndexForCharacter(index);
    Paragraph* p = layoutParagraph(i);
    QTextLine line = lineFor(p->layout.get(), toDisplay(*p, index - m_starts[size_t(i)], false), affinity);
    if (!line.isValid())
        return QRectF(0, m_ys[size_t(i)], 2 * m_padding, m_lineHeight);
    return QRectF(line.x() - m_padding, m_ys[size_t(i)] + line.y(), line.naturalTextWidth() + 2 * m_padding, line.height());
}

QRectF LayoutManager::extraLineFragmentRect()
{
    if (!m_storage)
        return QRectF(0, 0, m_containerWidth, m_lineHeight);
    const int last = paragraphCount() - 1;
    if (last < 0 || m_starts[size_t(last)] != m_storage->length() || paragraphEnd(last) != m_starts[size_t(last)])
        return QRectF();
    return QRectF(0, m_ys[size_t(last)], m_containerWidth, m_lineHeight);
}

QRectF LayoutManager::boundingRect(Range range)
{
    QRectF out;
    if (range.length <= 0)
        return caretRect(range.location);
    for (const QRectF& r : selectionRects(range))
        out = out.isNull() ? r : out.united(r);
    return out;
}

qsizetype LayoutManager::insertionIndexForPoint(const QPointF& point)
{
    if (!m_storage || m_starts.empty())
        return 0;
    if (point.y() < 0)
        return 0;
    if (point.y() >= usedHeight())
        return m_storage->length();
    ensureLayoutForRect(QRectF(0, point.y(), 1, 1));
    const int i = paragraphIndexForY(point.y());
    Paragraph* p = layoutParagraph(i);
    QTextLine line = lineForY(p->layout.get(), point.y() - m_ys[size_t(i)]);
    if (!line.isValid())
        return m_starts[size_t(i)];
    int d = line.xToCursor(point.x(), QTextLine::CursorBetweenCharacters);
    // A point past the end of a wrapped line stays on that line.
    const int lineEnd = line.textStart() + line.textLength();
    if (d >= lineEnd && line.lineNumber() < p->layout->lineCount() - 1) {
        d = lineEnd;
        // Before the trailing space that ends the wrapped line, not after it.
        if (d > line.textStart() && p->display.at(d - 1).isSpace())
            d -= 1;
    }
    return m_starts[size_t(i)] + toStorage(*p, d);
}

qsizetype LayoutManager::characterIndexForPoint(const QPointF& point, qreal* fraction)
{
    if (!m_storage || m_starts.empty())
        return 0;
    const qsizetype n = m_storage->length();
    if (point.y() >= usedHeight())
        return n;
    ensureLayoutForRect(QRectF(0, std::max<qreal>(0, point.y()), 1, 1));
    const int i = paragraphIndexForY(std::max<qreal>(0, point.y()));
    Paragraph* p = layoutParagraph(i);
    QTextLine line = lineForY(p->layout.get(), point.y() - m_ys[size_t(i)]);
    if (!line.isValid())
        return m_starts[size_t(i)];
    int d = line.xToCursor(point.x(), QTextLine::CursorOnCharacter);
    const int lineEnd = line.textStart() + line.textLength();
    if (d >= lineEnd && lineEnd > line.textStart())
        d = lineEnd - 1;
    const qsizetype rel = toStorage(*p, d);
    if (fraction) {
        const qreal x0 = line.cursorToX(d);
        const qreal x1 = line.cursorToX(d + 1);
        *fraction = x1 > x0 ? std::clamp((point.x() - x0) / (x1 - x0), 0.0, 1.0) : 0.0;
    }
    return std::min(m_starts[size_t(i)] + rel, n);
}

QList<QRectF> LayoutManager::selectionRects(Range range)
{
    QList<QRectF> out;
    if (!m_storage || m_starts.empty() || range.location == NotFound)
        return out;
    range = Range::intersection(range, Range(0, m_storage->length()));
    if (range.length <= 0)
        return out;
    const int a = paragraphIndexForCharacter(range.location);
    const int b = paragraphIndexForCharacter(range.end() - 1);
    const qreal rightEdge = m_wrapMode == WrapMode::NoWrap ? std::max(usedWidth(), m_containerWidth) : m_containerWidth;
    for (int i = a; i <= b; ++i) {
        Paragraph* p = layoutParagraph(i);
        if (!p)
            continue;
        const qsizetype start = m_starts[size_t(i)];
        const qsizetype ds = toDisplay(*p, range.location - start, false);
        const qsizetype de = toDisplay(*p, range.end() - start, true);
        const bool throughEnd = range.end() > start + p->contentLength;
        const int lines = p->layout->lineCount();
        for (int k = 0; k < lines; ++k) {
            QTextLine line = p->layout->lineAt(k);
            const qsizetype ls = line.textStart();
            const qsizetype le = ls + line.textLength();
            const bool lastLine = k == lines - 1;
            if (de < ls || ds > le)
                continue;
            // A selection that ends where a line starts leaves that line alone, unless
            // it goes on through the paragraph's end (an empty line it spans).
            if (de == ls && !(ds < ls) && !(lastLine && throughEnd))
                continue;
            const qsizetype x1d = std::max(ds, ls);
            const qsizetype x2d = std::min(de, le);
            qreal x1 = line.cursorToX(int(x1d));
            qreal x2 = line.cursorToX(int(x2d));
            if (x1 > x2)
                std::swap(x1, x2);
            if ((!lastLine && de > le) || (lastLine && throughEnd))
                x2 = std::max(x2, rightEdge - m_padding);
            if (x2 <= x1 && !(lastLine && throughEnd))
                continue;
            out.append(QRectF(x1, m_ys[size_t(i)] + line.y(), std::max<qreal>(x2 - x1, 1.0), line.height()));
        }
    }
    return out;
}

Range LayoutManager::lineRangeForCharacter(qsizetype index, SelectionAffinity affinity)
{
    Range r;
    lineFragmentRect(index, &r, affinity);
    return r;
}

qsizetype LayoutManager::nextCaretPosition(qsizetype index) const
{
    if (!m_storage)
        return 0;
    const qsizetype n = m_storage->length();
    if (index >= n)
        return n;
    DisplayUnit u;
    if (unitAt(index, &u))
        return u.range.end();
    return std::min(n, m_storage->composedCharacterRange(index).end());
}

qsizetype LayoutManager::previousCaretPosition(qsizetype index) const
{
    if (!m_storage || index <= 0)
        return 0;
    index = std::min(index, m_storage->length());
    DisplayUnit u;
    if (unitAt(index - 1, &u))
        return u.range.location;
    return m_storage->composedCharacterRange(index - 1).location;
}

Range LayoutManager::characterRangeForRect(const QRectF& rect)
{
    if (!m_storage || m_starts.empty())
        return Range(0, 0);
    ensureLayoutForRect(rect);
    const int a = paragraphIndexForY(rect.top());
    const int b = paragraphIndexForY(rect.bottom());
    qsizetype start = m_starts[size_t(a)];
    qsizetype end = paragraphEnd(b);
    // Narrow the first and last paragraphs to their visible lines.
    if (Paragraph* p = layoutParagraph(a)) {
        QTextLine line = lineForY(p->layout.get(), rect.top() - m_ys[size_t(a)]);
        if (line.isValid())
            start += toStorage(*p, line.textStart());
    }
    if (Paragraph* p = layoutParagraph(b)) {
        QTextLine line = lineForY(p->layout.get(), rect.bottom() - m_ys[size_t(b)]);
        if (line.isValid() && line.lineNumber() < p->layout->lineCount() - 1)
            end = m_starts[size_t(b)] + toStorage(*p, line.textStart() + line.textLength());
    }
    if (end < start)
        end = start;
    return Range(start, end - start);
}

void LayoutManager::enumerateLineFragments(Range range, const std::function<bool(const QRectF&, const QRectF&, Range)>& f)
{
    if (!m_storage || m_starts.empty())
        return;
    range = Range::intersection(range, Range(0, m_storage->length()));
    const int a = paragraphIndexForCharacter(range.location);
    const int b = paragraphIndexForCharacter(range.end());
    for (int i = a; i <= b && i < paragraphCount(); ++i) {
        Paragraph* p = layoutParagraph(i);
        const qsizetype start = m_starts[size_t(i)];
        const int lines = p->layout->lineCount();
        for (int k = 0; k < lines; ++k) {
            QTextLine line = p->layout->lineAt(k);
            const qsizetype cs = start + toStorage(*p, line.textStart());
            qsizetype ce = start + toStorage(*p, line.textStart() + line.textLength());
            if (k == lines - 1)
                ce = paragraphEnd(i);
            if (ce < range.location || (cs > range.end()) || (cs == range.end() && range.length > 0))
                continue;
            const QRectF frag(0, m_ys[size_t(i)] + line.y(), m_containerWidth, line.height());
            const QRectF used(line.x() - m_padding, frag.y(), line.naturalTextWidth() + 2 * m_padding, line.height());
            if (!f(frag, used, Range(cs, ce - cs)))
                return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Drawing

QColor LayoutManager::colourForId(AttributeValueId id, const DrawContext& context) const
{
    return id == 0 ? context.textColor : m_storage->valueForId(ForegroundColorKey, id).value<QColor>();
}

std::vector<LayoutManager::ColouredGlyphs> LayoutManager::colouredGlyphs(const Paragraph& p, qsizetype start, const QTextLine& line) const
{
    // The line's stretches of one colour, in display positions.
    struct Piece {
        qsizetype from;
        qsizetype to;
        AttributeValueId colour;
    };
    QVarLengthArray<Piece, 16> pieces;
    const qsizetype ls = line.textStart();
    const qsizetype le = ls + line.textLength();
    m_storage->forEachRun(ForegroundColorKey, Range(start, p.contentLength), [&](qsizetype s, qsizetype l, AttributeValueId id) {
        const qsizetype end = toDisplay(p, s + l - start, true);
        const qsizetype a = std::max(toDisplay(p, s - start, false), ls);
        const qsizetype b = std::min(end, le);
        if (b > a)
            pieces.append(Piece{a, b, id});
        return end < le;
    });
    std::vector<ColouredGlyphs> out;
    if (pieces.size() <= 1) {
        // One colour: the whole line at once.
        const AttributeValueId colour = pieces.isEmpty() ? 0 : pieces.first().colour;
        for (const QGlyphRun& g : line.glyphRuns())
            out.push_back(ColouredGlyphs{colour, g});
        return out;
    }
    for (const Piece& piece : pieces) {
        for (const QGlyphRun& g : line.glyphRuns(int(piece.from), int(piece.to - piece.from)))
            out.push_back(ColouredGlyphs{piece.colour, g});
    }
    return out;
}

const std::vector<LayoutManager::ColouredGlyphs>& LayoutManager::glyphsOfLine(Paragraph& p, int paragraph, int k)
{
    if (p.glyphs.empty())
        p.glyphs.resize(size_t(p.layout->lineCount()));
    std::optional<std::vector<ColouredGlyphs>>& line = p.glyphs[size_t(k)];
    if (!line)
        line = colouredGlyphs(p, m_starts[size_t(paragraph)], p.layout->lineAt(k));
    return *line;
}

void LayoutManager::draw(QPainter* painter, const QRectF& rect, const DrawContext& context)
{
    if (!m_storage || m_starts.empty())
        return;
    ensureLayoutForRect(rect);
    const int n = paragraphCount();
    const QColor selColor = selectionColor(context);
    for (int i = paragraphIndexForY(rect.top()); i < n && m_ys[size_t(i)] <= rect.bottom(); ++i) {
        Paragraph* p = layoutParagraph(i);
        if (!p)
            continue;
        const qsizetype start = m_starts[size_t(i)];
        const QPointF origin(0, m_ys[size_t(i)]);
        const Range paraRange(start, paragraphEnd(i) - start);
        // 1. Selection backgrounds.
        if (context.drawSelection) {
            for (const Range& sel : context.selectedRanges) {
                if (sel.length <= 0 || sel.end() <= paraRange.location || sel.location >= std::max(paraRange.end(), paraRange.location + 1))
                    continue;
                const Range part = Range::intersection(sel, paraRange);
                for (const QRectF& r : selectionRects(part)) {
                    if (r.intersects(rect))
                        painter->fillRect(r, selColor);
                }
            }
        }
        // 2. Glyphs, coloured per run, kept from the paint before when nothing changed.
        const int lines = p->layout->lineCount();
        for (int k = 0; k < lines; ++k) {
            QTextLine line = p->layout->lineAt(k);
            const qreal top = m_ys[size_t(i)] + line.y();
            if (top > rect.bottom() || top + line.height() < rect.top())
                continue;
            // A huge paragraph keeps no glyphs: they would cost more than its text.
            std::vector<ColouredGlyphs> unkept;
            if (p->display.size() > HugeParagraph)
                unkept = colouredGlyphs(*p, start, line);
            for (const ColouredGlyphs& g : p->display.size() > HugeParagraph ? unkept : glyphsOfLine(*p, i, k)) {
                painter->setPen(colourForId(g.colour, context));
                painter->drawGlyphRun(origin, g.glyphs);
            }
        }
        // 3. Units on top.
        for (const Segment& seg : p->segments) {
            QTextLine line = lineFor(p->layout.get(), seg.display, SelectionAffinity::Downstream);
            if (!line.isValid())
                continue;
            const qreal x = line.cursorToX(int(seg.display));
            const qreal top = m_ys[size_t(i)] + line.y();
            const QRectF box(x, top, seg.width, line.height());
            if (!box.intersects(rect.adjusted(-1, -1, 1, 1)))
                continue;
            DisplayUnit u{Range(start + seg.storage, seg.length), seg.width, seg.kind};
            drawDisplayUnit(painter, u, box, top + line.ascent(), QRectF(0, top, m_containerWidth, line.height()), context);
        }
    }
}

} // namespace kit
