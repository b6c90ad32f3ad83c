#include "kit/text/TextViewAccessible.h"

#include "AccessibleEventLog.h"
#include "kit/UndoManager.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using kit::Range;

namespace {

// Shows one stretch of the text as a single box, as the editor shows a fold.
class OneUnitLayout : public kit::LayoutManager {
public:
    Range unit = Range(kit::NotFound, 0);
    void displayUnitsInRange(Range range, QList<kit::DisplayUnit>& out) const override
    {
        if (unit.location != kit::NotFound && unit.location < range.end() && unit.end() > range.location)
            out.append(kit::DisplayUnit{unit, 30, 1});
    }
};

class AccessibleTextFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        scroll = std::make_unique<kit::ScrollView>();
        view = new kit::TextView;
        layout = new OneUnitLayout;
        view->replaceLayoutManager(layout);
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(14);
        view->setFont(f);
        scroll->resize(400, 200);
        scroll->show();
        view->setFocus();
        QApplication::processEvents();
    }
    QAccessibleInterface* iface() const { return QAccessible::queryAccessibleInterface(view); }
    QAccessibleTextInterface* text() const { return iface()->textInterface(); }
    void setText(const QString& s)
    {
        view->setString(s);
        view->setSelectedRange(Range(0, 0));
        view->undoManager()->removeAllActions();
    }
    // Each key is one turn of the event loop, as in the running program.
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(view, k, m);
        QApplication::processEvents();
    }
    void type(const QString& s)
    {
        for (QChar c : s) {
            QTest::keyClicks(view, QString(c));
            QApplication::processEvents();
        }
    }
    struct Piece {
        QString text;
        int start;
        int end;
    };
    Piece at(int offset, QAccessible::TextBoundaryType type) const
    {
        Piece p;
        p.text = text()->textAtOffset(offset, type, &p.start, &p.end);
        return p;
    }

    std::unique_ptr<kit::ScrollView> scroll;
    kit::TextView* view = nullptr;
    OneUnitLayout* layout = nullptr;
};

} // namespace

TEST_F(AccessibleTextFixture, IsAnEditableTextWithTheDocumentsText)
{
    setText(QStringLiteral("<p>one</p>\n<div>\nfolded\n</div>\ntail"));
    layout->unit = Range(16, 8); // "\nfolded\n" shown as one box
    view->layoutManager()->invalidateAllLayout();
    QAccessibleInterface* a = iface();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    ASSERT_TRUE(a->textInterface());
    ASSERT_TRUE(a->editableTextInterface());
    EXPECT_TRUE(a->state().editable);
    EXPECT_TRUE(a->state().multiLine);
    EXPECT_FALSE(a->text(QAccessible::Name).isEmpty());
    view->setAccessibleName(QStringLiteral("index.html"));
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("index.html"));

    // The text is the document's, the box's characters included.
    EXPECT_EQ(text()->characterCount(), view->textStorage()->length());
    EXPECT_EQ(text()->text(0, text()->characterCount()), view->string());
    EXPECT_EQ(text()->text(3, 6), QStringLiteral("one"));
    // The box is one character and one word: it reads as the text it stands for.
    const Piece folded = at(18, QAccessible::CharBoundary);
    EXPECT_EQ(folded.text, QStringLiteral("\nfolded\n"));
    EXPECT_EQ(folded.start, 16);
    EXPECT_EQ(folded.end, 24);
    EXPECT_EQ(at(20, QAccessible::WordBoundary).text, QStringLiteral("\nfolded\n"));

    view->setEditable(false);
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_FALSE(a->state().editable);
}

TEST_F(AccessibleTextFixture, ReadsByCharacterWordLineAndParagraph)
{
    setText(QStringLiteral("alpha beta\ngamma\n"));
    struct Case {
        int offset;
        QAccessible::TextBoundaryType type;
        QString at, before, after;
    };
    const Case cases[] = {
        {1, QAccessible::CharBoundary, "l", "a", "p"},
        {0, QAccessible::CharBoundary, "a", "", "l"},
        {7, QAccessible::WordBoundary, "beta", " ", "\n"},
        {2, QAccessible::WordBoundary, "alpha", "", " "},
        {3, QAccessible::LineBoundary, "alpha beta\n", "", "gamma\n"},
        {13, QAccessible::LineBoundary, "gamma\n", "alpha beta\n", ""},
        {17, QAccessible::LineBoundary, "", "gamma\n", ""}, // the empty last line
        {12, QAccessible::ParagraphBoundary, "gamma\n", "alpha beta\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        SCOPED_TRACE(int(c.type));
        int s = -1, e = -1;
        const QString at = text()->textAtOffset(c.offset, c.type, &s, &e);
        EXPECT_EQ(at, c.at);
        EXPECT_EQ(view->string().mid(s, e - s), at);
        EXPECT_EQ(text()->textBeforeOffset(c.offset, c.type, &s, &e), c.before);
        EXPECT_EQ(text()->textAfterOffset(c.offset, c.type, &s, &e), c.after);
    }
    // A wrapped line reads as shown, not as the whole paragraph.
    setText(QStringLiteral("word ").repeated(60));
    const Piece line = at(0, QAccessible::LineBoundary);
    EXPECT_EQ(line.start, 0);
    EXPECT_GT(line.end, 5);
    EXPECT_LT(line.end, 300);
    EXPECT_EQ(at(line.end, QAccessible::LineBoundary).start, line.end);
}

TEST_F(AccessibleTextFixture, CaretAndSelectionFollowTheKeysAndCanBeSet)
{
    setText(QStringLiteral("one two\nthree"));
    AccessibleEventLog log;
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(text()->cursorPosition(), 2);
    EXPECT_EQ(text()->selectionCount(), 0);
    key(Qt::Key_Down);
    EXPECT_EQ(text()->cursorPosition(), 10);
    ASSERT_FALSE(log.ofType(QAccessible::TextCaretMoved, view).isEmpty());
    EXPECT_EQ(log.ofType(QAccessible::TextCaretMoved, view).last().position, 10);

    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(text()->cursorPosition(), 8);
    ASSERT_EQ(text()->selectionCount(), 1);
    int s = -1, e = -1;
    text()->selection(0, &s, &e);
    EXPECT_EQ(s, 8);
    EXPECT_EQ(e, 10);
    const auto selections = log.ofType(QAccessible::TextSelectionChanged, view);
    ASSERT_FALSE(selections.isEmpty());
    EXPECT_EQ(selections.last().selectionStart, 8);
    EXPECT_EQ(selections.last().selectionEnd, 10);
    EXPECT_EQ(selections.last().position, 8);

    // A reader sets them too.
    text()->setSelection(0, 4, 7);
    EXPECT_EQ(view->selectedRange(), Range(4, 3));
    text()->addSelection(0, 3);
    EXPECT_EQ(text()->selectionCount(), 2);
    text()->removeSelection(0);
    EXPECT_EQ(view->selectedRanges(), QList<Range>{Range(4, 3)});
    text()->setCursorPosition(11);
    EXPECT_EQ(view->selectedRange(), Range(11, 0));
    EXPECT_EQ(text()->selectionCount(), 0);
    EXPECT_EQ(log.ofType(QAccessible::TextCaretMoved, view).last().position, 11);
}

TEST_F(AccessibleTextFixture, TypingAndUndoSendTheChangedPieceOnly)
{
    setText(QStringLiteral("ab\ncd"));
    view->setSelectedRange(Range(3, 0));
    AccessibleEventLog log;
    type(QStringLiteral("xy"));
    auto inserted = log.ofType(QAccessible::TextInserted, view);
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted[0].position, 3);
    EXPECT_EQ(inserted[0].inserted, QStringLiteral("x"));
    EXPECT_EQ(inserted[1].position, 4);
    EXPECT_EQ(inserted[1].inserted, QStringLiteral("y"));
    EXPECT_EQ(log.ofType(QAccessible::TextCaretMoved, view).last().position, 5);

    key(Qt::Key_Backspace);
    auto removed = log.ofType(QAccessible::TextRemoved, view);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0].position, 4);
    EXPECT_EQ(removed[0].removed, QStringLiteral("y"));

    // Undo takes the typing back as one removal of what was typed.
    log.events.clear();
    view->undo();
    ASSERT_EQ(view->string(), QStringLiteral("ab\ncd"));
    removed = log.ofType(QAccessible::TextRemoved, view);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0].position, 3);
    EXPECT_EQ(removed[0].removed, QStringLiteral("x"));
    EXPECT_EQ(log.ofType(QAccessible::TextCaretMoved, view).last().position, 3);

    // Typing over a selection is one update with the old and new piece.
    log.events.clear();
    view->setSelectedRange(Range(0, 2));
    type(QStringLiteral("Z"));
    const auto updated = log.ofType(QAccessible::TextUpdated, view);
    ASSERT_EQ(updated.size(), 1);
    EXPECT_EQ(updated[0].position, 0);
    EXPECT_EQ(updated[0].removed, QStringLiteral("ab"));
    EXPECT_EQ(updated[0].inserted, QStringLiteral("Z"));
}

TEST_F(AccessibleTextFixture, KeystrokesOnALargePageSendOnlyTheirCharacter)
{
    QString big;
    for (int i = 0; i < 2000; ++i)
        big += QStringLiteral("line %1 of a long page\n").arg(i);
    setText(big);
    view->setSelectedRange(Range(1000, 0));
    AccessibleEventLog log;
    const quint64 reads = view->textStorage()->wholeTextReads();
    type(QStringLiteral("abc"));
    key(Qt::Key_Backspace);
    // Each keystroke tells of its own character, never of the page.
    const auto inserted = log.ofType(QAccessible::TextInserted, view);
    ASSERT_EQ(inserted.size(), 3);
    for (const AccessibleEventRecord& e : inserted)
        EXPECT_EQ(e.inserted.size(), 1);
    ASSERT_EQ(log.ofType(QAccessible::TextRemoved, view).size(), 1);
    EXPECT_EQ(log.ofType(QAccessible::TextRemoved, view)[0].removed, QStringLiteral("c"));
    EXPECT_EQ(view->textStorage()->wholeTextReads(), reads);
}

TEST_F(AccessibleTextFixture, EditsByAReaderAreUndoable)
{
    setText(QStringLiteral("hello world"));
    QAccessibleEditableTextInterface* edit = iface()->editableTextInterface();
    edit->insertText(5, QStringLiteral(","));
    EXPECT_EQ(view->string(), QStringLiteral("hello, world"));
    edit->replaceText(7, 12, QStringLiteral("there"));
    EXPECT_EQ(view->string(), QStringLiteral("hello, there"));
    edit->deleteText(0, 7);
    EXPECT_EQ(view->string(), QStringLiteral("there"));
    view->undo();
    view->undo();
    view->undo();
    EXPECT_EQ(view->string(), QStringLiteral("hello world"));
    // A read-only view refuses them.
    view->setEditable(false);
    edit->insertText(0, QStringLiteral("x"));
    EXPECT_EQ(view->string(), QStringLiteral("hello world"));
}

TEST_F(AccessibleTextFixture, CharacterBoxesAndPointsAgree)
{
    setText(QStringLiteral("abc\ndef"));
    const QRect b = text()->characterRect(1);
    const QRect e = text()->characterRect(5);
    ASSERT_TRUE(b.isValid());
    EXPECT_GT(b.width(), 0);
    EXPECT_GT(e.top(), b.top()); // the second line is below the first
    EXPECT_EQ(text()->offsetAtPoint(b.center()), 1);
    EXPECT_EQ(text()->offsetAtPoint(e.center()), 5);
    EXPECT_EQ(text()->offsetAtPoint(view->mapToGlobal(QPoint(-50, -50))), -1);
    // Screen coordinates: the box lies within the view on the screen.
    EXPECT_TRUE(QRect(view->mapToGlobal(QPoint(0, 0)), view->size()).contains(b.center()));
}
