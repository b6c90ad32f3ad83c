#pragma once
// What the colouring, the document structure and the navigator need of an
// editor's text view beyond the plain text view: its visible range, a fresh
// layout of what shows, and whether attribute changes only redraw. The editor's
// text view implements it.

#include "kit/text/TextView.h"

class KELSyntaxTextView : public kit::TextView {
    Q_OBJECT
public:
    using kit::TextView::TextView;

    /// The characters in the visible part of the view.
    virtual kit::Range visibleRange() = 0;
    /// Lays out and redraws what shows.
    virtual void layoutVisibleText() = 0;
    /// While on, attribute changes redraw without laying the text out again.
    virtual void setInvalidateDisplayOnlyForAttributeChange(bool on) = 0;

    // What completion needs (the HTML editor view answers these).
    /// The caret's rectangle on the screen, where the completion list goes.
    virtual QRect cursorRectInScreenCoordinates() const { return QRect(); }
    /// The text indented to suit the line of index.
    virtual QString indentedStringForString(const QString& string, qsizetype /*index*/) const { return string; }
    /// Replaces range with text in one undo step named "Completion" and selects selection.
    virtual void replaceTextForCompletion(kit::Range range, const QString& text, kit::Range selection)
    {
        Q_UNUSED(range);
        Q_UNUSED(text);
        Q_UNUSED(selection);
    }
};
