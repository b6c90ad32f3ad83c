#include "kit/text/TextViewAccessible.h"

#include "kit/Accessibility.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <utility>

namespace kit {

namespace {

// Word and sentence searches read this much text either side of the offset at most, so a
// minified page of one long line costs no more than an ordinary one.
constexpr qsizetype SearchWindow = 2000;

QAccessibleInterface* textViewFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String("kit::TextView") && object && object->isWidgetType())
        return new TextViewAccessible(static_cast<TextView*>(object));
    return nullptr;
}

} // namespace

void installTextViewAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(textViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

TextViewAccessible::TextViewAccessible(TextView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

TextView* TextViewAccessible::view() const
{
    return static_cast<TextView*>(widget());
}

QAccessible::Role TextViewAccessible::role() const
{
    return QAccessible::EditableText;
}

QAccessible::State TextViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    TextView* v = view();
    s.editable = v->isEditable();
    s.readOnly = !v->isEditable();
    s.multiLine = !v->isFieldEditor();
    s.selectableText = v->isSelectable();
    s.focusable = true;
    return s;
}

QString TextViewAccessible::text(QAccessible::Text t) const
{
    TextView* v = view();
    if (t == QAccessible::Name) {
        // The document's name where the view's owner gave it, else its window's file.
        if (!v->accessibleName().isEmpty())
            return v->accessibleName();
        const QString path = v->window() ? v->window()->windowFilePath() : QString();
        if (!path.isEmpty())
            return QFileInfo(path).fileName();
        return v->isEditable() ? QCoreApplication::translate("kit::TextView", "Text editor")
                               : QCoreApplication::translate("kit::TextView", "Text");
    }
    if (t == QAccessible::Description)
        return v->accessibleDescription();
    // The value would be the whole text: readers ask for it through the text interface.
    return QString();
}

void* TextViewAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

// --- Selection and caret.

namespace {
QList<Range> nonEmpty(const QList<Range>& ranges)
{
    QList<Range> out;
    for (const Range& r : ranges) {
        if (r.length > 0)
            out.append(r);
    }
    return out;
}
} // namespace

void TextViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    const QList<Range> ranges = nonEmpty(view()->selectedRanges());
    *startOffset = *endOffset = 0;
    if (selectionIndex < 0 || selectionIndex >= ranges.size())
        return;
    *startOffset = int(ranges[selectionIndex].location);
    *endOffset = int(ranges[selectionIndex].end());
}

int TextViewAccessible::selectionCount() const
{
    return int(nonEmpty(view()->selectedRanges()).size());
}

void TextViewAccessible::addSelection(int startOffset, int endOffset)
{
    QList<Range> ranges = nonEmpty(view()->selectedRanges());
    const qsizetype n = view()->textStorage()->length();
    const qsizetype a = std::clamp<qsizetype>(std::min(startOffset, endOffset), 0, n);
    const qsizetype b = std::clamp<qsizetype>(std::max(startOffset, endOffset), 0, n);
    ranges.append(Range(a, b - a));
    view()->setSelectedRangesFromUser(ranges, SelectionAffinity::Downstream, false);
}

void TextViewAccessible::removeSelection(int selectionIndex)
{
    QList<Range> ranges = nonEmpty(view()->selectedRanges());
    if (selectionIndex < 0 || selectionIndex >= ranges.size())
        return;
    const Range removed = ranges.takeAt(selectionIndex);
    if (ranges.isEmpty())
        ranges.append(Range(removed.end(), 0));
    view()->setSelectedRangesFromUser(ranges, SelectionAffinity::Downstream, false);
}

void TextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    QList<Range> ranges = nonEmpty(view()->selectedRanges());
    const qsizetype n = view()->textStorage()->length();
    const qsizetype a = std::clamp<qsizetype>(std::min(startOffset, endOffset), 0, n);
    const qsizetype b = std::clamp<qsizetype>(std::max(startOffset, endOffset), 0, n);
    if (selectionIndex >= 0 && selectionIndex < ranges.size())
        ranges[selectionIndex] = Range(a, b - a);
    else
        ranges = {Range(a, b - a)};
    view()->setSelectedRangesFromUser(ranges, SelectionAffinity::Downstream, false);
}

int TextViewAccessible::cursorPosition() const
{
    return int(view()->selectionHead());
}

void TextViewAccessible::setCursorPosition(int position)
{
    const qsizetype n = view()->textStorage()->length();
    view()->setSelectedRangesFromUser({Range(std::clamp<qsizetype>(position, 0, n), 0)},
                                      SelectionAffinity::Downstream, false);
}

// --- Text.

int TextViewAccessible::characterCount() const
{
    return int(view()->textStorage()->length());
}

QString TextViewAccessible::text(int startOffset, int endOffset) const
{
    const TextStorage* s = view()->textStorage();
    if (endOffset < 0)
        endOffset = int(s->length());
    const qsizetype a = std::clamp<qsizetype>(startOffset, 0, s->length());
    const qsizetype b = std::clamp<qsizetype>(endOffset, a, s->length());
    return s->substring(Range(a, b - a));
}

QString TextViewAccessible::piece(Range range, int* startOffset, int* endOffset) const
{
    *startOffset = int(range.location);
    *endOffset = int(range.end());
    return view()->textStorage()->substring(range);
}

Range TextViewAccessible::segmentAt(qsizetype offset, QAccessible::TextBoundaryType type) const
{
    TextView* v = view();
    const TextStorage* s = v->textStorage();
    LayoutManager* lm = v->layoutManager();
    const qsizetype n = s->length();
    offset = std::clamp<qsizetype>(offset, 0, n);
    if (type == QAccessible::NoBoundary)
        return Range(0, n);

    if (type == QAccessible::LineBoundary) {
        if (n == 0)
            return Range(0, 0);
        if (offset == n) {
            // After a final line terminator the caret is on an empty last line.
            if (TextStorage::isLineTerminator(s->characterAt(n - 1)))
                return Range(n, 0);
            offset = n - 1;
        }
        Range line = lm->lineRangeForCharacter(offset);
        const Range paragraph = lm->paragraphRangeAtIndex(lm->paragraphIndexForCharacter(offset));
        // The paragraph's last line reads with its terminator.
        qsizetype end = line.end();
        while (end < paragraph.end() && TextStorage::isLineTerminator(s->characterAt(end)))
            ++end;
        line.length = end - line.location;
        return line;
    }

    if (offset == n)
        return Range(n, 0);
    DisplayUnit unit;
    const bool inUnit = lm->unitAt(offset, &unit);
    if (type == QAccessible::CharBoundary || ((type == QAccessible::WordBoundary) && inUnit)) {
        if (inUnit)
            return unit.range;
        qsizetype start = s->composedCharacterRange(offset).location;
        if (start > 0 && s->characterAt(start) == QLatin1Char('\n') && s->characterAt(start - 1) == QLatin1Char('\r'))
            --start;
        return Range(start, std::max(lm->nextCaretPosition(start), start + 1) - start);
    }

    const Range paragraph = lm->paragraphRangeAtIndex(lm->paragraphIndexForCharacter(offset));
    if (type == QAccessible::ParagraphBoundary)
        return paragraph;

    // Words and sentences: found in the paragraph around the offset.
    const qsizetype from = std::max(paragraph.location, offset - SearchWindow);
    const qsizetype to = std::min(paragraph.end(), offset + SearchWindow);
    const QString window = s->substring(Range(from, to - from));
    QTextBoundaryFinder finder(type == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence
                                                                       : QTextBoundaryFinder::Word,
                               window);
    const qsizetype rel = offset - from;
    finder.setPosition(rel);
    qsizetype start = finder.isAtBoundary() ? rel : finder.toPreviousBoundary();
    finder.setPosition(rel);
    qsizetype end = finder.toNextBoundary();
    start = start < 0 ? from : from + start;
    end = end < 0 ? to : from + end;
    if (end <= offset)
        end = offset + 1;
    // A unit next to the word is a word of its own.
    QList<DisplayUnit> units;
    lm->displayUnitsInRange(Range(start, end - start), units);
    for (const DisplayUnit& u : units) {
        if (u.range.location > offset)
            end = std::min(end, u.range.location);
        else if (u.range.end() <= offset)
            start = std::max(start, u.range.end());
    }
    return Range(start, end - start);
}

QString TextViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                         int* endOffset) const
{
    return piece(segmentAt(offset, boundaryType), startOffset, endOffset);
}

QString TextViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                             int* endOffset) const
{
    const Range here = segmentAt(offset, boundaryType);
    if (here.location <= 0 || boundaryType == QAccessible::NoBoundary)
        return piece(Range(0, 0), startOffset, endOffset);
    return piece(segmentAt(here.location - 1, boundaryType), startOffset, endOffset);
}

QString TextViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                            int* endOffset) const
{
    const qsizetype n = view()->textStorage()->length();
    const Range here = segmentAt(offset, boundaryType);
    if (here.end() >= n || boundaryType == QAccessible::NoBoundary)
        return piece(Range(n, 0), startOffset, endOffset);
    return piece(segmentAt(here.end(), boundaryType), startOffset, endOffset);
}

QString TextViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    // No attributes are offered: the whole text is one run.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

// --- Geometry.

QRect TextViewAccessible::characterRect(int offset) const
{
    TextView* v = view();
    const qsizetype n = v->textStorage()->length();
    if (offset < 0 || offset > n)
        return QRect();
    const Range r = offset == n ? Range(n, 0) : segmentAt(offset, QAccessible::CharBoundary);
    const QRectF local = v->firstRectForCharacterRange(r);
    return QRect(v->mapToGlobal(local.topLeft().toPoint()), local.size().toSize().expandedTo(QSize(1, 1)));
}

int TextViewAccessible::offsetAtPoint(const QPoint& point) const
{
    TextView* v = view();
    const QPoint local = v->mapFromGlobal(point);
    if (!v->rect().contains(local))
        return -1;
    return int(v->characterIndexForPoint(v->viewPointToDocument(QPointF(local))));
}

void TextViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    const qsizetype n = view()->textStorage()->length();
    const qsizetype a = std::clamp<qsizetype>(startIndex, 0, n);
    const qsizetype b = std::clamp<qsizetype>(endIndex, a, n);
    view()->scrollRangeToVisible(Range(a, b - a));
}

// --- Editing: the view's own undoable path.

void TextViewAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void TextViewAccessible::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

void TextViewAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    const qsizetype n = view()->textStorage()->length();
    const qsizetype a = std::clamp<qsizetype>(std::min(startOffset, endOffset), 0, n);
    const qsizetype b = std::clamp<qsizetype>(std::max(startOffset, endOffset), 0, n);
    view()->breakUndoCoalescing();
    view()->replaceWithUndo(Range(a, b - a), text, QCoreApplication::translate("kit::TextView", "Typing"));
}

// --- Events sent by the view.

void TextView::accessibleCharactersWillChange(Range range)
{
    // Only the replaced piece is copied, and only while a reader listens.
    if (isAccessibilityListening() && range.length > 0)
        m_accessibleRemoved = m_storage->substring(range);
    else
        m_accessibleRemoved.clear();
}

void TextView::accessibleCharactersChanged(Range range, qsizetype delta)
{
    if (!isAccessibilityListening()) {
        m_accessibleRemoved.clear();
        return;
    }
    const QString inserted = m_storage->substring(Range(range.location, range.length + delta));
    const QString removed = std::exchange(m_accessibleRemoved, QString());
    const int at = int(range.location);
    if (!removed.isEmpty() && !inserted.isEmpty()) {
        QAccessibleTextUpdateEvent event(this, at, removed, inserted);
        sendAccessibilityEvent(event);
    } else if (!removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, at, removed);
        sendAccessibilityEvent(event);
    } else if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(this, at, inserted);
        sendAccessibilityEvent(event);
    }
}

void TextView::accessibleSelectionChanged()
{
    if (!isAccessibilityListening())
        return;
    Range selected(m_head, 0);
    for (const Range& r : std::as_const(m_selection)) {
        if (r.length > 0) {
            selected = r;
            break;
        }
    }
    if (selected.length > 0 || m_accessibleSelection.length > 0) {
        if (selected != m_accessibleSelection) {
            QAccessibleTextSelectionEvent event(this, int(selected.location), int(selected.end()));
            event.setCursorPosition(int(m_head));
            sendAccessibilityEvent(event);
        }
    }
    m_accessibleSelection = selected.length > 0 ? selected : Range(0, 0);
    if (m_head != m_accessibleCaret) {
        m_accessibleCaret = m_head;
        QAccessibleTextCursorEvent event(this, int(m_head));
        sendAccessibilityEvent(event);
    }
}

} // namespace kit
