#pragma once
// Which URL the live preview loads for a document, and how a finished preview
// file reaches a browser.

#include <QString>
#include <QUrl>
#include <functional>

class KELPreviewDocument;

class KELPreviewUtils
{
public:
    static KELPreviewUtils& sharedInstance();

    /// A new URL on every call (its host carries a counter, so nothing cached is
    /// shown): keldocumenturl://kelp<n>/path/of/page; an untitled document names
    /// the bundle's "index.html" and carries its token in the query.
    QUrl previewUrlForDocument(const KELPreviewDocument* document);

    /// Opens the file in the named browser (a desktop entry, an executable, or empty
    /// for "Default Browser"), once the file exists. The title is not used.
    void previewLocation(const QString& path, const QString& title, const QString& browser);
    void previewLocationAfterSaving(const QString& path, const QString& title, const QString& browser);

    /// The path in the resources that stands in the URL of an untitled document.
    QString untitledDocPreviewPath() const;
    bool usingWebKitWithCacheIssues() const { return true; }

    /// The application a browser name stands for: a desktop entry ("name.desktop")
    /// or an executable found on the PATH, else the name as given; an empty name
    /// gives "Default Browser" as stored (empty: the desktop's default browser).
    static QString applicationForBrowser(const QString& browser);

    /// Starts the application with the file; false when it could not be started.
    using BrowserOpener = std::function<bool(const QString& application, const QString& path)>;
    /// Tests: replaces the opener; null restores the desktop's.
    void setBrowserOpenerForTesting(BrowserOpener opener);
    /// Tests: how long to wait between the checks for the file (1 s).
    void setFileWaitIntervalForTesting(int milliseconds) { m_fileWaitInterval = milliseconds; }
    qint64 urlCounter() const { return m_urlCounter; }
    void setURLCounterForTesting(qint64 value) { m_urlCounter = value; }

private:
    KELPreviewUtils() = default;
    static bool openWithDesktop(const QString& application, const QString& path);
    void waitForFileThenOpen(const QString& path, const QString& application, int checksLeft);

    qint64 m_urlCounter = 0;
    int m_fileWaitInterval = 1000;
    BrowserOpener m_opener;
};
