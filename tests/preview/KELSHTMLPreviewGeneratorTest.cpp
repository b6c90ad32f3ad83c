#include "PreviewTestSupport.h"

#include "html/TagInstance.h"
#include "kit/Log.h"
#include "preview/KELSHTMLPreviewGenerator.h"

namespace {

class KELSHTMLPreviewGeneratorTest : public PreviewTest
{
protected:
    struct Answer
    {
        int calls = 0;
        bool success = false;
        QString text;
    };
    /// Previews the page as a string; waits when PHP is involved.
    Answer preview(KELPreviewGenerator& generator, int options = 0)
    {
        Answer answer;
        generator.generatePreview(
            [&answer](
                KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>& result, void*) {
                ++answer.calls;
                answer.success = success;
                if (result)
                    answer.text = result->previewFileContents();
            },
            nullptr, KELPreviewGenerator::StringResult, options);
        EXPECT_TRUE(waitUntil([&] { return answer.calls > 0; }));
        return answer;
    }
};

TEST_F(KELSHTMLPreviewGeneratorTest, IncludesAreExpandedInPlace)
{
    makeFile(QStringLiteral("site/header.html"), "HEADER");
    makeFile(QStringLiteral("site/my header.html"), "SPACED");
    makeFile(QStringLiteral("site/a%20b.html"), "LITERAL");
    makeFile(QStringLiteral("site/parts/nested.shtml"), "[<!--#include file=\"../header.html\" -->]");
    const QString missing = path(QStringLiteral("site/missing.html"));
    const QString missingPage = path(QStringLiteral("site/missing.shtml"));
    struct Case
    {
        const char* name;
        QString page;
        QString expected;
    };
    const Case cases[] = {
        { "no includes", "<p>plain</p>", "<p>plain</p>" },
        { "virtual, in the middle", "a<!--#include virtual=\"header.html\" -->b", "aHEADERb" },
        { "capitals over two lines", "a<!--#INCLUDE\n  VIRTUAL=\"header.html\"\n-->b", "aHEADERb" },
        { "percent escape in virtual", "<!--#include virtual=\"my%20header.html\" -->", "SPACED" },
        { "file is taken as written", "<!--#include file=\"a%20b.html\" -->", "LITERAL" },
        { "malformed escape falls back to file", "<!--#include virtual=\"x%zz.html\" file=\"header.html\" -->",
            "HEADER" },
        { "malformed escape and no file", "<!--#include virtual=\"x%2\" -->",
            "[Error: No file or virtual attribute found in include]" },
        { "no attribute", "a<!--#include -->b", "a[Error: No file or virtual attribute found in include]b" },
        { "missing file", "<!--#include virtual=\"missing.html\" -->",
            "[Error: Preview generation failed for " + missing + "]" },
        { "missing include page", "<!--#include virtual=\"missing.shtml\" -->",
            "[Error: Preview generation failed for " + missingPage + "]" },
        { "nested include resolved from its own folder", "<!--#include virtual=\"parts/nested.shtml\" -->",
            "[HEADER]" },
        { "two includes, text after the last",
            "<!--#include virtual=\"header.html\" --><!--#include file=\"header.html\" -->!", "HEADERHEADER!" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePreviewDocument document(path(QStringLiteral("site/page.shtml")), c.page);
        auto generator = KELPreviewGenerator::generatorWithDocument(&document);
        ASSERT_TRUE(qobject_cast<KELSHTMLPreviewGenerator*>(generator.get()));
        const Answer answer = preview(*generator);
        EXPECT_TRUE(answer.success);
        EXPECT_EQ(answer.text, c.expected);
    }
}

TEST_F(KELSHTMLPreviewGeneratorTest, IncludesStopAtTheLimitAcrossTheWholeTree)
{
    const QString self = copyFixture(QStringLiteral("self.shtml"));
    auto generator = KELPreviewGenerator::generatorWithFileName(self);
    const Answer answer = preview(*generator);
    EXPECT_TRUE(answer.success);
    // The page and its 100 nested copies, then the limit text in place of the 101st include.
    EXPECT_EQ(answer.text, QString(101, QLatin1Char('x')) + "[Error: Total number of includes exceeds maximum (100)]");

    // The counter starts again for the next generation.
    EXPECT_EQ(preview(*generator).text, answer.text);
}

TEST_F(KELSHTMLPreviewGeneratorTest, UntitledPageCannotIncludeRelativePaths)
{
    makeFile(QStringLiteral("header.html"), "HEADER");
    kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, QStringLiteral("SHTML"));
    FakePreviewDocument document(QString(), "<!--#include virtual=\"header.html\" -->");
    // An untitled page has no folder, whatever the working folder holds.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    ASSERT_TRUE(qobject_cast<KELSHTMLPreviewGenerator*>(generator.get()));
    const Answer answer = preview(*generator);
    QDir::setCurrent(cwd);
    EXPECT_TRUE(answer.success);
    EXPECT_EQ(answer.text, QStringLiteral("[Error: Preview generation failed for header.html]"));
}

TEST_F(KELSHTMLPreviewGeneratorTest, PHPIncludeMakesThePageWaitAndGetsNoOptions)
{
    copyFixture(QStringLiteral("notice.php"), QStringLiteral("site/notice.php"));
    FakePreviewDocument document(
        path(QStringLiteral("site/page.shtml")), "<div><!--#include virtual=\"notice.php\" --></div>");
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    Answer answer;
    generator->generatePreview(
        [&answer](KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>& result, void*) {
            ++answer.calls;
            answer.success = success;
            answer.text = result ? result->previewFileContents() : QString();
        },
        nullptr, KELPreviewGenerator::StringResult, KELPreviewGenerator::PHPErrorMarkersOption);
    EXPECT_EQ(answer.calls, 0);
    ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
    EXPECT_TRUE(answer.success);
    EXPECT_TRUE(answer.text.startsWith(QStringLiteral("<div>")));
    EXPECT_TRUE(answer.text.endsWith(QStringLiteral("after</div>")));
    EXPECT_FALSE(answer.text.contains(QStringLiteral("<kelphperror>")));

    // Terminated while the PHP include runs: failure, and nothing more later.
    Answer stopped;
    generator->generatePreview(
        [&stopped](KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>&, void*) {
            ++stopped.calls;
            stopped.success = success;
        },
        nullptr, KELPreviewGenerator::StringResult);
    generator->terminatePreview();
    EXPECT_EQ(stopped.calls, 1);
    EXPECT_FALSE(stopped.success);
    waitUntil([] { return false; }, 1500);
    EXPECT_EQ(stopped.calls, 1);

    // Released while the PHP include runs: the caller is not called at all.
    Answer released;
    generator->generatePreview([&released](KELPreviewGenerator*, bool, const std::optional<KELPreviewGeneratorResult>&,
                                   void*) { ++released.calls; },
        nullptr, KELPreviewGenerator::StringResult);
    generator.reset();
    waitUntil([] { return false; }, 1000);
    EXPECT_EQ(released.calls, 0);
}

TEST_F(KELSHTMLPreviewGeneratorTest, IncludeCommentIsReadAsOneTag)
{
    const auto tag = KELSHTMLPreviewGenerator::tagForIncludeComment(
        QStringLiteral("<!--#include virtual='a b.html' file=c.html -->"));
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->name(), QStringLiteral("#include"));
    EXPECT_EQ(tag->valueForAttribute(QStringLiteral("VIRTUAL")), QStringLiteral("a b.html"));
    EXPECT_EQ(tag->valueForAttribute(QStringLiteral("file")), QStringLiteral("c.html"));

    EXPECT_EQ(
        KELSHTMLPreviewGenerator::decodePercentEscapes(QStringLiteral("caf%C3%A9%20x")), QStringLiteral("caf\u00e9 x"));
    EXPECT_FALSE(KELSHTMLPreviewGenerator::decodePercentEscapes(QStringLiteral("%FF")));
    EXPECT_FALSE(KELSHTMLPreviewGenerator::decodePercentEscapes(QStringLiteral("50%")));
}

} // namespace

namespace {

// Includes stay inside the site, as its web server would keep them: the page's
// folder tree and the open project's folder. A PHP file outside is never run,
// and a nested page hands the site down to its own includes.
TEST_F(KELSHTMLPreviewGeneratorTest, IncludesOutsideTheSiteAreRefused)
{
    const QString project = path(QStringLiteral("project"));
    KELPreviewDocument::setProjectDirectoryLookup(
        [project](const QString& p) { return p.startsWith(project + QLatin1Char('/')) ? project : QString(); });
    makeFile(QStringLiteral("secret.txt"), "TOPSECRET");
    makeFile(QStringLiteral("outside.php"), "<?php file_put_contents(__DIR__ . '/ran.txt', 'ran'); echo 'RAN'; ?>");
    makeFile(QStringLiteral("project/shared/footer.html"), "FOOTER");
    makeFile(QStringLiteral("project/pages/nested.shtml"), "[<!--#include virtual=\"../shared/footer.html\" -->]");
    const QString page = makeFile(QStringLiteral("project/pages/page.shtml"),
        "<!--#include virtual=\"../../secret.txt\" -->|<!--#include file=\"../../outside.php\" -->|"
        "<!--#include virtual=\"/shared/footer.html\" -->|<!--#include virtual=\"nested.shtml\" -->|"
        "<!--#include virtual=\"" + path(QStringLiteral("secret.txt")).toUtf8() + "\" -->");
    auto generator = KELPreviewGenerator::generatorWithFileName(page);
    const Answer answer = preview(*generator);
    EXPECT_TRUE(answer.success);
    EXPECT_FALSE(answer.text.contains(QStringLiteral("TOPSECRET")));
    EXPECT_FALSE(answer.text.contains(QStringLiteral("RAN")));
    EXPECT_EQ(answer.text,
        QStringLiteral("[Error: ../../secret.txt lies outside the site's folders]|"
                       "[Error: ../../outside.php lies outside the site's folders]|FOOTER|[FOOTER]|"
                       "[Error: %1 lies outside the site's folders]")
            .arg(path(QStringLiteral("secret.txt"))));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("ran.txt"))));
}

} // namespace

namespace {

// Without a project, includes reach the whole site its markers show (a sibling
// folder's footer), never further; and a path through a folder link is checked
// where the link leads, not where its text points.
TEST_F(KELSHTMLPreviewGeneratorTest, IncludesReachTheSiteTheirMarkersShowAndNoFurther)
{
    makeFile(QStringLiteral("outside/secret.txt"), "TOPSECRET");
    QDir().mkpath(path(QStringLiteral("outside/deep")));
    struct Case
    {
        const char* name;
        const char* marker; // empty: none
        QString expected;
    };
    const Case cases[] = {
        { "marked", "index.html", "[FOOTER]" },
        { "unmarked", "", "[[Error: ../footer.html lies outside the site's folders]]" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString site = QString::fromLatin1(c.name);
        if (*c.marker)
            makeFile(site + QLatin1Char('/') + QLatin1String(c.marker), "<p>home</p>");
        makeFile(site + QStringLiteral("/footer.html"), "FOOTER");
        const QString page = makeFile(site + QStringLiteral("/pages/a.shtml"), "[<!--#include virtual=\"../footer.html\" -->]");
        kit::LogCapture log;
        auto generator = KELPreviewGenerator::generatorWithFileName(page);
        const Answer answer = preview(*generator);
        EXPECT_TRUE(answer.success);
        EXPECT_EQ(answer.text, c.expected);
        if (!*c.marker)
            EXPECT_TRUE(log.contains(QStringLiteral("lies outside the site's folders")));
    }

    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside/deep")), path(QStringLiteral("marked/inner"))));
    const QString page = makeFile(QStringLiteral("marked/links.shtml"),
        "<!--#include virtual=\"inner/../secret.txt\" -->|<!--#include file=\"inner/../secret.txt\" -->");
    auto generator = KELPreviewGenerator::generatorWithFileName(page);
    const Answer answer = preview(*generator);
    EXPECT_FALSE(answer.text.contains(QStringLiteral("TOPSECRET")));
    EXPECT_EQ(answer.text,
        QStringLiteral("[Error: inner/../secret.txt lies outside the site's folders]|"
                       "[Error: inner/../secret.txt lies outside the site's folders]"));
}

} // namespace
