#include "editor/KELLayoutManager.h"
#include "editor/KELTextView.h"
#include "editor/KELTokenParser.h"
#include "kit/UndoManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "AccessibleEventLog.h"
#include <QAccessible>
#include <memory>

using kit::Range;

namespace {

class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELTextView;
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(14);
        view->setFont(f);
        scroll->resize(400, 300);
        scroll->show();
        view->setFocus();
        QApplication::processEvents();
    }
    void setText(const QString& text)
    {
        view->setString(text);
        view->undoManager()->removeAllActions();
    }
    QPoint pointFor(qsizetype index, qreal dx = 1)
    {
        const QRectF r = view->layoutManager()->caretRect(index);
        return view->documentPointToView(r.topLeft() + view->textContainerOrigin() + QPointF(dx, r.height() / 2)).toPoint();
    }
    QPoint bubbleCentre(qsizetype tokenStart)
    {
        const QRectF r = view->layoutManager()->boundingRect(Range(tokenStart, 1));
        return view->documentPointToView(r.center() + view->textContainerOrigin()).toPoint();
    }
    // Each key press is one turn of the event loop, as in the running program (undo groups by turn).
    void type(const QString& s)
    {
        for (QChar c : s) {
            QTest::keyClicks(view, QString(c));
            QApplication::processEvents();
        }
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(view, k, m);
        QApplication::processEvents();
    }
    QString text() const { return view->string(); }
    Range sel() const { return view->selectedRange(); }

    std::unique_ptr<kit::ScrollView> scroll;
    KELTextView* view = nullptr;
};

} // namespace

TEST_F(ViewFixture, TypingSelectingAndUndoCoalesce)
{
    type(QStringLiteral("hello world"));
    EXPECT_EQ(text(), QStringLiteral("hello world"));
    EXPECT_EQ(sel(), Range(11, 0));
    key(Qt::Key_Backspace);
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(), Range(6, 0));
    key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(sel(), Range(6, 4));
    key(Qt::Key_Home);
    EXPECT_EQ(sel(), Range(0, 0));
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(sel(), Range(0, 10));
    // One undo takes back the whole typed run, backspace included.
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), QString());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(text(), QStringLiteral("hello worl"));
    // Moving the caret ends the typing run: two runs, two undo steps.
    key(Qt::Key_End);
    type(QStringLiteral("d"));
    key(Qt::Key_Home);
    type(QStringLiteral(">"));
    EXPECT_EQ(text(), QStringLiteral(">hello world"));
    view->undo();
    EXPECT_EQ(text(), QStringLiteral("hello world"));
    view->undo();
    EXPECT_EQ(text(), QStringLiteral("hello worl"));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Typing"));
}

TEST_F(ViewFixture, VerticalMovesAndMouseSelection)
{
    setText(QStringLiteral("first line\nsecond line\nthird"));
    view->setSelectedRange(Range(3, 0));
    key(Qt::Key_Down);
    EXPECT_EQ(sel(), Range(14, 0));
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(sel(), Range(14, 12));
    key(Qt::Key_Up); // from the start of the selection
    EXPECT_EQ(sel(), Range(3, 0));
    key(Qt::Key_Up); // on the first line: to the start
    EXPECT_EQ(sel(), Range(0, 0));
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(sel(), Range(28, 0));

    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, pointFor(13));
    EXPECT_EQ(sel(), Range(13, 0));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, pointFor(20));
    EXPECT_EQ(sel(), Range(13, 7));
    // Double click selects a word, triple click the line with its terminator.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, pointFor(2));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, pointFor(13));
    EXPECT_EQ(sel(), Range(11, 6));
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, pointFor(13));
    EXPECT_EQ(sel(), Range(11, 12));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    // Drag from a point to another.
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, pointFor(2));
    QMouseEvent move(QEvent::MouseMove, pointFor(15), view->mapToGlobal(pointFor(15)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, pointFor(15));
    EXPECT_EQ(sel(), Range(2, 13));
}

TEST_F(ViewFixture, ClipboardCutCopyPaste)
{
    setText(QStringLiteral("alpha beta"));
    view->setSelectedRange(Range(0, 5));
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral(" beta"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("alpha"));
    key(Qt::Key_End);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral(" betaalpha"));
    view->undo();
    EXPECT_EQ(text(), QStringLiteral(" beta"));
    view->undo();
    EXPECT_EQ(text(), QStringLiteral("alpha beta"));
    EXPECT_EQ(sel(), Range(0, 5));
}

TEST_F(ViewFixture, InputMethodCommitsThroughMarkedText)
{
    setText(QStringLiteral("ab"));
    view->setSelectedRange(Range(1, 0));
    QInputMethodEvent pre(QStringLiteral("ni"), {});
    QApplication::sendEvent(view, &pre);
    EXPECT_EQ(text(), QStringLiteral("anib"));
    EXPECT_EQ(view->markedRange(), Range(1, 2));
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("你"));
    QApplication::sendEvent(view, &commit);
    EXPECT_EQ(text(), QString::fromUtf8("a你b"));
    EXPECT_FALSE(view->hasMarkedText());
    view->undo();
    EXPECT_EQ(text(), QStringLiteral("ab"));
}

TEST_F(ViewFixture, PlaceholderMovesSelectsAndDeletesAsOneCharacter)
{
    setText(QStringLiteral("x <#name#> y"));
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    ASSERT_TRUE(parser.textStorageHasTokenStartingAtIndex(view->textStorage(), 2));
    view->setSelectedRange(Range(2, 0));
    key(Qt::Key_Right);
    EXPECT_EQ(sel(), Range(10, 0));
    key(Qt::Key_Left);
    EXPECT_EQ(sel(), Range(2, 0));
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(sel(), Range(2, 8));
    // A click on the bubble selects the placeholder.
    view->setSelectedRange(Range(0, 0));
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, bubbleCentre(2));
    EXPECT_EQ(sel(), Range(2, 8));
    // Delete before it removes it whole; undo brings back the text and the token.
    view->setSelectedRange(Range(2, 0));
    key(Qt::Key_Delete);
    EXPECT_EQ(text(), QStringLiteral("x  y"));
    view->undo();
    EXPECT_EQ(text(), QStringLiteral("x <#name#> y"));
    EXPECT_TRUE(parser.textStorageHasTokenStartingAtIndex(view->textStorage(), 2));
    // The arrow over the bubble, the I-beam over text.
    QMouseEvent over(QEvent::MouseMove, bubbleCentre(2), view->mapToGlobal(bubbleCentre(2)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &over);
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
    QMouseEvent text0(QEvent::MouseMove, pointFor(0), view->mapToGlobal(pointFor(0)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &text0);
    EXPECT_EQ(view->cursor().shape(), Qt::IBeamCursor);
    view->setSelectedRange(Range(10, 0));
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), QStringLiteral("x  y"));
}

TEST_F(ViewFixture, TypedPlaceholderStaysPlainPastedOneIsAToken)
{
    type(QStringLiteral("<#a#>"));
    EXPECT_EQ(KELTokenParser::tokenTypeAt(view->textStorage(), 0), 0);
    QApplication::clipboard()->setText(QStringLiteral("<#b#>"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(KELTokenParser::tokenTypeAt(view->textStorage(), 5), 1);
}

TEST_F(ViewFixture, FoldAcrossLinesShowsOneBubbleAndUnfoldsOnDoubleClick)
{
    setText(QStringLiteral("<div>one\ntwo <#p#>\nthree</div>\nafter"));
    const qreal lineHeight = view->layoutManager()->lineHeight();
    view->setSelectedRange(Range(5, 22)); // from mid-line to mid-line
    EXPECT_TRUE(view->validateUserInterfaceItem(QStringLiteral("foldSelection:")));
    view->foldSelection();
    Range run;
    ASSERT_TRUE(KELTokenParser::tokenIdAt(view->textStorage(), 5, &run));
    EXPECT_EQ(run, Range(5, 22));
    EXPECT_EQ(KELTokenParser::tokenIdAt(view->textStorage(), 5)->newLines(), 2u);
    // The three lines are joined: "after" is on the second line now.
    EXPECT_DOUBLE_EQ(view->layoutManager()->caretRect(27).top(), 0.0);
    EXPECT_DOUBLE_EQ(view->layoutManager()->caretRect(34).top(), lineHeight);
    // The caret steps over the fold in one move.
    view->setSelectedRange(Range(5, 0));
    key(Qt::Key_Right);
    EXPECT_EQ(sel(), Range(27, 0));
    // Double click on the bubble unfolds, and the placeholder inside is a token again.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, bubbleCentre(5));
    EXPECT_FALSE(KELTokenParser::tokenIdAt(view->textStorage(), 5));
    EXPECT_EQ(KELTokenParser::tokenTypeAt(view->textStorage(), 13), 1);
    EXPECT_DOUBLE_EQ(view->layoutManager()->caretRect(34).top(), 3 * lineHeight);
}

TEST_F(ViewFixture, ReadersGetTheDocumentsTextWithTokensReadWhole)
{
    setText(QStringLiteral("<p><#name#></p>\n<div>\none\ntwo\n</div>\nend"));
    view->foldTextInRange(Range(21, 9)); // "\none\ntwo\n"
    ASSERT_EQ(KELTokenParser::tokenTypeAt(view->textStorage(), 3), 1);
    ASSERT_EQ(KELTokenParser::tokenTypeAt(view->textStorage(), 21), 2);
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(view)->textInterface();
    ASSERT_TRUE(text);
    // The whole text is the document's: a fold reads as the text it hides.
    EXPECT_EQ(text->text(0, text->characterCount()), view->textStorage()->string());
    // Stepping over a token reads it whole, as the caret steps over it.
    int start = -1, end = -1;
    EXPECT_EQ(text->textAtOffset(5, QAccessible::CharBoundary, &start, &end), QStringLiteral("<#name#>"));
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 11);
    EXPECT_EQ(text->textAfterOffset(3, QAccessible::CharBoundary, &start, &end), QStringLiteral("<"));
    EXPECT_EQ(text->textAtOffset(21, QAccessible::WordBoundary, &start, &end), QStringLiteral("\none\ntwo\n"));
    // The folded lines join into one shown line, and read as one.
    EXPECT_EQ(text->textAtOffset(16, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("<div>\none\ntwo\n</div>\n"));
    // The caret follows the keys across the fold.
    view->setSelectedRange(Range(21, 0));
    key(Qt::Key_Right);
    EXPECT_EQ(text->cursorPosition(), 30);
}

TEST_F(ViewFixture, EmptySelectionProposalKeepsTheSelection)
{
    setText(QStringLiteral("abc"));
    view->setSelectedRange(Range(1, 1));
    EXPECT_EQ(view->willChangeSelection({Range(1, 1)}, {}), QList<Range>{Range(1, 1)});
    view->setSelectedRange(Range(2, 0));
    EXPECT_FALSE(view->validateUserInterfaceItem(QStringLiteral("foldSelection:")));
    view->foldSelection(); // nothing selected: nothing folds, nothing breaks
    EXPECT_EQ(sel(), Range(2, 0));
    EXPECT_FALSE(KELTokenParser::tokenIdAt(view->textStorage(), 1));
}

TEST_F(ViewFixture, ScrollingLaysOutOnlyWhatIsShown)
{
    QString big;
    for (int i = 0; i < 20000; ++i)
        big += QStringLiteral("<p>line %1</p>\n").arg(i);
    setText(big);
    auto* lm = view->layoutManager();
    view->visibleRect();
    QApplication::processEvents();
    lm->ensureLayoutForRect(view->visibleContainerRect());
    EXPECT_LT(lm->laidOutParagraphCount(), 100);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(sel(), Range(big.size(), 0));
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
    EXPECT_LT(lm->laidOutParagraphCount(), 200);
    type(QStringLiteral("x"));
    EXPECT_TRUE(text().endsWith(QStringLiteral("\nx")));
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(scroll->verticalScrollBar()->value(), 0);
}

TEST_F(ViewFixture, BadInputNoCrashNoLoss)
{
    QString text1 = QString(1 << 20, QLatin1Char('a'));
    QString mixed = QStringLiteral("a\nb\rc\r\nd") + QChar(0x2028) + QStringLiteral("e") + QChar(0x2029) + QStringLiteral("f")
                    + QChar(0x85) + QChar(0) + QChar(0xD800) + QStringLiteral("g") + QChar(0xDC00);
    for (const QString& s : {text1, mixed, QString(QChar(0xDFFF)), QString()}) {
        setText(s);
        QPixmap pm(scroll->size());
        scroll->render(&pm);
        key(Qt::Key_End, Qt::ControlModifier);
        key(Qt::Key_Left);
        key(Qt::Key_Up);
        key(Qt::Key_Down);
        key(Qt::Key_PageUp);
        EXPECT_EQ(text(), s);
    }
    view->setWrapsLines(false);
    setText(mixed);
    QPixmap pm(scroll->size());
    scroll->render(&pm);
    view->selectAll();
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), mixed);
}

TEST_F(ViewFixture, HintShowsOnlyWhileEmptyEditableAndUnfocused)
{
    QLineEdit other;
    view->setPlaceholderText(QStringLiteral("Enter Clip's Content"));
    setText(QString());
    EXPECT_FALSE(view->showsPlaceholderText()); // focused
    scroll->clearFocus();
    view->clearFocus();
    EXPECT_TRUE(view->showsPlaceholderText());
    view->setEditable(false);
    EXPECT_FALSE(view->showsPlaceholderText());
    view->setEditable(true);
    setText(QStringLiteral("x"));
    EXPECT_FALSE(view->showsPlaceholderText());
    // A storage given later is tokenized too.
    auto* storage = new kit::TextStorage(view);
    view->setTextStorage(storage);
    storage->replaceCharacters(Range(0, 0), QStringLiteral("<#a#>"));
    EXPECT_EQ(KELTokenParser::tokenTypeAt(storage, 0), 1);
}

TEST_F(ViewFixture, TokenCommandsAtTheEdges)
{
    // Word deletes at the text's ends change nothing; at the start, forward deletes the first word.
    setText(QStringLiteral("first second"));
    view->setSelectedRange(Range(0, 0));
    key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("first second"));
    view->setSelectedRange(Range(12, 0));
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("first second"));
    view->setSelectedRange(Range(0, 0));
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral(" second"));

    // Backspace just after a fold removes the whole fold in one step.
    setText(QStringLiteral("ab{\nfolded\n}cd"));
    view->foldTextInRange(Range(3, 8));
    view->setSelectedRange(Range(11, 0));
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), QStringLiteral("ab{}cd"));

    // moveLeft from a selection that starts just after a placeholder lands before it.
    setText(QStringLiteral("x<#p#>yz"));
    view->setSelectedRange(Range(6, 2));
    key(Qt::Key_Left);
    EXPECT_EQ(sel(), Range(1, 0));
    // Word moves treat the placeholder as one unit.
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(sel(), Range(6, 0));
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(), Range(1, 0));

    // A double click on a placeholder bubble keeps it selected; a shift-click extends.
    view->setSelectedRange(Range(0, 0));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, bubbleCentre(1));
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, bubbleCentre(1));
    EXPECT_EQ(sel(), Range(1, 5));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    view->setSelectedRange(Range(0, 0));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, pointFor(7));
    EXPECT_EQ(sel(), Range(0, 7));
}
