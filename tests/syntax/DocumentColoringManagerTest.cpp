// The colouring scheduler: the visible text first, the rest in background
// segments, edits coloured at once only near the coloured part, error markers
// moved with edits; typing keeps colours equal to colouring from scratch.

#include "ColoringTestSupport.h"

#include "support/KELSyntaxCheckError.h"
#include "editor/KELTextView.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "support/PreferenceController2.h"
#include "syntax/DocumentColoringManager.h"

#include <QApplication>
#include <QScrollBar>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using kit::Range;
using namespace syntaxtest;

namespace {

class TestColoringManager : public DocumentColoringManager
{
public:
    using DocumentColoringManager::DocumentColoringManager;
    bool windowActive = true;
    bool applicationActive = true;

protected:
    bool isPrimaryWindowActive() const override { return windowActive; }
    bool isApplicationActive() const override { return applicationActive; }
};

class DocumentColoringManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        PreferenceController2::resetColorCacheForTesting();
        html = shippedType(QStringLiteral("HTML"));
        ASSERT_TRUE(html);
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELTextView;
        scroll->setDocumentView(view);
        scroll->resize(400, 300);
    }
    void makeManager(const QString& text, SyntaxType* type = nullptr)
    {
        view->setString(text);
        language = type ? type : html;
        manager = std::make_unique<TestColoringManager>(view, [this] { return language; });
    }
    // A page of some 20,000 characters.
    static QString longPage()
    {
        const QString page = fixture(QStringLiteral("page.html"));
        QString text;
        while (text.size() < 20000)
            text += page;
        return text;
    }
    bool colored(qsizetype index) const { return colorAt(view->textStorage(), index).isValid(); }

    SyntaxType* html = nullptr;
    SyntaxType* language = nullptr;
    std::unique_ptr<kit::ScrollView> scroll;
    KELTextView* view = nullptr;
    std::unique_ptr<TestColoringManager> manager;
};

TEST_F(DocumentColoringManagerTest, VisibleTextFirstThenBackgroundSteps)
{
    makeManager(longPage());
    scroll->show();
    QApplication::processEvents();
    const Range visible = view->visibleRange();
    ASSERT_GT(visible.length, 0);
    ASSERT_LT(visible.end(), 5000);

    manager->colorViewableTags(view);
    EXPECT_TRUE(colored(visible.location));
    EXPECT_TRUE(colored(visible.end() - 1));
    EXPECT_FALSE(colored(15000));
    EXPECT_EQ(manager->correctColoringIndex(), 0); // the visible pass leaves the prefix alone
    EXPECT_EQ(manager->scheduledSegmentInterval(), int(TestColoringManager::RestartDelay * 1000));

    // Steps follow each other at once until the text is coloured.
    qsizetype previous = manager->correctColoringIndex();
    int steps = 0;
    while (manager->isColoringWithTimer()) {
        manager->colorSegment();
        ++steps;
        EXPECT_GE(manager->correctColoringIndex(), std::min(previous + TestColoringManager::SegmentLength,
                                                       view->textStorage()->length() - 1));
        if (manager->isColoringWithTimer())
            EXPECT_EQ(manager->scheduledSegmentInterval(), 0);
        previous = manager->correctColoringIndex();
        ASSERT_LT(steps, 100);
    }
    EXPECT_TRUE(manager->isColoringComplete());

    kit::TextStorage fresh(view->string());
    colorAll(html, &fresh);
    EXPECT_EQ(firstDifference(snapshot(view->textStorage()), snapshot(&fresh)), "");
}

TEST_F(DocumentColoringManagerTest, AStepColoursPartOfALargePageAndTheChainTheRest)
{
    // 2 MB takes far longer than one step's few milliseconds, even on a fast machine.
    QString text;
    const QString page = longPage();
    while (text.size() < 2 * 1000 * 1000)
        text += page;
    makeManager(text);
    manager->colorSegmentFromTimer(0.0);
    ASSERT_TRUE(manager->isColoringWithTimer());
    manager->colorSegment();
    const qsizetype first = manager->correctColoringIndex();
    EXPECT_GE(first, TestColoringManager::SegmentLength);
    EXPECT_LT(first, text.size() / 4);
    EXPECT_EQ(manager->scheduledSegmentInterval(), 0);

    // The timers run the chain to the end.
    ASSERT_TRUE(waitUntil([&] { return manager->isColoringComplete(); }, 60000));
    EXPECT_FALSE(manager->isColoringWithTimer());
    kit::TextStorage fresh(text);
    colorAll(html, &fresh);
    EXPECT_EQ(firstDifference(snapshot(view->textStorage()), snapshot(&fresh)), "");
}

// Color All Tags (and a change of language) colours a short text in one request,
// a long one from its visible part on and the rest through the chain, ending as
// colouring from scratch does.
TEST_F(DocumentColoringManagerTest, ColorAllTagsLeavesALongTextToTheChain)
{
    const struct {
        qsizetype length;
        bool completeAtOnce;
    } cases[] = {{20000, true}, {TestColoringManager::ColorAllAtOnceLimit + 100000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        QString text;
        while (text.size() < c.length)
            text += longPage();
        makeManager(text);
        view->textStorage()->removeAttribute(kit::ForegroundColorAttributeName, Range(0, text.size()));
        scroll->show();
        QApplication::processEvents();
        manager->setCorrectColoringIndex(text.size() / 2);
        manager->recolorAllTags();
        EXPECT_EQ(manager->isColoringComplete(), c.completeAtOnce);
        const Range visible = view->visibleRange();
        EXPECT_TRUE(colored(visible.location));
        EXPECT_TRUE(colored(visible.end() - 1));
        if (!c.completeAtOnce) {
            EXPECT_EQ(manager->correctColoringIndex(), 0);
            EXPECT_TRUE(manager->isColoringWithTimer());
            EXPECT_FALSE(colored(text.size() - 10));
            ASSERT_TRUE(waitUntil([&] { return manager->isColoringComplete(); }, 60000));
        }
        kit::TextStorage fresh(text);
        colorAll(html, &fresh);
        EXPECT_EQ(firstDifference(snapshot(view->textStorage()), snapshot(&fresh)), "");
        scroll->hide();
    }
}

TEST_F(DocumentColoringManagerTest, InactiveWindowsAndEmptyTextsScheduleNothing)
{
    QString text;
    while (text.size() < 400000)
        text += longPage();
    makeManager(text);
    manager->windowActive = false;
    manager->colorSegmentFromTimer(0.0);
    EXPECT_FALSE(manager->isColoringWithTimer());
    // A step that runs anyway takes a tenth of the time.
    manager->colorSegment();
    EXPECT_GE(manager->correctColoringIndex(), TestColoringManager::SegmentLength);
    EXPECT_LT(manager->correctColoringIndex(), 100000);
    EXPECT_FALSE(manager->isColoringWithTimer());

    manager->windowActive = true;
    manager->applicationActive = false;
    manager->colorSegmentFromTimer(0.0);
    EXPECT_FALSE(manager->isColoringWithTimer());

    for (const QString& text : { QString(), QStringLiteral("x") }) {
        makeManager(text);
        manager->colorSegmentFromTimer(0.0);
        EXPECT_FALSE(manager->isColoringWithTimer()) << text.size();
        manager->colorSegment();
    }
}

TEST_F(DocumentColoringManagerTest, EditsNearTheColouredPrefixAreColouredAtOnce)
{
    struct Case
    {
        qsizetype at;
        qsizetype deleted;
        QString inserted;
        qsizetype indexAfter;
        bool coloredNow;
    };
    const Case cases[] = {
        { 5000, 0, QStringLiteral("<b>"), 3000, false }, // far beyond the prefix: the chain gets there
        { 3500, 0, QStringLiteral("<b>"), -1, true }, // near it: now
        { 1000, 10, QString(), -1, true }, // before it: shifts it back
        { 1000, 0, QStringLiteral("<i>"), -1, true }, // before it: shifts it on
        { 2990, 20, QString(), -1, true }, // across it: pulled back to the edit
    };
    for (const Case& c : cases) {
        makeManager(longPage());
        view->textStorage()->removeAttribute(
            kit::ForegroundColorAttributeName, Range(0, view->textStorage()->length()));
        SyntaxInfo first(Range(0, 3000));
        qsizetype index = 0;
        html->colorHTMLView(view->textStorage(), first, false, &index);
        manager->setCorrectColoringIndex(3000);
        // A colour no pass gives: still there after the edit when it was not coloured.
        const QColor sentinel(0x12, 0x34, 0x56);
        view->textStorage()->addAttribute(kit::ForegroundColorAttributeName, sentinel, Range(c.at - 50, 100));
        view->textStorage()->replaceCharacters(Range(c.at, c.deleted), c.inserted);
        EXPECT_EQ(colorAt(view->textStorage(), c.at) != sentinel, c.coloredNow) << c.at;
        if (c.indexAfter >= 0) {
            EXPECT_EQ(manager->correctColoringIndex(), c.indexAfter) << c.at;
        } else if (c.at + c.deleted <= 3000 && c.deleted == 0) {
            EXPECT_GE(manager->correctColoringIndex(), 3000 + c.inserted.size()) << c.at;
        }
        // Every edit restarts the chain.
        EXPECT_EQ(manager->scheduledSegmentInterval(), int(TestColoringManager::RestartDelay * 1000)) << c.at;
    }
}

TEST_F(DocumentColoringManagerTest, SettingsChangeRecolorsFromTheTop)
{
    makeManager(longPage().left(3000));
    manager->colorAllTags();
    EXPECT_GE(manager->correctColoringIndex(), 2999);
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELColoringSettingsChangedNotification"));
    EXPECT_EQ(manager->correctColoringIndex(), 0);
}

TEST_F(DocumentColoringManagerTest, TypingKeepsColoursAndOutlineInStep)
{
    const QString page = fixture(QStringLiteral("page.html"));
    makeManager(page);
    manager->colorAllTags();
    kit::TextStorage* storage = view->textStorage();
    const QString typed = QStringLiteral("<p class=\"x\">Hi <!-- note --> <?php echo 1; ?></p>\n");
    const qsizetype at = page.indexOf(QStringLiteral("<ul>"));
    for (qsizetype i = 0; i < typed.size(); ++i)
        storage->replaceCharacters(Range(at + i, 0), typed.mid(i, 1));
    // And delete a few characters in the style block.
    const qsizetype css = storage->string().indexOf(QStringLiteral("color: #333"));
    storage->replaceCharacters(Range(css, 3), QString());
    kit::TextStorage fresh(storage->string());
    colorAll(html, &fresh);
    EXPECT_EQ(firstDifference(snapshot(storage), snapshot(&fresh)), "");
}

// The outline the language parsers make from a pass's reports, as text.
QStringList outline(KELDocumentStructure* structure)
{
    QStringList out;
    for (qsizetype i = 0; i < structure->allItems().size(); ++i) {
        const KELDocumentStructureItemRef& item = structure->allItems()[i];
        const Range r = structure->locationRangeOfItemAtIndex(i);
        out.append(QStringLiteral("%1 %2 %3+%4 %5")
                       .arg(item->typeName(), item->name())
                       .arg(r.location)
                       .arg(r.length)
                       .arg(item->segmentType()));
    }
    return out;
}

TEST_F(DocumentColoringManagerTest, OutlineAndFoldsFollowTyping)
{
    const QString page = fixture(QStringLiteral("page.html"));
    makeManager(page);
    manager->colorAllTags();
    KELDocumentStructure* structure = manager->structure();
    ASSERT_FALSE(structure->allItems().isEmpty());
    const QStringList before = outline(structure);
    EXPECT_TRUE(before.join('\n').contains(QStringLiteral("HTML main"))) << before.join('\n').toStdString();

    // The <div id="main"> element folds from the end of its tag to its closing tag.
    const qsizetype divTag = page.indexOf(QStringLiteral("<div id=\"main\""));
    const qsizetype divEnd = page.indexOf(QStringLiteral("</div>"));
    const QList<KELDocumentStructureSegmentRef> segments
        = structure->structureSegmentsInText(page, Range(0, page.size()), false);
    bool found = false;
    for (const KELDocumentStructureSegmentRef& segment : segments)
        if (segment->openItem()->name() == QLatin1String("main")) {
            found = true;
            EXPECT_EQ(segment->contentsRange().location, page.indexOf(QLatin1Char('>'), divTag) + 1);
            EXPECT_EQ(segment->contentsRange().end(), divEnd);
        }
    EXPECT_TRUE(found);

    // Typing and deleting here and there; the outline matches a fresh one each time.
    kit::TextStorage* storage = view->textStorage();
    struct Edit
    {
        const char* after;
        int deleted;
        const char* inserted;
    };
    const Edit edits[] = { { "<ul>", 0, "\n<li id=\"new\">x</li>" }, { "<body>", 0, "<p>" }, { "<!-- ! Main", 4, "" },
        { "function half", 0, "\nfunction twice(x) { return 2 * x; }" }, { "$items = ", 0, "<?php " },
        { "id=\"main\"", 0, " " } };
    for (const Edit& e : edits) {
        const qsizetype at = storage->string().indexOf(QString::fromUtf8(e.after)) + qsizetype(strlen(e.after));
        ASSERT_GE(at, qsizetype(strlen(e.after))) << e.after;
        const QString inserted = QString::fromUtf8(e.inserted);
        if (e.deleted)
            storage->replaceCharacters(Range(at, e.deleted), QString());
        for (qsizetype i = 0; i < inserted.size(); ++i)
            storage->replaceCharacters(Range(at + i, 0), inserted.mid(i, 1));
        // What the background chain does next: colour the rest.
        while (manager->correctColoringIndex() < storage->length() - 1)
            manager->colorSegment();

        kit::ScrollView otherScroll;
        auto* otherView = new KELTextView; // the scroll view owns it
        otherScroll.setDocumentView(otherView);
        otherView->setString(storage->string());
        TestColoringManager other(otherView, [this] { return html; });
        other.colorAllTags();
        EXPECT_EQ(outline(structure), outline(other.structure())) << e.after;
    }
}

TEST_F(DocumentColoringManagerTest, ErrorMarkersMoveWithEdits)
{
    struct Case
    {
        Range marker;
        Range edited; // in the new text
        qsizetype change;
        Range expected;
    };
    const Case cases[] = {
        { Range(10, 5), Range(2, 3), 3, Range(13, 5) }, // insertion before
        { Range(10, 5), Range(20, 3), 3, Range(10, 5) }, // insertion after
        { Range(10, 5), Range(12, 0), -2, Range(10, 3) }, // deletion inside
        { Range(10, 5), Range(8, 0), -4, Range(8, 3) }, // deletion over its start
        { Range(10, 5), Range(5, 1), -19, Range(5, 0) }, // swallowed
        { Range(10, 5), Range(10, 2), 2, Range(12, 5) }, // insertion at its start pushes it
        { Range(10, 5), Range(15, 2), 2, Range(10, 5) }, // insertion at its end stays outside
        { Range(10, 0), Range(10, 1), 1, Range(11, 0) }, // an empty range moves with its place
        { Range(0, 4), Range(0, 1), 1, Range(1, 4) }, // Return before the first line
        { Range(kit::NotFound, 0), Range(0, 4), 4, Range(kit::NotFound, 0) }, // no location: untouched
    };
    for (const Case& c : cases)
        EXPECT_EQ(DocumentColoringManager::shiftedMarkerRange(c.marker, c.edited, c.change), c.expected)
            << c.marker.location << "+" << c.marker.length;

    makeManager(QStringLiteral("<p>hello</p> <p>world</p>"));
    QList<KELSyntaxCheckError> errors { KELSyntaxCheckError::error(), KELSyntaxCheckError::error() };
    errors[1].setTextRange(Range(16, 5));
    manager->setErrorMarkers([&errors] { return &errors; });
    QList<Range> validated;
    manager->setEditValidator([&validated](Range r) { validated.append(r); });
    view->textStorage()->replaceCharacters(Range(0, 0), QStringLiteral("<br>"));
    EXPECT_EQ(errors[0].textRange().location, kit::NotFound);
    EXPECT_EQ(errors[1].textRange(), Range(20, 5));
    EXPECT_EQ(validated, QList<Range> { Range(0, 4) });
}

TEST_F(DocumentColoringManagerTest, ScrollingColoursOnceAfterItStops)
{
    makeManager(longPage());
    manager->windowActive = false; // no background steps: only the visible pass colours
    scroll->show();
    QApplication::processEvents();
    // Each step comes within the colouring's delay of the one before. (A machine too
    // busy to scroll on in time colours in between; that is not checked.)
    QElapsedTimer sinceStep;
    bool keptScrolling = true;
    for (int i = 1; i <= 5; ++i) {
        if (sinceStep.isValid() && sinceStep.elapsed() >= 100)
            keptScrolling = false;
        sinceStep.start();
        scroll->verticalScrollBar()->setValue(i * 300);
        QApplication::processEvents();
        if (sinceStep.elapsed() >= 100)
            keptScrolling = false;
        EXPECT_TRUE(manager->isViewableColoringScheduled() || !keptScrolling);
    }
    const Range visible = view->visibleRange();
    EXPECT_TRUE(!colored(visible.location + visible.length / 2) || !keptScrolling);
    EXPECT_TRUE(waitUntil([&] { return colored(visible.location + visible.length / 2); }));
    EXPECT_FALSE(manager->isViewableColoringScheduled());
}

// A page of about 400,000 characters whose content sits in one <main> element.
QString pageWithMain()
{
    const QString page = fixture(QStringLiteral("page.html"));
    const QString body = page.mid(page.indexOf(QStringLiteral("<body>")) + 6);
    QString text = QStringLiteral("<!DOCTYPE html>\n<html>\n<body>\n<main id=\"top\">\n");
    while (text.size() < 400000)
        text += body.left(body.indexOf(QStringLiteral("</body>")));
    return text + QStringLiteral("</main>\n</body>\n</html>\n");
}

QString cssFixture(const QString& name)
{
    QFile f(QStringLiteral(KELP_TEST_FIXTURES "/css/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST_F(DocumentColoringManagerTest, LargeBlocksFoldWholeBeforeTheChainReachesTheirEnd)
{
    // As a large file opens: only its visible text is coloured. A fold of a block
    // that runs on beyond the coloured part still hides all of the block.
    struct Case
    {
        const char* language;
        QString text;
        QString opening; // the fold's contents begin after this
        QString closing; // and end where this begins
    };
    const QString reboot = cssFixture(QStringLiteral("bootstrap-reboot.css"));
    const QString root = QStringLiteral("[data-bs-theme=light] {");
    const Case cases[] = {
        { "CSS", reboot, root, QStringLiteral("}") },
        { "HTML", pageWithMain(), QStringLiteral("<main id=\"top\">"), QStringLiteral("</main>") },
    };
    scroll->show();
    for (const Case& c : cases) {
        ASSERT_FALSE(c.text.isEmpty());
        makeManager(c.text, shippedType(QString::fromLatin1(c.language)));
        QApplication::processEvents();
        manager->colorViewableTags(view);
        const qsizetype open = c.text.indexOf(c.opening) + c.opening.size();
        const qsizetype close = c.text.indexOf(c.closing, open);
        ASSERT_LT(manager->correctColoringIndex(), close) << c.language;
        const QList<KELDocumentStructureSegmentRef> segments
            = manager->structure()->structureSegmentsInText(view->string(), view->visibleRange(), false);
        KELDocumentStructureSegmentRef fold;
        for (const KELDocumentStructureSegmentRef& segment : segments)
            if (segment->contentsLocation() == open)
                fold = segment;
        ASSERT_TRUE(fold) << c.language;
        EXPECT_EQ(fold->contentsRange(), Range(open, close - open)) << c.language;
    }
}

TEST_F(DocumentColoringManagerTest, CompletionBeyondTheColouredPartWaitsForTheColouring)
{
    // Far more than one request may colour before it answers.
    QString text;
    const QString page = longPage();
    while (text.size() < 4 * 1000 * 1000)
        text += page;
    text += QStringLiteral("\n<d");
    auto names = [](const QList<std::shared_ptr<KELCompletion>>& entries) {
        QStringList list;
        for (const std::shared_ptr<KELCompletion>& entry : entries)
            list << entry->name();
        return list;
    };
    makeManager(text);
    view->setSelectedRange(Range(text.size(), 0));
    manager->suggestCompletion(view);
    EXPECT_TRUE(manager->hasPendingCompletion());
    EXPECT_TRUE(manager->completions().isEmpty()); // never "no completions" for want of colouring
    ASSERT_TRUE(waitUntil([&] { return !manager->hasPendingCompletion(); }, 60000));
    const QStringList offered = names(manager->completions());
    EXPECT_TRUE(offered.contains(QStringLiteral("div"))) << offered.join(' ').toStdString();
    EXPECT_FALSE(offered.contains(QStringLiteral("p")));

    // The same entries as on a page coloured whole.
    kit::ScrollView otherScroll;
    auto* otherView = new KELTextView; // the scroll view owns it
    otherScroll.setDocumentView(otherView);
    otherView->setString(text);
    TestColoringManager other(otherView, [this] { return html; });
    other.colorAllTags();
    otherView->setSelectedRange(Range(text.size(), 0));
    other.suggestCompletion(otherView);
    EXPECT_FALSE(other.hasPendingCompletion());
    EXPECT_EQ(offered, names(other.completions()));

    // A request whose caret moved on before the colouring got there is dropped.
    makeManager(text);
    view->setSelectedRange(Range(text.size(), 0));
    manager->suggestCompletion(view);
    ASSERT_TRUE(manager->hasPendingCompletion());
    view->setSelectedRange(Range(text.size() - 1, 0));
    ASSERT_TRUE(waitUntil([&] { return !manager->hasPendingCompletion(); }, 60000));
    EXPECT_TRUE(manager->completions().isEmpty());
}

TEST_F(DocumentColoringManagerTest, TypingAtTheEndOfALargePageColoursOnlyThere)
{
    QString text;
    const QString page = longPage();
    while (text.size() < 2 * 1000 * 1000)
        text += page;
    const QColor sentinel(0x12, 0x34, 0x56);
    const Range middle(text.size() / 2, 100);
    for (const bool colouredWhole : { false, true }) {
        makeManager(text);
        kit::TextStorage* storage = view->textStorage();
        if (colouredWhole)
            ASSERT_TRUE(manager->colorThroughIndex(text.size()));
        // A colour no pass gives, on text far from the typing.
        storage->addAttribute(kit::ForegroundColorAttributeName, sentinel, middle);
        const quint64 reads = storage->wholeTextReads();
        const QString typed = QStringLiteral("<p class=\"note\">Last words</p>");
        for (qsizetype i = 0; i < typed.size(); ++i)
            storage->replaceCharacters(Range(storage->length(), 0), typed.mid(i, 1));
        EXPECT_EQ(colorAt(storage, middle.location), sentinel) << colouredWhole;
        EXPECT_EQ(colorAt(storage, middle.end() - 1), sentinel) << colouredWhole;
        EXPECT_EQ(storage->wholeTextReads(), reads) << colouredWhole;
        if (colouredWhole) {
            // Coloured as typed, and the whole text still counts as coloured.
            EXPECT_TRUE(colored(storage->length() - 1));
            EXPECT_TRUE(manager->isColoringComplete());
        } else {
            // Far beyond the coloured part: the chain gets there.
            EXPECT_LT(manager->correctColoringIndex(), text.size() / 2);
        }
    }
}

} // namespace
