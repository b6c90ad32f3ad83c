#pragma once
// Open With: the applications that can open all of a set of files, the common
// default first; the submenu that offers them; opening the files in one of them.

#include "project/KELOpenWithApplicationLookupResult.h"

#include <QList>
#include <QUrl>
#include <functional>
#include <optional>

class QMenu;
class QObject;

class KELOpenWithManager {
public:
    /// None for no files.
    static std::optional<KELOpenWithApplicationLookupResult> lookupApplicationsForFileURLs(const QList<QUrl>& urls);
    static std::optional<KELOpenWithApplicationLookupResult> lookupApplicationsForFileURL(const QUrl& url);

    /// Fills the menu for the files: the default application first ("… (default)"),
    /// a separator when more follow, then the others; "<None>" when there are none.
    /// Each item opens the files that files() answers when it is chosen.
    static void fillMenu(QMenu* menu, const QList<QUrl>& urls, std::function<QList<QUrl>()> files);
    /// Opens the files with the application of the sender (a KELOpenWithMenuItem);
    /// failures are logged.
    static void openWithApplication(QObject* sender, const QList<QUrl>& files);
};
