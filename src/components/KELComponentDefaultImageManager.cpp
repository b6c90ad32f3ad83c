#include "components/KELComponentDefaultImageManager.h"

#include "components/KELComponentManager.h"

KELComponentDefaultImageManager& KELComponentDefaultImageManager::sharedInstance()
{
    static KELComponentDefaultImageManager instance;
    return instance;
}

KELComponentDefaultImageManager::KELComponentDefaultImageManager()
{
    for (const char* name : { "Sunset", "Mountain", "Beach", "London" }) {
        QStringList files;
        for (int i = 1; i <= 4; ++i)
            files.append(QStringLiteral("%1%2.jpg").arg(QLatin1String(name)).arg(i));
        m_collections.append(files);
    }
}

QUrl KELComponentDefaultImageManager::urlForImage(quint64 collection, quint64 image) const
{
    const QString name = m_collections.at(qsizetype(collection % 4)).at(qsizetype(image % 4));
    return QUrl::fromLocalFile(KELComponentManager::componentsSharedResourcesDirectory() + QStringLiteral("/DefaultImages/") + name);
}

QUrl KELComponentDefaultImageManager::defaultImageForIndex(quint64 index) const
{
    return urlForImage(index % 4, (index / 4) % 4);
}

QUrl KELComponentDefaultImageManager::defaultImageForIndices(const QList<quint64>& indices) const
{
    if (indices.size() == 1)
        return defaultImageForIndex(indices.first());
    return urlForImage(indices.value(0, 0), indices.value(1, 0));
}

QSizeF KELComponentDefaultImageManager::scaleDownSize(QSizeF size, QSizeF maximum)
{
    const double ratio = size.height() > 0 ? size.width() / size.height() : 0;
    if (maximum.width() >= 0 && size.width() > maximum.width()) {
        size.setWidth(maximum.width());
        size.setHeight(ratio > 0 ? maximum.width() / ratio : 0);
    }
    if (maximum.height() >= 0 && size.height() > maximum.height()) {
        size.setWidth(ratio * maximum.height());
        size.setHeight(maximum.height());
    }
    return size;
}
