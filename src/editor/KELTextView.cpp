#include "editor/KELTextView.h"

#include "editor/KELLayoutManager.h"
#include "editor/KELTokenParser.h"
#include "kit/text/ScrollView.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

using kit::Range;

KELTextView::KELTextView(QWidget* parent) : KELSyntaxTextView(parent)
{
    replaceLayoutManager(new KELLayoutManager(this));
    textStorage()->setDelegate(this);
    registerAction(QStringLiteral("foldSelection:"), [this](QObject*) { foldSelection(); },
                   [this](QAction*) { return validateUserInterfaceItem(QStringLiteral("foldSelection:")); });
    registerAction(QStringLiteral("unfoldSelection:"), [this](QObject*) { unfoldSelection(); },
                   [this](QAction*) { return validateUserInterfaceItem(QStringLiteral("unfoldSelection:")); });
    registerAction(QStringLiteral("unfoldAll:"), [this](QObject*) { unfoldAll(); });
}

KELTextView::~KELTextView()
{
    if (textStorage() && textStorage()->delegate() == this)
        textStorage()->setDelegate(nullptr);
}

KELLayoutManager* KELTextView::editorLayoutManager() const
{
    return static_cast<KELLayoutManager*>(layoutManager());
}

void KELTextView::setTextStorage(kit::TextStorage* storage)
{
    if (textStorage() && textStorage()->delegate() == this)
        textStorage()->setDelegate(nullptr);
    kit::TextView::setTextStorage(storage);
    if (storage)
        storage->setDelegate(this);
}

// ---------------------------------------------------------------------------------------------
// Tokens

void KELTextView::textStorageDidProcessEditing(kit::TextStorage* storage)
{
    if (storage == textStorage())
        KELTokenParser::sharedTokenParser().textStorageDidProcessEditing(storage);
}

void KELTextView::updateTokens()
{
    // Bubbles change colour with focus; the visible area is cheap to repaint.
    update();
}

bool KELTextView::isTokenAtCharacterIndex(qsizetype index) const
{
    return KELTokenParser::tokenTypeAt(textStorage(), index) != 0;
}

bool KELTextView::rangeTouchesToken(Range range) const
{
    const kit::TextStorage* ts = textStorage();
    range = Range::intersection(range, Range(0, ts->length()));
    for (qsizetype i = range.location; i < range.end();) {
        Range run;
        if (ts->attribute(KELTokenIdAttributeName, i, &run, range).isValid())
            return true;
        i = std::max(run.end(), i + 1);
    }
    return false;
}

bool KELTextView::tokenAt(qsizetype index, TokenInfo* info) const
{
    const kit::TextStorage* ts = textStorage();
    if (index < 0 || index >= ts->length())
        return false;
    const int type = KELTokenParser::tokenTypeAt(ts, index);
    if (type == 0)
        return false;
    Range run;
    if (!KELTokenParser::tokenIdAt(ts, index, &run) || run.length < 2)
        return false;
    info->range = run;
    info->type = type;
    return true;
}

Range KELTextView::normalizedCharacterRangeForRange(Range p, int m) const
{
    const qsizetype n = textStorage()->length();
    if (p.location == kit::NotFound || p.location >= n)
        return p;
    const qsizetype loc = p.location;
    const qsizetype len = p.length;
    Range r = p;
    TokenInfo t;
    // Start side.
    if (len > 0 && tokenAt(loc, &t)) {
        const qsizetype rs = t.range.location, rl = t.range.length, tokenEnd = t.range.end();
        if (t.type != KELTokenTypeFold) {
            if (m == 2 && rs < loc)
                r = Range(tokenEnd, std::max<qsizetype>(0, loc + len - tokenEnd));
            else if (m == 2 && rs == loc)
                r = p;
            else
                r = Range::unionOf(t.range, p);
        } else {
            if (m == 1 && p == Range(rs, 1))
                r = Range(loc, 0);
            else if (m == 1 && p == Range(rs, rl - 1))
                r = Range(loc, 0);
            else if (m == 2 && loc == rs + 1 && p.end() >= tokenEnd)
                r = Range(tokenEnd, std::max<qsizetype>(0, loc + len - tokenEnd));
            else
                r = Range::unionOf(t.range, p);
        }
    }
    // End side.
    const qsizetype e = r.end();
    if (e == 0 || !tokenAt(e - 1, &t) || t.range.end() <= r.location)
        return r;
    const qsizetype rs = t.range.location, tokenEnd = t.range.end();
    const qsizetype s = std::min(r.location, rs);
    if (t.type != KELTokenTypeFold) {
        if (m == 1)
            return (tokenEnd > e || rs + 1 == loc) ? Range(s, rs - s) : r;
        return r.length == 0 ? Range(tokenEnd, 0) : Range::unionOf(t.range, r);
    }
    if (m == 1)
        return e == rs + 1 ? Range(s, rs - s) : r;
    if (m == 2)
        return r.location == rs + 1 ? Range(tokenEnd, std::max<qsizetype>(0, e - tokenEnd)) : Range::unionOf(t.range, r);
    if (r.length > 0)
        return Range::unionOf(t.range, r);
    return m == 3 ? Range(rs, 0) : Range(tokenEnd, 0);
}

void KELTextView::normalizeSelection()
{
    setSelectedRangesFromUser(selectedRanges(), selectionAffinity(), false);
}

Range KELTextView::visibleRange()
{
    return layoutManager()->characterRangeForRect(visibleContainerRect());
}

void KELTextView::layoutVisibleText()
{
    // Laying out repaints what changed: edits, folds and colours ask for their own lines.
    if (window())
        visibleRange();
}

void KELTextView::setInvalidateDisplayOnlyForAttributeChange(bool on)
{
    if (KELLayoutManager* lm = editorLayoutManager())
        lm->setInvalidateDisplayOnlyForAttributeChange(on);
}

// ---------------------------------------------------------------------------------------------
// Selection

QList<Range> KELTextView::willChangeSelection(const QList<Range>& oldRanges, const QList<Range>& proposed)
{
    if (proposed.isEmpty())
        return oldRanges; // an empty proposal keeps the selection
    QList<Range> normalized;
    for (const Range& r : proposed)
        normalized.append(normalizedCharacterRangeForRange(r, m_currentMovement));
    std::sort(normalized.begin(), normalized.end(), [](const Range& a, const Range& b) { return a.location < b.location; });
    QList<Range> out;
    Range built = normalized.first();
    for (qsizetype i = 1; i < normalized.size(); ++i) {
        if (built.end() >= normalized[i].location)
            built = Range::unionOf(built, normalized[i]);
        else {
            out.append(built);
            built = normalized[i];
        }
    }
    out.append(built);
    return out;
}

Range KELTextView::selectionRangeForProposedRange(Range proposed, kit::SelectionGranularity granularity)
{
    return normalizedCharacterRangeForRange(kit::TextView::selectionRangeForProposedRange(proposed, granularity), m_currentMovement);
}

qsizetype KELTextView::characterIndexForInsertionAtPoint(const QPointF& viewPoint)
{
    const qsizetype i = kit::TextView::characterIndexForInsertionAtPoint(viewPoint);
    return normalizedCharacterRangeForRange(Range(i, 0), 0).location;
}

void KELTextView::setSelectedRange(Range range)
{
    KELTokenParser::sharedTokenParser().detokenizePartialTokens(textStorage(), range);
    kit::TextView::setSelectedRange(range);
}

void KELTextView::setSelectedRanges(const QList<Range>& ranges)
{
    for (const Range& r : ranges)
        KELTokenParser::sharedTokenParser().detokenizePartialTokens(textStorage(), r);
    kit::TextView::setSelectedRanges(ranges);
}

void KELTextView::setSelectedRanges(const QList<Range>& ranges, kit::SelectionAffinity affinity, bool stillSelecting)
{
    if (m_isSpellChecking) {
        for (const Range& r : ranges)
            KELTokenParser::sharedTokenParser().detokenizePartialTokens(textStorage(), r);
    }
    kit::TextView::setSelectedRanges(ranges, affinity, stillSelecting);
}

// ---------------------------------------------------------------------------------------------
// Movement and deletion

template <typename F>
void KELTextView::withMovement(int movement, F&& f)
{
    struct Reset {
        int& value;
        ~Reset() { value = 0; }
    } reset{m_currentMovement};
    m_currentMovement = movement;
    f();
}

void KELTextView::moveLeft()
{
    const qsizetype l = selectedRanges().isEmpty() ? 0 : selectedRanges().first().location;
    if (l > 0 && isTokenAtCharacterIndex(l - 1)) {
        const Range token = normalizedCharacterRangeForRange(Range(l - 1, 1));
        setSelectedRange(Range(token.location, 0));
        scrollRangeToVisible(selectedRange());
        return;
    }
    kit::TextView::moveLeft();
}

void KELTextView::moveWordLeft()
{
    const qsizetype l = selectedRanges().isEmpty() ? 0 : selectedRanges().first().location;
    if (l > 0 && isTokenAtCharacterIndex(l - 1)) {
        moveLeft();
        return;
    }
    kit::TextView::moveWordLeft();
}

void KELTextView::moveWordRight()
{
    const qsizetype e = selectedRanges().isEmpty() ? 0 : selectedRanges().last().end();
    if (e < textStorage()->length() && isTokenAtCharacterIndex(e)) {
        kit::TextView::moveRight();
        return;
    }
    kit::TextView::moveWordRight();
}

void KELTextView::moveUp()
{
    withMovement(3, [this] { kit::TextView::moveUp(); });
}

void KELTextView::moveBackward()
{
    withMovement(3, [this] { kit::TextView::moveBackward(); });
}

void KELTextView::moveLeftAndModifySelection()
{
    withMovement(1, [this] { kit::TextView::moveLeftAndModifySelection(); });
}

void KELTextView::moveRightAndModifySelection()
{
    withMovement(2, [this] { kit::TextView::moveRightAndModifySelection(); });
}

void KELTextView::moveWordLeftAndModifySelection()
{
    withMovement(1, [this] {
        const bool single = selectedRanges().size() == 1;
        const Range before = selectedRange();
        kit::TextView::moveWordLeftAndModifySelection();
        if (single && selectedRange() == before)
            kit::TextView::moveLeftAndModifySelection();
    });
}

void KELTextView::moveWordRightAndModifySelection()
{
    withMovement(2, [this] { kit::TextView::moveWordRightAndModifySelection(); });
}

void KELTextView::deleteBackward()
{
    const QList<Range> sel = selectedRanges();
    if (sel.size() == 1 && sel.first().length == 0 && sel.first().location > 0 && isTokenAtCharacterIndex(sel.first().location - 1))
        setSelectedRange(normalizedCharacterRangeForRange(Range(sel.first().location - 1, 1)));
    kit::TextView::deleteBackward();
}

void KELTextView::deleteForward()
{
    const QList<Range> sel = selectedRanges();
    if (sel.size() == 1 && sel.first().length == 0 && sel.first().location < textStorage()->length()
        && isTokenAtCharacterIndex(sel.first().location))
        setSelectedRange(normalizedCharacterRangeForRange(Range(sel.first().location, 1)));
    kit::TextView::deleteForward();
}

void KELTextView::deleteWordBackward()
{
    const QList<Range> sel = selectedRanges();
    if (sel.size() == 1 && sel.first().length == 0) {
        if (sel.first().location == 0)
            return;
        moveWordLeftAndModifySelection();
        deleteBackward();
        return;
    }
    kit::TextView::deleteWordBackward();
}

void KELTextView::deleteWordForward()
{
    const QList<Range> sel = selectedRanges();
    if (sel.size() == 1 && sel.first().length == 0) {
        if (sel.first().location >= textStorage()->length())
            return;
        moveWordRightAndModifySelection();
        deleteForward();
        return;
    }
    kit::TextView::deleteWordForward();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void KELTextView::mouseDown(QMouseEvent* event)
{
    if (event->modifiers() & Qt::ShiftModifier || event->button() != Qt::LeftButton) {
        kit::TextView::mouseDown(event);
        return;
    }
    const QPointF doc = viewPointToDocument(event->position());
    const qsizetype c = characterIndexForPoint(doc);
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    if (c < textStorage()->length() && parser.textStorageHasTokenStartingAtIndex(textStorage(), c)) {
        const QRectF box = layoutManager()->boundingRect(Range(c, 1)).translated(textContainerOrigin());
        if (box.contains(doc)) {
            if (!hasFocus())
                setFocus(Qt::MouseFocusReason);
            if (clickCount() == 1) {
                setSelectedRangesFromUser({normalizedCharacterRangeForRange(Range(c, 1))}, kit::SelectionAffinity::Downstream, false);
            } else if (clickCount() == 2 && KELTokenParser::tokenTypeAt(textStorage(), c) == KELTokenTypeFold) {
                unfoldTextInRange(normalizedCharacterRangeForRange(Range(c, 1)));
                layoutVisibleText();
            }
            return;
        }
    }
    kit::TextView::mouseDown(event);
}

// ---------------------------------------------------------------------------------------------
// Folding

void KELTextView::foldTextInRange(Range range)
{
    const Range r = Range::intersection(range, Range(0, textStorage()->length()));
    if (r.length > 0 && range.location != kit::NotFound) {
        const Range normalized = normalizedCharacterRangeForRange(r, 0);
        KELTokenParser::sharedTokenParser().setTokenType(KELTokenTypeFold, textStorage(), normalized);
        // The folded words are out of sight: their spelling marks go with them.
        setSpellingState(0, normalized);
    }
    normalizeSelection();
}

void KELTextView::unfoldTextInRange(Range range)
{
    const Range r = Range::intersection(range, Range(0, textStorage()->length()));
    if (r.length <= 0 || range.location == kit::NotFound)
        return;
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    parser.removeTokenType(KELTokenTypeFold, textStorage(), r);
    parser.tokenizeTextStorage(textStorage(), r);
}

void KELTextView::foldSelection()
{
    const QList<Range> ranges = selectedRanges();
    for (const Range& r : ranges)
        foldTextInRange(r);
    // Nothing selected: nothing to show.
    if (!selectedRanges().isEmpty()) {
        Range all = selectedRanges().first();
        for (const Range& r : selectedRanges())
            all = Range::unionOf(all, r);
        scrollRangeToVisible(all);
    }
    layoutVisibleText();
}

void KELTextView::unfoldSelection()
{
    const QList<Range> ranges = selectedRanges();
    for (const Range& r : ranges)
        unfoldTextInRange(r);
    layoutVisibleText();
}

void KELTextView::unfoldAll()
{
    unfoldTextInRange(Range(0, textStorage()->length()));
    layoutVisibleText();
}

bool KELTextView::validateUserInterfaceItem(const QString& action) const
{
    if (action == QLatin1String("foldSelection:") || action == QLatin1String("unfoldSelection:"))
        return selectedRange().length > 0;
    return kit::TextView::validateUserInterfaceItem(action);
}

QMenu* KELTextView::menuForEvent(QContextMenuEvent* event)
{
    QMenu* menu = kit::TextView::menuForEvent(event);
    if (!menu)
        return menu;
    QMenu* folding = menu->addMenu(tr("Code Folding"));
    folding->setTitle(tr("Code Folding"));
    QAction* fold = folding->addAction(tr("Fold Selection"), this, &KELTextView::foldSelection);
    fold->setObjectName(QStringLiteral("foldSelection:"));
    fold->setEnabled(validateUserInterfaceItem(QStringLiteral("foldSelection:")));
    QAction* unfold = folding->addAction(tr("Unfold Selection"), this, &KELTextView::unfoldSelection);
    unfold->setObjectName(QStringLiteral("unfoldSelection:"));
    unfold->setEnabled(validateUserInterfaceItem(QStringLiteral("unfoldSelection:")));
    return menu;
}

// ---------------------------------------------------------------------------------------------
// Hint, focus and drawing

void KELTextView::setPlaceholderText(const QString& text)
{
    if (text == m_placeholderText)
        return;
    m_placeholderText = text;
    update();
}

bool KELTextView::showsPlaceholderText() const
{
    return !m_placeholderText.isEmpty() && textStorage()->length() == 0 && isEditable() && !hasFocus();
}

void KELTextView::drawOverlay(QPainter* painter)
{
    if (!showsPlaceholderText())
        return;
    painter->save();
    painter->setPen(Qt::gray);
    painter->setFont(QWidget::font());
    painter->drawText(QRectF(5.0, 0.0, width() - 5.0, height()), Qt::AlignLeft | Qt::AlignTop, m_placeholderText);
    painter->restore();
}

void KELTextView::drawViewBackgroundInRect(QPainter* painter, const QRectF& rect)
{
    if (drawsBackground() && backgroundColor().alphaF() < 1.0) {
        painter->save();
        painter->setCompositionMode(QPainter::CompositionMode_Source);
        painter->fillRect(rect, backgroundColor());
        painter->restore();
        return;
    }
    kit::TextView::drawViewBackgroundInRect(painter, rect);
}

void KELTextView::drawInsertionPoint(QPainter* painter, const QRectF& rect, const QColor& color, bool turnedOn)
{
    if (drawsBackground() && backgroundColor().alphaF() < 1.0) {
        if (turnedOn)
            painter->fillRect(rect, color);
        else
            drawViewBackgroundInRect(painter, rect);
        return;
    }
    kit::TextView::drawInsertionPoint(painter, rect, color, turnedOn);
}

void KELTextView::focusInEvent(QFocusEvent* event)
{
    kit::TextView::focusInEvent(event);
    QTimer::singleShot(0, this, &KELTextView::updateTokens);
    if (!m_placeholderText.isEmpty() && textStorage()->length() == 0)
        update();
}

void KELTextView::focusOutEvent(QFocusEvent* event)
{
    kit::TextView::focusOutEvent(event);
    QTimer::singleShot(0, this, &KELTextView::updateTokens);
    if (!m_placeholderText.isEmpty() && textStorage()->length() == 0)
        update();
}
