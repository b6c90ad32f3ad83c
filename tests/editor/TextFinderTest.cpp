#include "editor/TextFinder.h"

#include "EditorTestSupport.h"
#include "../html/Printers.h"
#include "kit/Alert.h"
#include "kit/UndoManager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using kit::Range;

namespace {

class TextFinderTest : public EditorViewTest
{
protected:
    void SetUp() override
    {
        EditorViewTest::SetUp();
        finder().setTextViewProviderForTesting([this] { return view; });
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << alert.informativeText();
            return kit::Alert::FirstButtonReturn;
        });
        finder().ignoreCaseButton()->setChecked(false);
        finder().replaceAllScopeMatrix()->button(TextFinder::ReplaceAllScopeEntireText)->setChecked(true);
        finder().replaceTextField()->clear();
        view->setString(fixture(QStringLiteral("find.html")));
        view->setSelectedRange(Range(0, 0));
    }
    void TearDown() override
    {
        finder().setTextViewProviderForTesting({});
        finder().setEntityLookupForTesting({});
        kit::Alert::setResponderForTesting({});
        EditorViewTest::TearDown();
    }
    static TextFinder& finder() { return TextFinder::sharedInstance(); }
    void setKind(qint64 kind) { kit::UserDefaults::standard().setValue(KELFindRegexTypeKey, kind); }
    void typeFind(const QString& text)
    {
        finder().findTextField()->clear();
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 128;
        if (ascii)
            QTest::keyClicks(finder().findTextField(), text);
        else
            finder().findTextField()->insert(text); // typed through an input method
    }
    QString selection() const { return view->string().mid(view->selectedRange().location, view->selectedRange().length); }

    QStringList alerts;
};

TEST_F(TextFinderTest, FindsWithEachPatternKindAndWrapsAround)
{
    setKind(0);
    typeFind(QStringLiteral("f(x)"));
    QTest::mouseClick(finder().findPanel()->findChild<QPushButton*>(QStringLiteral("findNext")), Qt::LeftButton);
    EXPECT_EQ(selection(), QStringLiteral("f(x)"));

    setKind(1);
    typeFind(QStringLiteral("a*b"));
    view->setSelectedRange(Range(view->string().indexOf(QStringLiteral("<p>ab")), 0));
    finder().findNext();
    EXPECT_EQ(selection(), QStringLiteral("ab")); // the shortest run
    finder().findNext();
    EXPECT_EQ(selection(), QStringLiteral("a*b"));
    typeFind(QStringLiteral("a?b"));
    finder().findNext();
    EXPECT_EQ(selection(), QStringLiteral("a?b"));

    setKind(2);
    typeFind(QStringLiteral("caf[eé]"));
    finder().ignoreCaseButton()->setChecked(true);
    view->setSelectedRange(Range(0, 0));
    QStringList found;
    for (int i = 0; i < 4; ++i) {
        finder().findNext();
        ASSERT_TRUE(finder().lastFindWasSuccessful());
        found << selection();
    }
    EXPECT_EQ(found, (QStringList {"Café", "cafe", "CAFE", "Café"})); // the fourth wrapped
    finder().findPrevious();
    EXPECT_EQ(selection(), QStringLiteral("CAFE"));
    EXPECT_TRUE(finder().lastFindWasSuccessful());
    EXPECT_EQ(view->findIndicatorRange().location, view->selectedRange().location);
}

TEST_F(TextFinderTest, SearchPrimitiveWrapsOnlyWhenAsked)
{
    const QString text = QStringLiteral("one two one two");
    EXPECT_EQ(finder().findString("one", text, Range(8, 3), true, 0, false, 0).length, 0);
    EXPECT_EQ(finder().findString("one", text, Range(8, 3), true, 0, true, 0).location, 0);
    EXPECT_EQ(finder().findString("two", text, Range(4, 0), false, 0, false, 0).length, 0);
    EXPECT_EQ(finder().findString("two", text, Range(4, 0), false, 0, true, 0).location, 12);
    EXPECT_EQ(finder().findString("<#*#>", QStringLiteral("a <#name#> b"), Range(0, 0), true, 0, true, 1),
        Range(2, 8));
    // An invalid pattern is reported and finds nothing.
    EXPECT_EQ(finder().findString("(", text, Range(0, 0), true, 0, true, 2), Range(0, 0));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().contains(QStringLiteral("find expression is invalid")));
}

TEST_F(TextFinderTest, ReturnFindsOnceAndPutsThePanelAway)
{
    setKind(0);
    finder().orderFrontFindPanel();
    typeFind(QStringLiteral("cafe"));
    QTest::keyClick(finder().findTextField(), Qt::Key_Return);
    EXPECT_EQ(view->selectedRange().location, view->string().indexOf(QStringLiteral("cafe")));
    EXPECT_FALSE(finder().findPanel()->isVisible());
}

TEST_F(TextFinderTest, NothingFoundBeepsAndSaysSo)
{
    setKind(0);
    typeFind(QStringLiteral("absent words"));
    finder().findNext();
    EXPECT_FALSE(finder().lastFindWasSuccessful());
    EXPECT_EQ(finder().statusField()->text(), QStringLiteral("Not found"));
}

TEST_F(TextFinderTest, ReplaceAllIsOneUndoStepAndLiteral)
{
    setKind(2);
    const QString original = view->string();
    typeFind(QStringLiteral("(c)af[eé]"));
    finder().ignoreCaseButton()->setChecked(true);
    QTest::keyClicks(finder().replaceTextField(), QStringLiteral("$1tea"));
    finder().replaceAll();
    EXPECT_EQ(finder().statusField()->text(), QStringLiteral("3 replaced"));
    EXPECT_TRUE(view->string().contains(QStringLiteral("<p>$1tea au lait, $1tea noir, $1tea crème.</p>")));
    // Nothing stays selected: the caret is after the last replacement, and a key
    // typed then adds to the text instead of replacing the span.
    const qsizetype afterLast = view->string().lastIndexOf(QStringLiteral("$1tea")) + 5;
    EXPECT_EQ(view->selectedRange(), Range(afterLast, 0));
    const QString replaced = view->string();
    QCoreApplication::processEvents(); // the key comes as an event of its own
    QTest::keyClick(view, Qt::Key_X);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->string(), QString(replaced).insert(afterLast, QLatin1Char('x')));
    view->editorUndoManager()->undo();
    EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Replace All"));
    view->editorUndoManager()->undo();
    EXPECT_EQ(view->string(), original);
}

TEST_F(TextFinderTest, ReplaceAllInSelectionAndStopsAtEmptyMatch)
{
    setKind(0);
    const QString text = view->string();
    const qsizetype line = text.indexOf(QStringLiteral("ab a*b"));
    view->setSelectedRange(Range(line, 6));
    finder().replaceAllScopeMatrix()->button(TextFinder::ReplaceAllScopeSelection)->setChecked(true);
    typeFind(QStringLiteral("b"));
    QTest::keyClicks(finder().replaceTextField(), QStringLiteral("B"));
    finder().replaceAll();
    EXPECT_EQ(finder().statusField()->text(), QStringLiteral("2 replaced"));
    EXPECT_TRUE(view->string().contains(QStringLiteral("aB a*B axxb a?b aqb")));
    EXPECT_EQ(view->selectedRange(), Range(line + 6, 0));

    // A pattern that matches the empty string first replaces nothing and ends.
    setKind(2);
    finder().replaceAllScopeMatrix()->button(TextFinder::ReplaceAllScopeEntireText)->setChecked(true);
    typeFind(QStringLiteral("x*"));
    const QString before = view->string();
    finder().replaceAll();
    EXPECT_EQ(view->string(), before);
    EXPECT_EQ(finder().statusField()->text(), QStringLiteral("Not found"));
}

TEST_F(TextFinderTest, ReplaceThenFindAndReplaceWithHTMLCode)
{
    setKind(0);
    typeFind(QStringLiteral("ten"));
    finder().findNext();
    QTest::keyClicks(finder().replaceTextField(), QStringLiteral("eleven"));
    finder().replaceAndFind();
    EXPECT_TRUE(view->string().contains(QStringLiteral("(eleven)")));
    EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Replace"));

    finder().setEntityLookupForTesting([](const QString& c) -> std::optional<QString> {
        if (c == QStringLiteral("é"))
            return QStringLiteral("&eacute;");
        if (c == QStringLiteral("<"))
            return QStringLiteral("&lt;");
        return std::nullopt;
    });
    // é, <, ü, and e + combining acute (two code points, no entity): nothing is lost.
    view->setString(QStringLiteral("xé<üe\u0301y"));
    view->setSelectedRange(Range(1, 5));
    finder().replaceWithHTMLCode();
    EXPECT_EQ(view->string(), QStringLiteral("x&eacute;&lt;&#xfc;&#x65;&#x301;y"));
    EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Replace with HTML Code"));
}

TEST_F(TextFinderTest, FindNonAsciiAndUseSelection)
{
    view->setSelectedRange(Range(0, 0));
    finder().findNonAscii();
    EXPECT_EQ(selection(), QStringLiteral("é"));
    view->setSelectedRange(Range(view->string().indexOf(QStringLiteral("noir")), 4));
    finder().performFindPanelAction(7);
    EXPECT_EQ(finder().findString(), QStringLiteral("noir"));
    EXPECT_EQ(finder().findTextField()->text(), QStringLiteral("noir"));
}

} // namespace

namespace {

// A pattern that backtracks without end stops within the time limit with a
// message, in the panel and in Replace All, and the text stays as it was.
TEST_F(TextFinderTest, PathologicalPatternStopsWithinTheLimitAndSaysSo)
{
    setKind(2);
    const QString text = QString(20000, QLatin1Char('a')) + QStringLiteral("!b");
    view->setString(text);
    view->setSelectedRange(Range(0, 0));
    finder().setSearchTimeLimit(400);
    finder().orderFrontFindPanel();
    typeFind(QStringLiteral("(?~a*)*b"));
    QElapsedTimer clock;
    clock.start();
    // The program goes on meanwhile: its timers fire while the search runs.
    bool timerFired = false;
    QTimer::singleShot(50, [&] { timerFired = true; });
    finder().findNext();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_TRUE(timerFired);
    EXPECT_FALSE(finder().lastFindWasSuccessful());
    EXPECT_EQ(finder().statusField()->text(), QStringLiteral("Search took too long"));
    EXPECT_EQ(view->selectedRange().location, 0);

    finder().replaceTextField()->setText(QStringLiteral("x"));
    clock.restart();
    finder().replaceAll();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(finder().statusField()->text(), QStringLiteral("Search took too long"));
    EXPECT_EQ(view->string(), text);

    // Without the panel the message comes as an alert.
    finder().findPanel()->hide();
    alerts.clear();
    finder().findNext();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().contains(QStringLiteral("Try a simpler regular expression")));

    // Ordinary searches go on as before.
    finder().setSearchTimeLimit(TextFinder::DefaultSearchTimeLimitMilliseconds);
    typeFind(QStringLiteral("a!b"));
    finder().findNext();
    EXPECT_TRUE(finder().lastFindWasSuccessful());
    EXPECT_EQ(view->selectedRange().location, text.size() - 3);
}

TEST_F(TextFinderTest, LoneSurrogateBeforeAMatchDoesNotHideIt)
{
    setKind(0);
    view->setString(QStringLiteral("x") + QChar(0xD800) + QStringLiteral("word word"));
    view->setSelectedRange(Range(0, 0));
    typeFind(QStringLiteral("word"));
    finder().findNext();
    ASSERT_TRUE(finder().lastFindWasSuccessful());
    EXPECT_EQ(view->selectedRange().location, 2);
    finder().findNext();
    EXPECT_EQ(view->selectedRange().location, 7);
}

} // namespace
