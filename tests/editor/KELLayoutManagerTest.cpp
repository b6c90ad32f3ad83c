#include "editor/KELLayoutManager.h"
#include "editor/KELTextView.h"
#include "editor/KELTokenParser.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/DefaultsKeys.h"
#include "kit/UserDefaults.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

using kit::Range;

namespace {

class LayoutFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELTextView;
        scroll->setDocumentView(view);
        font = QFont(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(14);
        view->setFont(font);
        n = QFontMetricsF(font).horizontalAdvance(QLatin1Char('n'));
        a = QFontMetricsF(font).horizontalAdvance(QLatin1Char('a'));
        scroll->resize(int(60 * n + 10 + scroll->verticalScrollBar()->sizeHint().width()), 300);
        scroll->show();
        QApplication::processEvents();
        lm()->setIndentUnit(QStringLiteral("\t"));
        lm()->setIndentWrappedLines(true);
    }
    KELLayoutManager* lm() const { return view->editorLayoutManager(); }
    qreal x(qsizetype i) { return lm()->caretRect(i).left(); }
    qreal y(qsizetype i) { return lm()->caretRect(i).top(); }

    std::unique_ptr<kit::ScrollView> scroll;
    KELTextView* view = nullptr;
    QFont font;
    qreal n = 0, a = 0;
};

} // namespace

TEST_F(LayoutFixture, TokenBoxSizesAndLabels)
{
    view->setString(QStringLiteral("<#ab#> <##> xyz"));
    KELTokenParser::sharedTokenParser().setTokenType(2, view->textStorage(), Range(12, 3));
    const QFontMetricsF fm(font);
    const QSizeF size = lm()->sizeOfTokenAtCharIndex(0);
    EXPECT_DOUBLE_EQ(size.width(), fm.horizontalAdvance(QStringLiteral("ab")) + 2 * a);
    EXPECT_DOUBLE_EQ(size.height(), kit::LayoutManager::defaultLineHeight(font));
    EXPECT_EQ(lm()->attributedStringForTokenAtCharIndex(7), QString(QChar(0xFF0A)));
    EXPECT_EQ(lm()->attributedStringForTokenAtCharIndex(12), QStringLiteral("..."));
    // The box is exactly as wide as the bubble: the text after it moves by that width.
    EXPECT_NEAR(x(6) - x(0), size.width(), 0.01);
    EXPECT_NEAR(x(15) - x(12), lm()->sizeOfTokenAtCharIndex(12).width(), 0.01);
}

TEST_F(LayoutFixture, BubbleGeometryAndColours)
{
    const QRectF frame = KELLayoutManager::bubbleFrame(QRectF(0, 10.3, 100, 17), 5, 17, 30);
    EXPECT_EQ(frame, QRectF(5.5, 11.5, 29, 14));
    struct Case {
        bool focused;
        int type;
        QColor fill, stroke;
    } cases[] = {
        {true, 2, QColor::fromRgbF(0.95f, 0.95f, 0.83f), QColor::fromRgbF(0.85f, 0.85f, 0.6f)},
        {true, 1, QColor::fromRgbF(0.914f, 0.937f, 0.98f), QColor::fromRgbF(0.769f, 0.831f, 0.953f)},
        {false, 1, QColor::fromRgbF(0.937f, 0.937f, 0.937f), QColor::fromRgbF(0.831f, 0.831f, 0.831f)},
        {false, 2, QColor::fromRgbF(0.937f, 0.937f, 0.937f), QColor::fromRgbF(0.831f, 0.831f, 0.831f)},
    };
    for (const Case& c : cases) {
        const auto [fill, stroke] = KELLayoutManager::bubbleColors(c.focused, c.type);
        EXPECT_EQ(fill, c.fill);
        EXPECT_EQ(stroke, c.stroke);
    }
    // The selection in the user's colour, grey when the view is not focused.
    kit::UserDefaults::standard().setColor(KELSelectionColorKey, QColor(240, 120, 0, 200));
    kit::DrawContext ctx;
    ctx.focused = true;
    EXPECT_EQ(lm()->selectionColor(ctx), QColor(240, 120, 0, 200));
    ctx.focused = false;
    EXPECT_EQ(lm()->selectionColor(ctx), QColor(120, 120, 120, 200));
    kit::UserDefaults::standard().removeValue(KELSelectionColorKey);
}

TEST_F(LayoutFixture, AttributeChangesInsideATokenKeepTheLayout)
{
    view->setString(QStringLiteral("x <#name#> y"));
    lm()->ensureLayoutForCharacterRange(Range(0, 12));
    QSignalSpy spy(lm(), &kit::LayoutManager::didInvalidateLayout);
    view->textStorage()->addAttribute(kit::FontAttributeName, font, Range(4, 3));
    EXPECT_EQ(spy.count(), 0);
    view->textStorage()->addAttribute(kit::ForegroundColorAttributeName, QColor(Qt::red), Range(0, 12));
    EXPECT_EQ(spy.count(), 0); // colour never re-lays
    view->textStorage()->addAttribute(kit::FontAttributeName, font, Range(2, 1));
    EXPECT_EQ(spy.count(), 1);
    // The indent setting re-lays everything; the unit while it is off re-lays nothing.
    spy.clear();
    lm()->setIndentWrappedLines(false);
    EXPECT_EQ(spy.count(), 1);
    lm()->setIndentUnit(QStringLiteral("    "));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(LayoutFixture, WrappedLinesKeepTheIndent)
{
    const qreal tab = lm()->tabStopDistance();
    QString line = QStringLiteral("\t\t");
    for (int i = 0; i < 30; ++i)
        line += QStringLiteral("word ");
    view->setString(line);
    const qreal pad = lm()->lineFragmentPadding();
    const qreal lineHeight = lm()->lineHeight();
    Range second;
    lm()->lineFragmentRect(0, nullptr);
    const qsizetype probe = line.size() - 2;
    lm()->lineFragmentRect(probe, &second);
    ASSERT_GT(y(probe), 0);
    EXPECT_NEAR(x(second.location), pad + 2 * tab, 0.01);
    // Turned off: continuation lines start at the padding.
    lm()->setIndentWrappedLines(false);
    lm()->lineFragmentRect(probe, &second);
    EXPECT_NEAR(x(second.location), pad, 0.01);
    lm()->setIndentWrappedLines(true);
    // Indentation and the long word after it are not split.
    view->setString(QStringLiteral("\t\t") + QString(200, QLatin1Char('q')));
    EXPECT_EQ(y(2), y(0));
    // An indentation of 80% of the width gives no indent.
    const int tabs = int(0.8 * (lm()->containerWidth() - 2 * pad) / tab) + 1;
    view->setString(QString(tabs, QLatin1Char('\t')) + QString(200, QLatin1Char('x')));
    lm()->lineFragmentRect(view->string().size() - 1, &second);
    EXPECT_GT(y(view->string().size() - 1), lineHeight - 1);
    EXPECT_NEAR(x(second.location), pad, 0.01);
}

TEST_F(LayoutFixture, FoldsJoinLinesAndLargeFoldsStandAlone)
{
    // A fold over three paragraphs lies on one line with the text around it.
    view->setString(QStringLiteral("aa{\nbb\ncc\n}dd\nnext"));
    KELTokenParser::sharedTokenParser().setTokenType(2, view->textStorage(), Range(3, 8));
    EXPECT_EQ(y(0), y(13));
    EXPECT_GT(y(14), y(13));
    // A fold of 5,000 characters starts a line and the text after it starts another.
    const QString big = QStringLiteral("head ") + QString(5000, QLatin1Char('z')) + QStringLiteral(" tail");
    view->setString(big);
    KELTokenParser::sharedTokenParser().setTokenType(2, view->textStorage(), Range(5, 5000));
    EXPECT_GT(y(5), y(0));
    EXPECT_GT(y(5005), y(5));
    EXPECT_DOUBLE_EQ(x(5), lm()->lineFragmentPadding());
    // Upstream, the caret after the fold stands at the end of the fold's line; downstream at the next.
    const QRectF up = lm()->caretRect(5005, kit::SelectionAffinity::Upstream);
    EXPECT_EQ(up.top(), y(5));
    EXPECT_NEAR(up.left(), x(5) + lm()->sizeOfTokenAtCharIndex(5).width(), 0.01);
    EXPECT_GT(lm()->caretRect(5005, kit::SelectionAffinity::Downstream).top(), y(5));
    // Selecting across it gives one rectangle for the fold's line.
    const QList<QRectF> rects = lm()->selectionRects(Range(0, big.size()));
    EXPECT_EQ(rects.size(), 3);
}

TEST_F(LayoutFixture, PlaceholderWrapsWholeAndTabsAdvanceToStops)
{
    const qreal width = lm()->containerWidth() - 2 * lm()->lineFragmentPadding();
    const int fill = int(width / n) - 3;
    const QString s = QString(fill, QLatin1Char('x')) + QStringLiteral("<#long name#>") + QStringLiteral(" end");
    view->setString(s);
    EXPECT_GT(y(fill), y(0)); // the whole box moved to the next line
    EXPECT_EQ(y(fill), y(fill + 13));
    view->setString(QStringLiteral("a\tb"));
    EXPECT_NEAR(x(2) - lm()->lineFragmentPadding(), lm()->tabStopDistance(), 0.01);
}
