#include "editor/KELHTMLView.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "app/RegisteredDefaults.h"
#include "editor/HTMLSpellChecker.h"
#include "kit/NotificationCenter.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>
#include <QScrollBar>
#include <memory>

using kit::NotFound;
using kit::Range;

namespace {

class KELHTMLViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        setIndentUnit(true, 4);
        kit::UserDefaults::standard().setValue(KELAutoIndentAfterNewlineKey, true);
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELHTMLView;
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(14);
        view->setFont(f);
        scroll->resize(500, 300);
        scroll->show();
        view->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        scroll.reset();
        KELHTMLView::setCodeCompletionKeyTarget(nullptr);
    }
    static void setIndentUnit(bool tab, int spaces)
    {
        kit::UserDefaults::standard().setValue(KELOrganizeTagsSpacer, qlonglong(tab ? 1 : 0));
        kit::UserDefaults::standard().setValue(KELOrganizeTagsNumSpaces, qlonglong(spaces));
    }
    void setText(const QString& text, Range selection)
    {
        view->setString(text);
        view->setSelectedRange(selection);
        view->undoManager()->removeAllActions();
        QApplication::processEvents();
    }
    QString text() const { return view->textStorage()->string(); }
    QPoint pointFor(qsizetype index)
    {
        const QRectF r = view->layoutManager()->caretRect(index);
        return view->documentPointToView(r.topLeft() + view->textContainerOrigin() + QPointF(2, r.height() / 2))
            .toPoint();
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(view, k, m);
        QApplication::processEvents();
    }

    std::unique_ptr<kit::ScrollView> scroll;
    KELHTMLView* view = nullptr;
};

TEST_F(KELHTMLViewTest, ReturnKeepsTheWholeIndentUnitsBeforeTheCaret)
{
    struct Case
    {
        const char* name;
        bool tabUnit;
        const char* text;
        qsizetype caret;
        const char* expected;
    } cases[] = {
        { "two tabs at the line end", true, "\t\tabc", 5, "\t\tabc\n\t\t" },
        { "caret between the two tabs", true, "\t\tabc", 1, "\t\n\t\tabc" },
        { "six spaces give one unit of four", false, "      x", 7, "      x\n    " },
        { "a tab is no unit of spaces", false, "\tx", 2, "\tx\n" },
        { "second line counts its own indent", true, "a\n\tb", 4, "a\n\tb\n\t" },
    };
    for (const Case& c : cases) {
        setIndentUnit(c.tabUnit, 4);
        setText(QString::fromUtf8(c.text), Range(c.caret, 0));
        key(Qt::Key_Return);
        EXPECT_EQ(text(), QString::fromUtf8(c.expected)) << c.name;
    }
    setIndentUnit(true, 4);
    kit::UserDefaults::standard().setValue(KELAutoIndentAfterNewlineKey, false);
    setText(QStringLiteral("\t\tabc"), Range(5, 0));
    key(Qt::Key_Return);
    EXPECT_EQ(text(), QStringLiteral("\t\tabc\n"));
}

TEST_F(KELHTMLViewTest, TypedReturnPostsTheNewlineItself)
{
    QStringList received;
    QObject context;
    kit::NotificationCenter::defaultCenter().addObserver(
        KELUserDidEnterTextNotification, view,
        [&](const kit::Notification& n) {
            received.append(n.userInfo.value(KELUserDidEnterTextInsertedString).toString());
        },
        &context);
    setText(QStringLiteral("\tx"), Range(2, 0));
    key(Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("y"));
    EXPECT_EQ(received, (QStringList { QStringLiteral("\n"), QStringLiteral("y") }));
    EXPECT_EQ(text(), QStringLiteral("\tx\n\ty"));
}

TEST_F(KELHTMLViewTest, ShiftRightAndLeftOverSeveralLinesIsOneUndoStep)
{
    setText(QStringLiteral("one\ntwo\nthree\n"), Range(0, 9));
    view->performAction(QStringLiteral("shiftRight:"), nullptr);
    EXPECT_EQ(text(), QStringLiteral("\tone\n\ttwo\n\tthree\n"));
    // The selection began at a line start: it grows to take the inserted units.
    EXPECT_EQ(view->selectedRange(), Range(0, 12));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Shift Right"));
    QApplication::processEvents();
    view->performAction(QStringLiteral("shiftLeft:"), nullptr);
    EXPECT_EQ(text(), QStringLiteral("one\ntwo\nthree\n"));
    QApplication::processEvents();
    view->undoManager()->undo();
    EXPECT_EQ(text(), QStringLiteral("\tone\n\ttwo\n\tthree\n"));
    view->undoManager()->undo();
    EXPECT_EQ(text(), QStringLiteral("one\ntwo\nthree\n"));
    EXPECT_EQ(view->selectedRange(), Range(0, 9));
    view->undoManager()->redo();
    EXPECT_EQ(text(), QStringLiteral("\tone\n\ttwo\n\tthree\n"));
}

TEST_F(KELHTMLViewTest, ShiftingRules)
{
    struct Case
    {
        const char* name;
        bool tabUnit;
        const char* text;
        QList<Range> selection;
        int direction;
        const char* expected;
        Range selectionAfter;
    } cases[] = {
        { "caret at a line start moves after the unit", true, "ab\ncd", { Range(3, 0) }, 1, "ab\n\tcd", Range(4, 0) },
        { "a tab is left alone when the unit is spaces", false, "\tab\n    cd", { Range(0, 8) }, 0, "\tab\ncd",
            Range(0, 4) },
        { "a range ending at a line start leaves that line", true, "ab\ncd", { Range(0, 3) }, 1, "\tab\ncd",
            Range(0, 4) },
        { "two ranges on one line shift it once", true, "abcdef", { Range(1, 1), Range(4, 1) }, 1, "\tabcdef",
            Range(2, 1) },
        { "shift left without indentation changes nothing", true, "ab", { Range(1, 0) }, 0, "ab", Range(1, 0) },
    };
    for (const Case& c : cases) {
        setIndentUnit(c.tabUnit, 4);
        view->setString(QString::fromUtf8(c.text));
        view->setSelectedRanges(c.selection);
        view->shiftWithDirection(c.direction);
        EXPECT_EQ(text(), QString::fromUtf8(c.expected)) << c.name;
        EXPECT_EQ(view->selectedRange(), c.selectionAfter) << c.name;
    }
}

TEST_F(KELHTMLViewTest, SelectionIsCarriedSafelyAcrossAnEdit)
{
    struct Case
    {
        Range selection;
        Range edit;
        qsizetype newLength;
        qsizetype textLength;
        Range expected;
    } cases[] = {
        { Range(5, 2), Range(10, 1), 3, 40, Range(5, 2) }, // edit after the selection
        { Range(5, 2), Range(0, 2), 5, 40, Range(8, 2) }, // edit before it
        { Range(5, 10), Range(7, 2), 5, 40, Range(5, 13) }, // edit inside it
        { Range(5, 2), Range(3, 10), 1, 40, Range(3, 1) }, // edit past its end: never negative
        { Range(5, 10), Range(3, 4), 2, 40, Range(3, 10) }, // edit over its start only
        { Range(30, 5), Range(0, 10), 0, 25, Range(20, 5) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELHTMLView::selectionAfterEdit(c.selection, c.edit, c.newLength, c.textLength), c.expected);

    setText(QStringLiteral("0123456789abcdef"), Range(5, 2));
    view->replaceCharactersWithUndoInRange(Range(3, 10), QStringLiteral("x"));
    EXPECT_EQ(text(), QStringLiteral("012xdef"));
    EXPECT_EQ(view->selectedRange(), Range(3, 1));
}

TEST_F(KELHTMLViewTest, DoubleClickOnABracketSelectsThePair)
{
    struct Case
    {
        const char* text;
        qsizetype click;
        Range expected;
    } cases[] = {
        { "f(a(b)c)", 1, Range(1, 7) },
        { "x{ y", 1, Range(1, 3) },
        { "a[b]c", 3, Range(1, 3) },
        { ")ab", 0, Range(0, 1) },
    };
    for (const Case& c : cases) {
        setText(QString::fromUtf8(c.text), Range(0, 0));
        QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, pointFor(c.click));
        QApplication::processEvents();
        EXPECT_EQ(view->selectedRange(), c.expected) << c.text;
        QTest::qWait(1); // the next press is not a triple click
        view->setSelectedRange(Range(0, 0));
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, pointFor(0));
        QTest::qWait(QApplication::doubleClickInterval() + 10);
    }
}

TEST_F(KELHTMLViewTest, NavigationKeysGoToAnOpenCompletionList)
{
    struct Target : KELCodeCompletionKeyTarget
    {
        bool active = true;
        QList<int> keys;
        bool isActive() const override { return active; }
        void forwardKeyEvent(QKeyEvent* e) override { keys.append(e->key()); }
    } target;
    KELHTMLView::setCodeCompletionKeyTarget(&target);
    setText(QStringLiteral("ab\ncd\nef"), Range(0, 0));
    key(Qt::Key_PageDown);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("z"));
    EXPECT_EQ(target.keys, (QList<int> { Qt::Key_PageDown, Qt::Key_Down, Qt::Key_Return }));
    EXPECT_EQ(text(), QStringLiteral("zab\ncd\nef"));
    target.active = false;
    key(Qt::Key_Down);
    EXPECT_EQ(target.keys.size(), 3);
}

TEST_F(KELHTMLViewTest, ColouringRangesAreKeptInsideTheText)
{
    setText(QStringLiteral("abc"), Range(0, 0));
    view->setColor(Qt::red, Range(1, 100));
    view->setColor(Qt::blue, Range(NotFound, 2));
    view->setColor(Qt::blue, Range(10, 2));
    EXPECT_EQ(view->textStorage()->attribute(kit::ForegroundColorAttributeName, 2).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(view->textStorage()->attribute(kit::ForegroundColorAttributeName, 0).isValid());
}

TEST_F(KELHTMLViewTest, UntypedInsertionsAndTabStops)
{
    setText(QStringLiteral("ab"), Range(1, 0));
    view->insertUntypedString(QStringLiteral("XY"), QStringLiteral("Format Tag"));
    EXPECT_EQ(text(), QStringLiteral("aXYb"));
    EXPECT_EQ(view->selectedRange(), Range(3, 0));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Format Tag"));
    view->replaceCharactersWithUndoInRange(Range(0, 1), QStringLiteral("zz"), Range(4, 3), Range(0, 0), QString());
    EXPECT_EQ(text(), QStringLiteral("zzXYb"));
    EXPECT_EQ(view->selectedRange(), Range(4, 1));

    setIndentUnit(true, 4);
    setText(QStringLiteral("\t\tx"), Range(0, 0));
    EXPECT_EQ(view->indentedStringForString(QStringLiteral("a\nb"), 2), QStringLiteral("a\n\t\tb"));

    const QList<qreal> stops = KELHTMLView::tabStopsForFont(view->font());
    ASSERT_EQ(stops.size(), 50);
    const qreal w = QFontMetricsF(view->font()).horizontalAdvance(QLatin1Char('n'));
    EXPECT_EQ(stops[0], std::floor(4 * w + 0.5));
    EXPECT_EQ(stops[49], std::floor(200 * w + 0.5));
}

TEST_F(KELHTMLViewTest, ContinuousSpellingUnderlinesWordsOutsideTags)
{
    HTMLSpellChecker::installAsSharedSpellChecker();
    const QSet<QString> bad = { QStringLiteral("teh"), QStringLiteral("clas"), QStringLiteral("nbsp") };
    kit::SpellChecker::sharedSpellChecker().setWordCheckerForTesting(
        [bad](const QString& w) { return !bad.contains(w); });
    setText(QStringLiteral("<p clas=\"teh\">teh &nbsp; ok</p>"), Range(0, 0));
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, true);
    kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->misspelledRanges().isEmpty(); }, 60000));
    EXPECT_EQ(view->misspelledRanges(), (QList<Range> { Range(14, 3) }));
    // A range that starts inside a word is widened to the whole word, and the word
    // keeps what stands before it: the "nbsp" of "&nbsp;" is no misspelling.
    setText(QStringLiteral("xx &nbsp; teh clas"), Range(0, 0));
    EXPECT_EQ(view->checkSpellingOfRange(Range(5, 9)), (QList<Range> { Range(10, 3), Range(14, 4) }));
    EXPECT_EQ(view->checkSpellingOfRange(Range(16, 1)), (QList<Range> { Range(14, 4) }));
    kit::SpellChecker::setSharedSpellChecker(nullptr);
}

TEST_F(KELHTMLViewTest, FoldsAndPlaceholdersCarryNoSpellingMarks)
{
    HTMLSpellChecker::installAsSharedSpellChecker();
    const QSet<QString> bad = { QStringLiteral("teh"), QStringLiteral("nmae") };
    kit::SpellChecker::sharedSpellChecker().setWordCheckerForTesting([bad](const QString& w) { return !bad.contains(w); });
    setText(QStringLiteral("<p>teh cat</p>\n<div>\nteh dog\n</div>\n<#nmae#> teh\n"), Range(0, 0));
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, true);
    kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, nullptr);
    // The word in the placeholder's bubble is never marked; the three others are.
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->misspelledRanges() == (QList<Range> { Range(3, 3), Range(21, 3), Range(45, 3) }); }, 5000));

    // Folding the div takes the mark of its word away, and no later check brings it back.
    view->foldTextInRange(Range(20, 9));
    EXPECT_EQ(view->misspelledRanges(), (QList<Range> { Range(3, 3), Range(45, 3) }));
    // What the checker finds later under the bubble is not marked either.
    view->setSpellingState(1, Range(21, 3));
    view->setSpellingState(1, Range(37, 4));
    EXPECT_EQ(view->misspelledRanges(), (QList<Range> { Range(3, 3), Range(45, 3) }));
    // Unfolded, the word can be marked again.
    view->unfoldTextInRange(Range(20, 9));
    view->setSpellingState(1, Range(21, 3));
    EXPECT_EQ(view->misspelledRanges(), (QList<Range> { Range(3, 3), Range(21, 3), Range(45, 3) }));
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
    kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, nullptr);
    kit::SpellChecker::setSharedSpellChecker(nullptr);
}

TEST_F(KELHTMLViewTest, AFontChangeKeepsTheTopLineInView)
{
    QString text;
    for (int i = 1; i <= 400; ++i)
        text += QStringLiteral("<p>line %1</p>\n").arg(i);
    setText(text, Range(0, 0));
    const qsizetype line200 = text.indexOf(QStringLiteral("<p>line 200<"));
    view->setSelectedRange(Range(line200, 0));
    view->scrollRangeToVisible(Range(line200, 0));
    // Put line 200 at the top of the view.
    QScrollBar* bar = scroll->verticalScrollBar();
    const QRectF caret = view->layoutManager()->caretRect(line200);
    bar->setValue(int(caret.top() + view->textContainerOrigin().y()));
    QApplication::processEvents();
    auto topLine = [this, &text] {
        const qsizetype first = view->layoutManager()->characterRangeForRect(view->visibleContainerRect()).location;
        return text.left(first).count(QLatin1Char('\n')) + 1;
    };
    ASSERT_EQ(topLine(), 200);
    for (int pixels : { 22, 9, 14 }) {
        QFont f = view->font();
        f.setPixelSize(pixels);
        view->setFont(f);
        QApplication::processEvents();
        EXPECT_EQ(topLine(), 200) << pixels;
    }
}

} // namespace
