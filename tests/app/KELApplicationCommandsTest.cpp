// The running editor driven as a user drives it: File > Open, typing, the Find
// panel and Go to Line, the View items, the live preview, a keyboard-opened Edit
// menu, the text-setting toggles and a middle-click paste; results are checked
// in the text and on disk.
#include "RunningEditor.h"

#include "document/MyDocumentCommands.h"
#include "editor/GoToLineNumber.h"
#include "editor/KELLineNumberView.h"
#include "editor/TextFinder.h"
#include "kit/NotificationCenter.h"
#include "kit/SpellChecker.h"
#include "support/Notifications.h"
#include "support/KELInstalledBrowsers.h"
#include "support/PreferenceController2.h"
#include "syntax/CodeCompletionDataSource.h"
#include "syntax/DocumentColoringManager.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

using KELApplicationCommandsTest = RunningEditor;

QByteArray onDisk(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void typeInto(QWidget* widget, const QString& text)
{
    widget->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(widget, text);
    RunningEditor::drainEvents();
}

} // namespace

TEST_F(KELApplicationCommandsTest, OpenTypeFindReplaceGoToLineAndSave)
{
    const QString path = file(QStringLiteral("site.html"), "<p>hello world</p>\n<p>second line</p>\n<p>world again</p>\n");
    kit::DocumentController::setOpenPanelResponderForTesting([path] { return QList<QUrl>{QUrl::fromLocalFile(path)}; });
    ASSERT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("openDocument:")));
    // The window shows at once; it becomes the active one when the window manager says so.
    auto* documents = MyDocumentController::sharedDocumentController();
    ASSERT_TRUE(waitFor([documents] { return documents->activeDocument() != nullptr; }));
    MyDocument* document = documents->activeDocument();
    ASSERT_EQ(document->filePath(), path);
    ASSERT_TRUE(bringToFront(document));
    QWidget* window = document->textView()->window();
    typeInto(document->textView(), QStringLiteral("<!-- typed -->"));
    ASSERT_TRUE(text(document).startsWith(QStringLiteral("<!-- typed --><p>hello")));

    // Find: the panel opens from the menu; what is typed in it is what Find Next finds,
    // also while the panel keeps the keyboard.
    ASSERT_TRUE(choose(window, QStringLiteral("performFindPanelAction:"), 1));
    QLineEdit* findField = TextFinder::sharedInstance().findTextField();
    ASSERT_TRUE(findField->isVisible());
    findField->clear();
    ASSERT_TRUE(giveKeyboard(findField));
    typeInto(findField, QStringLiteral("world"));
    ASSERT_TRUE(choose(window, QStringLiteral("performFindPanelAction:"), 2)) << "Find Next disabled with the panel in front";
    const qsizetype first = text(document).indexOf(QStringLiteral("world"));
    EXPECT_EQ(document->textView()->selectedRange(), kit::Range(first, 5));
    // The document window's toolbar stays usable while the panel has the keyboard.
    QAction* livePreview = item(window, QStringLiteral("quickPreview:"));
    ASSERT_TRUE(livePreview);
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(livePreview));

    // Replace All through the panel's button.
    QLineEdit* replaceField = TextFinder::sharedInstance().replaceTextField();
    replaceField->clear();
    typeInto(replaceField, QStringLiteral("earth"));
    auto* replaceAll = findField->window()->findChild<QPushButton*>(QStringLiteral("replaceAll"));
    ASSERT_TRUE(replaceAll);
    QTest::mouseClick(replaceAll, Qt::LeftButton);
    drainEvents();
    EXPECT_EQ(text(document),
              QStringLiteral("<!-- typed --><p>hello earth</p>\n<p>second line</p>\n<p>earth again</p>\n"));

    // Go to Line from the menu: line 2 is selected in the document behind the panel.
    ASSERT_TRUE(bringToFront(document));
    ASSERT_TRUE(choose(window, QStringLiteral("showGoToLineNumberPanel:")));
    QLineEdit* lineField = GoToLineNumber::shared().lineNumberField();
    ASSERT_TRUE(lineField->isVisible());
    lineField->clear();
    ASSERT_TRUE(giveKeyboard(lineField));
    typeInto(lineField, QStringLiteral("2"));
    QPushButton* go = nullptr;
    for (QPushButton* b : lineField->window()->findChildren<QPushButton*>())
        if (b->text() == QLatin1String("Go"))
            go = b;
    ASSERT_TRUE(go);
    QTest::mouseClick(go, Qt::LeftButton);
    drainEvents();
    const QString all = text(document);
    const qsizetype line2 = all.indexOf(QLatin1Char('\n')) + 1;
    EXPECT_EQ(document->textView()->selectedRange(), kit::Range(line2, all.indexOf(QLatin1Char('\n'), line2) + 1 - line2));

    // Save from the menu writes what the user sees.
    ASSERT_TRUE(bringToFront(document));
    ASSERT_TRUE(choose(window, QStringLiteral("saveDocument:")));
    EXPECT_EQ(QString::fromUtf8(onDisk(path)), all);
}

TEST_F(KELApplicationCommandsTest, ViewItemsAndLivePreviewChangeTheWindowInFront)
{
    MyDocument* document = open(file(QStringLiteral("view.html"), "<p>a long enough line of text</p>\n"));
    ASSERT_TRUE(document);
    QWidget* window = document->textView()->window();
    KELHTMLView* view = document->textView();

    const qreal thin = document->gutter()->requiredThickness();
    const bool numbered = kit::UserDefaults::standard().boolValue(KELLineNumbers);
    ASSERT_TRUE(choose(window, QStringLiteral("toggleLineNumbers:")));
    EXPECT_NE(kit::UserDefaults::standard().boolValue(KELLineNumbers), numbered);
    EXPECT_NE(document->gutter()->requiredThickness(), thin);
    EXPECT_EQ(item(window, QStringLiteral("toggleLineNumbers:"))->isChecked(), !numbered);

    const bool wraps = view->wrapsLines();
    ASSERT_TRUE(choose(window, QStringLiteral("toggleWordWrap:")));
    EXPECT_EQ(view->wrapsLines(), !wraps);
    ASSERT_TRUE(choose(window, QStringLiteral("toggleWordWrap:")));
    EXPECT_EQ(view->wrapsLines(), wraps);

    const qreal size = view->font().pointSizeF();
    ASSERT_TRUE(choose(window, QStringLiteral("zoomIn:")));
    EXPECT_EQ(view->font().pointSizeF(), size + 1);
    ASSERT_TRUE(choose(window, QStringLiteral("zoomOut:")));
    ASSERT_TRUE(choose(window, QStringLiteral("zoomOut:")));
    EXPECT_EQ(view->font().pointSizeF(), size - 1);

    // Show/Hide Live Preview: the title follows; Refresh exists only while it shows.
    QAction* toggle = item(window, QStringLiteral("toggleLivePreview:"));
    QAction* refresh = item(window, QStringLiteral("refreshLivePreviewFromMenu:"));
    ASSERT_TRUE(toggle && refresh);
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(toggle));
    EXPECT_EQ(toggle->text(), QStringLiteral("Show &Live Preview"));
    EXPECT_FALSE(kit::ActionRouter::shared().validateAction(refresh));
    toggle->trigger();
    drainEvents();
    ASSERT_TRUE(document->isLivePreviewing());
    EXPECT_NE(document->currentEditView(), document->primaryEditView());
    ASSERT_TRUE(bringToFront(document));
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(toggle));
    EXPECT_EQ(toggle->text(), QStringLiteral("Hide &Live Preview"));
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(refresh));
    toggle->trigger();
    drainEvents();
    EXPECT_FALSE(document->isLivePreviewing());
    EXPECT_EQ(document->currentEditView(), document->primaryEditView());
}

TEST_F(KELApplicationCommandsTest, PreviewWithBrowserListsTheInstalledBrowsers)
{
    // A browser and an editor of HTML pages, installed for this user.
    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    ASSERT_TRUE(QDir().mkpath(applications));
    const QString browserEntry = applications + QStringLiteral("/kelptest-browser.desktop");
    const QString editorEntry = applications + QStringLiteral("/kelptest-editor.desktop");
    ASSERT_TRUE(testsupport::writeBytes(browserEntry, "[Desktop Entry]\nType=Application\nName=Kelp Test Browser\n"
        "Exec=true %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;text/html;\n"));
    ASSERT_TRUE(testsupport::writeBytes(editorEntry, "[Desktop Entry]\nType=Application\nName=Kelp Test Editor\n"
        "Exec=true %f\nMimeType=text/html;\n"));
    // The index of types that installing an application brings up to date.
    ASSERT_TRUE(testsupport::writeBytes(applications + QStringLiteral("/mimeinfo.cache"),
        "[MIME Cache]\nx-scheme-handler/http=kelptest-browser.desktop;\nx-scheme-handler/https=kelptest-browser.desktop;\n"
        "text/html=kelptest-browser.desktop;kelptest-editor.desktop;\n"));
    const QString id = QStringLiteral("kelptest-browser.desktop");
    auto installed = [] {
        QStringList ids;
        for (const KELBrowser& browser : KELInstalledBrowsers())
            ids << browser.identifier;
        return ids;
    };
    // The desktop's list of applications notices new entries by itself.
    ASSERT_TRUE(QTest::qWaitFor([&] { return installed().contains(id); }, 30000));
    EXPECT_FALSE(installed().contains(QStringLiteral("kelptest-editor.desktop")));

    MyDocument* document = open(file(QStringLiteral("browse.html"), "<p>hi</p>\n"));
    ASSERT_TRUE(document);
    QWidget* window = document->textView()->window();
    QAction* browser = item(window, QStringLiteral("previewInSelectedBrowser:"), id);
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->iconText(), QStringLiteral("Kelp Test Browser"));
    const qsizetype position = installed().indexOf(id);
    if (position < 9)
        EXPECT_EQ(browser->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+%1").arg(position + 1)));
    EXPECT_EQ(item(window, QStringLiteral("previewInDefaultBrowser:"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+B")));

    // Each item previews in its own browser; "Default Browser" in the desktop's.
    auto& services = MyDocumentCommands::services();
    const auto previous = services.previewInBrowser;
    QStringList asked;
    services.previewInBrowser = [&asked](MyDocument*, const QString& name) { asked << name; };
    EXPECT_TRUE(choose(window, QStringLiteral("previewInSelectedBrowser:"), id));
    EXPECT_TRUE(choose(window, QStringLiteral("previewInDefaultBrowser:")));
    services.previewInBrowser = previous;
    EXPECT_EQ(asked, (QStringList { id, QString() }));

    // The preferences offer the same browsers, stored by their desktop entry.
    PreferenceController2& prefs = PreferenceController2::sharedInstance();
    prefs.resetWindowForTesting();
    auto* popUp = prefs.window()->findChild<QComboBox*>(QStringLiteral("browserPopUp"));
    ASSERT_TRUE(popUp);
    const int row = popUp->findText(QStringLiteral("Kelp Test Browser"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(popUp->itemData(row).toMap().value(QStringLiteral("value")).toString(), id);
    EXPECT_EQ(popUp->findText(QStringLiteral("Kelp Test Editor")), -1);
    prefs.resetWindowForTesting();

    QFile::remove(browserEntry);
    QFile::remove(editorEntry);
}

TEST_F(KELApplicationCommandsTest, EditCommandsFromTheMenuActOnTheText)
{
    struct Case {
        const char* name;
        const char* action;
        const char* before;
        kit::Range selection;
        const char* after;
    };
    const Case cases[] = {
        {"Delete removes the selection", "delete:", "<p>abc</p>", {3, 3}, "<p></p>"},
        {"Replace with HTML Code", "replaceWithHTMLCode:", "caf\u00e9\u2603!", {3, 2}, "caf&eacute;&#x2603;!"},
        {"Bold from the toolbar's Format Tags", "formatTags:", "one two", {4, 3}, "one <b>two</b>"},
        {"Comment Selection", "toggleComments:", "<p>x</p>\n", {0, 8}, "<!--<p>x</p>-->\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MyDocument* document = open(file(QStringLiteral("%1.html").arg(QLatin1String(c.action).chopped(1)), c.before));
        ASSERT_TRUE(document);
        QWidget* window = document->textView()->window();
        document->textView()->setSelectedRange(c.selection);
        const QVariant data = QLatin1String(c.action) == QLatin1String("formatTags:") ? QVariant(QStringLiteral("Bold")) : QVariant();
        ASSERT_TRUE(choose(window, QLatin1String(c.action), data));
        EXPECT_EQ(text(document), QString::fromUtf8(c.after));
    }
}

TEST_F(KELApplicationCommandsTest, FindNonAsciiAndJumpToSelectionMoveToTheCharacter)
{
    MyDocument* document = open(file(QStringLiteral("ascii.html"), "<p>plain</p>\n<p>na\u00efve</p>\n"));
    ASSERT_TRUE(document);
    QWidget* window = document->textView()->window();
    ASSERT_TRUE(choose(window, QStringLiteral("findNonAscii:")));
    const qsizetype at = text(document).indexOf(QChar(0x00EF));
    EXPECT_EQ(document->textView()->selectedRange(), kit::Range(at, 1));
    EXPECT_TRUE(choose(window, QStringLiteral("jumpToSelection:")));
    EXPECT_EQ(document->textView()->selectedRange(), kit::Range(at, 1));
}

TEST_F(KELApplicationCommandsTest, TextSettingsChangeTypingAtOnce)
{
    struct Case {
        const char* action;
        const char* typed;
        const char* result;
    };
    const Case cases[] = {
        {"toggleAutomaticQuoteSubstitution:", "say \"hi\"", "say \u201chi\u201d"},
        {"toggleAutomaticDashSubstitution:", "a--b", "a\u2014b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        MyDocument* document = open(file(QStringLiteral("%1.txt").arg(QLatin1String(c.action).chopped(1)), ""));
        ASSERT_TRUE(document);
        QWidget* window = document->textView()->window();
        ASSERT_TRUE(choose(window, QLatin1String(c.action)));
        typeInto(document->textView(), QString::fromUtf8(c.typed));
        EXPECT_EQ(text(document), QString::fromUtf8(c.result));
        // Off again: typing is plain.
        ASSERT_TRUE(choose(window, QLatin1String(c.action)));
        document->textView()->selectAll();
        typeInto(document->textView(), QString::fromUtf8(c.typed));
        EXPECT_EQ(text(document), QString::fromUtf8(c.typed));
    }
}

TEST_F(KELApplicationCommandsTest, AKeyboardOpenedEditMenuValidatesAgainstTheTextAndEscapeGivesTheKeysBack)
{
    MyDocument* document = open(file(QStringLiteral("keys.html"), "<p>x</p>\n"));
    ASSERT_TRUE(document);
    auto* window = qobject_cast<QMainWindow*>(document->textView()->window());
    ASSERT_TRUE(window);
    typeInto(document->textView(), QStringLiteral("abc"));
    document->textView()->selectAll();

    // Alt alone hands the keyboard to the menu bar, as on every Linux desktop.
    QTest::keyPress(document->textView(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(document->textView(), Qt::Key_Alt, Qt::NoModifier);
    drainEvents();
    if (QApplication::focusWidget() != window->menuBar())
        GTEST_SKIP() << "this platform's style does not navigate the menu bar with Alt";
    for (const char* action : {"undo:", "cut:", "copy:", "selectAll:"}) {
        QAction* a = item(window, QLatin1String(action));
        ASSERT_TRUE(a);
        EXPECT_TRUE(kit::ActionRouter::shared().validateAction(a)) << action;
    }
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    drainEvents();
    EXPECT_EQ(QApplication::focusWidget(), document->textView());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    drainEvents();
    EXPECT_EQ(text(document), QStringLiteral("<p>x</p>\n"));
}

TEST_F(KELApplicationCommandsTest, MiddleClickPastesWhatWasSelected)
{
    if (!QGuiApplication::clipboard()->supportsSelection())
        GTEST_SKIP() << "no primary selection on this platform";
    MyDocument* document = open(file(QStringLiteral("primary.html"), "alpha beta\n"));
    ASSERT_TRUE(document);
    KELHTMLView* view = document->textView();
    // Selecting a word from the keyboard puts it in the primary selection.
    view->setSelectedRange(kit::Range(0, 0));
    QTest::keyClick(view, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    drainEvents();
    ASSERT_EQ(view->selectedRange(), kit::Range(0, 5));
    EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("alpha"));
    // A middle click at the end of the text inserts it there, leaving the clipboard alone.
    QGuiApplication::clipboard()->setText(QStringLiteral("clipboard"));
    view->setSelectedRange(kit::Range(11, 0));
    const QPoint end = view->mapFromGlobal(view->cursorRectInScreenCoordinates().center());
    QTest::mouseClick(view, Qt::MiddleButton, Qt::NoModifier, end + QPoint(0, 30));
    drainEvents();
    EXPECT_EQ(text(document), QStringLiteral("alpha beta\nalpha"));
}

TEST_F(KELApplicationCommandsTest, TabKeysSwitchTabs)
{
    kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, true);
    MyDocument* first = open(file(QStringLiteral("one.html"), "one"));
    MyDocument* second = open(file(QStringLiteral("two.html"), "two"));
    ASSERT_TRUE(first && second);
    ASSERT_EQ(first->windowController(), second->windowController());
    auto current = [first] { return first->windowController()->currentDocument(); };
    ASSERT_EQ(current(), second);
    // Ctrl+Shift+Tab in both forms platforms deliver it.
    const std::pair<Qt::Key, Qt::KeyboardModifiers> previousKeys[] = {
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier},
    };
    for (const auto& [key, modifiers] : previousKeys) {
        SCOPED_TRACE(QKeySequence(QKeyCombination(modifiers, key)).toString().toStdString());
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        drainEvents();
        EXPECT_EQ(current(), first);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        drainEvents();
        EXPECT_EQ(current(), second);
    }
}

TEST_F(KELApplicationCommandsTest, ContextMenuOpensWithSpellingAndOffersLinkAndFileManager)
{
    kit::SpellChecker::sharedSpellChecker().setWordCheckerForTesting([](const QString& w) { return w != QLatin1String("helo"); });
    MyDocument* document = open(file(QStringLiteral("spell.html"), "<p>helo there</p>\n"));
    ASSERT_TRUE(document);
    KELHTMLView* view = document->textView();
    auto menuAt = [view](qsizetype index) {
        const QRectF r = view->firstRectForCharacterRange(kit::Range(index, 1));
        QContextMenuEvent event(QContextMenuEvent::Mouse, view->documentPointToView(r.center()).toPoint());
        return std::unique_ptr<QMenu>(view->menuForEvent(&event));
    };
    auto titles = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    };

    // On the misspelled word: its guesses (or none), Ignore and Learn come first.
    std::unique_ptr<QMenu> onWord = menuAt(4);
    const QStringList items = titles(onWord.get());
    const qsizetype ignore = items.indexOf(QStringLiteral("Ignore Spelling"));
    ASSERT_GE(ignore, 1) << items.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(items.value(ignore + 1), QStringLiteral("Learn Spelling"));
    EXPECT_EQ(items.value(ignore - 1), QStringLiteral("-"));
    EXPECT_TRUE(items.contains(QStringLiteral("Add Link to URL")));
    EXPECT_TRUE(items.contains(QStringLiteral("Show in File Manager")));
    EXPECT_LT(ignore, items.indexOf(QStringLiteral("Undo")));

    // On markup, and on a word spelled right: no spelling items.
    for (qsizetype index : {1, 9}) {
        std::unique_ptr<QMenu> other = menuAt(index);
        EXPECT_FALSE(titles(other.get()).contains(QStringLiteral("Ignore Spelling"))) << index;
    }

    // Ignore: the word is accepted in this document from now on.
    onWord->findChild<QAction*>(QStringLiteral("ignoreSpelling:"))->trigger();
    std::unique_ptr<QMenu> again = menuAt(4);
    EXPECT_FALSE(titles(again.get()).contains(QStringLiteral("Ignore Spelling")));
    kit::SpellChecker::sharedSpellChecker().setWordCheckerForTesting({});
}

TEST_F(KELApplicationCommandsTest, ColourSettingsRecolourAndAHiddenTabLosesItsEditTagPanel)
{
    kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, true);
    MyDocument* first = open(file(QStringLiteral("a.html"), "<p class=x>a</p>"));
    MyDocument* second = open(file(QStringLiteral("b.html"), "<p>b</p>"));
    ASSERT_TRUE(first && second);
    DocumentWindowController* window = second->windowController();
    ASSERT_EQ(window, first->windowController());

    auto& services = MyDocumentCommands::services();
    const auto kept = services.colorViewableTags;
    QList<MyDocument*> coloured;
    services.colorViewableTags = [&coloured](MyDocument* document, KELHTMLView*) { coloured << document; };
    kit::NotificationCenter::defaultCenter().post(KELColoringSettingsChangedSecondNotification, nullptr);
    EXPECT_EQ(coloured, QList<MyDocument*>{second});
    services.colorViewableTags = kept;

    window->setCurrentDocument(first);
    ASSERT_TRUE(bringToFront(first));
    first->textView()->setSelectedRange(kit::Range(1, 0));
    first->textView()->startTagEdit();
    drainEvents();
    auto* panel = first->textView()->findChild<QDialog*>(QStringLiteral("EditTagPanel"));
    ASSERT_TRUE(panel && panel->isVisible());
    ASSERT_TRUE(choose(first->textView()->window(), QStringLiteral("selectNextTab:")));
    EXPECT_EQ(window->currentDocument(), second);
    EXPECT_FALSE(panel->isVisible());
}

// The menus' keys work while a panel has the keyboard: they act on the document
// behind it, a field keeps the editing keys it takes itself, and Ctrl+W closes a
// free panel, not the document window.
TEST_F(KELApplicationCommandsTest, MenuKeysReachTheDocumentBehindAPanel)
{
    const QString path = file(QStringLiteral("keys.html"), "<p class=x>one</p>\n<p>two</p>\n");
    MyDocument* document = open(path);
    ASSERT_TRUE(document);
    QWidget* window = document->textView()->window();
    auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        QTest::keyClick(focus, Qt::Key(key), modifiers);
        drainEvents();
    };
    struct Panel {
        const char* name;
        std::function<QWidget*()> open; // opens the panel; answers the widget to give the keyboard
    } const panels[] = {
        { "Find", [&] {
              EXPECT_TRUE(choose(window, QStringLiteral("performFindPanelAction:"), 1));
              return static_cast<QWidget*>(TextFinder::sharedInstance().findTextField());
          } },
        { "Go to Line", [&] {
              EXPECT_TRUE(choose(window, QStringLiteral("showGoToLineNumberPanel:")));
              return static_cast<QWidget*>(GoToLineNumber::shared().lineNumberField());
          } },
        { "Edit Tag", [&] {
              document->textView()->setSelectedRange(kit::Range(4, 0));
              EXPECT_TRUE(choose(window, QStringLiteral("editTag:")));
              auto* panel = document->textView()->findChild<QDialog*>(QStringLiteral("EditTagPanel"));
              auto* buttons = panel ? panel->findChild<QDialogButtonBox*>() : nullptr;
              return buttons ? static_cast<QWidget*>(buttons->button(QDialogButtonBox::Cancel)) : nullptr;
          } },
    };
    int typed = 0;
    for (const Panel& p : panels) {
        SCOPED_TRACE(p.name);
        ASSERT_TRUE(bringToFront(document));
        document->textView()->setSelectedRange(kit::Range(0, 0));
        typeInto(document->textView(), QString::number(++typed));
        const QString edited = text(document);
        QWidget* target = p.open();
        ASSERT_TRUE(target);
        QWidget* panel = target->window();
        ASSERT_NE(panel, window);
        ASSERT_TRUE(giveKeyboard(target));

        // Save.
        press(Qt::Key_S);
        EXPECT_EQ(QString::fromUtf8(onDisk(path)), edited);
        EXPECT_FALSE(document->isDocumentEdited());
        // Undo: a field with text of its own undoes that; elsewhere the document's typing goes.
        if (auto* field = qobject_cast<QLineEdit*>(target)) {
            field->clear();
            QTest::keyClicks(field, QStringLiteral("7"));
            // To the field itself: a busy window manager may still be moving the focus.
            QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
            drainEvents();
            EXPECT_EQ(field->text(), QString());
            EXPECT_EQ(text(document), edited);
        } else {
            press(Qt::Key_Z);
            EXPECT_EQ(text(document), edited.mid(1));
            press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            EXPECT_EQ(text(document), edited);
        }
        if (panel->parentWidget())
            continue; // a panel of the document window itself: Ctrl+W is that window's
        // Close Window closes the panel.
        press(Qt::Key_W);
        EXPECT_FALSE(panel->isVisible());
        EXPECT_TRUE(window->isVisible());
    }
}

// What runs after each keystroke (colouring, the document's structure, spelling, menu
// validation, the encoding check, automatic indentation) reads around the caret. A
// read of the whole text would move everything after the caret on every keystroke.
TEST_F(KELApplicationCommandsTest, TypingReadsOnlyAroundTheCaret)
{
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, true);
    QByteArray page = "<!DOCTYPE html>\n<html><head><style>\np { color: red; } /* note */\n</style>\n"
                      "<script>\n// a comment\nvar x = /re/g; function f() { return x; }\n</script></head>\n<body>\n";
    for (int i = 0; i < 200; ++i)
        page += "  <p class=\"row\">Row &amp; text " + QByteArray::number(i) + " <a href=\"#x\">link</a></p>\n";
    page += "</body></html>\n";
    MyDocument* document = open(file(QStringLiteral("typing.html"), page));
    ASSERT_TRUE(document);
    KELHTMLView* view = document->textView();
    kit::TextStorage* storage = view->textStorage();
    const qsizetype caret = QString::fromUtf8(page).indexOf(QStringLiteral("text 100")) + 5;
    view->setSelectedRange(kit::Range(caret, 0));
    // What typing leaves to do later (colouring, spelling, validating the items) has run.
    DocumentColoringManager* coloring = document->coloringManager();
    ASSERT_TRUE(coloring);
    auto idle = [view, coloring] {
        return !view->isSpellingScheduled() && !kit::ActionRouter::shared().isValidationScheduled()
            && !coloring->isViewableColoringScheduled() && coloring->scheduledSegmentInterval() < 0;
    };
    ASSERT_TRUE(waitFor(idle));
    const quint64 before = storage->wholeTextReads();
    for (const QString& typed : { QStringLiteral("more wrds "), QStringLiteral("\n    <b>bold</b> &nbsp;"),
             QStringLiteral("\n<!-- c -->") }) {
        for (const QChar c : typed) {
            if (c == QLatin1Char('\n'))
                QTest::keyClick(view, Qt::Key_Return);
            else
                QTest::keyClicks(view, QString(c));
            drainEvents();
        }
        ASSERT_TRUE(waitFor(idle));
    }
    // Completion, narrowed by typing, and closed.
    QTest::keyClicks(view, QStringLiteral("<d"));
    QTest::keyClick(view, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([] { return KELCompletionPanel::shared() && KELCompletionPanel::shared()->isActive(); }));
    QTest::keyClicks(view, QStringLiteral("i"));
    drainEvents();
    EXPECT_TRUE(KELCompletionPanel::shared()->isActive());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // Moving along the line, and a word selected with the mouse.
    for (const auto& [key, modifiers] : { std::pair { Qt::Key_Home, Qt::NoModifier },
             std::pair { Qt::Key_End, Qt::NoModifier }, std::pair { Qt::Key_Home, Qt::ShiftModifier },
             std::pair { Qt::Key_End, Qt::ShiftModifier }, std::pair { Qt::Key_Right, Qt::NoModifier } })
        QTest::keyClick(view, key, modifiers);
    view->scrollRangeToVisible(kit::Range(caret - 4, 1));
    const QPoint word = view->firstRectForCharacterRange(kit::Range(caret - 4, 1)).center().toPoint();
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, word);
    EXPECT_EQ(view->selectedRange(), kit::Range(caret - 5, 4)); // "text"
    ASSERT_TRUE(waitFor(idle));
    EXPECT_EQ(storage->wholeTextReads(), before);
    const QString now = text(document);
    EXPECT_TRUE(now.contains(QStringLiteral("text more wrds \n    <b>bold</b> &nbsp;\n<!-- c --><di100")))
        << now.mid(caret - 20, 80).toStdString();
}
