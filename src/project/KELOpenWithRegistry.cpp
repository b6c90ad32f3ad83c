#include "project/KELOpenWithRegistry.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace {

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString contentTypeOfFile(const QString& path)
{
    static QMimeDatabase database;
    return database.mimeTypeForFile(path).name();
}

// The desktop's registry through GIO.
class GIORegistry : public KELOpenWithRegistry {
public:
    QStringList applicationsForFile(const QString& path) override
    {
        QStringList list;
        const QByteArray type = contentTypeOfFile(path).toUtf8();
        GList* all = g_app_info_get_all_for_type(type.constData());
        for (GList* it = all; it; it = it->next) {
            const QString file = fileOf(G_APP_INFO(it->data));
            if (!file.isEmpty() && !list.contains(file))
                list << file;
        }
        g_list_free_full(all, g_object_unref);
        return list;
    }

    QString defaultApplicationForFile(const QString& path) override
    {
        const QByteArray type = contentTypeOfFile(path).toUtf8();
        GAppInfo* info = g_app_info_get_default_for_type(type.constData(), FALSE);
        const QString file = info ? fileOf(info) : QString();
        if (info)
            g_object_unref(info);
        return file;
    }

    QString nameOfApplication(const QString& application) override
    {
        GDesktopAppInfo* info = load(application);
        const QString name = info ? fromUtf8(g_app_info_get_display_name(G_APP_INFO(info))) : QString();
        if (info)
            g_object_unref(info);
        return name;
    }

    QString versionOfApplication(const QString& application) override
    {
        GDesktopAppInfo* info = load(application);
        QString version;
        if (info) {
            gchar* value = g_desktop_app_info_get_string(info, "X-AppVersion");
            version = fromUtf8(value);
            g_free(value);
            g_object_unref(info);
        }
        return version;
    }

    QIcon iconOfApplication(const QString& application) override
    {
        GDesktopAppInfo* info = load(application);
        QIcon icon;
        if (info) {
            GIcon* gicon = g_app_info_get_icon(G_APP_INFO(info));
            if (gicon) {
                gchar* name = g_icon_to_string(gicon);
                const QString iconName = fromUtf8(name);
                g_free(name);
                icon = iconName.startsWith(QLatin1Char('/')) ? QIcon(iconName) : QIcon::fromTheme(iconName);
            }
            g_object_unref(info);
        }
        return icon;
    }

    bool openFiles(const QStringList& paths, const QString& application, QString* reason) override
    {
        GDesktopAppInfo* info = load(application);
        if (!info) {
            if (reason)
                *reason = QStringLiteral("The application could not be found.");
            return false;
        }
        QList<QByteArray> uris;
        GList* list = nullptr;
        for (const QString& path : paths)
            uris << QUrl::fromLocalFile(path).toEncoded();
        for (const QByteArray& uri : uris)
            list = g_list_append(list, const_cast<char*>(uri.constData()));
        GError* error = nullptr;
        const gboolean ok = g_app_info_launch_uris(G_APP_INFO(info), list, nullptr, &error);
        g_list_free(list);
        g_object_unref(info);
        if (!ok) {
            if (reason)
                *reason = error ? fromUtf8(error->message) : QStringLiteral("The application could not be started.");
            if (error)
                g_error_free(error);
            return false;
        }
        return true;
    }

private:
    static QString fileOf(GAppInfo* info)
    {
        if (G_IS_DESKTOP_APP_INFO(info)) {
            const QString file = fromUtf8(g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info)));
            if (!file.isEmpty())
                return file;
        }
        return fromUtf8(g_app_info_get_id(info));
    }

    static GDesktopAppInfo* load(const QString& application)
    {
        const QByteArray name = application.toUtf8();
        if (application.startsWith(QLatin1Char('/')))
            return g_desktop_app_info_new_from_filename(name.constData());
        return g_desktop_app_info_new(name.constData());
    }
};

std::unique_ptr<KELOpenWithRegistry>& sharedRegistry()
{
    static std::unique_ptr<KELOpenWithRegistry> registry;
    return registry;
}

} // namespace

KELOpenWithRegistry& KELOpenWithRegistry::shared()
{
    if (!sharedRegistry())
        sharedRegistry() = std::make_unique<GIORegistry>();
    return *sharedRegistry();
}

void KELOpenWithRegistry::setSharedForTesting(std::unique_ptr<KELOpenWithRegistry> registry)
{
    sharedRegistry() = std::move(registry);
}
