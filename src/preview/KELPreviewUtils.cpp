#include "preview/KELPreviewUtils.h"

#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/Resources.h"
#include "kit/UserDefaults.h"
#include "preview/KELDocumentURLProtocol.h"
#include "preview/KELPreviewDocument.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

KELPreviewUtils& KELPreviewUtils::sharedInstance()
{
    static KELPreviewUtils instance;
    return instance;
}

QString KELPreviewUtils::untitledDocPreviewPath() const { return kit::resourcesPath() + QStringLiteral("/index.html"); }

QUrl KELPreviewUtils::previewUrlForDocument(const KELPreviewDocument* document)
{
    const qint64 n = m_urlCounter++;
    if (!document)
        return QUrl();
    QUrl url;
    url.setScheme(KELDocumentURLScheme);
    QString path;
    if (document->usesPreviewFile() && !document->previewFile().isEmpty()) {
        path = document->previewFile();
    } else if (document->previewFilePath().isEmpty()) {
        url.setHost(QStringLiteral("kelp%1").arg(n));
        url.setPath(untitledDocPreviewPath());
        QUrlQuery query;
        query.addQueryItem(KELDocumentPointerParameterName, document->previewTokenString());
        url.setQuery(query);
        KELDocumentURLProtocol::registerPreviewURL(url, document);
        return url;
    } else {
        path = document->previewFilePath();
    }
    // A path with "?" keeps one fixed URL (no counter): reloading it reloads from the origin.
    url.setHost(path.contains(QLatin1Char('?')) ? QStringLiteral("kelp") : QStringLiteral("kelp%1").arg(n));
    url.setPath(path, QUrl::DecodedMode);
    // What the page may load through the scheme is decided by this URL's site.
    KELDocumentURLProtocol::registerPreviewURL(url, document);
    return url;
}

QString KELPreviewUtils::applicationForBrowser(const QString& browser)
{
    if (browser.isEmpty())
        return kit::UserDefaults::standard().stringValue(KELDefaultBrowserKey);
    if (browser.contains(QLatin1Char('/')))
        return browser;
    const QString desktopId
        = browser.endsWith(QLatin1String(".desktop")) ? browser : browser + QStringLiteral(".desktop");
    if (GDesktopAppInfo* info = g_desktop_app_info_new(desktopId.toUtf8().constData())) {
        g_object_unref(info);
        return desktopId;
    }
    const QString executable = QStandardPaths::findExecutable(browser);
    return executable.isEmpty() ? browser : executable;
}

void KELPreviewUtils::setBrowserOpenerForTesting(BrowserOpener opener) { m_opener = std::move(opener); }

bool KELPreviewUtils::openWithDesktop(const QString& application, const QString& path)
{
    const QUrl fileUrl = QUrl::fromLocalFile(path);
    if (application.isEmpty())
        return QDesktopServices::openUrl(fileUrl);
    if (application.endsWith(QLatin1String(".desktop"))) {
        GDesktopAppInfo* info = application.contains(QLatin1Char('/'))
            ? g_desktop_app_info_new_from_filename(application.toUtf8().constData())
            : g_desktop_app_info_new(application.toUtf8().constData());
        if (!info)
            return false;
        GList uris {};
        QByteArray uri = fileUrl.toEncoded();
        uris.data = uri.data();
        GError* error = nullptr;
        const bool launched = g_app_info_launch_uris(G_APP_INFO(info), &uris, nullptr, &error);
        if (error)
            g_error_free(error);
        g_object_unref(info);
        return launched;
    }
    return QProcess::startDetached(application, { path });
}

void KELPreviewUtils::previewLocation(const QString& path, const QString& title, const QString& browser)
{
    // Other documents are not saved first: the preview file holds the page's own
    // unsaved text, other files are read as they are on disk.
    previewLocationAfterSaving(path, title, browser);
}

void KELPreviewUtils::previewLocationAfterSaving(const QString& path, const QString& /*title*/, const QString& browser)
{
    waitForFileThenOpen(path, applicationForBrowser(browser), 3);
}

void KELPreviewUtils::waitForFileThenOpen(const QString& path, const QString& application, int checksLeft)
{
    if (!QFileInfo::exists(path)) {
        // Checked up to three times a second apart, without blocking; then given up silently.
        if (checksLeft > 1) {
            QTimer::singleShot(m_fileWaitInterval, QCoreApplication::instance(),
                [this, path, application, checksLeft] { waitForFileThenOpen(path, application, checksLeft - 1); });
        }
        return;
    }
    const bool opened = m_opener ? m_opener(application, path) : openWithDesktop(application, path);
    if (!opened) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Cannot Preview"));
        alert.setInformativeText(QStringLiteral("The selected preview application could not be launched."));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
}
