#include "syntax/KELDocumentStructure.h"

#include "syntax/KELSyntaxTextView.h"
#include "kit/Log.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELDocumentStructureParser.h"
#include "syntax/KELDocumentStructureSubtypeItem.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxType.h"

#include <algorithm>

using kit::Range;

KELDocumentStructure::KELDocumentStructure(
    kit::TextStorage* storage, std::function<SyntaxType*()> syntaxType, QObject* parent)
    : QObject(parent)
    , m_storage(storage)
    , m_syntaxType(std::move(syntaxType))
{
}

KELDocumentStructure::~KELDocumentStructure() = default;

void KELDocumentStructure::setTextView(KELSyntaxTextView* view) { m_textView = view; }

SyntaxType* KELDocumentStructure::syntaxType() const { return m_syntaxType ? m_syntaxType() : nullptr; }

QString KELDocumentStructure::currentString() const { return m_storage ? m_storage->string() : QString(); }

qsizetype KELDocumentStructure::indexOfItem(const KELDocumentStructureItem* item) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == item)
            return i;
    return -1;
}

// --- Absolute locations ---------------------------------------------------------------------

void KELDocumentStructure::ensureCorrectAbsoluteThroughIndex(qsizetype index)
{
    index = std::min(index, m_items.size() - 1);
    if (index <= m_correctAbsoluteIndex)
        return;
    qsizetype location = m_correctAbsoluteIndex >= 0 ? m_items[m_correctAbsoluteIndex]->absoluteLocation() : 0;
    for (qsizetype i = m_correctAbsoluteIndex + 1; i <= index; ++i) {
        location += m_items[i]->offsetFromPreviousItem();
        m_items[i]->setAbsoluteLocation(location);
    }
    m_correctAbsoluteIndex = index;
}

qsizetype KELDocumentStructure::absoluteLocationOfItemAtIndex(qsizetype index)
{
    if (index < 0 || index >= m_items.size())
        return kit::NotFound;
    ensureCorrectAbsoluteThroughIndex(index);
    return m_items[index]->absoluteLocation();
}

Range KELDocumentStructure::locationRangeOfItemAtIndex(qsizetype index)
{
    if (index < 0 || index >= m_items.size())
        return Range(kit::NotFound, 0);
    return Range(absoluteLocationOfItemAtIndex(index), m_items[index]->length());
}

Range KELDocumentStructure::textRangeOfItemAtIndex(qsizetype index)
{
    if (index < 0 || index >= m_items.size())
        return Range(kit::NotFound, 0);
    return Range(absoluteLocationOfItemAtIndex(index), m_items[index]->docStructureLength());
}

Range KELDocumentStructure::textRangeToSelectForItem(const KELDocumentStructureItem* item)
{
    const qsizetype index = indexOfItem(item);
    if (index < 0)
        return Range(kit::NotFound, 0);
    return Range(absoluteLocationOfItemAtIndex(index), item->selectionLength());
}

// --- Searches -------------------------------------------------------------------------------

qsizetype KELDocumentStructure::indexOfLastItemBeforeLocation(
    qsizetype x, const std::function<qsizetype(KELDocumentStructure*, qsizetype)>& f)
{
    const qsizetype c = m_correctAbsoluteIndex;
    if (c >= 0 && f(this, c) > x) {
        // Binary search where the cached locations are valid.
        qsizetype lo = -1;
        qsizetype hi = c;
        while (lo < hi) {
            const qsizetype mid = (lo + 1 + hi) / 2;
            if (f(this, mid) <= x)
                lo = mid;
            else
                hi = mid - 1;
        }
        return lo;
    }
    qsizetype index = c;
    while (index + 1 < m_items.size() && f(this, index + 1) <= x)
        ++index;
    return index;
}

qsizetype KELDocumentStructure::indexOfLastItemStartingBeforeLocation(qsizetype location)
{
    return indexOfLastItemBeforeLocation(
        location, [](KELDocumentStructure* s, qsizetype i) { return s->absoluteLocationOfItemAtIndex(i); });
}

qsizetype KELDocumentStructure::indexOfLastItemEndingBeforeLocation(qsizetype location)
{
    return indexOfLastItemBeforeLocation(
        location, [](KELDocumentStructure* s, qsizetype i) { return s->locationRangeOfItemAtIndex(i).end(); });
}

qsizetype KELDocumentStructure::indexOfLastItemTextEndingBeforeLocation(qsizetype location)
{
    return indexOfLastItemBeforeLocation(
        location, [](KELDocumentStructure* s, qsizetype i) { return s->textRangeOfItemAtIndex(i).end(); });
}

// --- Edits and reports ----------------------------------------------------------------------

Range KELDocumentStructure::invalidateStructureForEditInRange(Range edited, qsizetype d)
{
    const qsizetype l = edited.location;
    const qsizetype k = edited.length;
    // The edit in the old text, with one character of context on the left.
    const Range old = l > 0 ? Range(l - 1, std::max<qsizetype>(0, k - d + 1)) : Range(0, std::max<qsizetype>(0, k - d));
    const qsizetype s = old.location;

    Range affected = old;
    for (qsizetype i = indexOfLastItemTextEndingBeforeLocation(s) + 1; i < m_items.size(); ++i) {
        const Range t = textRangeOfItemAtIndex(i);
        if (t.end() <= s || old.end() <= t.location)
            break;
        affected = Range::unionOf(affected, t);
    }

    clearItemsInRange(old);

    const qsizetype j = indexOfLastItemStartingBeforeLocation(l);
    m_correctAbsoluteIndex = std::min(m_correctAbsoluteIndex, j);
    if (j + 1 < m_items.size()) {
        KELDocumentStructureItem* next = m_items[j + 1].get();
        next->setOffsetFromPreviousItem(next->offsetFromPreviousItem() + d);
    }
    return Range(affected.location, std::max<qsizetype>(0, affected.length + d));
}

void KELDocumentStructure::clearItemsInRange(Range range)
{
    if (m_items.isEmpty())
        return;
    const qsizetype x = range.location;
    const qsizetype n = range.length;
    const qsizetype j = indexOfLastItemEndingBeforeLocation(x);
    qsizetype sum = 0;
    qsizetype i = j + 1;
    for (; i < m_items.size(); ++i) {
        const Range r = locationRangeOfItemAtIndex(i);
        sum += m_items[i]->offsetFromPreviousItem();
        if (!(r.end() > x && x + n > r.location))
            break;
    }
    const qsizetype removed = i - (j + 1);
    if (removed <= 0)
        return;
    m_correctAbsoluteIndex = std::min(m_correctAbsoluteIndex, j);
    if (i < m_items.size())
        m_items[i]->setOffsetFromPreviousItem(sum); // keeps its absolute location
    m_items.remove(j + 1, removed);
    Q_EMIT itemsRemoved(j + 1, removed);
}

void KELDocumentStructure::removeAllItems()
{
    const qsizetype count = m_items.size();
    if (count == 0)
        return;
    m_items.clear();
    m_correctAbsoluteIndex = -1;
    Q_EMIT itemsRemoved(0, count);
}

void KELDocumentStructure::clearedSyntaxStructuresOfType(const QString&, const SyntaxText&, Range range)
{
    clearItemsInRange(range);
}

QString KELDocumentStructure::textAround(const SyntaxText& text, Range range, qsizetype* origin)
{
    if (!text.storage()) {
        *origin = 0;
        return *text.string();
    }
    // The parsers read the structure and a little around it: a bookmark comment's
    // start up to 150 characters before, a link's text, an included path up to 1,000
    // after. A pass reports its structures in the order of the text, so one piece
    // serves many of them; the storage is never asked for its whole text, which
    // would make it close its typing gap after every keystroke.
    constexpr qsizetype Before = 256;
    constexpr qsizetype After = 1024;
    constexpr qsizetype PieceLength = 64 * 1024;
    const kit::TextStorage* storage = text.storage();
    const qsizetype n = storage->length();
    const qsizetype from = std::clamp<qsizetype>(range.location - Before, 0, n);
    const qsizetype to = std::clamp<qsizetype>(range.end() + After, from, n);
    if (storage != m_storage) {
        // Another storage's text: not kept, our piece's version says nothing of it.
        *origin = from;
        return storage->substring(Range(from, to - from));
    }
    if (m_piece.version != storage->charactersVersion() || from < m_piece.origin
        || to > m_piece.origin + m_piece.text.size()) {
        m_piece.version = storage->charactersVersion();
        m_piece.origin = from;
        m_piece.text = storage->substring(Range(from, std::clamp<qsizetype>(from + PieceLength, to, n) - from));
    }
    *origin = m_piece.origin;
    return m_piece.text;
}

void KELDocumentStructure::foundSyntaxStructure(
    const QString& structureName, const QString& typeName, const SyntaxText& text, Range range)
{
    KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(typeName);
    if (!parser)
        return;
    qsizetype from = 0;
    const QString window = textAround(text, range, &from);
    Range actual = Range(range.location - from, range.length);
    KELDocumentStructureItemRef item
        = parser->parseSyntaxStructure(structureName, window, Range(range.location - from, range.length), &actual);
    if (!item)
        return;
    actual.location += from;
    const qsizetype j = indexOfLastItemStartingBeforeLocation(actual.location);
    const qsizetype base = j >= 0 ? absoluteLocationOfItemAtIndex(j) : 0;
    item->setOffsetFromPreviousItem(actual.location - base);
    item->setLength(actual.length);
    m_correctAbsoluteIndex = std::min(m_correctAbsoluteIndex, j);
    if (j + 1 < m_items.size()) {
        KELDocumentStructureItem* next = m_items[j + 1].get();
        next->setOffsetFromPreviousItem(next->offsetFromPreviousItem() - item->offsetFromPreviousItem());
    }
    m_items.insert(j + 1, std::move(item));
    Q_EMIT itemsInserted(j + 1, 1);
}

// --- Folding --------------------------------------------------------------------------------

QList<KELDocumentStructureSegmentRef> KELDocumentStructure::structureSegmentsInText(
    const QString& text, Range range, bool force)
{
    SyntaxType* type = syntaxType();
    const QString rootName = type && type->rootType() ? type->rootType()->typeName() : QString();
    qsizetype index = indexOfLastItemTextEndingBeforeLocation(range.location) + 1;
    QList<KELDocumentStructureSegmentRef> result
        = structureSegmentsInText(text.size(), range, force, rootName, Range(0, text.size()), &index);
    std::stable_sort(result.begin(), result.end(),
        [](const KELDocumentStructureSegmentRef& a, const KELDocumentStructureSegmentRef& b) {
            return a->compareByLocation(*b) < 0;
        });
    return result;
}

QList<KELDocumentStructureSegmentRef> KELDocumentStructure::structureSegmentsInRange(Range range, bool force)
{
    const qsizetype length = m_storage ? m_storage->length() : 0;
    SyntaxType* type = syntaxType();
    const QString rootName = type && type->rootType() ? type->rootType()->typeName() : QString();
    qsizetype index = indexOfLastItemTextEndingBeforeLocation(range.location) + 1;
    QList<KELDocumentStructureSegmentRef> result
        = structureSegmentsInText(length, range, force, rootName, Range(0, length), &index);
    std::stable_sort(result.begin(), result.end(),
        [](const KELDocumentStructureSegmentRef& a, const KELDocumentStructureSegmentRef& b) {
            return a->compareByLocation(*b) < 0;
        });
    return result;
}

namespace {

bool startsWith(const SyntaxStructureStack& stack, const SyntaxStructureStack& prefix)
{
    const QStringList& a = stack.structures();
    const QStringList& b = prefix.structures();
    return a.size() >= b.size() && std::equal(b.begin(), b.end(), a.begin());
}

} // namespace

Range KELDocumentStructure::wholeNestedRegion(SyntaxType* type, const QString& enclosingTypeName,
    SyntaxType* nested, qsizetype location, Range region, qsizetype limit)
{
    // The structure of the enclosing language that opened the region, when it is known.
    SyntaxType* enclosing = type->manager() ? type->manager()->typeForName(enclosingTypeName) : nullptr;
    SyntaxStructureStack opened;
    if (enclosing) {
        opened = enclosing->storedStackAt(m_storage, location);
        const SyntaxStructure* top
            = opened.isEmpty() ? nullptr : enclosing->structureWithName(opened.currentStructureName());
        if (!top || top->typeRef() != nested->typeName())
            opened = SyntaxStructureStack();
    }
    while (region.end() < limit) {
        const qsizetype end = region.end();
        // The grammar may cut one region of a language into several runs (the rules
        // inside an @media block): the runs that follow on are the same region, so
        // that its folds pair across them.
        Range more(kit::NotFound, 0);
        if (type->nestedSyntaxTypeForKELHTMLView(m_storage, end, &more) == nested && more.location == end
            && more.length > 0) {
            region.length += more.length;
            continue;
        }
        // A structure of the enclosing language inside the region (a string in a CSS
        // declaration block belongs to the style sheet) does not end it: the region
        // goes on while the enclosing state still holds what opened it.
        Range run;
        if (opened.isEmpty() || !startsWith(enclosing->storedStackAt(m_storage, end, &run), opened)
            || run.location == kit::NotFound || run.end() <= end)
            break;
        region.length = std::min(run.end(), limit) - region.location;
    }
    return region;
}

QList<KELDocumentStructureSegmentRef> KELDocumentStructure::structureSegmentsInText(
    qsizetype textLength, Range range, bool force, const QString& t, Range typeRange, qsizetype* itemIndex)
{
    QList<KELDocumentStructureSegmentRef> results;
    QList<KELDocumentStructureItemRef> open;
    qsizetype extra = 0;
    const qsizetype x = range.location;
    const qsizetype n = range.length;
    const qsizetype typeEnd = typeRange.end();
    const qsizetype limit = std::min<qsizetype>(textLength, typeEnd);
    qsizetype& i = *itemIndex;

    auto segmentFor = [&](const KELDocumentStructureItemRef& openItem, qsizetype location) {
        return std::make_shared<KELDocumentStructureSegment>(this, openItem, location + openItem->preFoldLength());
    };

    for (; i < m_items.size(); ++i) {
        const KELDocumentStructureItemRef item = m_items[i];
        const qsizetype location = absoluteLocationOfItemAtIndex(i);
        if (location >= limit)
            break;
        if (location >= x + n + extra && !(force && !open.isEmpty()))
            break;
        if (item->typeName() != t) {
            if (location < std::min(x + n, typeEnd) && m_storage) {
                SyntaxType* type = syntaxType();
                Range nestedRange(kit::NotFound, 0);
                SyntaxType* nested
                    = type ? type->nestedSyntaxTypeForKELHTMLView(m_storage, location, &nestedRange) : nullptr;
                if (nested && nested->typeName() == item->typeName() && nestedRange.location != kit::NotFound) {
                    nestedRange = wholeNestedRegion(type, t, nested, location, nestedRange, limit);
                    const qsizetype before = i;
                    results
                        += structureSegmentsInText(textLength, range, force, item->typeName(), nestedRange, itemIndex);
                    if (i > before)
                        --i; // the item where the nested scan stopped is looked at here next
                }
            }
            continue;
        }
        KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(item->typeName());
        if (item->closesSegment() && parser) {
            qsizetype stop = -1; // open entries above this index are closed
            qsizetype k = open.size() - 1;
            for (; k >= 0; --k) {
                const KELDocumentStructureItemRef& entry = open[k];
                if (entry->typeName() != item->typeName())
                    continue;
                bool matched = false;
                if (!parser->itemClosesItem(*item, *entry, &matched)) {
                    stop = k;
                    break;
                }
                if (matched) {
                    stop = k - 1;
                    break;
                }
            }
            if (k < 0)
                stop = -1;
            for (qsizetype e = open.size() - 1; e > stop; --e) {
                const KELDocumentStructureItemRef entry = open[e];
                const qsizetype entryLocation = absoluteLocationOfItemAtIndex(indexOfItem(entry.get()));
                KELDocumentStructureSegmentRef segment = segmentFor(entry, entryLocation);
                segment->setCloseItem(item);
                const qsizetype end = location;
                if (end > segment->contentsLocation()) {
                    segment->setContentsRange(Range(segment->contentsLocation(), end - segment->contentsLocation()));
                    KELDocumentStructureParser* entryParser
                        = KELDocumentStructureParser::parserForType(entry->typeName());
                    if (entryParser && end - segment->contentsLocation() >= entryParser->minimumFoldLength()
                        && entryParser->itemIsSuggestedCodeFold(*entry))
                        results.append(segment);
                }
            }
            open.resize(std::max<qsizetype>(stop + 1, 0));
        }
        if (item->opensSegment() && parser) {
            extra = std::max(extra, parser->minimumFoldLength());
            open.append(item);
        }
    }
    for (const KELDocumentStructureItemRef& entry : std::as_const(open)) {
        const qsizetype entryLocation = absoluteLocationOfItemAtIndex(indexOfItem(entry.get()));
        KELDocumentStructureSegmentRef segment = segmentFor(entry, entryLocation);
        if (force)
            segment->setContentsRange(
                Range(segment->contentsLocation(), std::max<qsizetype>(0, typeEnd - segment->contentsLocation())));
        results.append(segment);
    }
    return results;
}

KELDocumentStructureSegmentRef KELDocumentStructure::structureSegmentForOpenItem(
    const KELDocumentStructureItemRef& item)
{
    const qsizetype index = indexOfItem(item.get());
    if (index < 0) {
        kit::log(QStringLiteral("allItems does not contain item (structureSegmentForOpenItem:)"));
        return nullptr;
    }
    const qsizetype location = absoluteLocationOfItemAtIndex(index);
    KELDocumentStructureItemRef openItem = item;
    // Until the colouring has passed where the segment closes, its close is not
    // known and the scan would end it where the coloured part ends. Colour on in
    // growing stretches until the close turns up or the whole text is coloured.
    qsizetype coloredThrough = m_colorThrough ? m_colorThrough(location) : kit::NotFound;
    qsizetype stretch = 64 * 1024;
    for (;;) {
        // A pass that went over the opening again made a new item for it.
        if (indexOfItem(openItem.get()) < 0 && !(openItem = sameItemAtLocation(*openItem, location))) {
            kit::log(QStringLiteral("No matching segment found (structureSegmentForOpenItem:)"));
            return nullptr;
        }
        const QList<KELDocumentStructureSegmentRef> segments = structureSegmentsInRange(Range(location, 1), true);
        KELDocumentStructureSegmentRef found;
        for (const KELDocumentStructureSegmentRef& segment : segments)
            if (segment->openItem() == openItem)
                found = segment;
        if (!found) {
            kit::log(QStringLiteral("No matching segment found (structureSegmentForOpenItem:)"));
            return nullptr;
        }
        if (!m_colorThrough)
            return found;
        const qsizetype before = coloredThrough;
        if (found->closeItem()) {
            // A close found ahead of the colouring (a stretch coloured because it
            // showed) holds only once the colouring has got there.
            const qsizetype closeLocation = absoluteLocationOfItemAtIndex(indexOfItem(found->closeItem().get()));
            if (closeLocation <= coloredThrough)
                return found;
            coloredThrough = m_colorThrough(closeLocation);
        } else {
            coloredThrough = m_colorThrough(coloredThrough + stretch);
            stretch *= 2;
        }
        if (coloredThrough <= before)
            return found;
    }
}

KELDocumentStructureItemRef KELDocumentStructure::sameItemAtLocation(
    const KELDocumentStructureItem& item, qsizetype location)
{
    for (qsizetype i = indexOfLastItemStartingBeforeLocation(location);
         i >= 0 && absoluteLocationOfItemAtIndex(i) == location; --i) {
        const KELDocumentStructureItemRef& candidate = m_items[i];
        if (candidate->segmentType() == item.segmentType() && candidate->typeName() == item.typeName()
            && candidate->name() == item.name())
            return candidate;
    }
    return nullptr;
}

// --- Comments -------------------------------------------------------------------------------

Range KELDocumentStructure::rangeForCommentOperation(Range range, QString* typeName)
{
    SyntaxType* type = syntaxType();
    Range region(0, m_storage ? m_storage->length() : 0);
    SyntaxType* inner
        = type && m_storage ? type->nestedSyntaxTypeForKELHTMLView(m_storage, range.location, &region) : type;
    const QString name = inner ? inner->typeName() : QString();
    if (typeName)
        *typeName = name;
    Range r = range.length == 0 ? Range(range.location, 0) : Range::intersection(range, region);
    // From the item that ends at the range (an opening just before it) on.
    for (qsizetype i = std::max<qsizetype>(0, indexOfLastItemEndingBeforeLocation(r.location)); i < m_items.size(); ++i) {
        const Range item = locationRangeOfItemAtIndex(i);
        if (item.location >= r.end())
            break;
        if (!dynamic_cast<KELDocumentStructureSubtypeItem*>(m_items[i].get()))
            continue;
        if (m_items[i]->typeName() != name) {
            // The opening or end of another language's region ("<?php") is never split.
            if (item.location < r.location && item.end() > r.location)
                r = Range(item.end(), std::max<qsizetype>(0, r.end() - item.end()));
            else if (item.location > r.location && item.location < r.end() && item.end() > r.end())
                r.length = item.location - r.location;
            continue;
        }
        if (item.location > r.location) {
            r.length = item.location - r.location;
        } else {
            const qsizetype e = item.end();
            if (e > r.end())
                return Range(kit::NotFound, 0);
            if (r.location <= e) {
                // A comment right after the opening would join it ("<?php//" opens nothing):
                // it starts after the blanks that follow.
                const bool hadText = r.end() > e;
                r = Range(e, r.end() - e);
                const QString text = currentString();
                while (r.length > 0 && r.location < text.size() && text.at(r.location).isSpace()) {
                    ++r.location;
                    --r.length;
                }
                while (!hadText && r.location < text.size()
                    && (text.at(r.location) == QLatin1Char(' ') || text.at(r.location) == QLatin1Char('\t')))
                    ++r.location;
                if (hadText && r.length == 0)
                    return Range(kit::NotFound, 0);
            }
        }
    }
    return r;
}

bool KELDocumentStructure::canAddOrRemoveCommentsForSelection(bool* isCommented)
{
    bool commented = true;
    bool any = false;
    if (m_textView) {
        const QList<Range> ranges = m_textView->selectedRanges();
        for (const Range& selected : ranges) {
            QString typeName;
            const Range r = rangeForCommentOperation(selected, &typeName);
            KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(typeName);
            if (r.location == kit::NotFound || !parser || !parser->supportsComments())
                continue;
            any = true;
            if (commented)
                commented = parser->isCommented(m_textView, r);
        }
    }
    if (!any)
        commented = false;
    if (isCommented)
        *isCommented = commented;
    return any;
}

bool KELDocumentStructure::isSelectionCommented()
{
    bool commented = false;
    canAddOrRemoveCommentsForSelection(&commented);
    return commented;
}

void KELDocumentStructure::addCommentsForSelection() { commentSelection(true); }

void KELDocumentStructure::removeCommentsForSelection() { commentSelection(false); }

void KELDocumentStructure::commentSelection(bool add)
{
    if (!m_textView)
        return;
    const QList<Range> ranges = m_textView->selectedRanges();
    QList<Range> result;
    qsizetype shift = 0;
    for (const Range& selected : ranges) {
        Range moved(selected.location + shift, selected.length);
        QString typeName;
        const Range r = rangeForCommentOperation(moved, &typeName);
        KELDocumentStructureParser* parser = KELDocumentStructureParser::parserForType(typeName);
        if (r.location != kit::NotFound && parser && parser->supportsComments()) {
            qsizetype change = 0;
            moved = add ? parser->addComments(m_textView, r, &change) : parser->removeComments(m_textView, r, &change);
            shift += change;
        }
        result.append(moved);
    }
    if (!result.isEmpty())
        m_textView->setSelectedRanges(result);
}
