#include "kit/text/TextView.h"

#include "kit/UndoManager.h"
#include "kit/text/RulerView.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

using kit::Range;

namespace {
class Speller : public kit::TextView {
public:
    QList<Range> checked;
    QList<Range> checkSpellingOfRange(Range range) override
    {
        checked << range;
        QList<Range> bad;
        const qsizetype i = string().indexOf(QStringLiteral("teh"), range.location);
        if (i >= 0 && i < range.end())
            bad.append(Range(i, 3));
        return bad;
    }
};

class Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        scroll = std::make_unique<kit::ScrollView>();
        view = new Speller;
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(14);
        view->setFont(f);
        scroll->resize(400, 200);
        scroll->show();
        view->setFocus();
        QApplication::processEvents();
    }
    QPointF docPoint(qsizetype index)
    {
        const QRectF r = view->layoutManager()->caretRect(index);
        return view->documentPointToView(r.topLeft() + view->textContainerOrigin() + QPointF(1, r.height() / 2));
    }
    std::unique_ptr<kit::ScrollView> scroll;
    Speller* view = nullptr;
};
} // namespace

TEST_F(Fixture, DropsInsertAndMoveWithinTheView)
{
    view->setString(QStringLiteral("one two three"));
    QMimeData data;
    data.setText(QStringLiteral("X"));
    QDragEnterEvent enter(docPoint(4).toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    QDropEvent drop(docPoint(4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(view->string(), QStringLiteral("one Xtwo three"));
    EXPECT_EQ(view->selectedRange(), Range(4, 1));
    // A move from the view itself removes the source text, in one undo step.
    view->setSelectedRange(Range(0, 4));
    EXPECT_TRUE(view->performDrop(view->mimeDataForRanges({Range(0, 4)}), 14, true));
    EXPECT_EQ(view->string(), QStringLiteral("Xtwo threeone "));
    QApplication::processEvents();
    view->undo();
    EXPECT_EQ(view->string(), QStringLiteral("one Xtwo three"));
    // File URLs drop as their paths.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.html"))});
    EXPECT_TRUE(view->performDrop(&files, 0, false));
    EXPECT_TRUE(view->string().startsWith(QStringLiteral("/tmp/a b.html")));
}

TEST_F(Fixture, DragSelectionScrollsBeyondTheView)
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    view->setString(text);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, docPoint(2).toPoint());
    const QPoint below(50, view->height() + 40);
    QMouseEvent move(QEvent::MouseMove, below, view->mapToGlobal(below), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    // Held below the view, the drag scrolls on its own.
    EXPECT_TRUE(QTest::qWaitFor([&] { return scroll->verticalScrollBar()->value() > 0; }, 60000));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, below);
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
    EXPECT_EQ(view->selectedRange().location, 2);
    EXPECT_GT(view->selectedRange().length, 100);
}

TEST_F(Fixture, SpellingUnderlinesFollowEdits)
{
    view->setString(QStringLiteral("see teh cat"));
    view->setContinuousSpellCheckingEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isSpellingScheduled(); }, 60000));
    ASSERT_EQ(view->misspelledRanges(), QList<Range>{Range(4, 3)});
    view->setSelectedRange(Range(0, 0));
    QTest::keyClicks(view, QStringLiteral("I "));
    EXPECT_EQ(view->misspelledRanges(), QList<Range>{Range(6, 3)});
    view->setSelectedRange(Range(7, 1));
    QTest::keyClicks(view, QStringLiteral("h"));
    EXPECT_TRUE(view->misspelledRanges().isEmpty()); // an edit inside clears the mark until checked again
    view->showFindIndicatorForRange(Range(2, 3));
    EXPECT_EQ(view->findIndicatorRange(), Range(2, 3));
}

// Edits at both ends of a long text are checked where they are, with the visible
// text, never the text between them; each end's unknown words are marked.
TEST_F(Fixture, SpellingChecksFarEditsWithoutTheTextBetween)
{
    const QString filler = QStringLiteral("some words here\n").repeated(40000);
    view->setString(QStringLiteral("teh start\n") + filler + QStringLiteral("end\n"));
    view->setContinuousSpellCheckingEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isSpellingScheduled(); }, 60000));
    view->checked.clear();
    kit::TextStorage* storage = view->textStorage();
    storage->replaceCharacters(Range(0, 0), QStringLiteral("a "));
    storage->replaceCharacters(Range(storage->length(), 0), QStringLiteral("teh end\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isSpellingScheduled(); }, 60000));
    qsizetype checkedLength = 0;
    for (const Range& r : std::as_const(view->checked))
        checkedLength += r.length;
    EXPECT_LT(checkedLength, storage->length() / 2);
    const qsizetype last = view->string().lastIndexOf(QStringLiteral("teh"));
    EXPECT_EQ(view->misspelledRanges(), (QList<Range>{Range(2, 3), Range(last, 3)}));
}

TEST_F(Fixture, WrappingCommandsAndRuler)
{
    view->setString(QString(300, QLatin1Char('w')) + QStringLiteral("\nend"));
    EXPECT_GT(view->layoutManager()->caretRect(299).top(), 0);
    view->setWrapsLines(false);
    EXPECT_EQ(view->layoutManager()->caretRect(299).top(), 0);
    EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0);
    // Commands arrive through the responder interface too.
    view->setSelectedRange(Range(0, 3));
    EXPECT_TRUE(view->respondsToAction(QStringLiteral("cut:")));
    EXPECT_TRUE(view->validateAction(QStringLiteral("cut:"), nullptr));
    view->performAction(QStringLiteral("cut:"), nullptr);
    EXPECT_EQ(view->string().size(), 301);
    view->setEditable(false);
    EXPECT_FALSE(view->validateAction(QStringLiteral("cut:"), nullptr));
    QTest::keyClicks(view, QStringLiteral("zz"));
    EXPECT_EQ(view->string().size(), 301);
    // A ruler takes its width from the text on the left.
    auto* ruler = new kit::RulerView(scroll.get());
    ruler->setRuleThickness(30);
    scroll->setVerticalRulerView(ruler);
    scroll->setHasVerticalRuler(true);
    scroll->setRulersVisible(true);
    QApplication::processEvents();
    EXPECT_TRUE(ruler->isVisible());
    EXPECT_EQ(view->geometry().left(), ruler->geometry().right() + 1);
    EXPECT_EQ(ruler->clientView(), view);
}

TEST_F(Fixture, ChangesMadeThroughApprovalAreUndoable)
{
    view->setString(QStringLiteral("abc def"));
    view->undoManager()->removeAllActions();
    // The pattern of callers that edit the storage themselves.
    ASSERT_TRUE(view->shouldChangeTextInRange(Range(4, 3), QStringLiteral("xyz!")));
    view->textStorage()->replaceCharacters(Range(4, 3), QStringLiteral("xyz!"));
    view->didChangeText();
    view->undoManager()->setActionName(QStringLiteral("Replace"));
    QApplication::processEvents();
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Replace"));
    view->undo();
    EXPECT_EQ(view->string(), QStringLiteral("abc def"));
    EXPECT_EQ(view->undoManager()->redoActionName(), QStringLiteral("Replace"));
    view->redo();
    EXPECT_EQ(view->string(), QStringLiteral("abc xyz!"));
    view->setEditable(false);
    EXPECT_FALSE(view->shouldChangeTextInRange(Range(0, 1), QString()));
}

namespace {
class Correcting : public Speller {
public:
    QString correctionForWord(const QString& word, Range) override { return word == QLatin1String("teh") ? QStringLiteral("the") : QString(); }
};
} // namespace

TEST(TextViewSubstitutionTest, QuotesDashesCorrectionAndSmartInsertDelete)
{
    kit::ScrollView scroll;
    auto* view = new Correcting;
    scroll.setDocumentView(view);
    scroll.resize(300, 100);
    scroll.show();
    view->setFocus();
    auto type = [&](const QString& s) {
        for (QChar c : s) {
            QTest::keyClicks(view, QString(c));
            QApplication::processEvents();
        }
    };
    // Off by default: typed as is.
    type(QStringLiteral("\"a\" -- teh "));
    EXPECT_EQ(view->string(), QStringLiteral("\"a\" -- teh "));
    view->setString(QString());
    view->setAutomaticQuoteSubstitutionEnabled(true);
    view->setAutomaticDashSubstitutionEnabled(true);
    view->setAutomaticSpellingCorrectionEnabled(true);
    type(QStringLiteral("\"a\" it's -- teh."));
    EXPECT_EQ(view->string(), QString::fromUtf8("\u201Ca\u201D it\u2019s \u2014 the."));
    view->undo(); // the correction is its own step
    EXPECT_TRUE(view->string().endsWith(QStringLiteral("teh")) || view->string().endsWith(QStringLiteral("teh.")));

    view->setString(QStringLiteral("one three"));
    view->setSmartInsertDeleteEnabled(true);
    view->setSelectedRange(Range(3, 0));
    QApplication::clipboard()->setText(QStringLiteral("two"));
    view->paste();
    EXPECT_EQ(view->string(), QStringLiteral("one two three"));
    // A double-clicked word goes with one of its spaces.
    const QRectF r = view->layoutManager()->caretRect(5);
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, view->documentPointToView(r.center() + QPointF(2, 0)).toPoint());
    EXPECT_EQ(view->selectedRange(), Range(4, 3));
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(view->string(), QStringLiteral("one three"));
}

TEST_F(Fixture, EditsBehindTheTypingRunEndIt)
{
    QTest::keyClicks(view, QStringLiteral("ab"));
    QApplication::processEvents();
    view->textStorage()->replaceCharacters(Range(0, 0), QStringLiteral("Z")); // e.g. another view of the same text
    view->setSelectedRange(Range(2, 0));
    QTest::keyClicks(view, QStringLiteral("c"));
    QApplication::processEvents();
    view->undo();
    EXPECT_EQ(view->string(), QStringLiteral("Zab"));
}

TEST_F(Fixture, WheelAndPageKeysScroll)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("row %1\n").arg(i);
    view->setString(text);
    QWheelEvent wheel(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
    scroll->verticalScrollBar()->setValue(0);
    view->setSelectedRange(Range(0, 0));
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
    const qsizetype afterPage = view->selectedRange().location;
    EXPECT_GT(afterPage, 0);
    // The caret stays visible.
    EXPECT_TRUE(view->visibleRect().intersects(view->caretRect()));
    QTest::keyClick(view, Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(view->selectedRange(), Range(0, afterPage));
}

// ---------------------------------------------------------------------------------------------
// Input methods

namespace {
void preedit(QWidget* w, const QString& text)
{
    QList<QInputMethodEvent::Attribute> attrs{{QInputMethodEvent::Cursor, int(text.size()), 1, QVariant()}};
    QInputMethodEvent e(text, attrs);
    QApplication::sendEvent(w, &e);
}
void commit(QWidget* w, const QString& text, int replaceFrom = 0, int replaceLength = 0)
{
    QInputMethodEvent e;
    e.setCommitString(text, replaceFrom, replaceLength);
    QApplication::sendEvent(w, &e);
}
} // namespace

// Composed text that the user leaves by clicking, by moving the focus or by undoing
// stays as typed text with its own undo step: nothing is left behind that undo does not know.
TEST_F(Fixture, CompositionEndsAsTypedTextOnClickFocusAndUndo)
{
    enum class End { Click, Focus, Undo, Key };
    for (const End how : {End::Click, End::Focus, End::Undo, End::Key}) {
        view->setFocus();
        view->setString(QString());
        view->undoManager()->removeAllActions();
        QTest::keyClicks(view, QStringLiteral("ab "));
        QApplication::processEvents();
        preedit(view, QStringLiteral("k"));
        preedit(view, QStringLiteral("ka"));
        ASSERT_TRUE(view->hasMarkedText());
        EXPECT_EQ(view->string(), QStringLiteral("ab ka"));
        EXPECT_EQ(view->markedRange(), Range(3, 2));
        QLineEdit other;
        switch (how) {
        case End::Click:
            QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, docPoint(1).toPoint());
            EXPECT_EQ(view->selectedRange(), Range(1, 0)); // the click itself still counts
            break;
        case End::Focus:
            other.show();
            other.setFocus();
            QApplication::processEvents();
            if (view->hasFocus()) { // without a window manager the focus can stay: send the event
                QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
                QApplication::sendEvent(view, &out);
            }
            break;
        case End::Undo:
            view->undo();
            // Undo took back the composed text as its own step, then nothing more.
            EXPECT_FALSE(view->hasMarkedText());
            EXPECT_EQ(view->string(), QStringLiteral("ab "));
            view->redo();
            EXPECT_EQ(view->string(), QStringLiteral("ab ka"));
            break;
        case End::Key:
            QTest::keyClick(view, Qt::Key_Left);
            break;
        }
        EXPECT_FALSE(view->hasMarkedText()) << int(how);
        EXPECT_EQ(view->string(), QStringLiteral("ab ka")) << int(how);
        view->undo();
        EXPECT_EQ(view->string(), QStringLiteral("ab ")) << int(how);
        view->undo();
        EXPECT_EQ(view->string(), QString()) << int(how);
    }
}

TEST_F(Fixture, CommitsReplaceTheRangeTheInputMethodNames)
{
    struct Case {
        const char* text;
        qsizetype caret;
        const char* composing; // preedit before the commit, if any
        const char* commit;
        int from, length;
        const char* result;
        qsizetype caretAfter;
    } cases[] = {
        {"abc", 3, "", "X", -1, 1, "abX", 3},
        {"abc", 3, "", "XY", -2, 2, "aXY", 3},
        {"abc", 1, "", "X", 0, 1, "aXc", 2},
        {"abc", 3, "", "", -1, 1, "ab", 2},  // a deletion the input method asks for
        {"abc", 3, "k", "X", -1, 1, "abX", 3}, // relative to the composition's place
        {"abc", 3, "k", "X", 0, 0, "abcX", 4},
        {"abc", 2, "", "X", -5, 9, "X", 1}, // clamped to the text
    };
    for (const Case& c : cases) {
        view->setString(QString::fromUtf8(c.text));
        view->undoManager()->removeAllActions();
        view->setSelectedRange(Range(c.caret, 0));
        if (*c.composing)
            preedit(view, QString::fromUtf8(c.composing));
        commit(view, QString::fromUtf8(c.commit), c.from, c.length);
        EXPECT_EQ(view->string(), QString::fromUtf8(c.result)) << c.text << " " << c.commit << " " << c.from;
        EXPECT_EQ(view->selectedRange(), Range(c.caretAfter, 0)) << c.text << " " << c.commit << " " << c.from;
        EXPECT_FALSE(view->hasMarkedText());
        view->undo();
        EXPECT_EQ(view->string(), QString::fromUtf8(c.text)) << c.text << " " << c.commit << " " << c.from;
    }
}

TEST_F(Fixture, SurroundingTextLeavesOutThePreedit)
{
    view->setString(QStringLiteral("first\nhello world\nlast"));
    view->setSelectedRange(Range(11, 0)); // after "hello"
    auto query = [&](Qt::InputMethodQuery q) { return static_cast<QWidget*>(view)->inputMethodQuery(q); };
    EXPECT_EQ(query(Qt::ImSurroundingText).toString(), QStringLiteral("hello world\n"));
    EXPECT_EQ(query(Qt::ImCursorPosition).toInt(), 5);
    preedit(view, QStringLiteral("ZZ"));
    EXPECT_EQ(view->string(), QStringLiteral("first\nhelloZZ world\nlast"));
    EXPECT_EQ(query(Qt::ImSurroundingText).toString(), QStringLiteral("hello world\n"));
    EXPECT_EQ(query(Qt::ImCursorPosition).toInt(), 5);
    EXPECT_EQ(query(Qt::ImAnchorPosition).toInt(), 5);
    EXPECT_EQ(query(Qt::ImTextBeforeCursor).toString(), QStringLiteral("hello"));
    EXPECT_EQ(query(Qt::ImTextAfterCursor).toString(), QStringLiteral(" world\n"));
    EXPECT_EQ(query(Qt::ImCurrentSelection).toString(), QString());
    // A selection outside a composition is reported with its anchor.
    commit(view, QString());
    EXPECT_EQ(view->string(), QStringLiteral("first\nhello world\nlast"));
    view->setSelectedRange(Range(6, 5));
    EXPECT_EQ(query(Qt::ImCurrentSelection).toString(), QStringLiteral("hello"));
    EXPECT_EQ(query(Qt::ImAnchorPosition).toInt() + query(Qt::ImCursorPosition).toInt(), 5);
}

TEST_F(Fixture, EditsFromElsewhereMoveOrEndTheComposition)
{
    view->setString(QStringLiteral("one two"));
    view->setSelectedRange(Range(7, 0));
    preedit(view, QStringLiteral("xy"));
    view->textStorage()->replaceCharacters(Range(0, 0), QStringLiteral(">> "));
    EXPECT_EQ(view->markedRange(), Range(10, 2));
    commit(view, QStringLiteral("Z"));
    EXPECT_EQ(view->string(), QStringLiteral(">> one twoZ"));
    preedit(view, QStringLiteral("xy"));
    view->textStorage()->replaceCharacters(Range(10, 2), QStringLiteral("q"));
    EXPECT_FALSE(view->hasMarkedText());
}

namespace {
// The region a widget was asked to paint.
class PaintSpy : public QObject {
public:
    explicit PaintSpy(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
    QRegion painted;
};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}
} // namespace

TEST_F(Fixture, EditsRepaintWhatTheyChangeAndTheWindowShowsTheResult)
{
    QString text;
    for (int i = 0; i < 30; ++i)
        text += QStringLiteral("line %1 of the text\n").arg(i);
    view->setString(text);
    view->clearFocus(); // no blinking caret between the two pictures
    settle();
    const qreal lineHeight = view->layoutManager()->caretRect(0).height();
    const qsizetype line3 = text.indexOf(QStringLiteral("line 3 "));
    const qsizetype line5 = text.indexOf(QStringLiteral("line 5 "));
    view->setSelectedRange(Range(line3 + 4, 0));
    settle();
    struct Case {
        const char* what;
        std::function<void()> edit;
        bool toBottom; // everything below the edit moved
    };
    const Case cases[] = {
        {"typing in a line", [&] { view->insertText(QStringLiteral("x")); }, false},
        {"a colour change", [&] { view->textStorage()->addAttribute(kit::ForegroundColorAttributeName, QColor(Qt::red), Range(line5, 6)); }, false},
        {"deleting a character", [&] { view->deleteBackward(); }, false},
        {"a new line", [&] { view->insertNewline(); }, true},
        {"joining lines", [&] { view->deleteBackward(); }, true},
    };
    PaintSpy spy(view);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        spy.painted = QRegion();
        c.edit();
        settle();
        const QRect r = spy.painted.boundingRect();
        ASSERT_FALSE(r.isEmpty());
        if (c.toBottom)
            EXPECT_GE(r.bottom(), view->height() - 1);
        else
            EXPECT_LE(r.height(), 2 * lineHeight + 4);
        // What the window shows is what a full paint of the view draws.
        const QImage shown = scroll->screen()->grabWindow(scroll->winId()).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage full = scroll->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown, full);
    }
    // The recoloured word is drawn in its new colour.
    const QRectF word = view->layoutManager()->boundingRect(Range(line5, 4)).translated(view->textContainerOrigin() - view->visibleRect().topLeft());
    const QImage picture = view->grab(word.toAlignedRect()).toImage();
    bool red = false;
    for (int y = 0; y < picture.height() && !red; ++y) {
        for (int x = 0; x < picture.width() && !red; ++x) {
            const QColor c = picture.pixelColor(x, y);
            red = c.red() > 150 && c.green() < 100 && c.blue() < 100;
        }
    }
    EXPECT_TRUE(red);
}
