#pragma once
// The stock pictures that components show until the user picks their own:
// four collections of four, in the shared resources folder.

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>

class KELComponentDefaultImageManager {
public:
    static KELComponentDefaultImageManager& sharedInstance();

    /// Collection i mod 4, picture (i / 4) mod 4.
    QUrl defaultImageForIndex(quint64 index) const;
    /// One number: as defaultImageForIndex; otherwise collection from the first, picture from the second.
    QUrl defaultImageForIndices(const QList<quint64>& indices) const;
    const QList<QStringList>& collections() const { return m_collections; }

    /// Scales a size down (never up) to fit the limits; a negative limit is none.
    static QSizeF scaleDownSize(QSizeF size, QSizeF maximum);

private:
    KELComponentDefaultImageManager();
    QUrl urlForImage(quint64 collection, quint64 image) const;
    QList<QStringList> m_collections;
};
