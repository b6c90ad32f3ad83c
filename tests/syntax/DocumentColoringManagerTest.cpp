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
    void makeManager(const QString& text)
    {
        view->setString(text);
        manager = std::make_unique<TestColoringManager>(view, [this] { return html; });
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
    std::unique_ptr<kit::ScrollView> scroll;
    KELTextView* view = nullptr;
    std::unique_ptr<TestColoringManager> manager;
};

TEST_F(DocumentColoringManagerTest, VisibleTextFirstThenBackgroundSegments)
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
    EXPECT_EQ(manager->scheduledSegmentInterval(), 1000);

    // Segments of about 2000 characters each, spaced by their own duration (at least 30 ms).
    qsizetype previous = manager->correctColoringIndex();
    int segments = 0;
    while (manager->isColoringWithTimer()) {
        manager->colorSegment();
        ++segments;
        EXPECT_GT(manager->correctColoringIndex(), previous);
        EXPECT_LE(manager->correctColoringIndex() - previous, 2000 + 2100);
        if (manager->isColoringWithTimer()) {
            EXPECT_GE(manager->scheduledSegmentInterval(), 30);
            EXPECT_LT(manager->scheduledSegmentInterval(), 1000);
        }
        previous = manager->correctColoringIndex();
        ASSERT_LT(segments, 100);
    }
    EXPECT_GE(segments, 5);
    EXPECT_GE(manager->correctColoringIndex(), view->textStorage()->length() - 1);

    kit::TextStorage fresh(view->string());
    colorAll(html, &fresh);
    EXPECT_EQ(firstDifference(snapshot(view->textStorage()), snapshot(&fresh)), "");
}

TEST_F(DocumentColoringManagerTest, TimersRunTheChain)
{
    makeManager(longPage().left(6000));
    manager->colorSegmentFromTimer(0.0);
    EXPECT_EQ(manager->scheduledSegmentInterval(), 30);
    QTest::qWait(50);
    EXPECT_GT(manager->correctColoringIndex(), 1900);
    EXPECT_TRUE(colored(1000));
    QTest::qWait(500);
    EXPECT_GE(manager->correctColoringIndex(), 5999);
    EXPECT_FALSE(manager->isColoringWithTimer());
}

TEST_F(DocumentColoringManagerTest, InactiveWindowsAndEmptyTextsScheduleNothing)
{
    makeManager(longPage());
    manager->windowActive = false;
    manager->colorSegmentFromTimer(0.0);
    EXPECT_FALSE(manager->isColoringWithTimer());
    // A segment that runs anyway covers a tenth.
    manager->colorSegment();
    EXPECT_LE(manager->correctColoringIndex(), 200 + 600);
    EXPECT_FALSE(colored(2000));

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
        // Every edit restarts the chain a second later.
        EXPECT_EQ(manager->scheduledSegmentInterval(), 1000) << c.at;
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
    scroll->show();
    QApplication::processEvents();
    for (int i = 1; i <= 5; ++i) {
        scroll->verticalScrollBar()->setValue(i * 300);
        QApplication::processEvents();
        EXPECT_TRUE(manager->isViewableColoringScheduled());
    }
    const Range visible = view->visibleRange();
    EXPECT_FALSE(colored(visible.location + visible.length / 2));
    QTest::qWait(200);
    EXPECT_TRUE(colored(visible.location + visible.length / 2));
    EXPECT_FALSE(manager->isViewableColoringScheduled());
}

} // namespace
