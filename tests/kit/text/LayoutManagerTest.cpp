#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using kit::Range;

namespace {
// Units over every "[...]" so the mapping can be tested without the editor.
class BracketLayout : public kit::LayoutManager {
public:
    void displayUnitsInRange(Range range, QList<kit::DisplayUnit>& out) const override
    {
        const QString& s = textStorage()->string();
        qsizetype from = range.location;
        // Find a unit that may begin before range.
        const qsizetype back = s.lastIndexOf(QLatin1Char('['), std::max<qsizetype>(0, range.location));
        if (back >= 0 && (s.indexOf(QLatin1Char(']'), back) >= range.location || back == range.location))
            from = back;
        for (qsizetype i = s.indexOf(QLatin1Char('['), from); i >= 0 && i < range.end(); i = s.indexOf(QLatin1Char('['), i + 1)) {
            const qsizetype e = s.indexOf(QLatin1Char(']'), i);
            if (e < 0)
                break;
            if (e + 1 > range.location)
                out.append(kit::DisplayUnit{Range(i, e + 1 - i), 30.0, 2});
            i = e;
        }
    }
};
} // namespace

TEST(LayoutManagerTest, LaysOutLazilyAndReLaysOnlyTheEditedParagraph)
{
    QString text;
    for (int i = 0; i < 50000; ++i)
        text += QStringLiteral("line %1 of the text\n").arg(i);
    kit::TextStorage ts(text);
    kit::LayoutManager lm;
    lm.setContainerWidth(600);
    lm.setTextStorage(&ts);
    EXPECT_EQ(lm.paragraphCount(), 50001);
    lm.ensureLayoutForRect(QRectF(0, 0, 600, 400));
    EXPECT_LT(lm.laidOutParagraphCount(), 40);
    // Jump to the end: only what is shown is laid out.
    lm.ensureLayoutForRect(QRectF(0, lm.usedHeight() - 400, 600, 400));
    EXPECT_LT(lm.laidOutParagraphCount(), 80);
    const qsizetype middle = text.indexOf(QStringLiteral("line 25000 "));
    lm.ensureLayoutForCharacterRange(Range(middle, 40));
    const int before = lm.laidOutParagraphCount();
    ts.replaceCharacters(Range(middle + 2, 0), QStringLiteral("x"));
    EXPECT_EQ(lm.laidOutParagraphCount(), before - 1);
    EXPECT_FALSE(lm.isLaidOut(middle));
    EXPECT_TRUE(lm.isLaidOut(middle + 30));
    EXPECT_EQ(lm.paragraphRangeAtIndex(25000), Range(middle, QStringLiteral("line 25000 of the text\n").size() + 1));
    // A new line splits the paragraph; deleting it joins them again.
    ts.replaceCharacters(Range(middle + 4, 0), QStringLiteral("\r\n"));
    EXPECT_EQ(lm.paragraphCount(), 50002);
    ts.replaceCharacters(Range(middle + 4, 2), QString());
    EXPECT_EQ(lm.paragraphCount(), 50001);
    // CR then LF typed separately still make one line end.
    ts.replaceCharacters(Range(middle + 4, 0), QStringLiteral("\r"));
    ts.replaceCharacters(Range(middle + 5, 0), QStringLiteral("\n"));
    EXPECT_EQ(lm.paragraphCount(), 50002);
}

TEST(LayoutManagerTest, UnitsAreOneDisplayCharacter)
{
    kit::TextStorage ts(QStringLiteral("ab[") + QString(10000, QLatin1Char('x')) + QStringLiteral("]cd [1][2] e\n[f\ng]h"));
    BracketLayout lm;
    lm.setContainerWidth(100000);
    lm.setWrapMode(kit::WrapMode::NoWrap);
    lm.setTextStorage(&ts);
    // The huge unit sits on a line of its own; the small ones share lines with text.
    EXPECT_GT(lm.caretRect(2).top(), lm.caretRect(0).top());
    EXPECT_GT(lm.caretRect(10004).top(), lm.caretRect(2).top());
    const qreal unitStart = lm.caretRect(10007).left();
    EXPECT_NEAR(lm.caretRect(10010).left() - unitStart, 30.0, 0.01);
    EXPECT_NEAR(lm.caretRect(10013).left() - lm.caretRect(10010).left(), 30.0, 0.01);
    // Caret stops step over a unit at once, a fold over a line end joins the lines.
    EXPECT_EQ(lm.nextCaretPosition(2), 10004);
    EXPECT_EQ(lm.previousCaretPosition(10004), 2);
    const qsizetype f = ts.string().indexOf(QStringLiteral("[f"));
    EXPECT_EQ(lm.caretRect(f).top(), lm.caretRect(f + 5).top());
    // Hit testing maps a point on the unit to one of its ends.
    const QRectF box = lm.boundingRect(Range(10007, 1));
    const qsizetype hit = lm.insertionIndexForPoint(QPointF(box.left() + 2, box.center().y()));
    EXPECT_EQ(hit, 10007);
    EXPECT_EQ(lm.insertionIndexForPoint(QPointF(box.right() - 2, box.center().y())), 10010);
}

TEST(LayoutManagerTest, ColourChangesNeverReLay)
{
    kit::TextStorage ts(QStringLiteral("one\ntwo\nthree"));
    kit::LayoutManager lm;
    lm.setTextStorage(&ts);
    lm.ensureLayoutForRect(QRectF(0, 0, 500, 500));
    QSignalSpy invalid(&lm, &kit::LayoutManager::didInvalidateLayout);
    QSignalSpy everything(&lm, &kit::LayoutManager::needsDisplay);
    QSignalSpy band(&lm, &kit::LayoutManager::needsDisplayInBand);
    // Only the line whose colour changed is repainted.
    ts.addAttribute(kit::ForegroundColorAttributeName, QColor(Qt::red), Range(4, 3));
    EXPECT_EQ(invalid.count(), 0);
    EXPECT_EQ(everything.count(), 0);
    ASSERT_EQ(band.count(), 1);
    const QRectF second = lm.lineFragmentRect(4);
    EXPECT_DOUBLE_EQ(band.at(0).at(0).toDouble(), second.top());
    EXPECT_DOUBLE_EQ(band.at(0).at(1).toDouble(), second.bottom());
    EXPECT_EQ(lm.laidOutParagraphCount(), 3);
}

TEST(LayoutManagerTest, SelectedEmptyLinesShowTheSelection)
{
    kit::TextStorage ts(QStringLiteral("one\n\n\ntwo\n"));
    kit::LayoutManager lm;
    lm.setContainerWidth(400);
    lm.setTextStorage(&ts);
    // The two empty lines inside the selection get a rectangle each, as wide as the view.
    const QList<QRectF> rects = lm.selectionRects(Range(0, 8));
    ASSERT_EQ(rects.size(), 4);
    EXPECT_GT(rects[1].width(), 100);
    EXPECT_GT(rects[2].width(), 100);
    EXPECT_LT(rects[0].top(), rects[1].top());
    EXPECT_LT(rects[1].top(), rects[2].top());
    // A selection that ends where a line starts leaves that line alone.
    EXPECT_EQ(lm.selectionRects(Range(0, 4)).size(), 1);
}
