#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "document/StandaloneDocumentController.h"
#include "syntax/DocumentColoringManager.h"
#include "editor/KELCodeFoldingPrefs.h"
#include "editor/KELHTMLView.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"
#include "kit/document/WindowRestoration.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QAccessible>
#include <QTemporaryDir>
#include <functional>
#include <QTest>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class DocumentWindowControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        MyDocument::resetUntitledNumbersForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        controller = new MyDocumentController(QCoreApplication::instance());
        KELStartDocumentSystem(dir.filePath("none.plist"));
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting({});
        for (kit::WindowController* window : kit::WindowController::allWindowControllers()) {
            if (auto* documents = qobject_cast<DocumentWindowController*>(window))
                documents->closeWindowNow();
        }
        settle();
        kit::DocumentController::resetSharedForTesting();
        settle();
    }
    QString file(const QString& name, const QByteArray& bytes = "<p>x</p>\n")
    {
        EXPECT_TRUE(testsupport::writeBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    MyDocument* open(const QString& path, bool display = true)
    {
        kit::Error error;
        auto* document = qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), display, &error));
        settle();
        return document;
    }
    static QList<DocumentWindowController*> windows()
    {
        QList<DocumentWindowController*> list;
        for (kit::WindowController* window : kit::WindowController::allWindowControllers()) {
            auto* documents = qobject_cast<DocumentWindowController*>(window);
            if (documents && !documents->isClosingWindow())
                list << documents;
        }
        return list;
    }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
};

TEST_F(DocumentWindowControllerTest, OpenedFilesShareOneTabbedWindowUnlessTabsAreOff)
{
    for (bool tabs : {true, false}) {
        kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, tabs);
        MyDocument* one = open(file(QStringLiteral("one%1.html").arg(tabs)));
        MyDocument* two = open(file(QStringLiteral("two%1.html").arg(tabs)));
        ASSERT_TRUE(one && two);
        ASSERT_TRUE(one->windowController() && two->windowController());
        EXPECT_EQ(one->windowController() == two->windowController(), tabs);
        DocumentWindowController* window = two->windowController();
        EXPECT_EQ(window->currentDocument(), two);
        EXPECT_TRUE(window->window()->isVisible());
        EXPECT_EQ(window->numTabs(), tabs ? 2 : 0);
        // The window shows the current document's editor, which holds the file's text.
        EXPECT_TRUE(window->window()->isAncestorOf(two->textView()));
        EXPECT_EQ(two->textView()->string(), QStringLiteral("<p>x</p>\n"));
        EXPECT_EQ(controller->frontMostDocument(), two);
        EXPECT_TRUE(controller->visibleDocuments().contains(two));
        for (DocumentWindowController* w : windows())
            w->closeWindowNow();
        settle();
        EXPECT_TRUE(controller->documents().isEmpty());
    }
}

TEST_F(DocumentWindowControllerTest, AScreenReaderFindsTheTextTheTabsAndNamedControls)
{
    kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, true);
    open(file(QStringLiteral("one.html")));
    MyDocument* two = open(file(QStringLiteral("two.html"), "<p>two</p>\n"));
    ASSERT_TRUE(two && two->windowController());
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(two->windowController()->window());
    ASSERT_TRUE(root);
    // Everything shown, depth first.
    QList<QAccessibleInterface*> all;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node, int depth) {
        if (!node || depth > 40 || all.size() > 5000 || node->state().invisible)
            return;
        all.append(node);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), depth + 1);
    };
    walk(root, 0);
    QStringList texts, tabs, unnamed;
    for (QAccessibleInterface* node : std::as_const(all)) {
        const QString name = node->text(QAccessible::Name);
        if (node->role() == QAccessible::EditableText && node->textInterface() && name.endsWith(QStringLiteral(".html")))
            texts << name + QStringLiteral(": ") + node->textInterface()->text(0, node->textInterface()->characterCount());
        if (node->role() == QAccessible::PageTab)
            tabs << name;
        const QAccessible::Role role = node->role();
        const bool control = role == QAccessible::Button || role == QAccessible::CheckBox || role == QAccessible::RadioButton
                          || role == QAccessible::ComboBox || role == QAccessible::EditableText || role == QAccessible::SpinBox;
        if (control && name.trimmed().isEmpty())
            unnamed << (node->object() ? QString::fromLatin1(node->object()->metaObject()->className()) + QLatin1Char(' ')
                                             + node->object()->objectName()
                                       : QStringLiteral("item"));
    }
    EXPECT_EQ(texts, QStringList{QStringLiteral("two.html: <p>two</p>\n")});
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("one.html"), QStringLiteral("two.html")}));
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QStringLiteral(", ")).toStdString();
}

TEST_F(DocumentWindowControllerTest, UntitledNamesCountOnFromTheLargestStillOpen)
{
    auto untitled = [this] {
        kit::Error error;
        auto* document = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(false, &error));
        EXPECT_TRUE(document);
        return document;
    };
    MyDocument* first = untitled();
    MyDocument* second = untitled();
    MyDocument* third = untitled();
    EXPECT_EQ(first->displayName(), QStringLiteral("Untitled"));
    EXPECT_EQ(second->displayName(), QStringLiteral("Untitled 2"));
    EXPECT_EQ(third->displayName(), QStringLiteral("Untitled 3"));
    third->close();
    settle();
    MyDocument* again = untitled();
    EXPECT_EQ(again->displayName(), QStringLiteral("Untitled 3"));
    second->close();
    settle();
    EXPECT_EQ(untitled()->displayName(), QStringLiteral("Untitled 4"));

    // A restored number is kept, and new names count on after it.
    MyDocument* restored = untitled();
    restored->restoreState({{QStringLiteral("KELDocumentSequenceNumber"), 9}});
    EXPECT_EQ(restored->displayName(), QStringLiteral("Untitled 9"));
    EXPECT_EQ(untitled()->displayName(), QStringLiteral("Untitled 10"));
}

TEST_F(DocumentWindowControllerTest, ClosingAWindowStopsAtTheFirstDocumentThatRefuses)
{
    MyDocument* a = open(file("a.html"));
    MyDocument* b = open(file("b.html"));
    MyDocument* c = open(file("c.html"));
    ASSERT_TRUE(a && b && c);
    DocumentWindowController* window = a->windowController();
    ASSERT_EQ(window, c->windowController());
    for (MyDocument* d : {a, b, c})
        d->updateChangeCount(kit::ChangeType::Done);
    QStringList asked;
    kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
        asked << alert.messageText();
        // Discard the first, cancel the second.
        return asked.size() == 1 ? int(kit::Document::SaveChangesDontSave) : int(kit::Document::SaveChangesCancel);
    });
    QPointer<MyDocument> first(a);
    std::optional<bool> answer;
    window->closeAllDocuments([&](bool all) { answer = all; });
    settle();
    ASSERT_TRUE(answer.has_value());
    EXPECT_FALSE(*answer);
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(!first || first->documentClosed());
    EXPECT_EQ(window->documents(), (QList<MyDocument*>{b, c}));
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_FALSE(window->isInCloseSequence());

    // All agree: the window closes and the requester hears yes.
    kit::Alert::setResponderForTesting([](const kit::Alert&) { return int(kit::Document::SaveChangesDontSave); });
    QPointer<DocumentWindowController> guard(window);
    window->closeAllDocuments([&](bool all) { answer = all; });
    settle();
    EXPECT_TRUE(*answer);
    EXPECT_FALSE(guard);
    EXPECT_TRUE(controller->documents().isEmpty());
}

TEST_F(DocumentWindowControllerTest, ClosingTheLastTabClosesTheWindow)
{
    MyDocument* only = open(file("only.html"));
    ASSERT_TRUE(only);
    QPointer<DocumentWindowController> window(only->windowController());
    ASSERT_TRUE(window);
    window->performCloseTab();
    settle();
    EXPECT_FALSE(window);
}

TEST_F(DocumentWindowControllerTest, CloseAllReachesDocumentsWithoutAWindow)
{
    MyDocument* shown = open(file("shown.html"));
    MyDocument* hidden = open(file("hidden.html"), false);
    ASSERT_TRUE(shown && hidden);
    EXPECT_EQ(hidden->windowController(), nullptr);
    hidden->updateChangeCount(kit::ChangeType::Done);
    int questions = 0;
    kit::Alert::setResponderForTesting([&](const kit::Alert&) {
        ++questions;
        return int(kit::Document::SaveChangesDontSave);
    });
    std::optional<bool> answer;
    controller->closeAllDocuments([&](bool all) { answer = all; });
    settle();
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(*answer);
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(controller->documents().isEmpty());
}

TEST_F(DocumentWindowControllerTest, FoldsAndVisibleRangeComeBackWithTheFile)
{
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += "<div>line " + QByteArray::number(i) + "</div>\n";
    const QString path = file("long.html", text);
    MyDocument* document = open(path);
    ASSERT_TRUE(document);
    document->textView()->foldTextInRange(kit::Range(20, 30));
    document->setVisibleTextRange(kit::Range(6000, 100));
    document->scrollToVisibleTextRange();
    const kit::Range seen = document->textView()->visibleRange();
    EXPECT_GT(seen.location, 0);
    document->windowController()->performCloseTab();
    settle();

    KELFilePrefs* record = KELFilePrefsManager::sharedFilePrefsManager().existingFilePrefsForFile(path);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->visibleTextRange().location, seen.location);
    MyDocument* again = open(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->visibleTextRange().location, seen.location);
    const auto folds = KELCodeFoldingPrefs::fromTextStorage(again->textStorage());
    ASSERT_TRUE(folds);
    EXPECT_EQ(folds->foldedRanges(), QList<kit::Range>{kit::Range(20, 30)});

    // Closed edited (changes discarded): the older folds stay on record.
    again->textView()->unfoldAll();
    again->updateChangeCount(kit::ChangeType::Done);
    kit::Alert::setResponderForTesting([](const kit::Alert&) { return int(kit::Document::SaveChangesDontSave); });
    again->windowController()->performCloseTab();
    settle();
    MyDocument* third = open(path);
    ASSERT_TRUE(third);
    EXPECT_TRUE(KELCodeFoldingPrefs::fromTextStorage(third->textStorage()));
}

TEST_F(DocumentWindowControllerTest, MovingAFileToTheTrashClosesOnlyUneditedDocuments)
{
    const QString folder = dir.filePath("site");
    QDir().mkpath(folder);
    MyDocument* clean = open(file("site/clean.html"));
    MyDocument* edited = open(file("site/edited.html"));
    MyDocument* other = open(file("Site.html"));
    ASSERT_TRUE(clean && edited && other);
    edited->updateChangeCount(kit::ChangeType::Done);
    QPointer<MyDocument> cleanGuard(clean);
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELFileManagerWillMoveURLToTrashNotification"), nullptr,
                                                  {{QStringLiteral("KELFileManagerURLUserInfoKey"), QUrl::fromLocalFile(folder)}});
    settle();
    EXPECT_TRUE(!cleanGuard || cleanGuard->documentClosed());
    EXPECT_FALSE(edited->documentClosed());
    EXPECT_FALSE(other->documentClosed());
}

TEST_F(DocumentWindowControllerTest, WindowsComeBackWithTheirDocumentsAndSelection)
{
    const QString a = file("a.html");
    const QString b = file("b.html");
    MyDocument* docA = open(a);
    MyDocument* docB = open(b);
    ASSERT_TRUE(docA && docB);
    docA->windowController()->setCurrentDocument(docA);
    const QString store = dir.filePath("windows.plist");
    ASSERT_TRUE(KELSaveWindowsForRestoration(store));
    for (DocumentWindowController* w : windows())
        w->closeWindowNow();
    settle();
    ASSERT_TRUE(controller->documents().isEmpty());
    QFile::remove(b); // a file gone since is left out quietly

    EXPECT_EQ(KELStartDocumentSystem(store), 1);
    settle();
    ASSERT_EQ(windows().size(), 1);
    DocumentWindowController* window = windows().constFirst();
    ASSERT_EQ(window->documents().size(), 1);
    EXPECT_EQ(window->currentDocument()->filePath(), a);
    EXPECT_TRUE(window->window()->isVisible());
}

TEST_F(DocumentWindowControllerTest, QuittingAsksAboutUnsavedDocumentsAndCanBeCancelled)
{
    MyDocument* edited = open(file("edited.html"));
    ASSERT_TRUE(edited);
    edited->updateChangeCount(kit::ChangeType::Done);
    int questions = 0;
    kit::Alert::setResponderForTesting([&](const kit::Alert&) {
        ++questions;
        return int(kit::Document::SaveChangesCancel);
    });
    std::optional<bool> mayQuit;
    KELStopDocumentSystem([&](bool ok) { mayQuit = ok; }, dir.filePath("quit.plist"));
    settle();
    ASSERT_TRUE(mayQuit.has_value());
    EXPECT_FALSE(*mayQuit);
    EXPECT_EQ(questions, 1);
    EXPECT_FALSE(edited->documentClosed());
    EXPECT_TRUE(QFile::exists(dir.filePath("quit.plist")));

    kit::Alert::setResponderForTesting([](const kit::Alert&) { return int(kit::Document::SaveChangesSave); });
    KELStopDocumentSystem([&](bool ok) { mayQuit = ok; }, dir.filePath("quit.plist"));
    settle();
    EXPECT_TRUE(*mayQuit);
    EXPECT_EQ(testsupport::fileBytes(dir.filePath("edited.html")), QByteArray("<p>x</p>\n"));
}

} // namespace

namespace {

TEST_F(DocumentWindowControllerTest, NavigatorWidthAndDividerRules)
{
    MyDocument* document = open(file("nav.html"));
    ASSERT_TRUE(document);
    auto* window = qobject_cast<StandaloneDocumentController*>(document->windowController());
    ASSERT_TRUE(window);
    window->window()->resize(1000, 600);
    settle();
    const int total = window->navigatorSplitView()->width();
    ASSERT_GT(total, 400);

    struct WidthCase {
        double stored;
        int shown;
    } widths[] = {{30, 200}, {double(total), total / 2}, {260, 260}};
    for (const WidthCase& c : widths) {
        kit::UserDefaults::standard().setValue(KELStandaloneCodeNavigatorSplitPositionKey, c.stored);
        EXPECT_EQ(window->navigatorWidthForShowing(), c.shown) << c.stored;
    }
    struct DividerCase {
        int proposed;
        int placed;
    } dividers[] = {{total - 120, total}, {60, 100}, {300, 300}};
    for (const DividerCase& c : dividers)
        EXPECT_EQ(window->constrainSplitPosition(c.proposed), c.placed) << c.proposed;

    // Without a navigator the request is kept and logged, and nothing shows.
    kit::LogCapture log;
    window->showCodeNavigator(true, false);
    EXPECT_FALSE(window->isShowingCodeNavigator());
    EXPECT_TRUE(kit::UserDefaults::standard().boolValue(KELStandaloneShowCodeNavigatorKey));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to load CodeNavigator")));

    DocumentWindowController::setCodeNavigatorFactory([](DocumentWindowController*) { return new QWidget; });
    window->showCodeNavigator(true, false);
    EXPECT_TRUE(window->isShowingCodeNavigator());
    window->showCodeNavigator(false, false);
    EXPECT_FALSE(window->isShowingCodeNavigator());
    DocumentWindowController::setCodeNavigatorFactory({});
}

TEST_F(DocumentWindowControllerTest, ANewWindowShowsTheNavigatorAtItsStoredWidth)
{
    DocumentWindowController::setCodeNavigatorFactory([](DocumentWindowController*) { return new QWidget; });
    kit::UserDefaults::standard().setValue(KELStandaloneShowCodeNavigatorKey, true);
    kit::UserDefaults::standard().setValue(KELStandaloneCodeNavigatorSplitPositionKey, 420.0);
    MyDocument* document = open(file("wide.html"));
    ASSERT_TRUE(document);
    auto* window = qobject_cast<StandaloneDocumentController*>(document->windowController());
    ASSERT_TRUE(window && window->isShowingCodeNavigator());
    window->window()->resize(1200, 700);
    settle();
    EXPECT_EQ(window->navigatorSplitView()->widget(0)->width(), 420);
    window->window()->resize(1000, 700);
    settle();
    EXPECT_EQ(window->navigatorSplitView()->widget(0)->width(), 420);
    window->showCodeNavigator(false, false);
    kit::UserDefaults::standard().setValue(KELStandaloneShowCodeNavigatorKey, false);
    DocumentWindowController::setCodeNavigatorFactory({});
}

TEST_F(DocumentWindowControllerTest, AWindowWithoutTabsBringsBackItsUntitledDocumentsState)
{
    kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, false);
    kit::Error error;
    auto* untitled = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(true, &error));
    ASSERT_TRUE(untitled);
    untitled->setSequenceNumber(5);
    auto* window = qobject_cast<StandaloneDocumentController*>(untitled->windowController());
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->usesTabs());
    QVariantMap state;
    window->encodeRestorableState(state);
    EXPECT_TRUE(state.contains(KELStandaloneDocumentControllerRestoredDocumentDataKey));
    window->closeWindowNow();
    settle();

    auto* restored = new StandaloneDocumentController(false);
    restored->loadWindow();
    restored->restoreState(state);
    ASSERT_TRUE(restored->currentDocument());
    EXPECT_EQ(restored->currentDocument()->displayName(), QStringLiteral("Untitled 5"));
}

} // namespace

TEST_F(DocumentWindowControllerTest, ALargePageOpensWithoutColouringAllOfItAtOnce)
{
    QByteArray page = "<html><body>\n";
    while (page.size() < 2 * 1024 * 1024)
        page += "<p class=\"row\">Some <b>text</b> and <a href=\"x.html\">a link</a></p>\n";
    page += "</body></html>\n";
    MyDocument* large = open(file(QStringLiteral("large.html"), page));
    ASSERT_TRUE(large && large->coloringManager());
    DocumentColoringManager* coloring = large->coloringManager();
    const qsizetype length = large->textView()->textStorage()->length();
    EXPECT_LT(coloring->correctColoringIndex(), length);
    // The background segments colour the rest, one at a time.
    for (int i = 0; i < 100000 && coloring->correctColoringIndex() < length; ++i)
        coloring->colorSegment();
    EXPECT_EQ(coloring->correctColoringIndex(), length);

    MyDocument* small = open(file(QStringLiteral("small.html"), "<p>x</p>\n"));
    ASSERT_TRUE(small && small->coloringManager());
    EXPECT_EQ(small->coloringManager()->correctColoringIndex(), small->textView()->textStorage()->length());
}
