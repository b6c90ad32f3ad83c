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
};
