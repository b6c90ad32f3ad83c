#include "componentui/KELCoverFlowImage.h"

#include "componentui/KELCoverFlowImageLoader.h"
#include "kit/NotificationCenter.h"

#include <cmath>

QString KELCoverFlowImage::description() const
{
    return QStringLiteral("<DesktopImage: 0x%1; %2>").arg(quintptr(this), 0, 16).arg(name());
}

int KELCoverFlowImage::compareWithDesktopImage(const KELCoverFlowImage* other, const QList<int>& keys) const
{
    if (!other)
        return 1;
    for (int key : keys) {
        if (key == 0)
            return 0;
        if (key == 1) {
            const int order = name().compare(other->name(), Qt::CaseInsensitive);
            if (order != 0)
                return order < 0 ? -1 : 1;
        }
    }
    return 0;
}

QImage KELCoverFlowImage::imageOfSize(QSizeF) const
{
    std::lock_guard lock(m_lock);
    return m_image;
}

QImage KELCoverFlowImage::shadedImage() const
{
    std::lock_guard lock(m_lock);
    return m_shadedImage;
}

bool KELCoverFlowImage::hasImage() const
{
    std::lock_guard lock(m_lock);
    return !m_image.isNull();
}

double KELCoverFlowImage::alphaAtImagePoint(QPointF point) const
{
    QImage image = imageOfSize({});
    if (image.isNull() || !(point.x() >= 0 && point.x() <= 1 && point.y() >= 0 && point.y() <= 1))
        return 1.0;
    // The far edges (x or y exactly 1) belong to the last column and row, not past them.
    const int column = std::min(int(std::trunc(point.x() * image.width())), image.width() - 1);
    const int row = std::min(int(std::trunc((1 - point.y()) * image.height())), image.height() - 1);
    return qAlpha(image.pixel(column, row)) / 255.0;
}

bool KELCoverFlowImage::requestImageOfSize(QSizeF size)
{
    return requestImageOfSize(size, KELCoverFlowImageLoader::sharedInstance());
}

bool KELCoverFlowImage::requestImageOfSize(QSizeF size, KELCoverFlowImageLoader& loader)
{
    bool loaded = false;
    {
        std::lock_guard lock(m_lock);
        m_marked.store(true);
        loaded = !m_image.isNull() && size == m_imageSize;
        if (!loaded)
            m_imageSize = size;
    }
    // Posted outside the lock: observers read the picture straight away.
    if (loaded)
        kit::NotificationCenter::defaultCenter().post(KELCoverFlowImageDidLoadNotification, this);
    else
        loader.enqueue(shared_from_this());
    return true;
}

void KELCoverFlowImage::sweepImageQueue()
{
    KELCoverFlowImageLoader::sharedInstance().sweep();
}

void KELCoverFlowImage::setPictures(QImage image, QImage shaded)
{
    std::lock_guard lock(m_lock);
    m_image = std::move(image);
    m_shadedImage = std::move(shaded);
}
