#include "support/KELInstalledBrowsers.h"

#include <QSet>
#include <algorithm>

#include <gio/gio.h>

namespace {

QString fromUtf8(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QIcon iconOf(GAppInfo* info)
{
    GIcon* gicon = g_app_info_get_icon(info);
    if (!gicon)
        return QIcon();
    gchar* text = g_icon_to_string(gicon);
    const QString name = fromUtf8(text);
    g_free(text);
    return name.startsWith(QLatin1Char('/')) ? QIcon(name) : QIcon::fromTheme(name);
}

} // namespace

QList<KELBrowser> KELInstalledBrowsers()
{
    QList<KELBrowser> browsers;
    QSet<QString> seen;
    // A browser is what opens web addresses (an HTML file is also what editors open).
    for (const char* type : {"x-scheme-handler/https", "x-scheme-handler/http"}) {
        GList* all = g_app_info_get_all_for_type(type);
        for (GList* it = all; it; it = it->next) {
            GAppInfo* info = G_APP_INFO(it->data);
            const QString identifier = fromUtf8(g_app_info_get_id(info));
            if (identifier.isEmpty() || seen.contains(identifier) || !g_app_info_should_show(info))
                continue;
            seen.insert(identifier);
            browsers.append({identifier, fromUtf8(g_app_info_get_display_name(info)), iconOf(info)});
        }
        g_list_free_full(all, g_object_unref);
    }
    std::sort(browsers.begin(), browsers.end(), [](const KELBrowser& a, const KELBrowser& b) {
        const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.identifier < b.identifier;
    });
    return browsers;
}

KELBrowser KELInstalledBrowserWithIdentifier(const QString& identifier)
{
    for (const KELBrowser& browser : KELInstalledBrowsers())
        if (browser.identifier == identifier)
            return browser;
    return {};
}
