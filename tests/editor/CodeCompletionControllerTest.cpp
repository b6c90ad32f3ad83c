// The completion list: where it goes beside the caret, the entry it keeps
// selected while the list changes, its keys and its fade, and the whole road
// from typing in an editor to the inserted entry.

#include "EditorTestSupport.h"

#include "editor/CodeCompletionController.h"
#include "html/KELCodeClipsManager.h"
#include "kit/UndoManager.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELHTMLViewColoringManager.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QAccessible>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QScreen>
#include <QTableWidget>
#include <QTextEdit>
#include <QTest>

using kit::Range;

namespace {

// A fixed list of named entries.
struct Entry : KELCompletion
{
    explicit Entry(QString n, QString v = QString(), QUrl url = QUrl())
        : m_name(std::move(n))
        , m_value(v.isNull() ? m_name : std::move(v))
        , m_url(std::move(url))
    {
    }
    QString name() const override { return m_name; }
    QString value() const override { return m_value; }
    QString typeName() const override { return QString(); }
    StyledText displayName() const override
    {
        StyledText t;
        t.append(m_name, QTextCharFormat());
        return t;
    }
    StyledText displayDescription() const override
    {
        StyledText t;
        t.append(QStringLiteral("about ") + m_name, QTextCharFormat());
        return t;
    }
    QUrl infoURL() const override { return m_url; }
    Range range() const override { return Range(0, 0); }
    QString m_name, m_value;
    QUrl m_url;
};

/// Runs the event loop until the condition holds; false when the time ran out first.
template<typename Condition> bool waitUntil(Condition condition, int milliseconds = 30000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

struct Source : CodeCompletionDataSource
{
    QList<std::shared_ptr<KELCompletion>> entries;
    QStringList applied;
    void set(const QStringList& names)
    {
        entries.clear();
        for (const QString& n : names)
            entries.append(std::make_shared<Entry>(n));
    }
    qsizetype numberOfCompletions() const override { return entries.size(); }
    std::shared_ptr<KELCompletion> completionAtIndex(qsizetype i) const override { return entries.value(i); }
    void applyCompletion(const std::shared_ptr<KELCompletion>& c) override { applied.append(c->name()); }
};

class CodeCompletionControllerTest : public EditorViewTest
{
protected:
    void SetUp() override
    {
        EditorViewTest::SetUp();
        controller = &CodeCompletionController::sharedInstance();
        controller->close();
        controller->setDataSource(&source);
    }
    void TearDown() override
    {
        controller->unsetDataSource(&source);
        controller->close();
        EditorViewTest::TearDown();
    }
    void key(int k)
    {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        controller->forwardKeyEvent(&e);
    }
    CodeCompletionController* controller = nullptr;
    Source source;
};

TEST(CodeCompletionPlacement, BelowTheLineAboveNearTheBottomInsideTheScreen)
{
    const QRect screen(0, 0, 1000, 800);
    const QSize size(300, 200);
    // Carets near the top, with exactly 200 pixels under them, near the bottom, at the right edge.
    const QRect cases[] = { QRect(100, 100, 2, 16), QRect(100, 584, 2, 16), QRect(100, 700, 2, 16),
        QRect(900, 100, 2, 16) };
    const QPoint origins[] = { QPoint(100, 120), QPoint(100, 604), QPoint(100, 496), QPoint(700, 120) };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const QRect frame = CodeCompletionController::determineWindowFrameForCursorRect(cases[i], size, screen);
        EXPECT_EQ(frame.topLeft(), origins[i]) << i;
        EXPECT_TRUE(screen.contains(frame)) << i;
    }
    // Without a screen the panel simply goes below the line.
    EXPECT_EQ(CodeCompletionController::determineWindowFrameForCursorRect(QRect(10, 10, 2, 16), size, QRect())
                  .topLeft(),
        QPoint(10, 30));
}

TEST_F(CodeCompletionControllerTest, TheRememberedEntryStaysSelectedOrItsNeighbourBefore)
{
    source.set({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d") });
    controller->reloadCompletions();
    controller->showWindowWithCursorRect(QRect(50, 50, 2, 16));
    EXPECT_TRUE(controller->isActive());
    EXPECT_EQ(controller->selectedRow(), 0);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    ASSERT_EQ(controller->selectedRow(), 2);
    EXPECT_EQ(controller->selectedCompletion()->name(), QStringLiteral("c"));
    EXPECT_EQ(controller->descriptionView()->toPlainText(), QStringLiteral("about c"));

    // "c" is still listed (a fresh entry object): it stays selected.
    source.set({ QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("e") });
    controller->reloadCompletions();
    EXPECT_EQ(controller->selectedRow(), 1);
    // "c" is gone: the entry before where it would sort.
    source.set({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("e") });
    controller->reloadCompletions();
    EXPECT_EQ(controller->selectedRow(), 1);

    key(Qt::Key_Return);
    EXPECT_EQ(source.applied, QStringList { QStringLiteral("b") });
    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(controller->panelWindow()->isVisible());
}

TEST_F(CodeCompletionControllerTest, ReadersFindTheListAndTheChosenEntry)
{
    source.set({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") });
    controller->reloadCompletions();
    controller->showWindowWithCursorRect(QRect(50, 50, 2, 16));
    auto* table = controller->panelWindow()->findChild<QTableWidget*>();
    ASSERT_TRUE(table);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(table);
    ASSERT_TRUE(list && list->tableInterface());
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Completions"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(controller->descriptionView())->text(QAccessible::Name),
              QStringLiteral("Completion description"));
    key(Qt::Key_Down);
    ASSERT_EQ(controller->selectedRow(), 1);
    // The chosen entry is the selected cell (the list announces its selection itself).
    const QList<QAccessibleInterface*> cells = list->tableInterface()->selectedCells();
    ASSERT_FALSE(cells.isEmpty());
    EXPECT_EQ(cells.first()->text(QAccessible::Name), QStringLiteral("b"));
}

TEST_F(CodeCompletionControllerTest, TheBottomStripMovesThePanelAndItsCornerResizesIt)
{
    source.set({ QStringLiteral("a"), QStringLiteral("b") });
    controller->reloadCompletions();
    controller->showWindowWithCursorRect(QRect(50, 50, 2, 16));
    QWidget* panel = controller->panelWindow();
    ASSERT_TRUE(panel->isVisible());
    panel->setGeometry(100, 200, 320, 240);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->geometry() == QRect(100, 200, 320, 240); }, 5000));
    // The strip is the panel's to drag: no child takes the press there.
    const QPoint inStrip(60, panel->height() - 6);
    QWidget* child = panel->childAt(inStrip);
    EXPECT_TRUE(!child || child->testAttribute(Qt::WA_TransparentForMouseEvents));

    // A press, then moves with the button held: the first move decides, the next ones drag.
    auto drag = [panel](QPoint from, QPoint by) {
        const QPoint global = panel->mapToGlobal(from);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), QPointF(global), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &press);
        QMouseEvent first(QEvent::MouseMove, QPointF(from), QPointF(global), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &first);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + by), QPointF(global + by), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(from + by), QPointF(global + by), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &release);
    };
    drag(inStrip, QPoint(40, 30));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->pos() == QPoint(140, 230); }, 5000));
    EXPECT_EQ(panel->size(), QSize(320, 240));

    // The grip in the strip's right corner resizes; the top-left corner stays.
    drag(QPoint(panel->width() - 5, panel->height() - 5), QPoint(60, 50));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->size() == QSize(380, 290); }, 5000));
    EXPECT_EQ(panel->pos(), QPoint(140, 230));
    // Not below the smallest size.
    drag(QPoint(panel->width() - 5, panel->height() - 5), QPoint(-1000, -1000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->size() == panel->minimumSize(); }, 5000));

    // Above the strip, a drag moves nothing.
    const QPoint before = panel->pos();
    drag(QPoint(20, 10), QPoint(50, 50));
    EXPECT_EQ(panel->pos(), before);
    // Moved up against the screen's top, the panel stays below it.
    drag(QPoint(20, panel->height() - 6), QPoint(0, -5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->y() == QGuiApplication::primaryScreen()->geometry().top() + CodeCompletionPanel::ScreenTopMargin; }, 5000));
}

TEST_F(CodeCompletionControllerTest, ReturnWithoutASelectedRowOnlyCloses)
{
    source.set({});
    controller->reloadCompletions();
    controller->showWindowWithCursorRect(QRect(50, 50, 2, 16));
    key(Qt::Key_Return);
    EXPECT_TRUE(source.applied.isEmpty());
    EXPECT_FALSE(controller->isActive());
}

TEST_F(CodeCompletionControllerTest, EscapeWhileFadingInTurnsTheFadeAround)
{
    source.set({ QStringLiteral("a") });
    controller->reloadCompletions();
    controller->showWindowWithCursorRect(QRect(50, 50, 2, 16));
    ASSERT_TRUE(controller->isFading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->alpha() > 0.0; }, 60000));
    const double reached = controller->alpha();
    EXPECT_GT(reached, 0.0);
    key(Qt::Key_Escape);
    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(controller->isFadingIn());
    EXPECT_TRUE(controller->isFading()); // the same fade, reversed
    EXPECT_LE(controller->alpha(), reached + 0.01);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->panelWindow()->isVisible(); }, 60000));
    EXPECT_FALSE(controller->panelWindow()->isVisible());
    EXPECT_EQ(controller->alpha(), 0.0);
}

TEST_F(CodeCompletionControllerTest, TypingInAnEditorOffersInsertsAndFollowsTheCaret)
{
    controller->unsetDataSource(&source);
    KELCodeClipsManager::resetSharedInstanceForTesting();
    SyntaxType* html = SyntaxManager::sharedInstance().typeForName(QStringLiteral("HTML"));
    ASSERT_TRUE(html);
    html->setUsesAutoCompletion(true);
    KELHTMLViewColoringManager manager;
    manager.setSyntaxType(html);
    manager.addTextView(view);
    controller->setDataSource(&manager);
    view->activateWindow();

    QTest::keyClicks(view, QStringLiteral("<p>Hi</p><di"));
    ASSERT_TRUE(controller->isActive());
    QStringList names;
    for (const auto& e : manager.completions())
        names.append(e->name());
    EXPECT_TRUE(names.contains(QStringLiteral("div")));
    EXPECT_FALSE(names.contains(QStringLiteral("dl")));
    // Typing on narrows the list.
    QTest::keyClicks(view, QStringLiteral("v"));
    EXPECT_TRUE(controller->isActive());
    for (const auto& e : manager.completions())
        EXPECT_TRUE(e->name().startsWith(QStringLiteral("div"))) << e->name().toStdString();
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("<p>Hi</p><div"));
    EXPECT_EQ(view->selectedRange(), Range(13, 0));

    // Escape closes; a space never opens the list; the caret leaving the word fades it out.
    QTest::keyClicks(view, QStringLiteral(" cl"));
    ASSERT_TRUE(controller->isActive());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(controller->isActive());
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_FALSE(controller->isActive());
    QTest::keyClicks(view, QStringLiteral("i"));
    ASSERT_TRUE(controller->isActive());
    view->setSelectedRange(Range(1, 0));
    EXPECT_FALSE(controller->isActive());
    html->setUsesAutoCompletion(false);
    controller->unsetDataSource(&manager);
}

TEST_F(CodeCompletionControllerTest, AppliedEntriesSelectTheirFirstPlaceholder)
{
    controller->unsetDataSource(&source);
    SyntaxType* html = SyntaxManager::sharedInstance().typeForName(QStringLiteral("HTML"));
    KELHTMLViewColoringManager manager;
    manager.setSyntaxType(html);
    manager.addTextView(view);
    controller->setDataSource(&manager);
    view->textStorage()->replaceCharacters(Range(0, 0), QStringLiteral("ab"));
    view->setSelectedRange(Range(2, 0));
    manager.suggestCompletion(view); // makes this view the one completed in
    struct At : Entry
    {
        using Entry::Entry;
        Range range() const override { return Range(1, 1); }
    };
    manager.applyCompletion(std::make_shared<At>(QStringLiteral("x"), QStringLiteral("<a href=\"<#url#>\"><##></a>")));
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("a<a href=\"<#url#>\"><##></a>"));
    EXPECT_EQ(view->selectedRange(), Range(10, 7));
    view->undoManager()->undo();
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("ab"));
    manager.applyCompletion(std::make_shared<At>(QStringLiteral("y"), QStringLiteral("<b><##></b>")));
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("a<b></b>"));
    EXPECT_EQ(view->selectedRange(), Range(4, 0));
    // A range the text no longer has is never replaced.
    struct Stale : Entry
    {
        using Entry::Entry;
        Range range() const override { return Range(50, 3); }
    };
    manager.applyCompletion(std::make_shared<Stale>(QStringLiteral("z")));
    EXPECT_EQ(view->textStorage()->string(), QStringLiteral("a<b></b>"));
    controller->unsetDataSource(&manager);
}

TEST_F(CodeCompletionControllerTest, ClosingTheListLetsTheBackgroundColouringGoOn)
{
    controller->unsetDataSource(&source);
    SyntaxType* html = SyntaxManager::sharedInstance().typeForName(QStringLiteral("HTML"));
    ASSERT_TRUE(html);
    QString text;
    while (text.size() < 300000)
        text += QStringLiteral("<p class=\"row\">Some <b>text</b> and <a href=\"x.html\">a link</a></p>\n");
    view->setString(text + QStringLiteral("<d"));
    view->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return view->window()->isActiveWindow(); }));
    KELHTMLViewColoringManager manager;
    manager.setSyntaxType(html);
    manager.addTextView(view);
    controller->setDataSource(&manager);
    const QList<std::function<void()>> closings { [this] { QTest::keyClick(view, Qt::Key_Escape); },
        [this] { controller->close(); }, [this] { view->setSelectedRange(Range(0, 0)); } };
    for (const std::function<void()>& closeTheList : closings) {
        manager.setCorrectColoringIndex(0);
        view->setSelectedRange(Range(view->textStorage()->length(), 0));
        manager.suggestCompletion(view); // colours on to the caret first, or has the chain do it
        ASSERT_TRUE(waitUntil([this] { return controller->isActive(); }));
        EXPECT_FALSE(manager.completions().isEmpty());
        // The list never takes the keyboard; the offscreen platform gives it the focus all
        // the same: give it back.
        view->activateWindow();
        ASSERT_TRUE(waitUntil([this] { return view->window()->isActiveWindow(); }));
        // The chain waits while the list is open.
        manager.setCorrectColoringIndex(0);
        manager.invalidateTimers();
        manager.colorSegmentFromTimer(0.0);
        EXPECT_FALSE(manager.isColoringWithTimer());
        closeTheList();
        EXPECT_FALSE(controller->isActive());
        EXPECT_TRUE(manager.isColoringWithTimer());
        ASSERT_TRUE(waitUntil([&manager] { return manager.isColoringComplete(); }));
    }
    controller->unsetDataSource(&manager);
}

} // namespace
