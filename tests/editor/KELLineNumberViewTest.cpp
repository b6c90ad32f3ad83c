#include "editor/KELLineNumberView.h"

#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "editor/KELHTMLView.h"
#include "editor/KELTokenParser.h"
#include "kit/UserDefaults.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "AccessibleEventLog.h"
#include <QAccessible>
#include <functional>
#include <memory>

using kit::NotFound;
using kit::Range;

namespace {

KELSyntaxCheckError makeError(qint32 level, qsizetype location, quint64 line, const QString& title)
{
    KELSyntaxCheckError e = KELSyntaxCheckError::error();
    e.setLevel(level);
    e.setTextRange(Range(location, 1));
    e.setLineNumber(line);
    e.setTitle(title);
    e.setDescription(title + QStringLiteral(" described"));
    return e;
}

struct FakeOpportunity : KELCodeFoldOpportunity
{
    qsizetype location;
    Range contents;
    FakeOpportunity(qsizetype l, Range c)
        : location(l)
        , contents(c)
    {
    }
    qsizetype contentsLocation() const override { return location; }
    Range contentsRange() const override { return contents; }
};

struct FakeDataSource : KELCodeFoldDataSource
{
    QList<KELCodeFoldOpportunityRef> all;
    int asked = 0;
    QList<KELCodeFoldOpportunityRef> foldOpportunitiesInRange(Range range) override
    {
        ++asked;
        QList<KELCodeFoldOpportunityRef> out;
        for (const auto& o : all)
            if (o->contentsLocation() >= range.location && o->contentsLocation() < range.end())
                out.append(o);
        return out;
    }
};

class KELLineNumberViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto& d = kit::UserDefaults::standard();
        d.resetForTesting();
        KELRegisterDefaults();
        d.setValue(KELLineNumbers, true);
        d.setValue(KELShowCodeFoldingInGutter, true);
        d.setValue(KELShowPreviewErrorsInGutter, true);
        d.setValue(KELErrorCheckerShowWarnings, true);
        d.setValue(KELCheckSpellingAsYouType, false);
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELHTMLView;
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(14);
        view->setFont(f);
        gutter = new KELLineNumberView(scroll.get());
        scroll->setVerticalRulerView(gutter);
        scroll->setHasVerticalRuler(true);
        scroll->setRulersVisible(true);
        scroll->resize(500, 400);
        scroll->show();
        QApplication::processEvents();
    }
    void TearDown() override { scroll.reset(); }
    void setText(const QString& s)
    {
        view->setString(s);
        QApplication::processEvents();
    }
    // The numbers the gutter shows, in order, for the visible text.
    std::vector<qint64> shownNumbers()
    {
        gutter->repaint();
        const auto& starts = gutter->lineIndices();
        const auto& numbers = gutter->displayNumbers();
        std::vector<qint64> out;
        kit::TextStorage* ts = view->textStorage();
        for (size_t i = 0; i < starts.size(); ++i) {
            if (starts[i] > 0 && ts->attribute(KELTokenIdAttributeName, starts[i] - 1).isValid())
                continue;
            out.push_back(numbers[i]);
        }
        return out;
    }
    QPoint markerCentre(const KELGutterMarker& m) { return m.rect.center().toPoint(); }
    std::optional<KELGutterMarker> markerOfType(qint32 type)
    {
        for (const KELGutterMarker& m : gutter->visibleGutterMarkers())
            if (m.type == type)
                return m;
        return std::nullopt;
    }

    std::unique_ptr<kit::ScrollView> scroll;
    KELHTMLView* view = nullptr;
    KELLineNumberView* gutter = nullptr;
};

TEST_F(KELLineNumberViewTest, NumbersCountTheLinesHiddenInFolds)
{
    setText(QStringLiteral("one\ntwo <b>\nthree\nfour\nfi</b>ve\nsix\n"));
    EXPECT_EQ(shownNumbers(), (std::vector<qint64> { 1, 2, 3, 4, 5, 6, 7 }));
    // Fold from inside line 2 to inside line 5: lines 2 to 5 become one line numbered 2.
    view->foldTextInRange(Range(11, 17));
    QApplication::processEvents();
    EXPECT_EQ(shownNumbers(), (std::vector<qint64> { 1, 2, 6, 7 }));
    qint64 n = 0;
    EXPECT_EQ(NoodleLineNumberView::nextLineStartInText(view->textStorage(), 4, &n), 32);
    EXPECT_EQ(n, 4);
    view->unfoldTextInRange(Range(11, 17));
    QApplication::processEvents();
    EXPECT_EQ(shownNumbers(), (std::vector<qint64> { 1, 2, 3, 4, 5, 6, 7 }));
}

TEST_F(KELLineNumberViewTest, TheGutterOnScreenFollowsEveryEdit)
{
    // The gutter repaints only the lines the text repaints: after each edit what the
    // window shows of it must still be what a full paint draws.
    QString text;
    for (int i = 0; i < 30; ++i)
        text += QStringLiteral("<p>line %1</p>\n").arg(i);
    setText(text);
    view->setSelectedRange(Range(text.indexOf(QStringLiteral("line 4")), 0));
    QApplication::processEvents();
    const struct {
        const char* what;
        std::function<void()> edit;
    } cases[] = {
        {"typing", [&] { view->insertText(QStringLiteral("ab")); }},
        {"new lines", [&] { view->insertNewline(); view->insertNewline(); }},
        {"joining lines", [&] { view->deleteBackward(); }},
        {"a fold", [&] { view->foldTextInRange(Range(text.indexOf(QStringLiteral("line 7")), 40)); }},
        {"an unfold", [&] { view->unfoldAll(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.edit();
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        const QRect area(gutter->mapTo(scroll.get(), QPoint()), gutter->size());
        const QImage shown = scroll->screen()->grabWindow(scroll->winId()).toImage().copy(area).convertToFormat(QImage::Format_RGB32);
        const QImage full = gutter->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown, full);
    }
}

TEST_F(KELLineNumberViewTest, LastLineAndEmptyText)
{
    setText(QString());
    EXPECT_TRUE(shownNumbers().empty());
    setText(QStringLiteral("a\nb"));
    EXPECT_EQ(shownNumbers(), (std::vector<qint64> { 1, 2 }));
    setText(QStringLiteral("a\nb\n"));
    EXPECT_EQ(shownNumbers(), (std::vector<qint64> { 1, 2, 3 }));
    // Typed text deleted entirely: the first line keeps its number.
    view->setSelectedRange(Range(0, view->textStorage()->length()));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(shownNumbers(), (std::vector<qint64> { 1 }));
}

TEST_F(KELLineNumberViewTest, WidthGrowsWithDigitsAndNeverNarrowsWhileShown)
{
    setText(QStringLiteral("x"));
    const qreal small = gutter->ruleThickness();
    EXPECT_GE(small, 22.0);
    QString many;
    for (int i = 0; i < 12000; ++i)
        many += QStringLiteral("line\n");
    setText(many);
    view->scrollRangeToVisible(Range(many.size() - 1, 0));
    QApplication::processEvents();
    gutter->repaint();
    QApplication::processEvents();
    const qreal wide = gutter->ruleThickness();
    EXPECT_GT(wide, small);
    setText(QStringLiteral("x"));
    gutter->repaint();
    QApplication::processEvents();
    EXPECT_EQ(gutter->ruleThickness(), wide);

    // The screen ruler follows KELLineNumbers only; the strip stays.
    kit::UserDefaults::standard().setValue(KELPrintDocumentEnableLineNumbering, false);
    EXPECT_EQ(gutter->ruleThickness(), wide);
    kit::UserDefaults::standard().setValue(KELLineNumbers, false);
    EXPECT_EQ(gutter->ruleThickness(), 0.0);
    EXPECT_EQ(gutter->reservedThicknessForMarkers(), KELLineNumberView::MarkerStripWidth);
    kit::UserDefaults::standard().setValue(KELShowCodeFoldingInGutter, false);
    kit::UserDefaults::standard().setValue(KELShowPreviewErrorsInGutter, false);
    EXPECT_EQ(gutter->reservedThicknessForMarkers(), 0.0);

    // Once updating stopped, nothing changes the width.
    gutter->stopUpdating();
    kit::UserDefaults::standard().setValue(KELLineNumbers, true);
    QApplication::processEvents();
    EXPECT_EQ(gutter->ruleThickness(), 0.0);
}

TEST_F(KELLineNumberViewTest, ErrorsGroupPerLineWithTheStrongestIcon)
{
    setText(QStringLiteral("<p>one</p>\n<p>two</p>\n<p>three</p>\n"));
    gutter->setDocumentErrors({ makeError(0, 14, 2, QStringLiteral("Warn")), makeError(1, 2, 1, QStringLiteral("B")),
        makeError(1, 0, 1, QStringLiteral("A")), makeError(0, 5, 1, QStringLiteral("W1")) });
    QList<KELGutterMarker> markers = gutter->visibleGutterMarkers();
    ASSERT_EQ(markers.size(), 2);
    EXPECT_EQ(markers[0].type, KELGutterMarker::ErrorGroup);
    EXPECT_EQ(markers[0].imageName, QStringLiteral("FileError"));
    EXPECT_EQ(markers[0].errors.size(), 3);
    EXPECT_EQ(markers[0].errors[0].title(), QStringLiteral("A"));
    EXPECT_EQ(markers[0].textRange, Range(0, 1));
    EXPECT_EQ(markers[1].imageName, QStringLiteral("FileWarning"));

    kit::UserDefaults::standard().setValue(KELErrorCheckerShowWarnings, false);
    markers = gutter->visibleGutterMarkers();
    ASSERT_EQ(markers.size(), 1);
    EXPECT_EQ(markers[0].errors.size(), 2);

    const std::optional<QString> tip = KELLineNumberView::tooltipStringForErrors(
        { makeError(1, 0, 4, QStringLiteral("Bad tag")), makeError(0, 3, 4, QStringLiteral("Odd")) });
    ASSERT_TRUE(tip);
    QTextDocument doc;
    doc.setHtml(*tip);
    EXPECT_EQ(doc.toPlainText(),
        QStringLiteral("\uFFFC Bad tag\nLine 4: Bad tag described\n\n\uFFFC Odd\nLine 4: Odd described"));
    EXPECT_FALSE(KELLineNumberView::tooltipStringForErrors({}));
}

TEST_F(KELLineNumberViewTest, ClickingAnErrorMarkerShowsItsTooltip)
{
    setText(QStringLiteral("<p>one</p>\n<p>two</p>\n"));
    gutter->setDocumentErrors({ makeError(1, 12, 2, QStringLiteral("Broken")) });
    const std::optional<KELGutterMarker> m = markerOfType(KELGutterMarker::ErrorGroup);
    ASSERT_TRUE(m);
    QTest::mouseClick(gutter, Qt::LeftButton, Qt::NoModifier, markerCentre(*m));
    ASSERT_TRUE(gutter->displayedTooltip());
    QTextDocument* text = gutter->displayedTooltip()->tooltipView()->textDocument();
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("Line 2: Broken described")));
    EXPECT_EQ(gutter->displayedTooltip()->width(), 250);
    // Typing hides it.
    view->setSelectedRange(Range(0, 0));
    view->setFocus();
    QTest::keyClicks(view, QStringLiteral("x"));
    EXPECT_FALSE(gutter->displayedTooltip());

    // Resting on the marker arms the timer; leaving the gutter cancels it.
    QTest::mouseMove(gutter, markerCentre(*markerOfType(KELGutterMarker::ErrorGroup)));
    EXPECT_TRUE(gutter->isTooltipTimerActive());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(gutter, &leave);
    EXPECT_FALSE(gutter->isTooltipTimerActive());
}

TEST_F(KELLineNumberViewTest, FoldTrianglesFoldAndUnfoldOnClick)
{
    setText(QStringLiteral("<div>\n  a\n  b\n</div>\nend\n"));
    FakeDataSource source;
    source.all = { std::make_shared<FakeOpportunity>(5, Range(5, 9)) };
    gutter->setFoldDataSource(&source);

    // Candidates show only while the mouse is over the gutter.
    EXPECT_FALSE(markerOfType(KELGutterMarker::FoldControl));
    EXPECT_EQ(source.asked, 0);
    gutter->setMarkerOpacity(1.0);
    std::optional<KELGutterMarker> candidate = markerOfType(KELGutterMarker::FoldControl);
    ASSERT_TRUE(candidate);
    QTest::mouseClick(gutter, Qt::LeftButton, Qt::NoModifier, markerCentre(*candidate));
    EXPECT_EQ(view->textStorage()->attribute(KELTokenTypeAttributeName, 5).toInt(), 2);

    // The folded triangle unfolds and leaves the down/up pair.
    std::optional<KELGutterMarker> folded = markerOfType(KELGutterMarker::FoldedRange);
    ASSERT_TRUE(folded);
    EXPECT_EQ(folded->textRange, Range(5, 9));
    QTest::mouseClick(gutter, Qt::LeftButton, Qt::NoModifier, markerCentre(*folded));
    EXPECT_FALSE(view->textStorage()->attribute(KELTokenTypeAttributeName, 5).isValid());
    EXPECT_EQ(gutter->unfoldedRange(), Range(5, 9));
    QStringList images;
    for (const KELGutterMarker& m : gutter->visibleGutterMarkers())
        images.append(m.imageName);
    EXPECT_TRUE(images.contains(QStringLiteral("DisclosureTriangleUp")));

    // Changing attributes keeps the pair; typing drops it.
    view->setColor(Qt::red, Range(0, 3));
    EXPECT_EQ(gutter->unfoldedRange(), Range(5, 9));
    view->setSelectedRange(Range(22, 0));
    view->setFocus();
    QTest::keyClicks(view, QStringLiteral("z"));
    EXPECT_EQ(gutter->unfoldedRange(), Range(NotFound, 0));

    // An error on the same line hides the candidate's triangle.
    gutter->setDocumentErrors({ makeError(1, 1, 1, QStringLiteral("E")) });
    const QList<KELGutterMarker> markers = gutter->visibleGutterMarkers();
    ASSERT_FALSE(markers.isEmpty());
    EXPECT_EQ(markers[0].type, KELGutterMarker::ErrorGroup);
    gutter->setFoldDataSource(nullptr);
}

TEST_F(KELLineNumberViewTest, ReadersFindFoldAndErrorMarkersAsButtons)
{
    setText(QStringLiteral("<div>\n  a\n  b\n</div>\nend\n<p>x</p>\n"));
    FakeDataSource source;
    source.all = { std::make_shared<FakeOpportunity>(5, Range(5, 9)) };
    gutter->setFoldDataSource(&source);
    gutter->setDocumentErrors({ makeError(1, 27, 6, QStringLiteral("Broken")) });
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(gutter);
    ASSERT_TRUE(strip);
    auto buttons = [&] {
        QStringList names;
        for (int i = 0; i < strip->childCount(); ++i) {
            QAccessibleInterface* child = strip->child(i);
            if (child->role() == QAccessible::Button && !child->object())
                names << child->text(QAccessible::Name);
        }
        return names;
    };
    // The fold candidate is there for a reader though the triangles are not shown (the
    // pointer, wherever an earlier test left it, may have started a fade: stop it).
    if (gutter->markerAnimation())
        gutter->markerAnimation()->stop();
    gutter->setMarkerOpacity(0.0);
    EXPECT_EQ(buttons(), (QStringList{QStringLiteral("Fold lines 1\u20133"), QStringLiteral("Broken")}));
    EXPECT_EQ(strip->child(1)->text(QAccessible::Description), QStringLiteral("Line 6: Broken described"));

    // Pressing the fold button folds; the button becomes an unfold button that unfolds.
    strip->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(view->textStorage()->attribute(KELTokenTypeAttributeName, 5).toInt(), 2);
    EXPECT_EQ(buttons().first(), QStringLiteral("Unfold lines 1\u20133"));
    strip->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(view->textStorage()->attribute(KELTokenTypeAttributeName, 5).isValid());

    // Pressing the error button shows what the click shows.
    strip->child(int(buttons().indexOf(QStringLiteral("Broken"))))->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(gutter->displayedTooltip());
    gutter->setFoldDataSource(nullptr);
}

TEST_F(KELLineNumberViewTest, FadeResumesFromTheOpacityReached)
{
    gutter->setMarkerOpacity(0.0);
    KELGutterAnimation in(gutter, 1.0);
    EXPECT_DOUBLE_EQ(in.currentProgress(), 0.0);
    EXPECT_EQ(in.duration(), KELGutterAnimation::FullDurationMs);
    in.setCurrentProgress(0.4);
    EXPECT_DOUBLE_EQ(gutter->markerOpacity(), 0.4);
    KELGutterAnimation out(gutter, 0.0);
    EXPECT_DOUBLE_EQ(out.currentProgress(), 0.6);
    EXPECT_EQ(out.duration(), 80);
    out.setCurrentProgress(0.6);
    EXPECT_DOUBLE_EQ(gutter->markerOpacity(), 0.4);
    out.setCurrentProgress(1.0);
    EXPECT_DOUBLE_EQ(gutter->markerOpacity(), 0.0);
    // Already at the target: no animation runs.
    gutter->startMarkerAnimationWithTargetOpacity(0.0);
    EXPECT_NE(gutter->markerAnimation()->state(), QAbstractAnimation::Running);
}

TEST(KELTooltipPlacement, SideAndVerticalClamp)
{
    const QRect screen(0, 0, 1000, 800);
    struct Case
    {
        QPoint anchor;
        qreal height;
        int direction;
        QRect frame;
        qreal arrow;
    } cases[] = {
        { QPoint(256, 400), 60, 0, QRect(262, 370, 250, 60), 30 }, // 256 points of room: bubble on the right
        { QPoint(257, 400), 60, 1, QRect(1, 370, 250, 60), 30 }, // more room: on the left
        { QPoint(500, 10), 60, 1, QRect(244, 0, 250, 60), 10 }, // kept below the top
        { QPoint(500, 790), 60, 1, QRect(244, 740, 250, 60), 50 }, // kept above the bottom
    };
    for (const Case& c : cases) {
        const KELTooltip::Placement p = KELTooltip::placement(c.anchor, 6, c.height, screen);
        EXPECT_EQ(p.direction, c.direction);
        EXPECT_EQ(p.frame, c.frame);
        EXPECT_EQ(p.arrowPosition, c.arrow);
    }
    KELTooltipView small(QStringLiteral("x"), 250, 0);
    EXPECT_GE(small.height(), 20);
    QString longText;
    for (int i = 0; i < 40; ++i)
        longText += QStringLiteral("word ");
    KELTooltipView tall(longText, 250, 0);
    EXPECT_GT(tall.height(), small.height());
    EXPECT_EQ(tall.width(), 250);
    tall.setArrowPosition(2);
    EXPECT_EQ(tall.clampedArrowPosition(), 10);
}

} // namespace
