#include "kit/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include "KelpPaths.h"

namespace kit {

namespace {
QString g_override;
}

QString resourcesPath()
{
    if (!g_override.isEmpty())
        return g_override;
    const QString env = qEnvironmentVariable("KELP_STUDIO_RESOURCES");
    if (!env.isEmpty() && QFileInfo(env).isDir())
        return QDir(env).absolutePath();
    const QStringList candidates = {
        QStringLiteral(KELP_SOURCE_RESOURCES),
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/kelp-studio"),
        QStringLiteral(KELP_INSTALL_RESOURCES),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isDir())
            return QDir(c).absolutePath();
    return QStringLiteral(KELP_SOURCE_RESOURCES);
}

QString resourcePath(const QString& relativePath)
{
    const QString p = resourcesPath() + QLatin1Char('/') + relativePath;
    return QFileInfo::exists(p) ? p : QString();
}

void setResourcesPathForTesting(const QString& path) { g_override = path; }

} // namespace kit
