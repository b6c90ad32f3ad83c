#include "kit/text/TextView.h"

#include "kit/Accessibility.h"
#include "kit/NotificationCenter.h"
#include "kit/UndoManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextViewAccessible.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleHints>
#include <QUrl>
#include <algorithm>

namespace kit {

namespace {
bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
}
} // namespace

TextView::TextView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setCursor(Qt::IBeamCursor);
    setMouseTracking(true);
    m_storage = new TextStorage(this);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_layout = new LayoutManager(this);
    m_layout->setFont(f);
    m_layout->setTextView(this);
    m_layout->setTextStorage(m_storage);
    connectLayout();
    m_selection = {Range(0, 0)};
    m_blinkTimer.setInterval(QApplication::cursorFlashTime() > 0 ? QApplication::cursorFlashTime() / 2 : 500);
    connect(&m_blinkTimer, &QTimer::timeout, this, &TextView::blink);
    m_autoScroll.setInterval(50);
    connect(&m_autoScroll, &QTimer::timeout, this, &TextView::autoScrollTick);
    m_spellTimer.setSingleShot(true);
    m_spellTimer.setInterval(300);
    connect(&m_spellTimer, &QTimer::timeout, this, &TextView::runSpelling);
    m_findTimer.setSingleShot(true);
    m_findTimer.setInterval(1000);
    connect(&m_findTimer, &QTimer::timeout, this, [this] {
        m_findIndicator = Range(NotFound, 0);
        update();
    });
    connectStorage();
    connect(this, &TextView::selectionDidChange, this, &TextView::accessibleSelectionChanged);
    installTextViewAccessibleFactory();
    // The menu commands reach the focused view through the responder chain.
    const std::pair<const char*, void (TextView::*)()> commands[] = {
        {"undo:", &TextView::undo}, {"redo:", &TextView::redo},   {"cut:", &TextView::cut},
        {"copy:", &TextView::copy}, {"paste:", &TextView::paste}, {"selectAll:", &TextView::selectAll},
        {"delete:", &TextView::deleteSelection},
    };
    for (const auto& [name, method] : commands) {
        const QString action = QString::fromLatin1(name);
        auto m = method;
        registerAction(action, [this, m](QObject*) { (this->*m)(); }, [this, action](QAction* item) {
            if (item && action == QLatin1String("undo:"))
                item->setText(undoManager()->undoMenuItemTitle());
            else if (item && action == QLatin1String("redo:"))
                item->setText(undoManager()->redoMenuItemTitle());
            return validateUserInterfaceItem(action);
        });
    }
}

TextView::~TextView()
{
    // Children (storage, layout manager) outlive this object's own part: cut them loose first.
    if (m_layout) {
        disconnect(m_layout, nullptr, this, nullptr);
        m_layout->setTextView(nullptr);
        m_layout->setTextStorage(nullptr);
    }
    if (m_storage)
        disconnect(m_storage, nullptr, this, nullptr);
}

void TextView::connectStorage()
{
    connect(m_storage, &TextStorage::didProcessEditing, this, [this] {
        if (m_storage->editedMask() & TextStorageEditedCharacters) {
            adjustRangesForEdit(m_storage->editedRange(), m_storage->changeInLength());
            accessibleSelectionChanged();
        }
    });
    connect(m_storage, &TextStorage::charactersWillBeReplaced, this, &TextView::accessibleCharactersWillChange);
    connect(m_storage, &TextStorage::charactersReplaced, this, &TextView::accessibleCharactersChanged);
}

void TextView::connectLayout()
{
    // A keystroke repaints the paragraphs it changed, not the view.
    connect(m_layout, &LayoutManager::heightChanged, this, &TextView::updateScrollBars);
    connect(m_layout, &LayoutManager::needsDisplay, this, qOverload<>(&QWidget::update));
    connect(m_layout, &LayoutManager::needsDisplayInBand, this, &TextView::displayBand);
}

void TextView::displayBand(qreal top, qreal bottom)
{
    if (bottom < top)
        return;
    if (m_bandBottom < m_bandTop) {
        m_bandTop = top;
        m_bandBottom = bottom;
    } else {
        m_bandTop = std::min(m_bandTop, top);
        m_bandBottom = std::max(m_bandBottom, bottom);
    }
    if (!m_flushPosted && !m_flushing) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(this, &TextView::flushDisplay, Qt::QueuedConnection);
    }
}

void TextView::flushDisplay()
{
    m_flushPosted = false;
    if (m_bandBottom < m_bandTop)
        return;
    const QRectF visible = visibleContainerRect();
    if (isVisible() && m_bandTop <= visible.bottom() && m_bandBottom >= visible.top()) {
        // Laying out may find a height other than estimated: its band joins this one.
        m_flushing = true;
        m_layout->ensureLayoutForRect(visible);
        m_flushing = false;
    }
    const qreal top = std::max(m_bandTop, visible.top());
    const qreal bottom = std::min(m_bandBottom, visible.bottom());
    m_bandBottom = m_bandTop - 1;
    if (bottom < top)
        return;
    const QPointF shift = textContainerOrigin() - visibleRect().topLeft();
    update(QRectF(0, top + shift.y(), width(), bottom - top).toAlignedRect().adjusted(0, -1, 0, 1));
}

void TextView::updateScrollBars()
{
    if (m_scrollView)
        m_scrollView->updateScrollBars();
}

void TextView::setTextStorage(TextStorage* storage)
{
    if (!storage || storage == m_storage)
        return;
    disconnect(m_storage, nullptr, this, nullptr);
    TextStorage* old = m_storage;
    // A reader learns the new text as one replacement of the old (rare: views get their
    // document's storage once).
    if (isAccessibilityListening() && (old->length() > 0 || storage->length() > 0)) {
        QAccessibleTextUpdateEvent event(this, 0, old->string(), storage->string());
        sendAccessibilityEvent(event);
    }
    m_storage = storage;
    m_layout->setTextStorage(storage);
    connectStorage();
    if (old && old->parent() == this)
        old->deleteLater();
    m_selection = {Range(0, 0)};
    m_anchor = m_head = 0;
    if (m_markedRange.location != NotFound)
        abandonComposition();
    breakUndoCoalescing();
    updateDocumentSize();
    update();
}

void TextView::replaceLayoutManager(LayoutManager* lm)
{
    if (!lm || lm == m_layout)
        return;
    const QFont f = m_layout->font();
    const WrapMode mode = m_layout->wrapMode();
    const qreal width = m_layout->containerWidth();
    const qreal tab = m_layout->tabStopDistance();
    LayoutManager* old = m_layout;
    old->setTextStorage(nullptr);
    old->setTextView(nullptr);
    disconnect(old, nullptr, this, nullptr);
    old->deleteLater();
    m_layout = lm;
    lm->setParent(this);
    lm->setFont(f);
    lm->setTabStopDistance(tab);
    lm->setWrapMode(mode);
    lm->setContainerWidth(width);
    lm->setTextView(this);
    lm->setTextStorage(m_storage);
    connectLayout();
    updateDocumentSize();
}

ScrollView* TextView::enclosingScrollView() const
{
    return m_scrollView;
}

QString TextView::string() const
{
    return m_storage->string();
}

void TextView::setString(const QString& text)
{
    m_storage->replaceCharacters(Range(0, m_storage->length()), text);
    setSelectedRange(Range(0, 0));
    didChangeText();
}

// ---------------------------------------------------------------------------------------------
// Appearance

void TextView::setFont(const QFont& font)
{
    m_layout->setFont(font);
    QWidget::setFont(font);
    updateDocumentSize();
}

QFont TextView::font() const
{
    return m_layout->font();
}

void TextView::setTextColor(const QColor& c)
{
    m_textColor = c;
    update();
}

void TextView::setBackgroundColor(const QColor& c)
{
    m_backgroundColor = c;
    update();
}

void TextView::setTextContainerInset(const QSizeF& inset)
{
    m_inset = inset;
    updateContainerWidth();
    updateDocumentSize();
}

void TextView::setWrapsLines(bool on)
{
    m_wraps = on;
    m_layout->setWrapMode(!on ? WrapMode::NoWrap : (m_wrapModeSetting == 1 ? WrapMode::CharacterWrap : WrapMode::WordWrap));
    updateContainerWidth();
    updateDocumentSize();
}

void TextView::setWrapMode(int mode)
{
    m_wrapModeSetting = mode;
    setWrapsLines(m_wraps);
}

void TextView::setTabStopDistance(qreal d)
{
    m_layout->setTabStopDistance(d);
}

void TextView::updateContainerWidth()
{
    if (m_wraps)
        m_layout->setContainerWidth(std::max<qreal>(20, width() - 2 * m_inset.width()));
    else
        m_layout->setContainerWidth(1.0e6);
}

qreal TextView::documentHeight() const
{
    return m_layout->usedHeight() + 2 * m_inset.height();
}

void TextView::updateDocumentSize()
{
    updateScrollBars();
    update();
}

// ---------------------------------------------------------------------------------------------
// Geometry

QRectF TextView::visibleRect() const
{
    QPointF offset(0, 0);
    if (m_scrollView)
        offset = QPointF(m_scrollView->horizontalScrollBar()->value(), m_scrollView->verticalScrollBar()->value());
    return QRectF(offset, QSizeF(width(), height()));
}

QRectF TextView::visibleContainerRect() const
{
    return visibleRect().translated(-textContainerOrigin());
}

QPointF TextView::viewPointToDocument(const QPointF& p) const
{
    return p + visibleRect().topLeft();
}

QPointF TextView::documentPointToView(const QPointF& p) const
{
    return p - visibleRect().topLeft();
}

qsizetype TextView::characterIndexForInsertionAtPoint(const QPointF& viewPoint)
{
    return m_layout->insertionIndexForPoint(viewPoint - textContainerOrigin());
}

qsizetype TextView::characterIndexForPoint(const QPointF& viewPoint)
{
    return m_layout->characterIndexForPoint(viewPoint - textContainerOrigin());
}

QRectF TextView::caretRect() const
{
    return m_layout->caretRect(m_head, m_affinity).translated(textContainerOrigin());
}

QRectF TextView::firstRectForCharacterRange(Range range) const
{
    QRectF r;
    if (range.length <= 0) {
        r = m_layout->caretRect(range.location, m_affinity);
    } else {
        const QList<QRectF> rects = m_layout->selectionRects(range);
        r = rects.isEmpty() ? m_layout->caretRect(range.location) : rects.first();
    }
    return QRectF(documentPointToView(r.topLeft() + textContainerOrigin()), r.size());
}

QRect TextView::screenRectForCharacterRange(Range range) const
{
    const QRectF r = firstRectForCharacterRange(range);
    return QRect(mapToGlobal(r.topLeft().toPoint()), r.size().toSize());
}

void TextView::scrollRectToVisible(const QRectF& rect)
{
    if (!m_scrollView)
        return;
    QScrollBar* v = m_scrollView->verticalScrollBar();
    QScrollBar* h = m_scrollView->horizontalScrollBar();
    const QRectF vis = visibleRect();
    if (rect.top() < vis.top())
        v->setValue(int(std::floor(rect.top())));
    else if (rect.bottom() > vis.bottom())
        v->setValue(int(std::ceil(rect.bottom() - vis.height())));
    if (rect.left() < vis.left())
        h->setValue(int(std::floor(rect.left() - 20)));
    else if (rect.right() > vis.right())
        h->setValue(int(std::ceil(rect.right() - vis.width() + 20)));
}

void TextView::scrollRangeToVisible(Range range)
{
    if (range.location == NotFound)
        return;
    range = Range::intersection(range, Range(0, m_storage->length()));
    QRectF r = m_layout->caretRect(range.location, m_affinity);
    if (range.length > 0) {
        const QRectF e = m_layout->caretRect(range.end(), SelectionAffinity::Upstream);
        if (e.bottom() - r.top() < visibleRect().height())
            r = r.united(e);
    }
    // Estimated heights above may have been refined by laying out; scroll twice to settle.
    scrollRectToVisible(r.translated(textContainerOrigin()));
    m_layout->ensureLayoutForRect(visibleContainerRect());
    r = m_layout->caretRect(range.location, m_affinity);
    scrollRectToVisible(r.translated(textContainerOrigin()));
}

// ---------------------------------------------------------------------------------------------
// Selection

void TextView::setSelectedRange(Range range)
{
    setSelectedRanges(QList<Range>{range}, SelectionAffinity::Downstream, false);
}

void TextView::setSelectedRanges(const QList<Range>& ranges)
{
    setSelectedRanges(ranges, SelectionAffinity::Downstream, false);
}

void TextView::setSelectedRanges(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting)
{
    applySelection(ranges, affinity, stillSelecting, false);
}

void TextView::reapplySelection(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting)
{
    applySelection(ranges, affinity, stillSelecting, false);
}

void TextView::setSelectedRangesFromUser(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting)
{
    if (!m_selectable)
        return;
    QList<Range> proposed;
    for (const Range& r : ranges)
        proposed.append(selectionRangeForProposedRange(r, m_granularity));
    QList<Range> result = willChangeSelection(m_selection, proposed);
    // An empty or invalid answer keeps the selection as it was.
    QList<Range> valid;
    for (const Range& r : result) {
        if (r.location != NotFound && r.location >= 0)
            valid.append(r);
    }
    if (valid.isEmpty())
        return;
    breakUndoCoalescing();
    applySelection(valid, affinity, stillSelecting, true);
    if (!stillSelecting)
        exportPrimarySelection();
}

void TextView::exportPrimarySelection()
{
    // What the user selects is what a middle click elsewhere pastes (X11 and Wayland habit).
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection() || (selectedRange().length == 0 && m_selection.size() <= 1))
        return;
    clipboard->setMimeData(mimeDataForRanges(m_selection), QClipboard::Selection);
}

void TextView::pastePrimarySelection(qsizetype index)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!m_editable || !clipboard->supportsSelection())
        return;
    const QMimeData* data = clipboard->mimeData(QClipboard::Selection);
    if (!canReadMimeData(data))
        return;
    breakUndoCoalescing();
    m_granularity = SelectionGranularity::Character;
    setSelectedRanges({Range(index, 0)});
    const QString text = plainTextFromMimeData(data);
    replaceWithUndo(Range(index, 0), text, tr("Paste"));
    scrollRangeToVisible(selectedRange());
}

void TextView::applySelection(const QList<Range>& ranges, SelectionAffinity affinity, bool, bool)
{
    const qsizetype n = m_storage->length();
    QList<Range> clean;
    for (Range r : ranges) {
        if (r.location == NotFound || r.location < 0)
            continue;
        r.location = std::min(r.location, n);
        r.length = std::clamp<qsizetype>(r.length, 0, n - r.location);
        clean.append(r);
    }
    if (clean.isEmpty())
        clean.append(Range(std::min(selectedRange().location, n), 0));
    std::sort(clean.begin(), clean.end(), [](const Range& a, const Range& b) { return a.location < b.location; });
    // Keep the anchor of an extension when the single range still holds it.
    const Range first = clean.first();
    const Range lastR = clean.last();
    if (clean.size() == 1 && first.length > 0 && (m_anchor == first.location || m_anchor == first.end())) {
        m_head = m_anchor == first.location ? first.end() : first.location;
    } else if (clean.size() == 1 && first.length > 0 && (m_head == first.location || m_head == first.end())) {
        m_anchor = m_head == first.location ? first.end() : first.location;
    } else {
        m_anchor = first.location;
        m_head = lastR.end();
    }
    if (first.length == 0 && clean.size() == 1)
        m_anchor = m_head = first.location;
    const bool changed = clean != m_selection;
    const QList<Range> before = m_selection;
    m_selection = clean;
    m_affinity = affinity;
    if (changed) {
        resetBlink();
        // Repaint where the selection was and where it is.
        auto repaint = [this](const QList<Range>& ranges) {
            for (const Range& r : ranges) {
                const auto [top, bottom] = m_layout->paragraphBand(r);
                displayBand(top, bottom);
            }
        };
        repaint(before);
        repaint(m_selection);
        Q_EMIT selectionDidChange();
        NotificationCenter::defaultCenter().post(TextViewDidChangeSelectionNotification, this);
    }
}

QList<Range> TextView::willChangeSelection(const QList<Range>&, const QList<Range>& proposed)
{
    return proposed;
}

Range TextView::wordRangeAt(qsizetype index) const
{
    // Read by character: the whole string would make the storage close its typing gap.
    const TextStorage& s = *m_storage;
    const qsizetype n = s.length();
    if (n == 0)
        return Range(0, 0);
    index = std::clamp<qsizetype>(index, 0, n);
    if (index == n || (TextStorage::isLineTerminator(s.characterAt(index)) && index > 0 && !TextStorage::isLineTerminator(s.characterAt(index - 1))))
        index = std::max<qsizetype>(0, index - 1);
    const QChar c = s.characterAt(index);
    if (TextStorage::isLineTerminator(c))
        return m_storage->composedCharacterRange(index);
    qsizetype a = index, b = index + 1;
    if (isWordChar(c)) {
        while (a > 0 && isWordChar(s.characterAt(a - 1)))
            --a;
        while (b < n && isWordChar(s.characterAt(b)))
            ++b;
    } else if (c.isSpace()) {
        while (a > 0 && s.characterAt(a - 1).isSpace() && !TextStorage::isLineTerminator(s.characterAt(a - 1)))
            --a;
        while (b < n && s.characterAt(b).isSpace() && !TextStorage::isLineTerminator(s.characterAt(b)))
            ++b;
    } else {
        return m_storage->composedCharacterRange(index);
    }
    return Range(a, b - a);
}

Range TextView::selectionRangeForProposedRange(Range proposed, SelectionGranularity granularity)
{
    switch (granularity) {
    case SelectionGranularity::Character:
        return proposed;
    case SelectionGranularity::Word: {
        Range a = wordRangeAt(proposed.location);
        if (proposed.length > 0)
            a = Range::unionOf(a, wordRangeAt(proposed.end() - 1));
        return a;
    }
    case SelectionGranularity::Paragraph:
        return m_storage->paragraphRange(proposed);
    }
    return proposed;
}

// ---------------------------------------------------------------------------------------------
// Moves

void TextView::moveTo(qsizetype index, bool extend, SelectionAffinity affinity)
{
    index = std::clamp<qsizetype>(index, 0, m_storage->length());
    m_granularity = SelectionGranularity::Character;
    if (extend) {
        const qsizetype a = m_anchor;
        const Range r(std::min(a, index), std::abs(index - a));
        m_head = index;
        m_anchor = a;
        setSelectedRangesFromUser({r}, affinity, false);
        // The hooks may have changed the range; keep the anchor side.
        const Range now = selectedRange();
        if (now.length > 0) {
            if (index >= a) {
                m_anchor = now.location;
                m_head = now.end();
            } else {
                m_anchor = now.end();
                m_head = now.location;
            }
        }
    } else {
        setSelectedRangesFromUser({Range(index, 0)}, affinity, false);
    }
    scrollRangeToVisible(Range(m_head, 0));
}

void TextView::moveLeft()
{
    m_goalX = -1;
    const Range r = selectedRange();
    if (r.length > 0 || m_selection.size() > 1)
        moveTo(m_selection.first().location, false);
    else
        moveTo(m_layout->previousCaretPosition(r.location), false);
}

void TextView::moveRight()
{
    m_goalX = -1;
    const Range r = selectedRange();
    if (r.length > 0 || m_selection.size() > 1)
        moveTo(m_selection.last().end(), false);
    else
        moveTo(m_layout->nextCaretPosition(r.location), false);
}

qsizetype TextView::verticalTarget(bool down, qreal distance)
{
    const QRectF caret = m_layout->caretRect(m_head, m_affinity);
    if (m_goalX < 0)
        m_goalX = caret.left();
    const qreal y = down ? caret.top() + caret.height() / 2 + distance : caret.top() + caret.height() / 2 - distance;
    if (y < 0)
        return 0;
    if (y >= m_layout->usedHeight())
        return m_storage->length();
    return m_layout->insertionIndexForPoint(QPointF(m_goalX, y));
}

void TextView::moveUp()
{
    const qreal goal = m_goalX;
    const Range r = selectedRange();
    if (r.length > 0)
        m_head = r.location;
    m_goalX = goal;
    const qsizetype t = verticalTarget(false, m_layout->lineHeight());
    moveTo(t, false);
    m_goalX = goal < 0 ? m_goalX : goal;
}

void TextView::moveDown()
{
    const qreal goal = m_goalX;
    const Range r = selectedRange();
    if (r.length > 0)
        m_head = m_selection.last().end();
    const qsizetype t = verticalTarget(true, m_layout->lineHeight());
    moveTo(t, false);
    m_goalX = goal < 0 ? m_goalX : goal;
}

qsizetype TextView::wordLeftIndex(qsizetype i) const
{
    const TextStorage* s = m_storage;
    while (i > 0 && !isWordChar(s->characterAt(i - 1)))
        --i;
    while (i > 0 && isWordChar(s->characterAt(i - 1)))
        --i;
    return i;
}

qsizetype TextView::wordRightIndex(qsizetype i) const
{
    const TextStorage* s = m_storage;
    const qsizetype n = s->length();
    while (i < n && !isWordChar(s->characterAt(i)))
        ++i;
    while (i < n && isWordChar(s->characterAt(i)))
        ++i;
    return i;
}

void TextView::moveWordLeft()
{
    m_goalX = -1;
    moveTo(wordLeftIndex(m_selection.first().location), false);
}

void TextView::moveWordRight()
{
    m_goalX = -1;
    moveTo(wordRightIndex(m_selection.last().end()), false);
}

void TextView::moveToBeginningOfLine()
{
    m_goalX = -1;
    const Range line = m_layout->lineRangeForCharacter(m_selection.first().location, m_affinity);
    moveTo(line.location, false);
}

void TextView::moveToEndOfLine()
{
    m_goalX = -1;
    const qsizetype from = m_selection.last().end();
    const Range line = m_layout->lineRangeForCharacter(from, m_affinity);
    qsizetype e = line.end();
    // Read by character: the whole string would make the storage close its typing gap.
    const TextStorage& s = *m_storage;
    bool wrappedEnd = false;
    if (e > line.location && e <= s.length() && TextStorage::isLineTerminator(s.characterAt(e - 1))) {
        e -= 1;
        if (e > line.location && s.characterAt(e) == QLatin1Char('\n') && s.characterAt(e - 1) == QLatin1Char('\r'))
            e -= 1;
    } else if (e < s.length()) {
        wrappedEnd = true;
    }
    moveTo(e, false, wrappedEnd ? SelectionAffinity::Upstream : SelectionAffinity::Downstream);
}

void TextView::moveToBeginningOfDocument()
{
    m_goalX = -1;
    moveTo(0, false);
}

void TextView::moveToEndOfDocument()
{
    m_goalX = -1;
    moveTo(m_storage->length(), false);
}

void TextView::pageUp()
{
    const qreal h = std::max<qreal>(m_layout->lineHeight(), visibleRect().height() - m_layout->lineHeight());
    const qsizetype t = verticalTarget(false, h);
    if (m_scrollView)
        m_scrollView->verticalScrollBar()->setValue(m_scrollView->verticalScrollBar()->value() - int(h));
    moveTo(t, false);
}

void TextView::pageDown()
{
    const qreal h = std::max<qreal>(m_layout->lineHeight(), visibleRect().height() - m_layout->lineHeight());
    const qsizetype t = verticalTarget(true, h);
    if (m_scrollView)
        m_scrollView->verticalScrollBar()->setValue(m_scrollView->verticalScrollBar()->value() + int(h));
    moveTo(t, false);
}

void TextView::moveLeftAndModifySelection()
{
    m_goalX = -1;
    moveTo(m_layout->previousCaretPosition(m_head), true);
}

void TextView::moveRightAndModifySelection()
{
    m_goalX = -1;
    moveTo(m_layout->nextCaretPosition(m_head), true);
}

void TextView::moveUpAndModifySelection()
{
    const qreal goal = m_goalX;
    moveTo(verticalTarget(false, m_layout->lineHeight()), true);
    m_goalX = goal < 0 ? m_goalX : goal;
}

void TextView::moveDownAndModifySelection()
{
    const qreal goal = m_goalX;
    moveTo(verticalTarget(true, m_layout->lineHeight()), true);
    m_goalX = goal < 0 ? m_goalX : goal;
}

void TextView::moveWordLeftAndModifySelection()
{
    m_goalX = -1;
    moveTo(wordLeftIndex(m_head), true);
}

void TextView::moveWordRightAndModifySelection()
{
    m_goalX = -1;
    moveTo(wordRightIndex(m_head), true);
}

void TextView::moveToBeginningOfLineAndModifySelection()
{
    moveTo(m_layout->lineRangeForCharacter(m_head, m_affinity).location, true);
}

void TextView::moveToEndOfLineAndModifySelection()
{
    const Range line = m_layout->lineRangeForCharacter(m_head, m_affinity);
    qsizetype e = line.end();
    // Read by character: the whole string would make the storage close its typing gap.
    const TextStorage& s = *m_storage;
    if (e > line.location && TextStorage::isLineTerminator(s.characterAt(e - 1))) {
        e -= 1;
        if (e > line.location && s.characterAt(e) == QLatin1Char('\n') && s.characterAt(e - 1) == QLatin1Char('\r'))
            e -= 1;
    }
    moveTo(e, true);
}

void TextView::moveToBeginningOfDocumentAndModifySelection()
{
    moveTo(0, true);
}

void TextView::moveToEndOfDocumentAndModifySelection()
{
    moveTo(m_storage->length(), true);
}

void TextView::pageUpAndModifySelection()
{
    const qreal h = std::max<qreal>(m_layout->lineHeight(), visibleRect().height() - m_layout->lineHeight());
    moveTo(verticalTarget(false, h), true);
}

void TextView::pageDownAndModifySelection()
{
    const qreal h = std::max<qreal>(m_layout->lineHeight(), visibleRect().height() - m_layout->lineHeight());
    moveTo(verticalTarget(true, h), true);
}

void TextView::selectAll()
{
    m_granularity = SelectionGranularity::Character;
    m_anchor = 0;
    m_head = m_storage->length();
    setSelectedRangesFromUser({Range(0, m_storage->length())}, SelectionAffinity::Downstream, false);
}

// ---------------------------------------------------------------------------------------------
// Editing

UndoManager* TextView::undoManager() const
{
    if (m_externalUndo)
        return m_externalUndo;
    if (!m_ownUndo) {
        auto* self = const_cast<TextView*>(this);
        self->m_ownUndo = new UndoManager(self);
        connect(self->m_ownUndo, &UndoManager::coalescingBroken, self, &TextView::breakUndoCoalescing);
    }
    return m_ownUndo;
}

void TextView::setUndoManager(UndoManager* manager)
{
    if (m_externalUndo)
        disconnect(m_externalUndo, &UndoManager::coalescingBroken, this, &TextView::breakUndoCoalescing);
    m_externalUndo = manager;
    if (manager)
        connect(manager, &UndoManager::coalescingBroken, this, &TextView::breakUndoCoalescing);
    breakUndoCoalescing();
}

bool TextView::mayChangeTextInRange(Range, const QString&) const
{
    return m_editable;
}

bool TextView::shouldChangeTextInRange(Range range, const QString& replacement)
{
    if (!mayChangeTextInRange(range, replacement))
        return false;
    registerUndoForChange(range, replacement);
    return true;
}

bool TextView::shouldChangeTextInRanges(const QList<Range>& ranges, const QStringList& replacements)
{
    if (ranges.isEmpty() || ranges.size() != replacements.size())
        return false;
    const qsizetype n = m_storage->length();
    for (qsizetype k = 0; k < ranges.size(); ++k) {
        const Range r = ranges[k];
        if (r.location == NotFound || r.location < 0 || r.end() > n || (k > 0 && r.location < ranges[k - 1].end()))
            return false;
        if (!mayChangeTextInRange(r, replacements[k]))
            return false;
    }
    // Last first, as the caller applies them: each undo then meets its text where it was.
    for (qsizetype k = ranges.size() - 1; k >= 0; --k)
        registerUndoForChange(ranges[k], replacements[k]);
    return true;
}

void TextView::registerUndoForChange(Range range, const QString& replacement)
{
    UndoManager* um = m_allowsUndo ? undoManager() : nullptr;
    if (!um || !um->isUndoRegistrationEnabled())
        return;
    const qsizetype n = m_storage->length();
    range.location = std::clamp<qsizetype>(range.location, 0, n);
    range.length = std::clamp<qsizetype>(range.length, 0, n - range.location);
    QPointer<TextView> self(this);
    if (m_typingChange && !um->isUndoing() && !um->isRedoing()) {
        // Typing continues the run: one undo takes back the whole of it.
        if (m_typing && !replacement.isEmpty() && range.length == 0 && range.location == m_typing->location + m_typing->newLength) {
            m_typing->newLength += replacement.size();
            return;
        }
        if (m_typing && replacement.isEmpty() && range.end() == m_typing->location + m_typing->newLength) {
            if (range.location >= m_typing->location) {
                m_typing->newLength -= range.length;
            } else {
                m_typing->oldText = m_storage->substring(Range(range.location, m_typing->location - range.location)) + m_typing->oldText;
                m_typing->location = range.location;
                m_typing->newLength = 0;
            }
            return;
        }
        m_typing = std::make_shared<TypingRecord>();
        m_typing->location = range.location;
        m_typing->newLength = replacement.size();
        m_typing->oldText = m_storage->substring(range);
        m_typing->selectionBefore = m_selection;
        std::shared_ptr<TypingRecord> rec = m_typing;
        um->registerUndo([self, rec] {
            if (!self)
                return;
            self->breakUndoCoalescing();
            const Range sel = rec->selectionBefore.isEmpty() ? Range(rec->location, rec->oldText.size()) : rec->selectionBefore.first();
            self->replaceWithUndo(Range(rec->location, rec->newLength), rec->oldText, QString(), sel);
        });
        um->setActionName(tr("Typing"));
        return;
    }
    breakUndoCoalescing();
    const QString old = m_storage->substring(range);
    const Range inserted(range.location, replacement.size());
    const QList<Range> before = m_selection;
    um->registerUndo([self, inserted, old, before] {
        if (!self)
            return;
        self->replaceWithUndo(inserted, old, QString(), before.isEmpty() ? Range(inserted.location, old.size()) : before.first());
    });
}

void TextView::didChangeText()
{
    Q_EMIT textDidChange();
    NotificationCenter::defaultCenter().post(TextDidChangeNotification, this);
}

void TextView::breakUndoCoalescing()
{
    m_typing.reset();
}

void TextView::adjustRangesForEdit(Range edited, qsizetype delta)
{
    // edited is in final coordinates; the replaced text was [loc, loc + len - delta).
    const qsizetype n = m_storage->length();
    // Text changed behind the typing run: its positions no longer hold.
    if (m_ownEdit == 0)
        breakUndoCoalescing();
    const qsizetype oldEnd = edited.end() - delta;
    auto mapPos = [&](qsizetype x) {
        if (x <= edited.location)
            return x;
        if (x >= oldEnd)
            return x + delta;
        return edited.location;
    };
    QList<Range> kept;
    for (const Range& r : std::as_const(m_misspelled)) {
        if (r.end() <= edited.location || r.location >= oldEnd)
            kept.append(Range(mapPos(r.location), r.length));
    }
    m_misspelled = kept;
    if (m_markedRange.location != NotFound && !m_settingMarked) {
        // An edit from elsewhere: marked text before it stays, marked text it touches is
        // no longer what the input method composes.
        if (m_markedRange.location >= oldEnd && m_markedRange.end() > edited.location)
            m_markedRange.location += delta;
        else if (m_markedRange.end() > edited.location)
            abandonComposition();
        if (m_markedRange.location != NotFound && m_markedRange.end() > n)
            abandonComposition();
    }
    m_spellDirty = m_spellDirty.location == NotFound ? edited : Range::unionOf(Range(mapPos(m_spellDirty.location), 0), edited);
    // Keep the selection inside the text when the storage is edited from outside.
    bool outside = false;
    for (const Range& r : std::as_const(m_selection))
        outside = outside || r.end() > n;
    if (outside) {
        QList<Range> clamped;
        for (Range r : std::as_const(m_selection)) {
            r.location = std::min(r.location, n);
            r.length = std::min(r.length, n - r.location);
            clamped.append(r);
        }
        m_selection = clamped;
        m_anchor = std::min(m_anchor, n);
        m_head = std::min(m_head, n);
    }
    scheduleSpelling();
}

bool TextView::replaceWithUndo(Range range, const QString& text, const QString& actionName, std::optional<Range> selectionAfter)
{
    const qsizetype n = m_storage->length();
    if (range.location == NotFound)
        return false;
    range.location = std::clamp<qsizetype>(range.location, 0, n);
    range.length = std::clamp<qsizetype>(range.length, 0, n - range.location);
    if (!shouldChangeTextInRange(range, text))
        return false;
    if (!actionName.isEmpty() && m_allowsUndo)
        undoManager()->setActionName(actionName);
    m_storage->replaceCharacters(range, text);
    setSelectedRange(selectionAfter ? *selectionAfter : Range(range.location + text.size(), 0));
    didChangeText();
    scrollRangeToVisible(selectedRange());
    return true;
}

void TextView::insertTyped(const QString& text)
{
    // Replace every selected range, last first; the caret ends after the first insertion.
    QList<Range> ranges = m_selection;
    if (ranges.isEmpty())
        ranges = {Range(0, 0)};
    const Range r = ranges.first();
    if (ranges.size() > 1) {
        if (UndoManager* um = undoManager())
            um->beginUndoGrouping();
        for (qsizetype k = ranges.size() - 1; k >= 1; --k)
            replaceWithUndo(ranges[k], text, tr("Typing"));
        replaceWithUndo(r, text, tr("Typing"));
        if (UndoManager* um = undoManager())
            um->endUndoGrouping();
        return;
    }
    m_typingChange = true;
    const bool ok = shouldChangeTextInRange(r, text);
    m_typingChange = false;
    if (!ok)
        return;
    std::shared_ptr<TypingRecord> keep = m_typing;
    ++m_ownEdit;
    m_storage->replaceCharacters(r, text);
    --m_ownEdit;
    setSelectedRange(Range(r.location + text.size(), 0));
    m_typing = keep; // the selection change above must not end the typing run
    didChangeText();
    scrollRangeToVisible(selectedRange());
}

QString TextView::correctionForWord(const QString&, Range)
{
    return QString();
}

QString TextView::smartInsertString(const QString& text, Range range) const
{
    if (!m_smartInsertDelete || text.isEmpty())
        return text;
    QString out = text;
    const QChar before = m_storage->characterAt(range.location - 1);
    const QChar after = m_storage->characterAt(range.end());
    if (range.location > 0 && isWordChar(before) && isWordChar(text.front()))
        out.prepend(QLatin1Char(' '));
    if (range.end() < m_storage->length() && isWordChar(after) && isWordChar(text.back()))
        out.append(QLatin1Char(' '));
    return out;
}

Range TextView::smartDeleteRange(Range range) const
{
    if (!m_smartInsertDelete || range.length == 0 || m_granularity != SelectionGranularity::Word)
        return range;
    const QChar before = m_storage->characterAt(range.location - 1);
    const QChar after = m_storage->characterAt(range.end());
    const bool spaceBefore = range.location > 0 && before == QLatin1Char(' ');
    const bool spaceAfter = range.end() < m_storage->length() && after == QLatin1Char(' ');
    if (spaceAfter && (spaceBefore || range.location == 0))
        return Range(range.location, range.length + 1);
    if (spaceBefore && (range.end() == m_storage->length() || after.isPunct() || TextStorage::isLineTerminator(after)))
        return Range(range.location - 1, range.length + 1);
    return range;
}

void TextView::insertText(const QString& typed)
{
    QString text = typed;
    const Range sel = selectedRange();
    if (text.size() == 1 && m_selection.size() == 1 && !hasMarkedText()) {
        const QChar c = text.at(0);
        const QChar prev = m_storage->characterAt(sel.location - 1);
        // A word ends: correct it first.
        if (m_autoCorrect && sel.length == 0 && !isWordChar(c) && isWordChar(prev)) {
            const qsizetype start = wordLeftIndex(sel.location);
            const Range word(start, sel.location - start);
            const QString original = m_storage->substring(word);
            const QString corrected = correctionForWord(original, word);
            if (!corrected.isEmpty() && corrected != original)
                replaceWithUndo(word, corrected, tr("Spelling Correction"));
        }
        const Range now = selectedRange();
        const QChar before = m_storage->characterAt(now.location - 1);
        if (m_smartQuotes && (c == QLatin1Char('"') || c == QLatin1Char('\''))) {
            const bool opening = now.location == 0 || before.isSpace() || QStringLiteral("([{<\u201C\u2018\u2014-").contains(before);
            if (c == QLatin1Char('"'))
                text = QString(QChar(opening ? 0x201C : 0x201D));
            else
                text = QString(QChar(opening ? 0x2018 : 0x2019));
        } else if (m_smartDashes && c == QLatin1Char('-') && now.length == 0 && before == QLatin1Char('-')) {
            // Two hyphens make an em dash.
            replaceWithUndo(Range(now.location - 1, 1), QString(QChar(0x2014)), tr("Typing"));
            return;
        }
    }
    if (hasMarkedText()) {
        // The composition ends: its text leaves without undo, the committed text comes as typed.
        const Range marked = m_markedRange;
        replaceMarkedText(marked, QString());
        m_markedRange = Range(NotFound, 0);
        setSelectedRange(Range(marked.location, 0));
    }
    insertTyped(text);
}

void TextView::insertNewline()
{
    insertText(QStringLiteral("\n"));
}

void TextView::insertTab()
{
    insertText(QStringLiteral("\t"));
}

void TextView::deleteRangeForCommand(Range range, const QString&)
{
    if (range.length <= 0)
        return;
    m_typingChange = true;
    const bool ok = shouldChangeTextInRange(range, QString());
    m_typingChange = false;
    if (!ok)
        return;
    std::shared_ptr<TypingRecord> keep = m_typing;
    ++m_ownEdit;
    m_storage->replaceCharacters(range, QString());
    --m_ownEdit;
    setSelectedRange(Range(range.location, 0));
    m_typing = keep;
    didChangeText();
    scrollRangeToVisible(selectedRange());
}

void TextView::deleteBackward()
{
    const Range r = selectedRange();
    if (r.length > 0 || m_selection.size() > 1) {
        if (m_selection.size() > 1) {
            undoManager()->beginUndoGrouping();
            for (qsizetype k = m_selection.size() - 1; k >= 0; --k)
                replaceWithUndo(m_selection[k], QString(), tr("Delete"));
            undoManager()->endUndoGrouping();
        } else {
            deleteRangeForCommand(smartDeleteRange(r), tr("Delete"));
        }
        return;
    }
    if (r.location == 0)
        return;
    const qsizetype p = m_layout->previousCaretPosition(r.location);
    // Backspace removes one code point of a cluster, but a surrogate pair or CR LF whole.
    qsizetype from = p;
    const TextStorage* s = m_storage;
    if (r.location - p > 1) {
        DisplayUnit u;
        const bool unit = m_layout->unitAt(r.location - 1, &u);
        const bool crlf = s->characterAt(r.location - 1) == QLatin1Char('\n') && r.location - 2 >= 0 && s->characterAt(r.location - 2) == QLatin1Char('\r');
        if (!unit && !crlf) {
            from = r.location - 1;
            if (s->characterAt(from).isLowSurrogate() && from > 0 && s->characterAt(from - 1).isHighSurrogate())
                --from;
        }
    }
    deleteRangeForCommand(Range(from, r.location - from), tr("Delete"));
}

void TextView::deleteForward()
{
    const Range r = selectedRange();
    if (r.length > 0 || m_selection.size() > 1) {
        deleteBackward();
        return;
    }
    if (r.location >= m_storage->length())
        return;
    const qsizetype e = m_layout->nextCaretPosition(r.location);
    deleteRangeForCommand(Range(r.location, e - r.location), tr("Delete"));
}

void TextView::deleteWordBackward()
{
    const Range r = selectedRange();
    if (r.length > 0) {
        deleteBackward();
        return;
    }
    const qsizetype a = wordLeftIndex(r.location);
    if (a < r.location)
        deleteRangeForCommand(Range(a, r.location - a), tr("Delete"));
}

void TextView::deleteWordForward()
{
    const Range r = selectedRange();
    if (r.length > 0) {
        deleteBackward();
        return;
    }
    const qsizetype e = wordRightIndex(r.location);
    if (e > r.location)
        deleteRangeForCommand(Range(r.location, e - r.location), tr("Delete"));
}

void TextView::undo()
{
    // A composition ends first, so that undo meets only text it knows.
    commitMarkedText();
    breakUndoCoalescing();
    UndoManager* um = undoManager();
    if (um->canUndo())
        um->undo();
}

void TextView::redo()
{
    commitMarkedText();
    breakUndoCoalescing();
    UndoManager* um = undoManager();
    if (um->canRedo())
        um->redo();
}

// ---------------------------------------------------------------------------------------------
// Marked text

void TextView::replaceMarkedText(Range range, const QString& text)
{
    // Marked text is transient: it never enters undo, and the view's own edit of it leaves
    // the marked range alone.
    UndoManager* um = undoManager();
    um->disableUndoRegistration();
    const bool wasSetting = m_settingMarked;
    m_settingMarked = true;
    m_storage->replaceCharacters(range, text);
    m_settingMarked = wasSetting;
    um->enableUndoRegistration();
}

void TextView::setMarkedText(const QString& text, Range selectedInMarked)
{
    Range target = hasMarkedText() ? m_markedRange : selectedRange();
    if (!m_editable)
        return;
    breakUndoCoalescing();
    // Replaced selection text is restored by undo of the commit; marked text itself is transient.
    if (!hasMarkedText() && target.length > 0) {
        replaceWithUndo(target, QString(), tr("Typing"));
        target.length = 0;
    }
    replaceMarkedText(target, text);
    m_markedRange = text.isEmpty() ? Range(NotFound, 0) : Range(target.location, text.size());
    const qsizetype loc = target.location + std::clamp<qsizetype>(selectedInMarked.location, 0, text.size());
    setSelectedRange(Range(loc, std::clamp<qsizetype>(selectedInMarked.length, 0, target.location + text.size() - loc)));
    update();
}

void TextView::unmarkText()
{
    m_markedRange = Range(NotFound, 0);
    update();
}

void TextView::commitMarkedText()
{
    if (!hasMarkedText())
        return;
    // The composed text stays, as typed text with its undo; the input method forgets it.
    const QString composed = m_storage->substring(m_markedRange);
    insertText(composed);
    unmarkText();
    if (QInputMethod* im = QGuiApplication::inputMethod())
        im->reset();
}

void TextView::abandonComposition()
{
    m_markedRange = Range(NotFound, 0);
    if (QInputMethod* im = QGuiApplication::inputMethod())
        im->reset();
    update();
}

void TextView::inputMethodEvent(QInputMethodEvent* event)
{
    if (!m_editable) {
        event->ignore();
        return;
    }
    const QString commit = event->commitString();
    const QString preedit = event->preeditString();
    const bool replaces = event->replacementLength() > 0 || event->replacementStart() != 0;
    if (replaces) {
        // The commit replaces text around the caret (the marked text's place while composing).
        qsizetype caret = m_head;
        if (hasMarkedText()) {
            const Range marked = m_markedRange;
            replaceMarkedText(marked, QString());
            m_markedRange = Range(NotFound, 0);
            caret = marked.location;
        }
        const qsizetype n = m_storage->length();
        const qsizetype a = std::clamp<qsizetype>(caret + event->replacementStart(), 0, n);
        const qsizetype b = std::clamp<qsizetype>(a + std::max(0, event->replacementLength()), a, n);
        setSelectedRange(Range(a, b - a));
        if (!commit.isEmpty() || b > a)
            insertText(commit);
    } else if (!commit.isEmpty() || (hasMarkedText() && preedit.isEmpty())) {
        insertText(commit);
    }
    if (!preedit.isEmpty()) {
        qsizetype cursor = preedit.size();
        for (const QInputMethodEvent::Attribute& a : event->attributes()) {
            if (a.type == QInputMethodEvent::Cursor)
                cursor = a.start;
        }
        setMarkedText(preedit, Range(cursor, 0));
    }
    event->accept();
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The input method sees the text without its own preedit: while composing, the caret
    // and the anchor stand where the marked text begins.
    const Range sel = selectedRange();
    const bool composing = hasMarkedText();
    const qsizetype caret = composing ? m_markedRange.location : m_head;
    const qsizetype anchor = composing ? m_markedRange.location : (m_head == sel.location ? sel.end() : sel.location);
    const Range para = m_storage->paragraphRange(Range(caret, 0));
    // A long paragraph is cut to a window around the caret.
    constexpr qsizetype Reach = 2048;
    const qsizetype from = std::max(para.location, std::min(caret, anchor) - Reach);
    const qsizetype to = std::min(para.end(), std::max(caret, anchor) + Reach);
    auto surrounding = [&](qsizetype a, qsizetype b) {
        if (!composing || m_markedRange.end() <= a || m_markedRange.location >= b)
            return m_storage->substring(Range(a, b - a));
        return m_storage->substring(Range(a, m_markedRange.location - a))
            + m_storage->substring(Range(m_markedRange.end(), std::max<qsizetype>(0, b - m_markedRange.end())));
    };
    switch (query) {
    case Qt::ImEnabled:
        return m_editable;
    case Qt::ImCursorRectangle:
        return firstRectForCharacterRange(Range(composing ? m_head : sel.end(), 0)).toRect();
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return int(caret - from);
    case Qt::ImAnchorPosition:
        return int(anchor - from);
    case Qt::ImSurroundingText:
        return surrounding(from, std::max(from, to));
    case Qt::ImTextBeforeCursor:
        return surrounding(from, caret);
    case Qt::ImTextAfterCursor:
        return surrounding(composing ? m_markedRange.end() : caret, std::max(to, caret));
    case Qt::ImCurrentSelection:
        return composing ? QString() : m_storage->substring(sel);
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    default:
        return QWidget::inputMethodQuery(query);
    }
}

// ---------------------------------------------------------------------------------------------
// Clipboard and drag and drop

QMimeData* TextView::mimeDataForRanges(const QList<Range>& ranges) const
{
    QStringList parts;
    for (const Range& r : ranges) {
        if (r.length > 0)
            parts.append(m_storage->substring(r));
    }
    auto* data = new QMimeData;
    data->setText(parts.join(QLatin1Char('\n')));
    return data;
}

bool TextView::canReadMimeData(const QMimeData* data) const
{
    return data && (data->hasText() || data->hasUrls());
}

QString TextView::plainTextFromMimeData(const QMimeData* data)
{
    // File URLs come as their paths (a URL list also answers as text).
    if (data->hasUrls()) {
        QStringList parts;
        for (const QUrl& u : data->urls())
            parts.append(u.isLocalFile() ? u.toLocalFile() : u.toString());
        return parts.join(QLatin1Char('\n'));
    }
    return data->hasText() ? data->text() : QString();
}

bool TextView::readSelectionFromMimeData(const QMimeData* data)
{
    if (!data)
        return false;
    if (!data->hasUrls() && !data->hasText())
        return false;
    const QString text = plainTextFromMimeData(data);
    const Range r = selectedRange();
    return replaceWithUndo(r, smartInsertString(text, r), tr("Paste"));
}

void TextView::copy()
{
    if (selectedRange().length == 0 && m_selection.size() <= 1)
        return;
    QGuiApplication::clipboard()->setMimeData(mimeDataForRanges(m_selection));
}

void TextView::cut()
{
    if (selectedRange().length == 0 && m_selection.size() <= 1)
        return;
    if (!m_editable)
        return;
    copy();
    if (m_selection.size() > 1) {
        undoManager()->beginUndoGrouping();
        for (qsizetype k = m_selection.size() - 1; k >= 0; --k)
            replaceWithUndo(m_selection[k], QString(), tr("Cut"));
        undoManager()->endUndoGrouping();
    } else {
        replaceWithUndo(smartDeleteRange(selectedRange()), QString(), tr("Cut"));
    }
}

void TextView::deleteSelection()
{
    if (!m_editable || (selectedRange().length == 0 && m_selection.size() <= 1))
        return;
    deleteBackward();
}

void TextView::paste()
{
    if (!m_editable)
        return;
    readSelectionFromMimeData(QGuiApplication::clipboard()->mimeData());
}

bool TextView::performDrop(const QMimeData* data, qsizetype index, bool moveFromSelf)
{
    if (!data || !m_editable)
        return false;
    const QString text = plainTextFromMimeData(data);
    if (text.isEmpty())
        return false;
    UndoManager* um = undoManager();
    um->beginUndoGrouping();
    bool ok = true;
    if (moveFromSelf) {
        const Range source = selectedRange();
        if (index >= source.location && index <= source.end()) {
            um->endUndoGrouping();
            return false; // dropped onto itself
        }
        if (index > source.end())
            index -= source.length;
        ok = replaceWithUndo(source, QString(), tr("Drag"));
    }
    if (ok)
        ok = replaceWithUndo(Range(index, 0), text, tr("Drag"), Range(index, text.size()));
    um->endUndoGrouping();
    return ok;
}

void TextView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_editable && canReadMimeData(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TextView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_editable || !canReadMimeData(event->mimeData())) {
        event->ignore();
        return;
    }
    m_dropCaret = characterIndexForInsertionAtPoint(viewPointToDocument(event->position()));
    event->acceptProposedAction();
    update();
}

void TextView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_dropCaret = NotFound;
    update();
}

void TextView::dropEvent(QDropEvent* event)
{
    m_dropCaret = NotFound;
    const qsizetype index = characterIndexForInsertionAtPoint(viewPointToDocument(event->position()));
    const bool fromSelf = event->source() == this && event->dropAction() == Qt::MoveAction;
    if (performDrop(event->mimeData(), index, fromSelf)) {
        if (fromSelf) {
            m_droppedInSelf = true;
            event->setDropAction(Qt::CopyAction); // the source must not delete again
        }
        event->accept();
    } else {
        event->ignore();
    }
    update();
}

// ---------------------------------------------------------------------------------------------
// Spelling and find indicator

bool TextView::shouldSetSpellingState(Range, int)
{
    return true;
}

void TextView::setSpellingState(int state, Range range)
{
    range = Range::intersection(range, Range(0, m_storage->length()));
    // Clear what the range covers, then add.
    QList<Range> kept;
    for (const Range& r : std::as_const(m_misspelled)) {
        if (r.end() <= range.location || r.location >= range.end())
            kept.append(r);
    }
    if (state != 0 && range.length > 0 && shouldSetSpellingState(range, state))
        kept.append(range);
    std::sort(kept.begin(), kept.end(), [](const Range& a, const Range& b) { return a.location < b.location; });
    m_misspelled = kept;
    update();
}

void TextView::setContinuousSpellCheckingEnabled(bool on)
{
    m_continuousSpelling = on;
    if (!on) {
        m_misspelled.clear();
        update();
    } else {
        scheduleSpelling();
    }
}

QList<Range> TextView::checkSpellingOfRange(Range)
{
    return {};
}

void TextView::scheduleSpelling()
{
    if (m_continuousSpelling)
        m_spellTimer.start();
}

void TextView::runSpelling()
{
    if (!m_continuousSpelling)
        return;
    const qsizetype n = m_storage->length();
    const Range visible = Range::intersection(m_layout->characterRangeForRect(visibleContainerRect()), Range(0, n));
    // The visible text and the edited text: the edits of a check are noted as one range
    // from the first to the last, which on a large page may hold most of the text between
    // two far edits. Such a range is checked at its ends, where the edits are.
    constexpr qsizetype EditedReach = 64 * 1024;
    QList<Range> ranges{visible};
    if (m_spellDirty.location != NotFound) {
        const Range dirty = Range::intersection(m_spellDirty, Range(0, n));
        if (dirty.length <= 2 * EditedReach) {
            ranges << dirty;
        } else {
            ranges << Range(dirty.location, EditedReach) << Range(dirty.end() - EditedReach, EditedReach);
        }
    }
    m_spellDirty = Range(NotFound, 0);
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.location < b.location; });
    QList<Range> merged;
    for (const Range& r : std::as_const(ranges)) {
        if (!merged.isEmpty() && r.location <= merged.last().end())
            merged.last() = Range::unionOf(merged.last(), r);
        else
            merged << r;
    }
    // The marks of the checked ranges are replaced at once: a page with many unknown
    // words is marked in one pass, not one word at a time.
    QList<Range> marks;
    for (const Range& r : std::as_const(m_misspelled)) {
        bool checked = false;
        for (const Range& m : std::as_const(merged))
            checked = checked || (r.end() > m.location && r.location < m.end());
        if (!checked)
            marks << r;
    }
    for (const Range& m : std::as_const(merged)) {
        for (const Range& b : checkSpellingOfRange(m)) {
            const Range bad = Range::intersection(b, Range(0, n));
            if (bad.length > 0 && shouldSetSpellingState(bad, 1))
                marks << bad;
        }
    }
    std::sort(marks.begin(), marks.end(), [](const Range& a, const Range& b) { return a.location < b.location; });
    m_misspelled = marks;
    update();
}

void TextView::showFindIndicatorForRange(Range range)
{
    m_findIndicator = Range::intersection(range, Range(0, m_storage->length()));
    scrollRangeToVisible(m_findIndicator);
    m_findTimer.start();
    update();
}

// ---------------------------------------------------------------------------------------------
// Validation and menus

bool TextView::validateUserInterfaceItem(const QString& action) const
{
    const bool hasSelection = selectedRange().length > 0 || m_selection.size() > 1;
    if (action == QLatin1String("undo:"))
        return undoManager()->canUndo();
    if (action == QLatin1String("redo:"))
        return undoManager()->canRedo();
    if (action == QLatin1String("cut:") || action == QLatin1String("delete:"))
        return hasSelection && m_editable;
    if (action == QLatin1String("copy:"))
        return hasSelection;
    if (action == QLatin1String("paste:"))
        return m_editable && canReadMimeData(QGuiApplication::clipboard()->mimeData());
    if (action == QLatin1String("selectAll:"))
        return m_selectable;
    return true;
}

QMenu* TextView::menuForEvent(QContextMenuEvent*)
{
    auto* menu = new QMenu(this);
    auto add = [&](const QString& title, const QString& action, void (TextView::*slot)()) {
        QAction* a = menu->addAction(title, this, slot);
        a->setEnabled(validateUserInterfaceItem(action));
        a->setObjectName(action);
    };
    add(tr("Undo"), QStringLiteral("undo:"), &TextView::undo);
    add(tr("Redo"), QStringLiteral("redo:"), &TextView::redo);
    menu->addSeparator();
    add(tr("Cut"), QStringLiteral("cut:"), &TextView::cut);
    add(tr("Copy"), QStringLiteral("copy:"), &TextView::copy);
    add(tr("Paste"), QStringLiteral("paste:"), &TextView::paste);
    menu->addSeparator();
    add(tr("Select All"), QStringLiteral("selectAll:"), &TextView::selectAll);
    return menu;
}

void TextView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = menuForEvent(event);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---------------------------------------------------------------------------------------------
// Keys

void TextView::keyPressEvent(QKeyEvent* e)
{
    // A key the input method let through ends its composition first.
    commitMarkedText();
    const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    if (e == QKeySequence::Undo) { undo(); return; }
    if (e == QKeySequence::Redo || (ctrl && e->key() == Qt::Key_Y)) { redo(); return; }
    if (e == QKeySequence::Cut) { cut(); return; }
    if (e == QKeySequence::Copy) { copy(); return; }
    if (e == QKeySequence::Paste) { paste(); return; }
    if (e == QKeySequence::SelectAll) { selectAll(); return; }
    switch (e->key()) {
    case Qt::Key_Left:
        if (ctrl) shift ? moveWordLeftAndModifySelection() : moveWordLeft();
        else shift ? moveLeftAndModifySelection() : moveLeft();
        return;
    case Qt::Key_Right:
        if (ctrl) shift ? moveWordRightAndModifySelection() : moveWordRight();
        else shift ? moveRightAndModifySelection() : moveRight();
        return;
    case Qt::Key_Up:
        if (ctrl) { if (m_scrollView) m_scrollView->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); }
        else shift ? moveUpAndModifySelection() : moveUp();
        return;
    case Qt::Key_Down:
        if (ctrl) { if (m_scrollView) m_scrollView->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }
        else shift ? moveDownAndModifySelection() : moveDown();
        return;
    case Qt::Key_Home:
        if (ctrl) shift ? moveToBeginningOfDocumentAndModifySelection() : moveToBeginningOfDocument();
        else shift ? moveToBeginningOfLineAndModifySelection() : moveToBeginningOfLine();
        return;
    case Qt::Key_End:
        if (ctrl) shift ? moveToEndOfDocumentAndModifySelection() : moveToEndOfDocument();
        else shift ? moveToEndOfLineAndModifySelection() : moveToEndOfLine();
        return;
    case Qt::Key_PageUp:
        shift ? pageUpAndModifySelection() : pageUp();
        return;
    case Qt::Key_PageDown:
        shift ? pageDownAndModifySelection() : pageDown();
        return;
    case Qt::Key_Backspace:
        if (!m_editable) break;
        ctrl ? deleteWordBackward() : deleteBackward();
        return;
    case Qt::Key_Delete:
        if (!m_editable) break;
        ctrl ? deleteWordForward() : deleteForward();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!m_editable) break;
        insertNewline();
        return;
    case Qt::Key_Tab:
        if (!m_editable || ctrl) break;
        insertTab();
        return;
    case Qt::Key_Backtab:
        if (!m_editable) break;
        insertBacktab();
        return;
    case Qt::Key_Escape:
        cancelOperation();
        return;
    default:
        break;
    }
    const QString text = e->text();
    if (m_editable && !text.isEmpty() && !(mods & (Qt::ControlModifier | Qt::MetaModifier))) {
        bool printable = true;
        for (QChar c : text) {
            if (c.category() == QChar::Other_Control && c != QLatin1Char('\t')) {
                printable = false;
                break;
            }
        }
        if (printable) {
            insertText(text);
            return;
        }
    }
    QWidget::keyPressEvent(e);
}

bool TextView::event(QEvent* e)
{
    // Tab belongs to the editor, not to focus navigation.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && !(k->modifiers() & Qt::ControlModifier) && m_editable) {
            keyPressEvent(k);
            return true;
        }
    }
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k == QKeySequence::Undo || k == QKeySequence::Redo || k == QKeySequence::Copy || k == QKeySequence::Cut
            || k == QKeySequence::Paste || k == QKeySequence::SelectAll || k->key() == Qt::Key_Backspace
            || k->key() == Qt::Key_Delete || k->key() == Qt::Key_Home || k->key() == Qt::Key_End
            || (k->modifiers() & Qt::ControlModifier && (k->key() == Qt::Key_Left || k->key() == Qt::Key_Right))) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate)
        update();
    return QWidget::event(e);
}

void TextView::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::ParentChange)
        Q_EMIT didMoveToWindow();
    QWidget::changeEvent(e);
}

void TextView::showEvent(QShowEvent* e)
{
    updateContainerWidth();
    updateDocumentSize();
    QWidget::showEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Mouse

Range TextView::rangeForDrag(qsizetype index) const
{
    const Range anchor(m_dragAnchorStart, m_dragAnchorEnd - m_dragAnchorStart);
    Range here(index, 0);
    TextView* self = const_cast<TextView*>(this);
    if (m_granularity != SelectionGranularity::Character)
        here = self->TextView::selectionRangeForProposedRange(Range(index, 0), m_granularity);
    return Range::unionOf(anchor, here);
}

void TextView::mousePressEvent(QMouseEvent* event)
{
    // A click ends a composition before anything else looks at the text.
    commitMarkedText();
    const bool near = (event->position() - m_lastClickPos).manhattanLength() < 5;
    if (m_lastClick.isValid() && m_lastClick.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() && near)
        m_clickCount = m_clickCount + 1;
    else
        m_clickCount = 1;
    if (m_clickCount > 3)
        m_clickCount = 1;
    m_lastClick.start();
    m_lastClickPos = event->position();
    mouseDown(event);
}

void TextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    commitMarkedText();
    // Qt reports the second press as a double click.
    m_clickCount = 2;
    m_lastClick.start();
    m_lastClickPos = event->position();
    mouseDown(event);
}

void TextView::mouseDown(QMouseEvent* event)
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::MiddleButton && m_selectable) {
        commitMarkedText();
        pastePrimarySelection(characterIndexForInsertionAtPoint(viewPointToDocument(event->position())));
        return;
    }
    if (event->button() != Qt::LeftButton || !m_selectable)
        return;
    breakUndoCoalescing();
    commitMarkedText();
    m_goalX = -1;
    const QPointF doc = viewPointToDocument(event->position());
    const qsizetype index = characterIndexForInsertionAtPoint(doc);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const Range sel = selectedRange();
    if (m_clickCount == 1 && !shift && sel.length > 0 && m_selection.size() == 1) {
        // A press inside the selection may start a drag.
        for (const QRectF& r : m_layout->selectionRects(sel)) {
            if (r.translated(textContainerOrigin()).contains(doc)) {
                m_dragCandidate = true;
                m_pressPos = event->position();
                return;
            }
        }
    }
    m_granularity = m_clickCount == 2 ? SelectionGranularity::Word
                    : m_clickCount == 3 ? SelectionGranularity::Paragraph
                                        : SelectionGranularity::Character;
    if (shift && m_clickCount == 1) {
        // Extend from the far end of the selection.
        const qsizetype a = index >= (sel.location + sel.end()) / 2 ? sel.location : sel.end();
        m_dragAnchorStart = m_dragAnchorEnd = a;
        m_anchor = a;
        m_head = index;
        m_mouseSelecting = true;
        setSelectedRangesFromUser({Range(std::min(a, index), std::abs(index - a))}, SelectionAffinity::Downstream, true);
        return;
    }
    Range proposed(index, 0);
    if (m_granularity != SelectionGranularity::Character)
        proposed = TextView::selectionRangeForProposedRange(proposed, m_granularity);
    m_dragAnchorStart = proposed.location;
    m_dragAnchorEnd = proposed.end();
    m_mouseSelecting = true;
    setSelectedRangesFromUser({Range(index, 0)}, SelectionAffinity::Downstream, true);
}

void TextView::mouseMoveEvent(QMouseEvent* event)
{
    m_lastMousePos = event->position().toPoint();
    if (m_dragCandidate && (event->buttons() & Qt::LeftButton)) {
        if ((event->position() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_dragCandidate = false;
            auto* drag = new QDrag(this);
            drag->setMimeData(mimeDataForRanges(m_selection));
            m_droppedInSelf = false;
            const Range source = selectedRange();
            const Qt::DropAction action = drag->exec(m_editable ? (Qt::CopyAction | Qt::MoveAction) : Qt::CopyAction, Qt::MoveAction);
            if (action == Qt::MoveAction && !m_droppedInSelf && m_editable)
                replaceWithUndo(source, QString(), tr("Drag"));
        }
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        // The arrow over text that asks for it (token bubbles), the I-beam elsewhere.
        const QPointF doc = viewPointToDocument(event->position());
        const qsizetype index = m_layout->characterIndexForPoint(doc - textContainerOrigin());
        bool arrow = false;
        if (index < m_storage->length()) {
            const QVariant c = m_storage->attribute(CursorAttributeName, index);
            arrow = c.isValid() && m_layout->boundingRect(Range(index, 1)).translated(textContainerOrigin()).contains(doc);
        }
        setCursor(arrow ? Qt::ArrowCursor : Qt::IBeamCursor);
        return;
    }
    if (!m_mouseSelecting)
        return;
    const QPoint p = m_lastMousePos;
    if (p.y() < 0 || p.y() > height() || p.x() < 0 || p.x() > width()) {
        if (!m_autoScroll.isActive())
            m_autoScroll.start();
    } else {
        m_autoScroll.stop();
    }
    const qsizetype index = characterIndexForInsertionAtPoint(viewPointToDocument(event->position()));
    const Range r = rangeForDrag(index);
    m_anchor = index < m_dragAnchorStart ? m_dragAnchorEnd : m_dragAnchorStart;
    m_head = index < m_dragAnchorStart ? r.location : r.end();
    setSelectedRangesFromUser({r}, SelectionAffinity::Downstream, true);
}

void TextView::autoScrollTick()
{
    if (!m_mouseSelecting || !m_scrollView) {
        m_autoScroll.stop();
        return;
    }
    const QPoint p = m_lastMousePos;
    QScrollBar* v = m_scrollView->verticalScrollBar();
    QScrollBar* h = m_scrollView->horizontalScrollBar();
    if (p.y() < 0)
        v->setValue(v->value() - std::max(4, -p.y()));
    else if (p.y() > height())
        v->setValue(v->value() + std::max(4, p.y() - height()));
    if (p.x() < 0)
        h->setValue(h->value() - std::max(4, -p.x()));
    else if (p.x() > width())
        h->setValue(h->value() + std::max(4, p.x() - width()));
    const QPointF clamped(std::clamp<qreal>(p.x(), 0, width()), std::clamp<qreal>(p.y(), 0, height()));
    const qsizetype index = characterIndexForInsertionAtPoint(viewPointToDocument(clamped));
    const Range r = rangeForDrag(index);
    setSelectedRangesFromUser({r}, SelectionAffinity::Downstream, true);
}

void TextView::mouseReleaseEvent(QMouseEvent* event)
{
    m_autoScroll.stop();
    if (m_dragCandidate) {
        m_dragCandidate = false;
        const qsizetype index = characterIndexForInsertionAtPoint(viewPointToDocument(event->position()));
        m_granularity = SelectionGranularity::Character;
        setSelectedRangesFromUser({Range(index, 0)}, SelectionAffinity::Downstream, false);
        return;
    }
    if (m_mouseSelecting) {
        m_mouseSelecting = false;
        setSelectedRangesFromUser(m_selection, m_affinity, false);
    }
}

// ---------------------------------------------------------------------------------------------
// Focus and drawing

void TextView::focusInEvent(QFocusEvent* event)
{
    resetBlink();
    update();
    Q_EMIT focusChanged(true);
    QWidget::focusInEvent(event);
}

void TextView::focusOutEvent(QFocusEvent* event)
{
    // Leaving the view keeps what was being composed, as typed text.
    commitMarkedText();
    m_blinkTimer.stop();
    update();
    Q_EMIT focusChanged(false);
    QWidget::focusOutEvent(event);
}

bool TextView::isFirstResponderInKeyWindow() const
{
    return hasFocus() && window() && window()->isActiveWindow();
}

void TextView::resetBlink()
{
    m_caretOn = true;
    if (hasFocus())
        m_blinkTimer.start();
}

void TextView::blink()
{
    m_caretOn = !m_caretOn;
    update(caretRect().translated(-visibleRect().topLeft()).toAlignedRect().adjusted(-2, -2, 2, 2));
}

void TextView::resizeEvent(QResizeEvent* event)
{
    updateContainerWidth();
    updateDocumentSize();
    QWidget::resizeEvent(event);
}

void TextView::drawViewBackgroundInRect(QPainter* painter, const QRectF& rect)
{
    if (m_drawsBackground)
        painter->fillRect(rect, m_backgroundColor);
}

void TextView::drawInsertionPoint(QPainter* painter, const QRectF& rect, const QColor& color, bool turnedOn)
{
    if (turnedOn)
        painter->fillRect(rect, color);
}

void TextView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRectF vis = visibleRect();
    const QRectF dirty = QRectF(event->rect()).translated(vis.topLeft());
    painter.translate(-vis.topLeft());
    drawViewBackgroundInRect(&painter, dirty);
    painter.translate(textContainerOrigin());
    const QRectF clip = dirty.translated(-textContainerOrigin());
    DrawContext ctx;
    ctx.selectedRanges = m_selection;
    ctx.focused = hasFocus() && (!window() || window()->isActiveWindow() || QGuiApplication::platformName() == QLatin1String("offscreen"));
    ctx.textColor = m_textColor;
    ctx.selectionColor = m_selectionColor;
    ctx.visibleRect = vis.translated(-textContainerOrigin());
    m_layout->draw(&painter, clip, ctx);

    // Marked text, spelling and the find indicator over the text.
    if (hasMarkedText()) {
        painter.setPen(QPen(m_textColor, 1));
        for (const QRectF& r : m_layout->selectionRects(m_markedRange))
            painter.drawLine(QPointF(r.left(), r.bottom() - 1), QPointF(r.right(), r.bottom() - 1));
    }
    if (!m_misspelled.isEmpty()) {
        const Range visible = m_layout->characterRangeForRect(clip);
        QPen pen(QColor(220, 30, 30), 1, Qt::DotLine);
        painter.setPen(pen);
        for (const Range& m : std::as_const(m_misspelled)) {
            if (m.end() < visible.location || m.location > visible.end())
                continue;
            for (const QRectF& r : m_layout->selectionRects(m))
                painter.drawLine(QPointF(r.left(), r.bottom() - 1), QPointF(r.right(), r.bottom() - 1));
        }
    }
    if (m_findIndicator.location != NotFound && m_findIndicator.length > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        for (const QRectF& r : m_layout->selectionRects(m_findIndicator)) {
            QPainterPath path;
            path.addRoundedRect(r.adjusted(-2, -1, 2, 1), 3, 3);
            painter.fillPath(path, QColor(255, 230, 0, 140));
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (m_dropCaret != NotFound) {
        const QRectF r = m_layout->caretRect(m_dropCaret);
        painter.fillRect(QRectF(r.left(), r.top(), 1, r.height()), m_insertionColor);
    }
    if (m_selection.size() == 1 && selectedRange().length == 0 && hasFocus() && m_editable) {
        QRectF r = m_layout->caretRect(m_head, m_affinity);
        r.setWidth(1);
        drawInsertionPoint(&painter, r, m_insertionColor, m_caretOn);
    }
    painter.resetTransform();
    drawOverlay(&painter);
}

} // namespace kit
