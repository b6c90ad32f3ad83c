// Every command of a real document window, from the menu bar and the toolbar:
// each has a handler, and each is disabled only where its validation says so.
#include "RunningEditor.h"

#include "document/MyDocumentCommands.h"

#include <QClipboard>
#include <QMimeData>

namespace {

class MainMenuTest : public RunningEditor {
protected:
    // The items of the window that are disabled now, by command name.
    static QString disabledCommands(QWidget* window)
    {
        QStringList disabled;
        for (QAction* a : commandItems(window))
            if (!kit::ActionRouter::shared().validateAction(a) && !disabled.contains(kit::ActionRouter::actionOf(a)))
                disabled << kit::ActionRouter::actionOf(a);
        disabled.sort();
        return disabled.join(QLatin1Char(' '));
    }
    // Commands of other kinds of windows (the project's Save All, the PDF viewer's):
    // a standalone document window has no taker for them.
    static QStringList otherWindowsCommands()
    {
        return {QStringLiteral("saveAll:"), QStringLiteral("zoomToActualSize:"), QStringLiteral("zoomToFit:"),
                QStringLiteral("toggleAutomaticallyResizes:"), QStringLiteral("changePDFDisplayMode:"),
                QStringLiteral("goToPreviousPage:"), QStringLiteral("goToNextPage:")};
    }
    // The commands expected disabled, with those of the windows still to come and of
    // other kinds of windows.
    static QString expected(QStringList list)
    {
        list += AppController::unavailableCommands();
        list += otherWindowsCommands();
        list.removeDuplicates();
        list.sort();
        return list.join(QLatin1Char(' '));
    }
};

} // namespace

TEST_F(MainMenuTest, EveryItemHasAHandlerAndIsDisabledOnlyWhereItsValidationSaysSo)
{
    QGuiApplication::clipboard()->clear();
    const QString path = file(QStringLiteral("page.html"), "<p>hello world</p>\n<p>two</p>\n");
    MyDocument* document = open(path);
    ASSERT_TRUE(document);
    QWidget* window = document->textView()->window();
    ASSERT_EQ(QApplication::focusWidget(), document->textView());

    const QList<QAction*> items = commandItems(window);
    ASSERT_GT(items.size(), 90);
    for (QAction* a : items) {
        const QString name = kit::ActionRouter::actionOf(a);
        if (otherWindowsCommands().contains(name))
            continue;
        EXPECT_TRUE(kit::ActionRouter::shared().targetForAction(name)) << "no handler: " << name.toStdString() << " ("
                                                                        << a->text().toStdString() << ")";
    }

    // A file just opened: nothing done, nothing selected, nothing copied, one tab.
    EXPECT_EQ(disabledCommands(window).toStdString(),
              expected({QStringLiteral("performCloseTab:"), QStringLiteral("selectNextTab:"), QStringLiteral("selectPreviousTab:"),
                        QStringLiteral("revertDocumentToSaved:"), QStringLiteral("undo:"),
                        QStringLiteral("redo:"), QStringLiteral("cut:"), QStringLiteral("copy:"), QStringLiteral("delete:"),
                        QStringLiteral("paste:"), QStringLiteral("foldSelection:"), QStringLiteral("newClipFromSelection:"),
                        QStringLiteral("refreshLivePreviewFromMenu:")})
                  .toStdString());

    // Edited, with a selection inside a tag, something copied and the live preview showing:
    // only what truly cannot run stays disabled.
    QTest::keyClicks(document->textView(), QStringLiteral("X"));
    document->textView()->setSelectedRange(kit::Range(2, 1)); // the p of <p>
    QGuiApplication::clipboard()->setText(QStringLiteral("copied"));
    ASSERT_TRUE(choose(window, QStringLiteral("toggleLivePreview:")));
    ASSERT_TRUE(document->isLivePreviewing());
    ASSERT_TRUE(bringToFront(document));
    document->textView()->setSelectedRange(kit::Range(2, 1)); // the p of <p>
    EXPECT_EQ(disabledCommands(window).toStdString(),
              expected({QStringLiteral("performCloseTab:"), QStringLiteral("selectNextTab:"), QStringLiteral("selectPreviousTab:"),
                        QStringLiteral("redo:")}).toStdString());
}
