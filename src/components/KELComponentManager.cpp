#include "components/KELComponentManager.h"

#include "kit/Resources.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

KELComponentManager& KELComponentManager::sharedInstance()
{
    static KELComponentManager instance({ componentsDirectory(), userComponentsDirectory() });
    return instance;
}

KELComponentManager::KELComponentManager(const QStringList& libraryDirectories)
{
    for (const QString& directory : libraryDirectories) {
        if (!directory.isEmpty())
            readComponents(directory);
    }
}

QString KELComponentManager::componentsDirectory()
{
    return kit::resourcesPath() + QStringLiteral("/Components");
}

QString KELComponentManager::componentsSharedResourcesDirectory()
{
    return componentsDirectory() + QStringLiteral("/Shared");
}

QString KELComponentManager::userComponentsDirectory()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/Components");
}

QString KELComponentManager::standardizedPath(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const QString canonical = QFileInfo(clean).canonicalFilePath();
    return canonical.isEmpty() ? clean : canonical;
}

void KELComponentManager::readComponents(const QString& directory)
{
    // Sorted by name, so that which of two equally named components wins never
    // depends on the file system's order.
    const QFileInfoList entries = QDir(directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName() == QLatin1String("Shared"))
            continue;
        if (auto component = KELComponent::componentWithDirectoryPath(standardizedPath(entry.filePath())))
            m_components.append(std::move(component));
    }
}

std::shared_ptr<KELComponent> KELComponentManager::componentWithName(const QString& name) const
{
    for (const auto& component : m_components) {
        if (component->name() == name)
            return component;
    }
    return nullptr;
}

std::shared_ptr<KELComponent> KELComponentManager::componentWithPath(const QString& path) const
{
    const QString wanted = standardizedPath(path);
    for (const auto& component : m_components) {
        if (component->path() == wanted)
            return component;
    }
    return nullptr;
}
