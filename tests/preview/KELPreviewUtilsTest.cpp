#include "PreviewTestSupport.h"

#include "kit/Resources.h"
#include "preview/KELDocumentPreview.h"
#include "preview/KELDocumentURLProtocol.h"
#include "preview/KELPreviewGenerator.h"
#include "preview/KELPreviewUtils.h"

#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

namespace {

class KELPreviewUtilsTest : public PreviewTest
{
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        auto& utils = KELPreviewUtils::sharedInstance();
        utils.setFileWaitIntervalForTesting(50);
        utils.setBrowserOpenerForTesting([this](const QString& application, const QString& file) {
            opened.append({ application, file });
            QFile in(file);
            contents.append(in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray());
            return openerSucceeds;
        });
    }
    void TearDown() override
    {
        KELPreviewUtils::sharedInstance().setBrowserOpenerForTesting({});
        KELPreviewUtils::sharedInstance().setFileWaitIntervalForTesting(1000);
        KELDocumentPreview::setPreviewFileChooserForTesting({});
        PreviewTest::TearDown();
    }
    QList<QPair<QString, QString>> opened;
    QList<QByteArray> contents;
    bool openerSucceeds = true;
};

TEST_F(KELPreviewUtilsTest, PreviewURLsNameTheDocumentAndNeverRepeat)
{
    auto& utils = KELPreviewUtils::sharedInstance();
    utils.setURLCounterForTesting(0);
    FakePreviewDocument saved(QStringLiteral("/home/user/site/index.html"), QString());
    const QUrl first = utils.previewUrlForDocument(&saved);
    const QUrl second = utils.previewUrlForDocument(&saved);
    EXPECT_EQ(first.toString(), QStringLiteral("keldocumenturl://kelp0/home/user/site/index.html"));
    EXPECT_EQ(second.toString(), QStringLiteral("keldocumenturl://kelp1/home/user/site/index.html"));

    // A path with "?" keeps one URL, so refreshing it reloads from the origin.
    FakePreviewDocument odd(QStringLiteral("/site/what?.html"), QString());
    const QUrl oddUrl = utils.previewUrlForDocument(&odd);
    EXPECT_EQ(oddUrl, utils.previewUrlForDocument(&odd));
    EXPECT_EQ(oddUrl.path(), QStringLiteral("/site/what?.html"));
    EXPECT_FALSE(oddUrl.hasQuery());

    FakePreviewDocument untitled(QString(), QStringLiteral("text"));
    const QUrl untitledUrl = utils.previewUrlForDocument(&untitled);
    EXPECT_EQ(untitledUrl.path(), kit::resourcesPath() + QStringLiteral("/index.html"));
    EXPECT_EQ(QUrlQuery(untitledUrl).queryItemValue(KELDocumentPointerParameterName), untitled.previewTokenString());
    EXPECT_EQ(KELDocumentURLProtocol::documentForURL(untitledUrl), &untitled);

    // Spaces, "#" and "%" in a path survive the URL.
    FakePreviewDocument awkward(QStringLiteral("/site/my page #1 100%.html"), QString());
    const QUrl awkwardUrl = utils.previewUrlForDocument(&awkward);
    EXPECT_EQ(awkwardUrl.path(QUrl::FullyDecoded), awkward.path);
    EXPECT_EQ(KELDocumentURLProtocol::documentForURL(QUrl(awkwardUrl.toString(QUrl::FullyEncoded))), &awkward);

    FakePreviewDocument style(QStringLiteral("/site/style.css"), QString());
    style.usesPreview = true;
    style.previewPage = QStringLiteral("/site/index.php");
    EXPECT_EQ(utils.previewUrlForDocument(&style).path(), QStringLiteral("/site/index.php"));
}

TEST_F(KELPreviewUtilsTest, DocumentOfAURLByTokenElseByPath)
{
    const QString file = makeFile(QStringLiteral("page.html"), "x");
    auto other = std::make_unique<FakePreviewDocument>(QString(), QString());
    const QString staleToken = other->previewTokenString();
    other.reset();
    FakePreviewDocument open(file, QString());
    FakePreviewDocument untitled { QString(), QString() };
    struct Case
    {
        const char* name;
        QString url;
        KELPreviewDocument* expected;
    };
    const Case cases[] = {
        { "token",
            "keldocumenturl://kelp3" + file + "?KELDocumentPointerParameterName=" + untitled.previewTokenString(),
            &untitled },
        { "token of a closed document falls back to the path",
            "keldocumenturl://kelp3" + file + "?KELDocumentPointerParameterName=" + staleToken, &open },
        { "host plays no part", "keldocumenturl://elsewhere" + file, &open },
        { "nothing open there", "keldocumenturl://kelp3/no/such/page.html", nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KELDocumentURLProtocol::documentForURL(QUrl(c.url)), c.expected);
    }
}

TEST_F(KELPreviewUtilsTest, BrowserNames)
{
    kit::UserDefaults::standard().setValue(KELDefaultBrowserKey, QStringLiteral("Some Browser"));
    const QString sh = QStandardPaths::findExecutable(QStringLiteral("sh"));
    struct Case
    {
        QString browser;
        QString expected;
    };
    const Case cases[] = {
        { QString(), QStringLiteral("Some Browser") },
        { QStringLiteral("/opt/browser/bin/browse"), QStringLiteral("/opt/browser/bin/browse") },
        { QStringLiteral("sh"), sh },
        { QStringLiteral("no-such-browser-here"), QStringLiteral("no-such-browser-here") },
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELPreviewUtils::applicationForBrowser(c.browser), c.expected) << c.browser.toStdString();
}

TEST_F(KELPreviewUtilsTest, FileIsHandedOverOnceItExists)
{
    auto& utils = KELPreviewUtils::sharedInstance();
    const QString ready = makeFile(QStringLiteral("ready.html"), "ready");
    utils.previewLocation(ready, QStringLiteral("Preview for ready.html"), QStringLiteral("/usr/bin/browser"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], qMakePair(QStringLiteral("/usr/bin/browser"), ready));

    // Written a moment later: found by a later check.
    const QString late = path(QStringLiteral("late.html"));
    utils.previewLocation(late, QString(), QString());
    QTimer::singleShot(70, [this] { makeFile(QStringLiteral("late.html"), "late"); });
    ASSERT_TRUE(waitUntil([&] { return opened.size() == 2; }, 60000));
    EXPECT_EQ(opened[1].second, late);

    // Never written: nothing opens and nothing is said.
    utils.previewLocation(path(QStringLiteral("never.html")), QString(), QString());
    waitUntil([] { return false; }, 400);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_TRUE(alerts.isEmpty());

    openerSucceeds = false;
    utils.previewLocation(ready, QString(), QStringLiteral("broken"));
    EXPECT_EQ(alerts, QStringList { QStringLiteral("Cannot Preview") });
}

TEST_F(KELPreviewUtilsTest, PreviewInBrowserOpensTheUnsavedPageBesideTheFile)
{
    FakePreviewDocument document(makeFile(QStringLiteral("site/page.html"), "saved"), QStringLiteral("unsaved"));
    KELDocumentPreview preview(&document);
    preview.previewInBrowser(QStringLiteral("/usr/bin/browser"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].first, QStringLiteral("/usr/bin/browser"));
    EXPECT_EQ(QFileInfo(opened[0].second).absolutePath(), path(QStringLiteral("site")));
    EXPECT_TRUE(QFileInfo(opened[0].second).fileName().startsWith(QStringLiteral("KelpStudioTemp_")));
    EXPECT_EQ(contents[0], QByteArray("unsaved"));

    // The next preview replaces the temporary file of the last one.
    const QString firstFile = opened[0].second;
    preview.previewInBrowser(QString());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(firstFile));
    EXPECT_TRUE(QFileInfo::exists(opened[1].second));
}

TEST_F(KELPreviewUtilsTest, FilesPreviewedThroughAnotherPageNeedThatPage)
{
    QStringList stored;
    QString offeredFolder;
    KELDocumentPreview::setPreviewFileChooserForTesting([&](const QString& folder) {
        offeredFolder = folder;
        return QString();
    });

    FakePreviewDocument untitled(QString(), QStringLiteral("body {}"));
    untitled.usesPreview = true;
    KELDocumentPreview untitledPreview(&untitled);
    untitledPreview.setSyntaxTypeName(QStringLiteral("CSS"));
    EXPECT_FALSE(untitledPreview.assertCanPreview());
    EXPECT_EQ(alerts, QStringList { QStringLiteral("Preview Not Available") });
    EXPECT_TRUE(offeredFolder.isEmpty());

    const QString page = makeFile(QStringLiteral("site/index.html"), "<link rel=stylesheet href=style.css>");
    FakePreviewDocument style(makeFile(QStringLiteral("site/style.css"), "body {}"), QStringLiteral("body {}"));
    style.usesPreview = true;
    KELDocumentPreview stylePreview(&style);
    stylePreview.setPreviewFileStore([&](const QString& file) {
        stored.append(file);
        style.previewPage = file;
    });
    // Cancelled: no preview.
    stylePreview.previewInBrowser(QString());
    EXPECT_EQ(offeredFolder, path(QStringLiteral("site")));
    EXPECT_TRUE(opened.isEmpty());

    KELDocumentPreview::setPreviewFileChooserForTesting([&](const QString&) { return page; });
    stylePreview.previewInBrowser(QString());
    EXPECT_EQ(stored, QStringList { page });
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].second, page);
}

} // namespace
