#pragma once
// Read-only code views (the checker's generated text, the component window's source):
// one set-up for all of them, so they look and behave like the editor without being one.

class KELHTMLView;
class KELLineNumberView;

namespace kit {
class ScrollView;
}

/// Makes textView the read-only document view of scrollView: the editor's font, colours
/// and word wrap, plain text, no editing, no spelling marks, an I-beam cursor, and a
/// line-number gutter as the vertical ruler (answered). Called once per view.
KELLineNumberView* initializeReadOnlyTextView(KELHTMLView* textView, kit::ScrollView* scrollView);
