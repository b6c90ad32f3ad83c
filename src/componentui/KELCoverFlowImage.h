#pragma once
// One component's picture in the cover flow: loaded on the shared loader thread,
// with a darkened copy for its reflection and the alpha at a point for hit tests.

#include "components/KELComponent.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

class KELCoverFlowImageLoader;

/// Posted on the main thread after each load, found or not; the object is the KELCoverFlowImage*.
inline const QString KELCoverFlowImageDidLoadNotification = QStringLiteral("KELCoverFlowImageDidLoadNotification");

class KELCoverFlowImage : public std::enable_shared_from_this<KELCoverFlowImage> {
public:
    explicit KELCoverFlowImage(std::shared_ptr<KELComponent> component) : m_component(std::move(component)) { }

    const std::shared_ptr<KELComponent>& component() const { return m_component; }
    QString name() const { return m_component->name().value_or(QString()); }
    QString desc() const { return m_component->displayDescription(); }
    QString path() const { return m_component->imagePath(); }
    /// "<DesktopImage: 0x…; name>".
    QString description() const;

    /// Sort keys: 1 compares the names without regard to case, 0 ends the list.
    /// Answers -1, 0 or 1; a missing other image orders this one after it.
    int compareWithDesktopImage(const KELCoverFlowImage* other, const QList<int>& keys) const;

    /// The loaded picture (null until loaded); the size is not looked at.
    QImage imageOfSize(QSizeF size) const;
    QImage shadedImage() const;
    bool hasImage() const;
    /// Alpha (0…1) at a point in unit coordinates (x across, y up the picture);
    /// 1 without a picture or outside it.
    double alphaAtImagePoint(QPointF point) const;

    /// Marks the image and queues it on the loader; a picture already loaded at
    /// this size is announced at once instead.
    bool requestImageOfSize(QSizeF size, KELCoverFlowImageLoader& loader);
    bool requestImageOfSize(QSizeF size);
    /// Drops queued images not requested since the last sweep (the shared loader's queue).
    static void sweepImageQueue();

    // The loader's side.
    void setPictures(QImage image, QImage shaded);
    bool marked() const { return m_marked.load(); }
    void setMarked(bool marked) { m_marked.store(marked); }

private:
    std::shared_ptr<KELComponent> m_component;
    mutable std::mutex m_lock; // picture, shaded copy, requested size
    QImage m_image;
    QImage m_shadedImage;
    QSizeF m_imageSize;
    std::atomic<bool> m_marked {false};
};
