// The application's commands of code clips and Quick Insert.

#include "app/AppController.h"

#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "htmlui/KELCodeClipsController.h"
#include "htmlui/QuickInsertMenu.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>

namespace {
// The selected text of the front document; none without a document.
std::optional<QString> frontSelection()
{
    MyDocumentController* documents = MyDocumentController::sharedDocumentController();
    MyDocument* document = documents ? documents->activeDocument() : nullptr;
    KELHTMLView* view = document ? document->existingTextView() : nullptr;
    if (!view || !view->textStorage())
        return std::nullopt;
    const kit::Range selection = view->selectedRange();
    if (selection.location == kit::NotFound)
        return std::nullopt;
    return view->textStorage()->substring(selection);
}
} // namespace

void AppController::registerClipCommands()
{
    addAction(QStringLiteral("manageCodeClips:"), [](QObject*) { KELCodeClipsController::sharedInstance().manageCodeClips(); });
    addAction(QStringLiteral("newClip:"), [](QObject*) { KELCodeClipsController::sharedInstance().newClip(); });
    addAction(QStringLiteral("newClipFromSelection:"), [](QObject*) {
        const std::optional<QString> selection = frontSelection();
        KELCodeClipsController::sharedInstance().newClipFromSelection(selection);
    }, [](QAction*) {
        // Only a selection makes a clip.
        const std::optional<QString> selection = frontSelection();
        return selection && !selection->isEmpty();
    });
    // The Symbols menu at the caret of the focused editor (else at the pointer).
    addAction(QStringLiteral("showQuickInsertMenu:"), [](QObject*) {
        QMenu* menu = QuickInsertMenu::quickInsertMenu();
        QPoint at = QCursor::pos();
        if (auto* view = qobject_cast<KELHTMLView*>(QApplication::focusWidget()))
            at = view->cursorRectInScreenCoordinates().bottomLeft();
        menu->popup(at);
    });
}
