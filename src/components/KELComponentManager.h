#pragma once
// The catalogue of components: every component folder of the bundle's library,
// then of the user's own library, read once and kept for the life of the process.

#include "components/KELComponent.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class KELComponentManager {
public:
    /// The catalogue of the bundle's and the user's library, made on first use.
    static KELComponentManager& sharedInstance();
    /// A catalogue of the given library folders, read in that order.
    explicit KELComponentManager(const QStringList& libraryDirectories);

    /// The bundle's library.
    static QString componentsDirectory();
    /// The resources every component may use (stock images ...).
    static QString componentsSharedResourcesDirectory();
    /// The user's own library, under the application data folder.
    static QString userComponentsDirectory();

    const QList<std::shared_ptr<KELComponent>>& components() const { return m_components; }
    /// The first component of that exact name.
    std::shared_ptr<KELComponent> componentWithName(const QString& name) const;
    /// The component of that folder ("." and ".." parts and symbolic links allowed).
    std::shared_ptr<KELComponent> componentWithPath(const QString& path) const;

    /// A folder's path with "." and ".." resolved and symbolic links followed.
    static QString standardizedPath(const QString& path);

private:
    void readComponents(const QString& directory);
    QList<std::shared_ptr<KELComponent>> m_components;
};
