#include "support/HelpUtils.h"

#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "support/KELHelpWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kStartPage = QStringLiteral("index.html");

struct KeyPage {
    const QString* key;
    const char* page;
};

// Looked up in this order; keys are compared exactly.
const KeyPage kPages[] = {
    {&KELOpenQuicklyHelpKey, "basics/documents.html"},
    {&KELSupportHelpKey, "basics/support.html"},
    {&KELInsertColorHelpKey, "editing/insert.html"},
    {&KELInsertImageMapHelpKey, "editing/insert.html"},
    {&KELInsertMetaTagHelpKey, "editing/insert.html"},
    {&KELAdvancedInsertHelpKey, "editing/insert.html"},
    {&KELBatchFindHelpKey, "find/batch.html"},
    {&KELRegexHelpKey, "find/regex.html"},
    {&KELColoringHelpKey, "prefs/coloring.html"},
    {&KELFileTypesHelpKey, "prefs/filetypes.html"},
    {&KELComponentLibraryHelpKey, "component/componentlibrary.html"},
    {&KELCodeClipsHelpKey, "editing/codeclips.html"},
    {&KELTextEncodingsHelpKey, "editing/textencodings.html"},
};

HelpUtils::Opener& opener()
{
    static HelpUtils::Opener f;
    return f;
}

} // namespace

QString HelpUtils::helpBookPath()
{
    // The book exists when its start page does.
    const QString start = kit::resourcePath(QStringLiteral("Help/") + kStartPage);
    return start.isEmpty() ? QString() : QFileInfo(start).absolutePath();
}

QString HelpUtils::pagePathForKey(const QString& key)
{
    for (const KeyPage& entry : kPages)
        if (*entry.key == key)
            return QString::fromLatin1(entry.page);
    return QString();
}

QUrl HelpUtils::urlForPagePath(const QString& pagePath, const QString& anchorName)
{
    const QString book = helpBookPath();
    if (book.isEmpty())
        return QUrl();
    const QString startPage = book + QLatin1Char('/') + kStartPage;
    QString file = startPage;
    bool fellBack = false;
    if (!pagePath.isEmpty()) {
        // Only pages inside the book; a page the book lacks shows the start page
        // rather than a browser error.
        const QString candidate = QDir::cleanPath(book + QLatin1Char('/') + pagePath);
        if (candidate.startsWith(book + QLatin1Char('/')) && QFileInfo(candidate).isFile())
            file = candidate;
        else {
            fellBack = true;
            kit::log(QStringLiteral("No help page \"%1\"; showing the start page").arg(pagePath));
        }
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (!anchorName.isEmpty() && !fellBack)
        url.setFragment(anchorName);
    return url;
}

void HelpUtils::showHelpPagePath(const QString& pagePath, const QString& anchorName)
{
    const QUrl url = urlForPagePath(pagePath, anchorName);
    if (url.isEmpty())
        return;
    if (opener()) {
        opener()(url);
        return;
    }
    // Our own window: help works on a desktop without a browser; the window offers the
    // browser to those who want it.
    KELHelpWindow::sharedHelpWindow().showPage(url);
}

void HelpUtils::showHelpForKey(const QString& key)
{
    showHelpPagePath(pagePathForKey(key));
}

void HelpUtils::showHelpForComponent(const QString& componentName)
{
    QString name = componentName;
    name.remove(QLatin1Char(' '));
    showHelpPagePath(QStringLiteral("component/%1.html").arg(name));
}

void HelpUtils::setOpenerForTesting(Opener f)
{
    opener() = std::move(f);
}

bool HelpUtils::openInBrowser(const QUrl& url)
{
    if (QDesktopServices::openUrl(url))
        return true;
    kit::log(QStringLiteral("Could not open %1").arg(url.toString()));
    // Said, not only logged: on a desktop without a browser the user would wait for nothing.
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("The page could not be opened."));
    alert.setInformativeText(QStringLiteral("No web browser is set up to open %1. Install one, or open the page yourself.")
                                 .arg(url.isLocalFile() ? url.toLocalFile() : url.toString()));
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
    return false;
}
