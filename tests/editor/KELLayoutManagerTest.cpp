#include "editor/KELLayoutManager.h"
#include "editor/KELTextView.h"
#include "editor/KELTokenParser.h"
#include "editor/NoodleLineNumberView.h"
#include "app/RegisteredDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/DefaultsKeys.h"
#include "kit/UserDefaults.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
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

TEST_F(LayoutFixture, AForbiddenBreakMovesOnlyThatBreak)
{
    // The indentation stays with the long word after it: that line breaks inside the word,
    // and the words that follow still wrap at their boundaries.
    QString text = QStringLiteral("\t\t") + QString(150, QLatin1Char('q'));
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral(" word%1").arg(i % 10);
    view->setString(text);
    EXPECT_EQ(y(2), y(0));
    int lines = 0;
    lm()->enumerateLineFragments(Range(0, text.size()), [&](const QRectF&, const QRectF&, Range chars) {
        ++lines;
        const QChar c = text.at(chars.location);
        if (chars.location > 0 && c != QLatin1Char('q')) {
            EXPECT_EQ(text.at(chars.location - 1), QLatin1Char(' ')) << "line at " << chars.location;
        }
        return true;
    });
    EXPECT_GT(lines, 4);
}

TEST(KELLayoutManagerSettings, TheIndentUnitComesFromTheIndentationSettings)
{
    kit::UserDefaults& d = kit::UserDefaults::standard();
    d.resetForTesting();
    KELRegisterDefaults();
    d.setValue(KELCheckSpellingAsYouType, false);
    kit::ScrollView scroll;
    auto* view = new KELTextView;
    scroll.setDocumentView(view);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(14);
    view->setFont(font);
    scroll.resize(400, 300);
    scroll.show();
    KELLayoutManager* lm = view->editorLayoutManager();
    // Factory settings: a tab, and a tab-indented line continues at the tab.
    EXPECT_EQ(lm->typesetter().indentUnit(), QStringLiteral("\t"));
    QString line = QStringLiteral("\t");
    for (int i = 0; i < 40; ++i)
        line += QStringLiteral("word ");
    view->setString(line);
    Range second;
    lm->lineFragmentRect(line.size() - 2, &second);
    ASSERT_GT(second.location, 1);
    EXPECT_NEAR(lm->caretRect(second.location).left(), lm->lineFragmentPadding() + lm->tabStopDistance(), 0.01);
    // Spaces: four of them make the unit, and the text is laid out again at once.
    QSignalSpy spy(lm, &kit::LayoutManager::didInvalidateLayout);
    d.setValue(KELOrganizeTagsSpacer, qlonglong(0));
    d.setValue(KELOrganizeTagsNumSpaces, qlonglong(4));
    EXPECT_EQ(lm->typesetter().indentUnit(), QStringLiteral("    "));
    EXPECT_GE(spy.count(), 1);
    line.replace(0, 1, QStringLiteral("    "));
    view->setString(line);
    lm->lineFragmentRect(line.size() - 2, &second);
    EXPECT_NEAR(lm->caretRect(second.location).left(),
                lm->lineFragmentPadding() + QFontMetricsF(font).horizontalAdvance(QStringLiteral("    ")), 0.01);
    d.resetForTesting();
}

TEST_F(LayoutFixture, BubbleLabelsStayReadableInDarkSchemes)
{
    // Light text on a dark background: the bubble is light, so its label must be dark.
    view->setTextColor(Qt::white);
    view->setBackgroundColor(Qt::black);
    view->setString(QStringLiteral("x <#abc#> y"));
    const QRectF caret = lm()->caretRect(2);
    const QSizeF size = lm()->sizeOfTokenAtCharIndex(2);
    QImage image(view->size(), QImage::Format_RGB32);
    view->render(&image);
    const QPointF origin = view->documentPointToView(view->textContainerOrigin());
    int dark = 0;
    for (int px = int(caret.left() + a); px < int(caret.left() + size.width() - a); ++px)
        for (int py = int(caret.top() + 3); py < int(caret.bottom() - 3); ++py)
            if (qGray(image.pixel(QPoint(px, py) + origin.toPoint())) < 100)
                ++dark;
    EXPECT_GT(dark, 10);
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

// ---------------------------------------------------------------------------------------------
// Incremental layout against a layout from scratch

namespace {

// The editor as the user has it (a small window, wrapping, a line-number ruler), and a
// second one that lays out a copy of the same text and attributes from nothing.
class IncrementalLayoutTest : public ::testing::Test {
protected:
    struct Editor {
        std::unique_ptr<kit::ScrollView> scroll = std::make_unique<kit::ScrollView>();
        KELTextView* view = new KELTextView;
        NoodleLineNumberView* ruler = nullptr;
        explicit Editor(bool wraps)
        {
            scroll->setDocumentView(view);
            QFont f(QStringLiteral("DejaVu Sans Mono"));
            f.setPixelSize(14);
            view->setFont(f);
            view->setWrapsLines(wraps);
            ruler = new NoodleLineNumberView(scroll.get());
            scroll->setVerticalRulerView(ruler);
            scroll->setHasVerticalRuler(true);
            scroll->setRulersVisible(true);
            scroll->resize(260, 140);
            scroll->show();
            view->editorLayoutManager()->setIndentUnit(QStringLiteral("\t"));
            view->editorLayoutManager()->setIndentWrappedLines(true);
        }
        kit::LayoutManager* lm() const { return view->layoutManager(); }
    };

    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
    }

    static QStringList paragraphs(Editor& e)
    {
        QStringList out;
        for (int i = 0; i < e.lm()->paragraphCount(); ++i) {
            const Range r = e.lm()->paragraphRangeAtIndex(i);
            out << QStringLiteral("paragraph %1+%2").arg(r.location).arg(r.length);
        }
        return out;
    }

    // Everything a reader of the layout sees, as text, so that a difference reads well.
    static QStringList snapshot(Editor& e)
    {
        kit::LayoutManager* lm = e.lm();
        kit::TextStorage* ts = e.view->textStorage();
        const qsizetype n = ts->length();
        lm->ensureLayoutForCharacterRange(Range(0, n));
        QStringList out = paragraphs(e);
        lm->enumerateLineFragments(Range(0, n), [&](const QRectF& frag, const QRectF& used, Range chars) {
            out << QStringLiteral("line %1+%2 y %3 h %4 used %5").arg(chars.location).arg(chars.length)
                       .arg(frag.y()).arg(frag.height()).arg(used.width(), 0, 'f', 2);
            return true;
        });
        const QRectF extra = lm->extraLineFragmentRect();
        out << QStringLiteral("extra line %1 %2").arg(extra.isNull() ? -1 : extra.y()).arg(extra.height());
        out << QStringLiteral("height %1 view %2 width %3").arg(lm->usedHeight()).arg(e.view->documentHeight())
                   .arg(lm->usedWidth(), 0, 'f', 2);
        // The ruler's numbers and where it draws them. (An empty text is the one place where
        // they differ by design: a new one shows no number, one emptied by editing keeps "1".)
        if (n == 0)
            return out;
        e.ruler->calculateLinesForCharIndex(n);
        const auto& starts = e.ruler->lineIndices();
        const auto& numbers = e.ruler->displayNumbers();
        for (size_t k = 0; k < starts.size(); ++k) {
            const qsizetype s = starts[k];
            const QRectF line = s < n ? lm->lineFragmentRect(s) : lm->extraLineFragmentRect();
            out << QStringLiteral("number %1 at %2 y %3").arg(numbers[k]).arg(s).arg(line.isNull() ? -1 : line.y());
        }
        return out;
    }

    // A copy of the text with the same attributes (the same token objects), laid out anew.
    static void loadFresh(Editor& fresh, kit::TextStorage* from)
    {
        auto* copy = new kit::TextStorage(fresh.view);
        copy->replaceCharacters(Range(0, 0), from->attributedSubstring(Range(0, from->length())));
        fresh.view->setTextStorage(copy);
        fresh.ruler->setClientView(fresh.view);
    }

    static QString visible(QString s)
    {
        return s.replace(QLatin1Char('\n'), QStringLiteral("\\n")).replace(QLatin1Char('\r'), QStringLiteral("\\r"))
            .replace(QLatin1Char('\t'), QStringLiteral("\\t")).replace(QChar(0x2028), QStringLiteral("\\u2028"));
    }

    static QList<Range> folds(kit::TextStorage* ts)
    {
        QList<Range> out;
        for (const kit::AttributeRun& run : ts->valueRuns(KELTokenIdAttributeName, Range(0, ts->length())))
            if (KELTokenParser::tokenTypeAt(ts, run.start) == KELTokenTypeFold)
                out << Range(run.start, run.length);
        return out;
    }
};

} // namespace

TEST_F(IncrementalLayoutTest, TypingOnTheLastLineAddsNoEmptyParagraphs)
{
    Editor e(true);
    e.view->setString(QStringLiteral("one\ntwo\n"));
    e.lm()->ensureLayoutForCharacterRange(Range(0, 8));
    const qreal height = e.lm()->usedHeight();
    e.view->setSelectedRange(Range(7, 0));
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(e.view, Qt::Key_X);
    e.lm()->ensureLayoutForCharacterRange(Range(0, 28));
    EXPECT_EQ(e.lm()->paragraphCount(), 3);
    EXPECT_EQ(e.lm()->usedHeight(), height);
    // The ruler's last number stands on the empty last line.
    e.ruler->calculateLinesForCharIndex(28);
    EXPECT_EQ(e.ruler->displayNumbers().back(), 3);
    EXPECT_EQ(e.lm()->extraLineFragmentRect().top(), 2 * e.lm()->lineHeight());
}

// Any sequence of edits, folds and unfolds, anywhere in the text, leaves the same
// paragraphs, lines, heights and ruler numbers as laying out the final text from nothing.
TEST_F(IncrementalLayoutTest, RandomEditsLeaveTheLayoutOfAFreshStart)
{
    const QStringList pieces{QStringLiteral("a"), QStringLiteral(" "), QStringLiteral("\n"), QStringLiteral("\n"),
                             QStringLiteral("\r"), QStringLiteral("\r\n"), QStringLiteral("\t"), QStringLiteral("\t\t"),
                             QStringLiteral("word "), QStringLiteral("\u2028"), QStringLiteral("<#name#>"),
                             QStringLiteral("<##>"), QStringLiteral("<#"), QStringLiteral("#>"),
                             QStringLiteral("\tlong line of several words that wraps in a narrow window\n"),
                             QStringLiteral("two\nlines\n"), QStringLiteral("unbrokenwordthatislongerthanthewindowitself")};
    const QString start = QStringLiteral("one\ntwo\n\tthree <#x#> four five six seven eight nine\n\nlast");
    const QString big = QString(3200, QLatin1Char('z')) + QStringLiteral("\n");
    int steps = 0;
    for (const bool wraps : {true, false}) {
        for (const quint32 seed : {20260101u, 7u, 99u}) {
            Editor live(wraps);
            Editor fresh(wraps);
            live.view->setString(start);
            QRandomGenerator random(seed);
            QString last;
            for (int step = 0; step < 500; ++step, ++steps) {
                kit::TextStorage* ts = live.view->textStorage();
                const qsizetype n = ts->length();
                // Where: the start, the end, the last line, or anywhere.
                qsizetype at = 0;
                switch (random.bounded(5)) {
                case 0: at = 0; break;
                case 1: at = n; break;
                case 2: {
                    const qsizetype lastLine = ts->string().lastIndexOf(QLatin1Char('\n'));
                    at = lastLine < 0 ? 0 : lastLine + 1 + random.bounded(n - lastLine);
                    break;
                }
                default: at = random.bounded(n + 1);
                }
                at = std::min(at, n);
                const qsizetype span = std::min<qsizetype>(n - at, 1 + random.bounded(12));
                QString what;
                switch (random.bounded(12)) {
                case 0:
                case 1:
                case 2:
                case 3: {
                    // Typing at a caret, as the keyboard does.
                    const QString piece = pieces.at(random.bounded(pieces.size()));
                    live.view->setSelectedRange(Range(at, 0));
                    for (const QChar c : piece)
                        live.view->insertText(QString(c));
                    what = QStringLiteral("type '%1' at %2").arg(piece).arg(at);
                    break;
                }
                case 4:
                    live.view->replaceWithUndo(Range(at, span), QString());
                    what = QStringLiteral("delete %1+%2").arg(at).arg(span);
                    break;
                case 5: {
                    const QString piece = pieces.at(random.bounded(pieces.size()));
                    live.view->replaceWithUndo(Range(at, span), piece);
                    what = QStringLiteral("replace %1+%2 by '%3'").arg(at).arg(span).arg(piece);
                    break;
                }
                case 6:
                    live.view->setSelectedRange(Range(at, 0));
                    live.view->deleteBackward();
                    what = QStringLiteral("backspace at %1").arg(at);
                    break;
                case 7:
                case 8: {
                    const qsizetype length = std::min<qsizetype>(n - at, 1 + random.bounded(40));
                    live.view->foldTextInRange(Range(at, length));
                    what = QStringLiteral("fold %1+%2").arg(at).arg(length);
                    break;
                }
                case 9: {
                    const QList<Range> f = folds(ts);
                    if (!f.isEmpty() && random.bounded(4) != 0) {
                        const Range r = f.at(random.bounded(f.size()));
                        live.view->unfoldTextInRange(r);
                        what = QStringLiteral("unfold %1+%2").arg(r.location).arg(r.length);
                    } else {
                        live.view->unfoldAll();
                        what = QStringLiteral("unfold all");
                    }
                    break;
                }
                case 10:
                    if (random.bounded(3) == 0) {
                        live.view->undo();
                        what = QStringLiteral("undo");
                    } else {
                        live.view->redo();
                        what = QStringLiteral("redo");
                    }
                    break;
                default:
                    // Rarely: empty the text, or add and fold a stretch longer than the large-fold limit.
                    if (random.bounded(4) == 0) {
                        live.view->replaceWithUndo(Range(0, n), QString());
                        what = QStringLiteral("empty the text");
                    } else if (random.bounded(3) == 0) {
                        live.view->replaceWithUndo(Range(at, 0), big);
                        live.view->foldTextInRange(Range(at, big.size() - 1));
                        what = QStringLiteral("large fold at %1").arg(at);
                    } else {
                        live.view->scrollRangeToVisible(Range(at, 0));
                        what = QStringLiteral("scroll to %1").arg(at);
                    }
                }
                // The live editor paints what the window shows, as it would between keys.
                live.scroll->grab();
                loadFresh(fresh, live.view->textStorage());
                // Every third step compares only the paragraphs, so that the live layout also
                // meets edits while parts of it are still estimated.
                const bool whole = step % 3 != 1;
                const QStringList got = whole ? snapshot(live) : paragraphs(live);
                const QStringList want = whole ? snapshot(fresh) : paragraphs(fresh);
                if (got != want) {
                    qsizetype first = 0;
                    while (first < got.size() && first < want.size() && got[first] == want[first])
                        ++first;
                    FAIL() << "wraps " << wraps << " seed " << seed << " step " << step << ": "
                           << what.toStdString() << "\nfirst difference: got '" << got.value(first).toStdString()
                           << "' want '" << want.value(first).toStdString() << "'\ntext: "
                           << visible(live.view->string()).toStdString() << "\ngot:\n"
                           << got.join(QLatin1Char('\n')).toStdString() << "\nwant:\n"
                           << want.join(QLatin1Char('\n')).toStdString();
                }
            }
        }
    }
    EXPECT_EQ(steps, 3000);
}
