#pragma once
// What assistive technology (a screen reader, a magnifier) sees of a TextView: its
// text, caret, selections and character boxes, and editing through the view's own
// undoable path.
//
// Offsets are the storage's character (UTF-16) indexes, so what a reader announces
// agrees with the caret, Find and Go to Line. A display unit (a placeholder or a fold)
// is one character, one word and part of one line: it reads as the text it holds.

#include "kit/Types.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace kit {

class TextView;

class TextViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit TextViewAccessible(TextView* view);

    // QAccessibleInterface.
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    // QAccessibleTextInterface.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                             int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                            int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleEditableTextInterface.
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

    /// The piece of text of the given kind that holds offset (empty at the end of the
    /// text, except for a line: the last one).
    Range segmentAt(qsizetype offset, QAccessible::TextBoundaryType type) const;

private:
    TextView* view() const;
    QString piece(Range range, int* startOffset, int* endOffset) const;
};

/// Registers the factory that gives every TextView its TextViewAccessible (once).
void installTextViewAccessibleFactory();

} // namespace kit
