#include "kit/TemporaryFolder.h"

#include "kit/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <memory>

namespace kit {

QString temporaryFolder()
{
    // A function-local static: the folder and what it holds go at process exit.
    static std::unique_ptr<QTemporaryDir> folder = [] {
        auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kelp-studio-XXXXXX"));
        if (!dir->isValid())
            log(QStringLiteral("Could not make a temporary folder: %1").arg(dir->errorString()));
        return dir;
    }();
    return folder->isValid() ? folder->path() : QString();
}

QString uniqueTemporaryPath(const QString& suffix)
{
    const QString folder = temporaryFolder();
    if (folder.isEmpty())
        return {};
    QString path;
    do {
        path = folder + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces) + suffix;
    } while (QFileInfo::exists(path));
    return path;
}

} // namespace kit
