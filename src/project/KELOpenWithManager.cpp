#include "project/KELOpenWithManager.h"

#include "kit/Log.h"
#include "project/KELOpenWithMenuItem.h"
#include "project/KELOpenWithRegistry.h"

#include <QMenu>

std::optional<KELOpenWithApplicationLookupResult> KELOpenWithManager::lookupApplicationsForFileURLs(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return std::nullopt;
    KELOpenWithRegistry& registry = KELOpenWithRegistry::shared();
    QStringList candidates;
    bool first = true;
    for (const QUrl& url : urls) {
        const QStringList apps = registry.applicationsForFile(url.toLocalFile());
        if (first) {
            candidates = apps;
            first = false;
        } else {
            QStringList common;
            for (const QString& app : std::as_const(candidates)) {
                if (apps.contains(app))
                    common << app;
            }
            candidates = common;
        }
        if (candidates.isEmpty())
            break;
    }
    KELOpenWithApplicationLookupResult result;
    for (const QString& app : std::as_const(candidates))
        result.applications() << KELOpenWithApplication(QUrl::fromLocalFile(app));

    QString common;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString app = registry.defaultApplicationForFile(urls[i].toLocalFile());
        if (app.isEmpty() || (i > 0 && app != common)) {
            common.clear();
            break;
        }
        common = app;
    }
    if (!common.isEmpty())
        result.setDefaultApplication(KELOpenWithApplication(QUrl::fromLocalFile(common)));
    result.cleanupApplications();
    return result;
}

std::optional<KELOpenWithApplicationLookupResult> KELOpenWithManager::lookupApplicationsForFileURL(const QUrl& url)
{
    if (url.isEmpty())
        return std::nullopt;
    return lookupApplicationsForFileURLs({url});
}

void KELOpenWithManager::fillMenu(QMenu* menu, const QList<QUrl>& urls, std::function<QList<QUrl>()> files)
{
    if (!menu)
        return;
    menu->clear();
    const std::optional<KELOpenWithApplicationLookupResult> result = lookupApplicationsForFileURLs(urls);
    auto addItem = [menu, files](const KELOpenWithApplication& application, const QString& title) {
        auto* item = new KELOpenWithMenuItem(title, application.applicationURL(), menu);
        QIcon icon = KELOpenWithRegistry::shared().iconOfApplication(application.applicationURL().toLocalFile());
        if (icon.isNull())
            icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        item->setIcon(icon);
        QObject::connect(item, &QAction::triggered, item, [item, files] { openWithApplication(item, files ? files() : QList<QUrl>()); });
        menu->addAction(item);
    };
    if (result) {
        QList<KELOpenWithApplication> others = result->applications();
        if (const auto& preferred = result->defaultApplication()) {
            others.removeAll(*preferred);
            // The default is described with its list entry when it has one (same application).
            KELOpenWithApplication shown = *preferred;
            for (const KELOpenWithApplication& application : result->applications())
                if (application == *preferred)
                    shown = application;
            addItem(shown, QStringLiteral("%1 (default)").arg(shown.displayString()));
            if (!others.isEmpty())
                menu->addSeparator();
        }
        for (const KELOpenWithApplication& application : std::as_const(others))
            addItem(application, application.displayString());
    }
    if (menu->actions().isEmpty()) {
        QAction* none = menu->addAction(QStringLiteral("<None>"));
        none->setEnabled(false);
    }
}

void KELOpenWithManager::openWithApplication(QObject* sender, const QList<QUrl>& files)
{
    auto* item = qobject_cast<KELOpenWithMenuItem*>(sender);
    if (!item) {
        kit::log(QStringLiteral("Invalid sender for openWithApplication %1").arg(sender ? QString::fromLatin1(sender->metaObject()->className()) : QStringLiteral("(null)")));
        return;
    }
    if (files.isEmpty())
        return;
    QStringList paths;
    for (const QUrl& url : files)
        paths << url.toLocalFile();
    QString reason;
    if (!KELOpenWithRegistry::shared().openFiles(paths, item->applicationURL().toLocalFile(), &reason)) {
        QStringList names;
        for (const QUrl& url : files)
            names << url.toString();
        kit::log(QStringLiteral("Error opening files %1 in app %2 code %3").arg(names.join(QStringLiteral(", ")), item->applicationURL().toString(), QString::number(1)) + QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
}
