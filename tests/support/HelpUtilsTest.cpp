#include "kit/Resources.h"
#include "support/HelpUtils.h"
#include "support/KELHelpWindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <gtest/gtest.h>

// Stands in for the desktop: records every address handed to it.
class DesktopRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

namespace {

class HelpUtilsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HelpUtils::setOpenerForTesting([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
    }
    void TearDown() override
    {
        HelpUtils::setOpenerForTesting({});
        kit::setResourcesPathForTesting(QString());
    }
    // The opened page relative to the help book, with its fragment.
    QString openedPage() const
    {
        if (opened.size() != 1)
            return QStringLiteral("<%1 pages opened>").arg(opened.size());
        const QString root = HelpUtils::helpBookPath() + QLatin1Char('/');
        QString page = opened.first().toLocalFile();
        page = page.startsWith(root) ? page.mid(root.size()) : QStringLiteral("<outside: %1>").arg(page);
        if (opened.first().hasFragment())
            page += QLatin1Char('#') + opened.first().fragment();
        return page;
    }
    QList<QUrl> opened;
};

TEST_F(HelpUtilsTest, KeysOpenTheirPagesAndUnknownKeysTheStartPage)
{
    const struct {
        QString key;
        QString page;
    } cases[] = {
        {KELOpenQuicklyHelpKey, "basics/documents.html"},
        {KELSupportHelpKey, "basics/support.html"},
        {KELInsertColorHelpKey, "editing/insert.html"},
        {KELInsertImageMapHelpKey, "editing/insert.html"},
        {KELInsertMetaTagHelpKey, "editing/insert.html"},
        {KELAdvancedInsertHelpKey, "editing/insert.html"},
        {KELBatchFindHelpKey, "find/batch.html"},
        {KELRegexHelpKey, "find/regex.html"},
        {KELColoringHelpKey, "prefs/coloring.html"},
        {KELFileTypesHelpKey, "prefs/filetypes.html"},
        {KELComponentLibraryHelpKey, "component/componentlibrary.html"},
        {KELCodeClipsHelpKey, "editing/codeclips.html"},
        {KELTextEncodingsHelpKey, "editing/textencodings.html"},
        // Keys are the constants' own names, compared exactly.
        {"KELFileTypesHelpKey", "prefs/filetypes.html"},
        {"kelfiletypeshelpkey", "index.html"},
        {"NoSuchHelpKey", "index.html"},
        {QString(), "index.html"},
    };
    ASSERT_FALSE(HelpUtils::helpBookPath().isEmpty()) << "resources/Help/index.html is missing";
    for (const auto& c : cases) {
        opened.clear();
        HelpUtils::showHelpForKey(c.key);
        EXPECT_EQ(openedPage(), c.page) << c.key.toStdString();
    }
}

TEST_F(HelpUtilsTest, EveryKeyedPageExistsAndIsAnHtmlPage)
{
    const QString root = HelpUtils::helpBookPath();
    for (const QString& key : {KELOpenQuicklyHelpKey, KELSupportHelpKey, KELInsertColorHelpKey, KELBatchFindHelpKey,
                               KELRegexHelpKey, KELColoringHelpKey, KELFileTypesHelpKey, KELComponentLibraryHelpKey,
                               KELCodeClipsHelpKey, KELTextEncodingsHelpKey, QString()}) {
        const QString page = HelpUtils::pagePathForKey(key);
        QFile file(root + QLatin1Char('/') + (page.isEmpty() ? QStringLiteral("index.html") : page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QString html = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(html.startsWith(QLatin1String("<!DOCTYPE html>"))) << file.fileName().toStdString();
        EXPECT_TRUE(html.contains(QLatin1String("<h1>"))) << file.fileName().toStdString();
    }
}

TEST_F(HelpUtilsTest, ComponentPagesDropSpacesAndMissingPagesFallBackToTheStartPage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("Help/component"));
    for (const char* name : {"Help/index.html", "Help/component/SimpleTable.html", "Help/secret.html"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<!DOCTYPE html><h1>x</h1>");
    }
    kit::setResourcesPathForTesting(dir.path());

    HelpUtils::showHelpForComponent(QStringLiteral("Simple Table"));
    EXPECT_EQ(openedPage(), "component/SimpleTable.html");

    opened.clear();
    HelpUtils::showHelpForComponent(QStringLiteral("No Such Component"));
    EXPECT_EQ(openedPage(), "index.html");

    // Anchors go on real pages only; a page path never leaves the book.
    opened.clear();
    HelpUtils::showHelpPagePath(QStringLiteral("component/SimpleTable.html"), QStringLiteral("rows"));
    EXPECT_EQ(openedPage(), "component/SimpleTable.html#rows");
    opened.clear();
    HelpUtils::showHelpPagePath(QStringLiteral("component/../../Help/secret.html"));
    EXPECT_EQ(openedPage(), "secret.html");
    opened.clear();
    HelpUtils::showHelpPagePath(QStringLiteral("../outside.html"), QStringLiteral("x"));
    EXPECT_EQ(openedPage(), "index.html");
}

TEST_F(HelpUtilsTest, WithoutAHelpBookNothingOpens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    kit::setResourcesPathForTesting(dir.path());
    EXPECT_TRUE(HelpUtils::helpBookPath().isEmpty());
    HelpUtils::showHelpForKey(KELFileTypesHelpKey);
    HelpUtils::showHelpForComponent(QStringLiteral("Simple Table"));
    HelpUtils::showHelpPagePath(QString());
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(HelpUtilsTest, HelpShowsInItsOwnWindowAndTheBrowserIsAChoice)
{
    HelpUtils::setOpenerForTesting({});
    DesktopRecorder desktop;
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop, "open");
    const QString book = HelpUtils::helpBookPath();
    ASSERT_FALSE(book.isEmpty());

    HelpUtils::showHelpForKey(KELBatchFindHelpKey);
    KELHelpWindow* window = KELHelpWindow::existingHelpWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    const QUrl batch = QUrl::fromLocalFile(book + QStringLiteral("/find/batch.html"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->webView()->url() == batch; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == QStringLiteral("Finding and replacing in many files – Kelp Studio Help"); }, 20000));

    // A component window's Help: the component's own page, in the same window.
    HelpUtils::showHelpForComponent(QStringLiteral("Simple Table"));
    EXPECT_EQ(KELHelpWindow::existingHelpWindow(), window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == QStringLiteral("Simple Table – Kelp Studio Help"); }, 20000));
    EXPECT_EQ(window->webView()->url(), QUrl::fromLocalFile(book + QStringLiteral("/component/SimpleTable.html")));

    // Back returns to the page before; Contents shows the start page.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->backAction()->isEnabled(); }, 20000));
    window->backAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->webView()->url() == batch; }, 20000));
    window->contentsAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->webView()->url() == QUrl::fromLocalFile(book + QStringLiteral("/index.html")); }, 20000));
    EXPECT_TRUE(desktop.urls.isEmpty()) << "help needed the desktop's browser";

    // The browser stays a choice: the page shown goes to the desktop on request.
    window->openInBrowserAction()->trigger();
    ASSERT_EQ(desktop.urls.size(), 1);
    EXPECT_EQ(desktop.urls.first(), QUrl::fromLocalFile(book + QStringLiteral("/index.html")));

    window->close();
    delete window;
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

} // namespace

#include "HelpUtilsTest.moc"
