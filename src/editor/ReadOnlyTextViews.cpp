#include "editor/ReadOnlyTextViews.h"

#include "editor/KELHTMLView.h"
#include "editor/KELLineNumberView.h"
#include "kit/text/ScrollView.h"
#include "support/DefaultsKeys.h"
#include "support/UtilityFunctions.h"
#include "kit/UserDefaults.h"

KELLineNumberView* initializeReadOnlyTextView(KELHTMLView* textView, kit::ScrollView* scrollView)
{
    if (!textView || !scrollView)
        return nullptr;
    UtilityFunctions::normalizeTextView(textView);
    textView->setEditable(false);
    // Its text is replaced whole by the program; there is nothing for the user to undo.
    textView->setAllowsUndo(false);
    // Generated code is full of paths and names a dictionary does not know; nobody can
    // correct them here anyway.
    textView->setContinuousSpellCheckingEnabled(false);
    textView->setAutomaticSpellingCorrectionEnabled(false);
    textView->updateInsertionPointColor();
    const QFont font = kit::UserDefaults::standard().fontValue(KELFontKey);
    if (!font.family().isEmpty())
        textView->setFont(font);
    scrollView->setDocumentView(textView);
    textView->setCursor(Qt::IBeamCursor);
    scrollView->setHasHorizontalScroller(true);
    auto* gutter = new KELLineNumberView(scrollView);
    scrollView->setVerticalRulerView(gutter);
    scrollView->setHasVerticalRuler(true);
    scrollView->setRulersVisible(true);
    textView->updateWordWrapForChange(false);
    return gutter;
}
