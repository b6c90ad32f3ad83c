#include "PreviewTestSupport.h"

#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "preview/KELPreviewGenerator.h"
#include "support/UtilityFunctions.h"

#include <QStandardPaths>

namespace {

struct Answer
{
    int calls = 0;
    bool success = false;
    std::optional<KELPreviewGeneratorResult> result;
};

KELPreviewGenerator::Callback recordInto(Answer& answer)
{
    return
        [&answer](KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>& result, void*) {
            ++answer.calls;
            answer.success = success;
            answer.result = result;
        };
}

class KELPreviewGeneratorTest : public PreviewTest
{
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        candidates = UtilityFunctions::sharedInstance().phpCandidates();
    }
    void TearDown() override
    {
        UtilityFunctions::sharedInstance().setPHPCandidatesForTesting(candidates);
        KELPreviewGenerator::setPHPTimeoutForTesting(0);
        PreviewTest::TearDown();
    }
    QStringList candidates;
};

TEST_F(KELPreviewGeneratorTest, PlainDocumentIsAnsweredBeforeTheStartReturns)
{
    const QString page = path(QStringLiteral("page.html"));
    struct Case
    {
        const char* name;
        QString text;
        kit::StringEncoding encoding;
        int resultType;
        QByteArray expectedData;
        kit::StringEncoding expectedEncoding;
    };
    const QString latin = QStringLiteral("<p>caf\u00e9</p>");
    const QString euro = QStringLiteral("<p>\u20ac</p>");
    const Case cases[] = {
        { "data in the document's encoding", latin, kit::ISOLatin1StringEncoding, KELPreviewGenerator::DataResult,
            QByteArray("<p>caf\xe9</p>"), kit::ISOLatin1StringEncoding },
        { "text that does not fit falls back to UTF-8", euro, kit::ISOLatin1StringEncoding,
            KELPreviewGenerator::DataResult, euro.toUtf8(), kit::UTF8StringEncoding },
        { "no encoding chosen gives UTF-8", latin, kit::NoEncoding, KELPreviewGenerator::DataResult, latin.toUtf8(),
            kit::UTF8StringEncoding },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePreviewDocument document(page, c.text, c.encoding);
        auto generator = KELPreviewGenerator::generatorWithDocument(&document);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, c.resultType);
        ASSERT_EQ(answer.calls, 1);
        EXPECT_TRUE(answer.success);
        ASSERT_TRUE(answer.result);
        EXPECT_EQ(answer.result->previewFileData(), c.expectedData);
        EXPECT_EQ(answer.result->textEncoding(), c.expectedEncoding);
        EXPECT_FALSE(generator->isPreviewing());
    }

    FakePreviewDocument document(page, latin, kit::ISOLatin1StringEncoding);
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    Answer answer;
    generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.result->previewFileContents(), latin);
}

TEST_F(KELPreviewGeneratorTest, PreviewFilesHaveUniqueNamesBesideThePageAndGoWithTheirGenerator)
{
    KELPreviewGenerator::setTemporaryNameCounterForTesting(999999);
    const QString page = makeFile(QStringLiteral("site/KelpStudioTemp.html"), "a file of the user's");
    FakePreviewDocument first(path(QStringLiteral("site/a.html")), QStringLiteral("first"));
    FakePreviewDocument second(path(QStringLiteral("site/b.html")), QStringLiteral("second"));
    auto firstGenerator = KELPreviewGenerator::generatorWithDocument(&first);
    auto secondGenerator = KELPreviewGenerator::generatorWithDocument(&second);
    Answer a, b;
    firstGenerator->generatePreview(recordInto(a), nullptr, KELPreviewGenerator::FileResult);
    secondGenerator->generatePreview(recordInto(b), nullptr, KELPreviewGenerator::FileResult);
    ASSERT_TRUE(a.result && b.result);
    EXPECT_EQ(a.result->previewFileLocation(), path(QStringLiteral("site/KelpStudioTemp_999999.html")));
    // The counter wraps to zero after 999999.
    EXPECT_EQ(b.result->previewFileLocation(), path(QStringLiteral("site/KelpStudioTemp_000000.html")));
    EXPECT_EQ(KELPreviewGenerator::temporaryNameCounter(), 1);

    QFile firstFile(a.result->previewFileLocation());
    ASSERT_TRUE(firstFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(firstFile.readAll(), QByteArray("first"));
    firstFile.close();

    // One document's clean-up leaves the other's preview and the user's file alone.
    firstGenerator.reset();
    EXPECT_FALSE(QFileInfo::exists(a.result->previewFileLocation()));
    EXPECT_TRUE(QFileInfo::exists(b.result->previewFileLocation()));
    EXPECT_TRUE(QFileInfo::exists(page));
    secondGenerator->terminatePreview();
    EXPECT_FALSE(QFileInfo::exists(b.result->previewFileLocation()));
}

TEST_F(KELPreviewGeneratorTest, PreviewFileThatCannotBeWrittenIsAFailure)
{
    // The page's folder is gone: no preview file can stand beside it.
    FakePreviewDocument document(path(QStringLiteral("gone/page.html")), QStringLiteral("text"));
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    Answer answer;
    generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::FileResult);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_FALSE(answer.success);
    EXPECT_FALSE(answer.result);
}

TEST_F(KELPreviewGeneratorTest, PathGeneratorUsesTheOpenEditorsTextAndTheFileOtherwise)
{
    const QString page = makeFile(QStringLiteral("page.html"), "on disk");
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const QString image = makeFile(QStringLiteral("picture.png"), png);

    {
        FakePreviewDocument open(page, QStringLiteral("unsaved"));
        auto generator = KELPreviewGenerator::generatorWithFileName(page);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(answer.result);
        EXPECT_EQ(answer.result->previewFileContents(), QStringLiteral("unsaved"));
    }
    {
        auto generator = KELPreviewGenerator::generatorWithFileName(page);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(answer.result);
        EXPECT_EQ(answer.result->previewFileContents(), QStringLiteral("on disk"));
        // A file asked for as a file is the page itself.
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::FileResult);
        EXPECT_EQ(answer.result->previewFileLocation(), page);
    }
    {
        auto generator = KELPreviewGenerator::generatorWithFileName(image);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::DataResult);
        ASSERT_TRUE(answer.result);
        EXPECT_EQ(answer.result->previewFileData(), png);
        EXPECT_EQ(answer.result->textEncoding(), kit::NoEncoding);
    }
    {
        auto generator = KELPreviewGenerator::generatorWithFileName(path(QStringLiteral("missing.html")));
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::DataResult);
        EXPECT_EQ(answer.calls, 1);
        EXPECT_FALSE(answer.success);
    }
}

TEST_F(KELPreviewGeneratorTest, PathsWrittenInAPage)
{
    const QString project = path(QStringLiteral("project"));
    makeFile(QStringLiteral("project/images/a.png"), "png");
    // The page's folder exists: paths are resolved as the system opens them.
    QDir().mkpath(project + QStringLiteral("/sub"));
    KELPreviewDocument::setProjectDirectoryLookup(
        [project](const QString& p) { return p.startsWith(project + QLatin1Char('/')) ? project : QString(); });
    struct Case
    {
        const char* name;
        QString page;
        QString written;
        QString expected;
    };
    const Case cases[] = {
        { "relative to the page's folder", project + "/sub/page.html", "../images/a.png", project + "/images/a.png" },
        { "root-relative inside a project", project + "/sub/page.html", "/images/a.png", project + "/images/a.png" },
        { "root-relative file missing in the project", project + "/sub/page.html", "/etc/hostname", "/etc/hostname" },
        { "root-relative outside any project", path("elsewhere/page.html"), "/images/a.png", "/images/a.png" },
        { "untitled page: nothing", QString(), "header.html", QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePreviewDocument document(c.page, QString());
        auto generator = KELPreviewGenerator::generatorWithDocument(&document);
        EXPECT_EQ(generator->pathWithRelativePath(c.written), c.expected);
    }
}

TEST_F(KELPreviewGeneratorTest, ClosingTheDocumentStopsItsGeneration)
{
    const QString page = copyFixture(QStringLiteral("endless.php"));
    Answer answer;
    std::unique_ptr<KELPreviewGenerator> generator;
    {
        FakePreviewDocument document(page, QStringLiteral("<?php while (true) { usleep(10000); } ?>"));
        generator = KELPreviewGenerator::generatorWithDocument(&document);
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(waitUntil([&] { return !filesNamed(dir.path(), "KelpStudioTemp_").isEmpty(); }));
    }
    EXPECT_EQ(answer.calls, 1);
    EXPECT_FALSE(answer.success);
    EXPECT_TRUE(generator->isAborted());
    EXPECT_TRUE(filesNamed(dir.path(), "KelpStudioTemp_").isEmpty());
}

TEST_F(KELPreviewGeneratorTest, AdaptedDocumentIsPreviewedAndItsCloseNotificationStopsIt)
{
    const QString page = copyFixture(QStringLiteral("endless.php"));
    int owner = 0;
    QString text = QStringLiteral("<p>adapted</p>");
    KELPreviewDocumentAdapter adapter(&owner,
        { [&] { return text; }, [] { return kit::UTF8StringEncoding; },
            [&] { return path(QStringLiteral("page.html")); }, [] { return QStringLiteral("page.html"); }, {}, {} });
    EXPECT_EQ(KELPreviewDocument::documentForPath(path(QStringLiteral("page.html"))), &adapter);
    auto generator = KELPreviewGenerator::generatorWithDocument(&adapter);
    Answer answer;
    generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
    ASSERT_TRUE(answer.result);
    EXPECT_EQ(answer.result->previewFileContents(), text);

    // A PHP run of the document stops when the document controller says it closed.
    KELPreviewDocumentAdapter php(&owner,
        { [] { return QStringLiteral("<?php while (true) { usleep(10000); } ?>"); },
            [] { return kit::UTF8StringEncoding; }, [&] { return page; }, {}, {}, {} });
    auto phpGenerator = KELPreviewGenerator::generatorWithDocument(&php);
    Answer stopped;
    phpGenerator->generatePreview(recordInto(stopped), nullptr, KELPreviewGenerator::StringResult);
    ASSERT_TRUE(waitUntil([&] { return !filesNamed(dir.path(), "KelpStudioTemp_").isEmpty(); }));
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELDocumentDidCloseNotification"), &owner);
    EXPECT_EQ(stopped.calls, 1);
    EXPECT_FALSE(stopped.success);
    EXPECT_TRUE(filesNamed(dir.path(), "KelpStudioTemp_").isEmpty());
}

// -- PHP through the real interpreter

TEST_F(KELPreviewGeneratorTest, PHPDocumentRunsItsUnsavedTextInThePagesFolder)
{
    const QString page = copyFixture(QStringLiteral("hello.php"), QStringLiteral("site/hello.php"));
    FakePreviewDocument document(
        page, QStringLiteral("<?php echo 'unsaved ' . (2 * 21) . \"\\n\"; echo 'cwd=' . getcwd(); ?>"));
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    Answer answer;
    generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
    EXPECT_EQ(answer.calls, 0) << "PHP answers later";
    EXPECT_TRUE(generator->isPreviewing());
    ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
    ASSERT_TRUE(answer.success);
    EXPECT_EQ(
        answer.result->previewFileContents(), QStringLiteral("unsaved 42\ncwd=") + QFileInfo(page).canonicalPath());
    // The temporary script beside the page is gone.
    EXPECT_TRUE(filesNamed(path("site"), "KelpStudioTemp").isEmpty());
}

TEST_F(KELPreviewGeneratorTest, PHPErrorsAreMarkedOnRequest)
{
    const QString page = copyFixture(QStringLiteral("notice.php"));
    auto generator = KELPreviewGenerator::generatorWithFileName(page);
    for (int options : { 0, KELPreviewGenerator::PHPErrorMarkersOption }) {
        SCOPED_TRACE(options);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult, options);
        ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
        ASSERT_TRUE(answer.success);
        const QString output = answer.result->previewFileContents();
        EXPECT_TRUE(output.contains(QStringLiteral("undefinedVariable"))) << output.toStdString();
        EXPECT_TRUE(output.endsWith(QStringLiteral("after")));
        EXPECT_EQ(output.contains(QStringLiteral("<kelphperror>")), options != 0) << output.toStdString();
        EXPECT_EQ(output.contains(QStringLiteral("</kelphperror>")), options != 0);
    }
}

TEST_F(KELPreviewGeneratorTest, UntitledPHPDocumentRunsInTheApplicationDataFolder)
{
    FakePreviewDocument document(QString(), QStringLiteral("<?php echo getcwd(); ?>"));
    // An untitled document's type comes from the default file type.
    kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, QStringLiteral("PHP"));
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    ASSERT_EQ(generator->fileType(), QStringLiteral("PHP"));
    Answer answer;
    generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
    ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
    ASSERT_TRUE(answer.success);
    const QString support = QDir(UtilityFunctions::appSupportDirectory()).canonicalPath();
    EXPECT_EQ(answer.result->previewFileContents(), support);
    EXPECT_TRUE(filesNamed(support, "KelpStudioTemp").isEmpty());
}

TEST_F(KELPreviewGeneratorTest, PHPPagesThatMisbehaveStillAnswer)
{
    struct Case
    {
        const char* fixture;
        bool success;
        QString output;
        QString logged;
    };
    const Case cases[] = {
        // Far more on standard error than a pipe holds must not stall the run.
        { "stderr-flood.php", true, QStringLiteral("done"), QString() },
        // Standard input is closed: a page that reads it is not kept waiting.
        { "reads-stdin.php", true, QStringLiteral("read:false"), QString() },
        // A failing exit status is logged; the output is still the page.
        { "fatal.php", true, QStringLiteral("before"), QStringLiteral("PHP CLI terminated with failure: 255") },
        // Output that is not UTF-8 is still text.
        { "latin1-output.php", true, QStringLiteral("caf\u00e9"), QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        kit::LogCapture log;
        const QString page = copyFixture(QString::fromLatin1(c.fixture));
        auto generator = KELPreviewGenerator::generatorWithFileName(page);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }, 60000));
        EXPECT_EQ(answer.success, c.success);
        ASSERT_TRUE(answer.result);
        EXPECT_TRUE(answer.result->previewFileContents().startsWith(c.output))
            << answer.result->previewFileContents().toStdString();
        if (!c.logged.isEmpty()) {
            EXPECT_TRUE(log.contains(c.logged)) << log.lines().join("\n").toStdString();
        }
    }
}

TEST_F(KELPreviewGeneratorTest, EndlessPHPPageIsStoppedAfterTheTimeout)
{
    KELPreviewGenerator::setPHPTimeoutForTesting(1500);
    kit::LogCapture log;
    const QString page = copyFixture(QStringLiteral("endless.php"));
    FakePreviewDocument document(page, QStringLiteral("<?php while (true) { usleep(10000); } ?>"));
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    Answer answer;
    generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::DataResult);
    ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
    EXPECT_FALSE(answer.success);
    EXPECT_FALSE(generator->isPreviewing());
    EXPECT_TRUE(log.contains(QStringLiteral("did not finish")));
    EXPECT_TRUE(filesNamed(dir.path(), "KelpStudioTemp").isEmpty());
}

TEST_F(KELPreviewGeneratorTest, NewStartStopsTheRunningPHPAndItsCallerHearsFailure)
{
    const QString page = copyFixture(QStringLiteral("endless.php"));
    FakePreviewDocument document(page, QStringLiteral("<?php while (true) { usleep(10000); } ?>"));
    auto generator = KELPreviewGenerator::generatorWithDocument(&document);
    Answer first, second;
    generator->generatePreview(recordInto(first), nullptr, KELPreviewGenerator::StringResult);
    ASSERT_TRUE(waitUntil([&] { return !filesNamed(dir.path(), "KelpStudioTemp_").isEmpty(); }));

    document.text = QStringLiteral("<?php echo 'second'; ?>");
    generator->generatePreview(recordInto(second), nullptr, KELPreviewGenerator::StringResult);
    EXPECT_EQ(first.calls, 1);
    EXPECT_FALSE(first.success);
    EXPECT_TRUE(filesNamed(dir.path(), "KelpStudioTemp_").isEmpty()) << "the first run's script is removed";
    ASSERT_TRUE(waitUntil([&] { return second.calls > 0; }));
    EXPECT_TRUE(second.success);
    EXPECT_EQ(second.result->previewFileContents(), QStringLiteral("second"));
    EXPECT_EQ(first.calls, 1);
}

TEST_F(KELPreviewGeneratorTest, PHPThatCannotBeFoundOrStartedStillCallsBack)
{
    const QString page = copyFixture(QStringLiteral("hello.php"));
    const QString broken = copyFixture(QStringLiteral("cannot-start.sh"));
    QFile::setPermissions(broken, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    struct Case
    {
        const char* name;
        QString location;
        QString logged;
    };
    const Case cases[] = {
        { "missing interpreter", path(QStringLiteral("no-such-php")), QString() },
        { "interpreter that cannot start", broken, QStringLiteral("Error executing PHP CLI") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kit::LogCapture log;
        alerts.clear();
        kit::UserDefaults::standard().setValue(KELPHPLocationKey, c.location);
        UtilityFunctions::sharedInstance().setPHPCandidatesForTesting({});
        FakePreviewDocument document(page, QStringLiteral("<?php echo 1; ?>"));
        auto generator = KELPreviewGenerator::generatorWithDocument(&document);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }, 60000));
        EXPECT_FALSE(answer.success);
        EXPECT_FALSE(generator->isPreviewing());
        EXPECT_TRUE(filesNamed(dir.path(), "KelpStudioTemp").isEmpty());
        if (c.logged.isEmpty()) {
            EXPECT_FALSE(alerts.isEmpty()) << "the missing interpreter is reported";
        } else {
            EXPECT_TRUE(log.contains(c.logged)) << log.lines().join("\n").toStdString();
        }
    }
}

} // namespace

namespace {

// PHP in the preview reads its site and the preview's temporary folder only, as
// the site's server would let it: not /etc/passwd, not a folder beside the site,
// not through a link out of it; an unsaved page and an untitled one run the same way.
TEST_F(KELPreviewGeneratorTest, PHPReadsNothingOutsideItsSite)
{
    makeFile(QStringLiteral("outside/secret.txt"), "TOPSECRET");
    makeFile(QStringLiteral("site/index.html"), "<p>home</p>");
    makeFile(QStringLiteral("site/data/inside.txt"), "INSIDE");
    QDir().mkpath(path(QStringLiteral("outside/deep")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside/deep")), path(QStringLiteral("site/inner"))));
    const QByteArray script = R"(<?php
function attempt($file) { $text = @file_get_contents($file); return $text === false ? 'refused' : trim($text); }
echo implode('|', [
  attempt('/etc/passwd') === 'refused' ? 'refused' : 'READ',
  attempt(__DIR__ . '/../data/inside.txt'),
  attempt(__DIR__ . '/../../outside/secret.txt'),
  attempt(__DIR__ . '/../inner/../secret.txt'),
  tempnam(sys_get_temp_dir(), 'kelp') !== false ? 'temp' : 'no temp',
]);
)";
    const QString expected = QStringLiteral("refused|INSIDE|refused|refused|temp");
    const QString page = makeFile(QStringLiteral("site/pages/page.php"), script);
    {
        auto generator = KELPreviewGenerator::generatorWithFileName(page);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
        ASSERT_TRUE(answer.success);
        EXPECT_EQ(answer.result->previewFileContents(), expected);
    }
    {
        FakePreviewDocument unsaved(page, QString::fromUtf8(script));
        auto generator = KELPreviewGenerator::generatorWithDocument(&unsaved);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
        ASSERT_TRUE(answer.success);
        EXPECT_EQ(answer.result->previewFileContents(), expected);
    }
    {
        // An untitled page has no site: it reads nothing but the temporary folder.
        kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, QStringLiteral("PHP"));
        FakePreviewDocument untitled(QString(),
            QStringLiteral("<?php echo @file_get_contents('/etc/passwd') === false ? 'refused' : 'READ';"
                           " echo tempnam(sys_get_temp_dir(), 'kelp') !== false ? '|temp' : '|no temp';"));
        auto generator = KELPreviewGenerator::generatorWithDocument(&untitled);
        Answer answer;
        generator->generatePreview(recordInto(answer), nullptr, KELPreviewGenerator::StringResult);
        ASSERT_TRUE(waitUntil([&] { return answer.calls > 0; }));
        ASSERT_TRUE(answer.success);
        EXPECT_EQ(answer.result->previewFileContents(), QStringLiteral("refused|temp"));
    }
}

} // namespace
