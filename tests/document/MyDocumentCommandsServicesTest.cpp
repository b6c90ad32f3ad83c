#include "document/MyDocumentCommands.h"

#include "app/RegisteredDefaults.h"
#include "document/MyDocument.h"
#include "editor/KELCodeFoldDataSource.h"
#include "editor/KELHTMLView.h"
#include "editor/KELTokenParser.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "syntax/DocumentColoringManager.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using kit::Range;

namespace {

class HTMLDocument : public MyDocument
{
public:
    explicit HTMLDocument(const QString& type = QStringLiteral("HTML")) : m_type(type) { }
    QString syntaxTypeName() const override { return m_type; }

private:
    QString m_type;
};

// The hooks as the program installs them, over a document with its own editor.
class MyDocumentCommandsServicesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        MyDocumentCommands::services() = MyDocumentCommands::defaultServices();
        document = std::make_unique<HTMLDocument>();
        view = document->textView();
        ASSERT_NE(view, nullptr);
        ASSERT_NE(document->commands(), nullptr);
    }
    void TearDown() override
    {
        document.reset();
        MyDocumentCommands::services() = {};
    }
    void setText(const QString& s, Range selection)
    {
        view->setString(s);
        document->coloringManager()->colorAllTags();
        view->setSelectedRange(selection);
    }
    QString text() const { return view->textStorage()->string(); }
    // The document of another language, in place of the HTML one.
    void useType(const QString& type)
    {
        document = std::make_unique<HTMLDocument>(type);
        view = document->textView();
        ASSERT_NE(view, nullptr);
    }
    // What each fold the gutter offers over the range would hide.
    QStringList offeredFolds(Range range) const
    {
        QStringList folds;
        for (const KELCodeFoldOpportunityRef& fold : document->foldOpportunitiesInRange(range))
            folds << text().mid(fold->contentsRange().location, fold->contentsRange().length);
        return folds;
    }
    // The folded ranges of the text.
    QList<Range> folded() const
    {
        QList<Range> ranges;
        kit::TextStorage* storage = view->textStorage();
        for (const kit::AttributeRun& run : storage->runs(KELTokenIdAttributeName, Range(0, storage->length())))
            if (run.value.isValid() && storage->attribute(KELTokenTypeAttributeName, run.start).toInt() == 2)
                ranges << Range(run.start, run.length);
        return ranges;
    }

    std::unique_ptr<HTMLDocument> document;
    KELHTMLView* view = nullptr;
};

TEST_F(MyDocumentCommandsServicesTest, CommentCommandsWorkThroughTheDocumentOutline)
{
    const QString page = QStringLiteral("<html><body><p>hello</p></body></html>");
    const qsizetype at = page.indexOf(QStringLiteral("hello"));
    setText(page, Range(at, 5));
    MyDocumentCommands::Services& s = MyDocumentCommands::services();
    MyDocumentCommands& commands = *document->commands();

    bool commented = true;
    ASSERT_TRUE(s.canAddOrRemoveCommentsForSelection(commands, &commented));
    EXPECT_FALSE(commented);
    EXPECT_FALSE(s.isSelectionCommented(commands));

    commands.toggleComments();
    EXPECT_TRUE(text().contains(QStringLiteral("<!--"))) << text().toStdString();
    EXPECT_TRUE(text().contains(QStringLiteral("hello")));
    EXPECT_TRUE(s.isSelectionCommented(commands));

    commands.toggleComments();
    EXPECT_EQ(text(), page);
}

TEST_F(MyDocumentCommandsServicesTest, ColouringHooksReachTheDocumentsColoringManager)
{
    MyDocumentCommands::Services& s = MyDocumentCommands::services();
    ASSERT_TRUE(s.colorAllTags && s.colorViewableTags);
    ASSERT_TRUE(s.suggestCompletion);
    view->setString(QStringLiteral("<p class=\"x\">text</p>"));
    s.colorAllTags(document.get(), view);
    s.colorViewableTags(document.get(), view);
    // A document without an editor is left alone.
    HTMLDocument bare;
    s.colorAllTags(&bare, nullptr);
    s.colorViewableTags(nullptr, nullptr);
}

TEST_F(MyDocumentCommandsServicesTest, LivePreviewTakesTheEditorAndGivesItBack)
{
    view->setString(QStringLiteral("<p>hello</p>"));
    QWidget* area = document->primaryEditView();
    kit::ScrollView* scroll = document->scrollView();
    ASSERT_EQ(scroll->parentWidget(), area);

    MyDocumentCommands::services().toggleLivePreview(document.get());
    EXPECT_TRUE(document->isLivePreviewing());
    EXPECT_NE(document->currentEditView(), area);
    EXPECT_NE(scroll->parentWidget(), area);
    MyDocumentCommands::services().refreshLivePreview(document.get());

    MyDocumentCommands::services().toggleLivePreview(document.get());
    EXPECT_FALSE(document->isLivePreviewing());
    EXPECT_EQ(document->currentEditView(), area);
    EXPECT_EQ(scroll->parentWidget(), area);
    EXPECT_EQ(document->textView(), view);
}

} // namespace

// An @media block folds as one block, nested rules and all, in a style sheet and
// in a <style> element; the folds of the rules around it stay offered and fold too.
TEST_F(MyDocumentCommandsServicesTest, AnAtMediaBlockFoldsAsOneBlockAndLeavesTheOthers)
{
    const QString sheet = QStringLiteral("h1 {\n  margin: 0;\n}\n"
                                         "@media screen and (min-width: 40em) {\n"
                                         "  .a {\n    color: red;\n  }\n"
                                         "  .b {\n    color: blue;\n  }\n"
                                         "}\n"
                                         ".c {\n  padding: 0;\n}\n");
    struct Case {
        const char* type;
        QString text;
    } const cases[] = {
        { "CSS", sheet },
        { "HTML", QStringLiteral("<html><head><style>\n") + sheet + QStringLiteral("</style></head><body></body></html>\n") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        useType(QString::fromLatin1(c.type));
        setText(c.text, Range(0, 0));
        const QString all = text();
        // The inside of a block from just after its "{" up to its own "}".
        auto blockFrom = [&all](qsizetype start) {
            int depth = 1;
            qsizetype i = start;
            for (; i < all.size() && depth > 0; ++i)
                depth += all.at(i) == QLatin1Char('{') ? 1 : all.at(i) == QLatin1Char('}') ? -1 : 0;
            return Range(start, i - 1 - start);
        };
        auto inside = [&](const QString& opening) { return blockFrom(all.indexOf(QLatin1Char('{'), all.indexOf(opening)) + 1); };
        const Range media = inside(QStringLiteral("@media")), a = inside(QStringLiteral(".a {")),
                    b = inside(QStringLiteral(".b {")), h1 = inside(QStringLiteral("h1 {")), c3 = inside(QStringLiteral(".c {"));
        const QStringList offered = offeredFolds(Range(0, all.size()));
        for (const Range& r : { h1, media, a, b, c3 })
            EXPECT_TRUE(offered.contains(all.mid(r.location, r.length)))
                << all.mid(r.location, r.length).toStdString() << "\nnot in\n" << offered.join(QStringLiteral("|")).toStdString();
        // Every fold offered ends at the "}" of the block it opens.
        for (const KELCodeFoldOpportunityRef& fold : document->foldOpportunitiesInRange(Range(0, all.size()))) {
            const Range r = fold->contentsRange();
            if (r.location > 0 && all.at(r.location - 1) == QLatin1Char('{'))
                EXPECT_EQ(r.length, blockFrom(r.location).length) << all.mid(r.location, r.length).toStdString();
        }

        // Folding the @media block hides it whole; the rules before and after still fold.
        view->foldTextInRange(media);
        EXPECT_EQ(folded(), QList<Range>{media});
        const QStringList before = offeredFolds(Range(0, media.location));
        const QStringList after = offeredFolds(Range(media.end(), all.size() - media.end()));
        EXPECT_TRUE(before.contains(all.mid(h1.location, h1.length))) << before.join(QStringLiteral("|")).toStdString();
        EXPECT_TRUE(after.contains(all.mid(c3.location, c3.length))) << after.join(QStringLiteral("|")).toStdString();
        view->foldTextInRange(c3);
        view->foldTextInRange(h1);
        EXPECT_EQ(folded(), (QList<Range>{h1, media, c3}));
        EXPECT_EQ(text(), all);
    }
}

// Comment Selection in a PHP page never breaks a "<?php" opening: it stays whole
// and followed by a blank, wherever the selection starts or ends; a second toggle
// gives the page back.
TEST_F(MyDocumentCommandsServicesTest, CommentingNeverSplitsAPHPOpening)
{
    struct Case {
        const char* what;
        QString page;
        Range selection;
    } const cases[] = {
        { "the whole one-line block", QStringLiteral("<?php echo 1; ?>\n"), Range(0, 16) },
        { "the whole line", QStringLiteral("<?php echo 1; ?>\n"), Range(0, 17) },
        { "from inside the opening", QStringLiteral("<?php echo 1; ?>\n"), Range(2, 10) },
        { "a caret inside the opening", QStringLiteral("<?php echo 1; ?>\n"), Range(3, 0) },
        { "a caret right after the opening", QStringLiteral("<?php echo 1; ?>\n"), Range(5, 0) },
        { "HTML up into the opening", QStringLiteral("<p>a</p><?php echo 1; ?>\n"), Range(0, 11) },
        { "HTML up to the opening", QStringLiteral("<p>a</p><?php echo 1; ?>\n"), Range(0, 8) },
        { "lines of a block", QStringLiteral("<?php\necho 1;\necho 2;\n?>\n"), Range(0, 22) },
        { "an opening on its own line", QStringLiteral("<p>a</p>\n<?php\n$a = 1;\n"), Range(9, 13) },
    };
    auto openingsAreWhole = [](const QString& page, qsizetype expected) {
        qsizetype count = 0;
        for (qsizetype at = page.indexOf(QStringLiteral("<?php")); at >= 0; at = page.indexOf(QStringLiteral("<?php"), at + 1)) {
            ++count;
            if (at + 5 < page.size() && !page.at(at + 5).isSpace())
                return false;
        }
        return count == expected;
    };
    useType(QStringLiteral("PHP"));
    MyDocumentCommands& commands = *document->commands();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setText(c.page, c.selection);
        commands.toggleComments();
        const QString commented = text();
        EXPECT_TRUE(openingsAreWhole(commented, 1)) << commented.toStdString();
        if (commented == c.page)
            continue;
        document->coloringManager()->colorAllTags();
        commands.toggleComments();
        EXPECT_EQ(text().toStdString(), c.page.toStdString()) << "commented: " << commented.toStdString();
    }
}
