#include "components/KELComponentCodeGenerator.h"

#include "ComponentTestSupport.h"
#include "support/DefaultsKeys.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/Log.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace componenttest;
using kit::Range;

namespace {

class KELComponentCodeGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().registerDefaults({ { KELOrganizeTagsSpacer, qlonglong(1) } });
    }

    // A component whose definition is the given text, and a generator over its default values.
    std::unique_ptr<KELComponentCodeGenerator> generatorFor(const QString& definitionText)
    {
        auto component = makeComponent(componentFolder.path(), QStringLiteral("Menu"), definitionText);
        std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(component);
        if (!definition)
            return nullptr;
        root = definition->variableGroup() ? std::shared_ptr<kit::KeyValueObject>(makeDefaultValues(definition->variableGroup()))
                                           : std::make_shared<kit::KeyValueObject>();
        return std::make_unique<KELComponentCodeGenerator>(root, definition);
    }

    QString resource(const QString& name, const QString& text)
    {
        writeText(componentFolder.filePath(name), text);
        return componentFolder.filePath(name);
    }

    QTemporaryDir componentFolder;
    QTemporaryDir site;
    std::shared_ptr<kit::KeyValueObject> root;
};

const QString MenuDefinition = QStringLiteral(
    "<c:varGroup><c:text var=\"menuId\" default=\"menu\"/><c:text var=\"label\" default=\"Go &amp; see\"/></c:varGroup>"
    "<c:insert><nav id=\"<c:unique var=\"menuId.value\"/>\"><c:print value=\"${label.value}\"/> <c:print value=\"${menuId.value}\"/></nav></c:insert>"
    "<c:insert type=\"head\"><meta name=\"generator\" content=\"menu\"></c:insert>"
    "<c:include type=\"script\" resource=\"menu.js\" uniqueFileVar=\"menuId.value\"/>"
    "<c:include type=\"style\" resource=\"menu.css\"/>");

} // namespace

TEST_F(KELComponentCodeGeneratorTest, GeneratesIntoAPageWithLinksAndUniqueIds)
{
    resource(QStringLiteral("menu.js"), QStringLiteral("var m;\n"));
    resource(QStringLiteral("menu.css"), QStringLiteral("nav {}\n"));
    auto generator = generatorFor(MenuDefinition);
    ASSERT_TRUE(generator);
    const QString location = site.filePath(QStringLiteral("index.html"));
    const KELComponentCodeGeneratorResourcePaths paths(site.filePath(QStringLiteral("assets")));

    QString page = QStringLiteral("<html>\n<head>\n<title>t</title>\n</head>\n<body id=\"menu\">\n</body>\n</html>\n");
    const KELCodeGeneratorResult result = generator->generateCodeWithHtmlTemplate(page, location, paths, KELInsertType::Preview);
    // The page already uses the id "menu": the unique id, and every later reading of it, is "menu2".
    EXPECT_EQ(page,
        QStringLiteral("<html>\n<head>\n<title>t</title>\n"
                       "<script type=\"text/javascript\" src=\"assets/menu_menu2.js?preview=0\"></script>\n"
                       "<link rel=\"stylesheet\" type=\"text/css\" href=\"assets/menu.css\" />\n\n"
                       "<!-- BEGIN COMPONENT Menu - Kelp Studio -->\n<meta name=\"generator\" content=\"menu\">\n<!-- END COMPONENT Menu - Kelp Studio -->\n"
                       "</head>\n<body id=\"menu\">"
                       "\n<!-- BEGIN COMPONENT Menu - Kelp Studio -->\n<nav id=\"menu2\">Go &amp; see menu2</nav>\n<!-- END COMPONENT Menu - Kelp Studio -->\n"
                       "</body>\n</html>\n"));
    ASSERT_EQ(result.includes().size(), 2);
    EXPECT_EQ(result.includes()[0].insertedResourceName(), QStringLiteral("menu_menu2.js"));
    EXPECT_TRUE(KELComponentInclude::verifyChecksumForFile(result.pathForInclude(result.includes()[1])));

    // Preview links of unique files count up across runs, so the preview reloads them.
    QString again = QStringLiteral("<html><head></head><body></body></html>");
    generator->generateCodeWithHtmlTemplate(again, location, paths, KELInsertType::Preview);
    EXPECT_TRUE(again.contains(QStringLiteral("menu_menu.js?preview=1"))) << again.toStdString();
    // An include already linked from the head is not linked twice.
    QString linked = QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"assets/menu.css\"></head><body></body></html>");
    generator->generateCodeWithHtmlTemplate(linked, location, paths, KELInsertType::PreInsert);
    EXPECT_EQ(linked.count(QStringLiteral("menu.css")), 1);
    EXPECT_TRUE(linked.contains(QStringLiteral("src=\"assets/menu_menu.js\"")));
}

TEST_F(KELComponentCodeGeneratorTest, PagesWithoutAHeadOrALocation)
{
    resource(QStringLiteral("menu.js"), QStringLiteral("var m;\n"));
    resource(QStringLiteral("menu.css"), QStringLiteral("nav {}\n"));
    auto generator = generatorFor(MenuDefinition);
    ASSERT_TRUE(generator);
    QString page = QStringLiteral("<body><p>x</p></body>");
    const KELComponentCodeGeneratorResourcePaths paths(site.path());
    generator->generateCodeWithHtmlTemplate(page, QString(), paths, KELInsertType::PreInsert);
    EXPECT_TRUE(page.startsWith(QStringLiteral("<body><!-- Begin HEAD content. Kelp Studio could not find the HEAD section of your document. "
                                               "Please, add a head tag and move this content within the tag. -->\n")));
    EXPECT_EQ(page.count(QStringLiteral("<!-- End HEAD content -->")), 2);
    // Without a location, links are absolute file URLs rather than paths from nowhere.
    EXPECT_TRUE(page.contains(QStringLiteral("src=\"") + QUrl::fromLocalFile(site.filePath(QStringLiteral("menu_menu.js"))).toString(QUrl::FullyEncoded)));
    // The body's contents are the insertion range: the component replaces them; head content
    // without a head goes where the insertion point is at the time.
    EXPECT_FALSE(page.contains(QStringLiteral("<p>x</p>")));
    EXPECT_TRUE(page.contains(QStringLiteral("\n<!-- BEGIN COMPONENT Menu - Kelp Studio -->\n<nav id=\"menu\">Go &amp; see menu</nav>\n")));
    EXPECT_TRUE(page.endsWith(QStringLiteral("<!-- End HEAD content --></body>")))
        << page.toStdString();
}

TEST_F(KELComponentCodeGeneratorTest, InsertionRangeCapitalsIndentAndTemplateOrder)
{
    struct Case {
        std::optional<Range> body;
        Range selection;
        Range result;
    };
    const Case cases[] = {
        { Range(10, 20), Range(2, 3), Range(10, 0) },         // selection in the head: start of the body
        { Range(10, 20), Range(35, 0), Range(30, 0) },        // after the body: its end
        { Range(10, 20), Range(kit::NotFound, 0), Range(30, 0) },
        { Range(10, 20), Range(5, 10), Range(10, 5) },        // overlapping: the part inside
        { Range(10, 20), Range(12, 4), Range(12, 4) },
        { std::nullopt, Range(3, 2), Range(3, 2) },
        { std::nullopt, Range(kit::NotFound, 0), Range(50, 0) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELComponentCodeGenerator::insertionRange(c.body, c.selection, 50), c.result) << c.selection.location;

    kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, true);
    auto generator = generatorFor(QStringLiteral("<c:component xmlns:c=\"urn:x\" delineateWithComments=\"false\">"
                                                 "<c:insert><div class=\"box\">a\n\tb</div></c:insert><c:insert removeBlankLines=\"false\">\n<p>two</p></c:insert></c:component>"));
    ASSERT_TRUE(generator);
    QString page = QStringLiteral("<html><head></head>\n\t\t<body></body></html>");
    generator->generateCodeWithHtmlTemplate(page, QString(), KELComponentCodeGeneratorResourcePaths(site.path()), KELInsertType::Preview);
    // Tag names in capitals, attributes untouched; later lines indented to the line of the
    // insertion point (two tabs, then three) plus their own tabs; templates in order.
    EXPECT_EQ(page, QStringLiteral("<html><head></head>\n\t\t<body><DIV class=\"box\">a\n\t\t\tb</DIV>\n\t\t\t<P>two</P></body></html>"));
}

TEST_F(KELComponentCodeGeneratorTest, SelectionIsWrappedOnlyWhenTheDefaultSaysSo)
{
    auto generator = generatorFor(QStringLiteral("<c:component xmlns:c=\"urn:x\" delineateWithComments=\"false\"><c:insert>[<c:selection/>]</c:insert></c:component>"));
    ASSERT_TRUE(generator);
    for (const auto& [wrap, expected] : { std::pair { 0, "<body>[<b>x</b>]</body>" }, std::pair { 1, "<body>[]</body>" } }) {
        kit::UserDefaults::standard().setValue(KELShouldWrapInsertedTagsAroundSelectedTextKey, qlonglong(wrap));
        QString page = QStringLiteral("<body><b>x</b></body>");
        generator->generateCodeWithHtmlTemplate(page, QString(), KELComponentCodeGeneratorResourcePaths(site.path()), KELInsertType::Preview);
        EXPECT_EQ(page, QString::fromLatin1(expected));
    }
}

TEST_F(KELComponentCodeGeneratorTest, TemplatesNeverWriteIntoTheEditors)
{
    auto generator = generatorFor(QStringLiteral("<c:varGroup><c:text var=\"title\" default=\"kept\"/></c:varGroup>"
                                                 "<c:insert><c:set var=\"title.value\">changed</c:set><c:evaluate value=\"${title = 1}\"/></c:insert>"));
    ASSERT_TRUE(generator);
    QString page = QStringLiteral("<body></body>");
    generator->generateCodeWithHtmlTemplate(page, QString(), KELComponentCodeGeneratorResourcePaths(site.path()), KELInsertType::Preview);
    EXPECT_EQ(root->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("kept"));
}

namespace {

class DocumentInsertTest : public KELComponentCodeGeneratorTest {
protected:
    void SetUp() override
    {
        KELComponentCodeGeneratorTest::SetUp();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(QCoreApplication::instance());
    }
    void TearDown() override { kit::DocumentController::resetSharedForTesting(); }
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        return qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), false, &error));
    }
    MyDocumentController* controller = nullptr;
};

} // namespace

TEST_F(DocumentInsertTest, InsertsAsOneUndoableEditAndCopiesCheckedFiles)
{
    resource(QStringLiteral("menu.js"), QStringLiteral("var m;\n"));
    resource(QStringLiteral("menu.css"), QStringLiteral("nav {}\n"));
    auto generator = generatorFor(MenuDefinition);
    ASSERT_TRUE(generator);
    const QString original = QStringLiteral("<html>\n<head>\n<title>t</title>\n</head>\n<body>\n<p>Hello</p>\n</body>\n</html>\n");
    const QString pagePath = site.filePath(QStringLiteral("page.html"));
    ASSERT_TRUE(writeText(pagePath, original));
    MyDocument* document = open(pagePath);
    ASSERT_TRUE(document);
    KELHTMLView* view = document->textView();
    ASSERT_TRUE(view);
    view->setSelectedRange(Range(original.indexOf(QStringLiteral("<p>")), 12));
    kit::UndoManager* undo = view->editorUndoManager();
    ASSERT_TRUE(undo);
    QCoreApplication::processEvents();
    const int before = undo->undoCount();

    const QString assets = site.filePath(QStringLiteral("js"));
    const KELCodeGeneratorResult result = generator->generateCodeInDocument(*document, KELComponentCodeGeneratorResourcePaths(assets), KELInsertType::Insert);
    QCoreApplication::processEvents();
    const QString text = view->string();
    EXPECT_TRUE(text.contains(QStringLiteral("<script type=\"text/javascript\" src=\"js/menu_menu.js\"></script>"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<nav id=\"menu\">Go &amp; see menu</nav>")));
    EXPECT_FALSE(text.contains(QStringLiteral("<p>Hello</p>"))); // the selection was replaced
    EXPECT_TRUE(result.problems().isEmpty());
    EXPECT_TRUE(KELComponentInclude::verifyChecksumForFile(assets + QStringLiteral("/menu_menu.js")));
    EXPECT_TRUE(KELComponentInclude::verifyChecksumForFile(assets + QStringLiteral("/menu.css")));
    EXPECT_EQ(undo->undoCount(), before + 1);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Insert Component"));
    undo->undo();
    EXPECT_EQ(view->string(), original);

    // A trial run elsewhere, compared with the insert's folder: the unchanged style sheet
    // gives no warning, a changed one does; unique files never warn.
    QTemporaryDir trial;
    QString trialPage = QStringLiteral("<html><head></head><body></body></html>");
    KELCodeGeneratorResult preInsert = generator->generateCodeWithHtmlTemplate(trialPage, trial.filePath(QStringLiteral("p.html")),
        KELComponentCodeGeneratorResourcePaths(trial.path()), KELInsertType::PreInsert);
    generator->populateWarningsOnResult(preInsert, KELComponentCodeGeneratorResourcePaths(assets));
    for (const KELCodeGeneratorFile& file : preInsert.includes())
        EXPECT_FALSE(file.insertWarning()) << file.insertedResourceName().toStdString();
    writeText(assets + QStringLiteral("/menu.css"), readText(assets + QStringLiteral("/menu.css")).replace(QStringLiteral("nav {}"), QStringLiteral("nav { color: red }")));
    writeText(assets + QStringLiteral("/menu_menu.js"), QStringLiteral("changed"));
    generator->populateWarningsOnResult(preInsert, KELComponentCodeGeneratorResourcePaths(assets));
    ASSERT_EQ(preInsert.includes().size(), 2);
    EXPECT_FALSE(preInsert.includes()[0].insertWarning());
    EXPECT_EQ(preInsert.includes()[1].insertWarning(), KELComponentCodeGenerator::OverwriteWarning);
    EXPECT_TRUE(preInsert.includes()[1].compareWithWarningsFirst(preInsert.includes()[0]));
}

TEST_F(DocumentInsertTest, OpenFilesKeepUnsavedEditsAndFailedFilesAreNotLinked)
{
    resource(QStringLiteral("menu.js"), QStringLiteral("var m;\n"));
    resource(QStringLiteral("menu.css"), QStringLiteral("nav {}\n"));
    auto generator = generatorFor(MenuDefinition);
    ASSERT_TRUE(generator);
    const QString assets = site.filePath(QStringLiteral("js"));
    // The style sheet the insert will write is open, unchanged; the script is open with unsaved edits.
    ASSERT_TRUE(writeText(assets + QStringLiteral("/menu.css"), QStringLiteral("old {}\n")));
    ASSERT_TRUE(writeText(assets + QStringLiteral("/menu_menu.js"), QStringLiteral("old();\n")));
    MyDocument* css = open(assets + QStringLiteral("/menu.css"));
    MyDocument* js = open(assets + QStringLiteral("/menu_menu.js"));
    ASSERT_TRUE(css && js);
    js->replaceCharactersInRange(Range(0, 0), QStringLiteral("// mine\n"));
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    ASSERT_TRUE(js->isDocumentEdited());

    const QString pagePath = site.filePath(QStringLiteral("page.html"));
    ASSERT_TRUE(writeText(pagePath, QStringLiteral("<html><head></head><body></body></html>")));
    MyDocument* page = open(pagePath);
    ASSERT_TRUE(page);
    // In a preview-like run the unique script is rewritten in place.
    QString trial = QStringLiteral("<html><head></head><body></body></html>");
    const KELCodeGeneratorResult result = generator->generateCodeWithHtmlTemplate(trial, pagePath,
        KELComponentCodeGeneratorResourcePaths(assets), KELInsertType::Preview);
    EXPECT_TRUE(css->currentString().startsWith(QStringLiteral("nav {}\n"))); // reloaded
    EXPECT_EQ(js->currentString(), QStringLiteral("// mine\nold();\n"));     // kept
    ASSERT_EQ(result.problems().size(), 1);
    EXPECT_TRUE(result.problems()[0].contains(QStringLiteral("menu_menu.js")));

    // A file that cannot be written is reported and not linked.
    const QString blocked = site.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(writeText(blocked, QStringLiteral("a file, not a folder")));
    const KELCodeGeneratorResult failed = generator->generateCodeInDocument(*page, KELComponentCodeGeneratorResourcePaths(blocked + QStringLiteral("/js")), KELInsertType::Insert);
    EXPECT_EQ(failed.problems().size(), 2);
    EXPECT_FALSE(failed.hasIncludedFiles());
    EXPECT_FALSE(page->currentString().contains(QStringLiteral("<script")));
    EXPECT_TRUE(page->currentString().contains(QStringLiteral("<nav id=\"menu\">")));
}
