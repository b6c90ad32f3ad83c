#include "kit/TemporaryFolder.h"

#include "kit/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryDir>
#include <QUuid>
#include <memory>

namespace kit {

namespace {

QMutex g_mutex;

// Destroyed at process exit, which removes the folder and what it holds.
std::unique_ptr<QTemporaryDir>& folder()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

} // namespace

QString temporaryFolder()
{
    QMutexLocker lock(&g_mutex);
    auto& dir = folder();
    if (!dir || !dir->isValid() || !QFileInfo(dir->path()).isDir()) {
        dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kelp-studio-XXXXXX"));
        if (!dir->isValid()) {
            log(QStringLiteral("Could not make a temporary folder: %1").arg(dir->errorString()));
            return {};
        }
    }
    return dir->path();
}

QString uniqueTemporaryPath(const QString& suffix)
{
    const QString base = temporaryFolder();
    if (base.isEmpty())
        return {};
    QString path;
    do {
        path = base + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces) + suffix;
    } while (QFileInfo::exists(path));
    return path;
}

void removeTemporaryFolder()
{
    QMutexLocker lock(&g_mutex);
    auto& dir = folder();
    if (dir)
        dir->remove();
    dir.reset();
}

} // namespace kit
