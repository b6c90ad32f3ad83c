#include "componentui/KELCoverFlowImageLoader.h"

#include "componentui/KELCoverFlowImage.h"
#include "kit/NotificationCenter.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>

namespace {
KELCoverFlowImageLoader*& sharedLoader()
{
    static KELCoverFlowImageLoader* loader = nullptr;
    return loader;
}
} // namespace

KELCoverFlowImageLoader& KELCoverFlowImageLoader::sharedInstance()
{
    static KELCoverFlowImageLoader loader;
    sharedLoader() = &loader;
    return loader;
}

void KELCoverFlowImageLoader::stopSharedInstance()
{
    if (sharedLoader())
        sharedLoader()->stop();
}

KELCoverFlowImageLoader::KELCoverFlowImageLoader(Decoder decoder)
    : m_decoder(decoder ? std::move(decoder) : Decoder(&KELCoverFlowImageLoader::readImage))
{
}

KELCoverFlowImageLoader::~KELCoverFlowImageLoader()
{
    stop();
    if (sharedLoader() == this)
        sharedLoader() = nullptr;
}

QImage KELCoverFlowImageLoader::readImage(const QString& path)
{
    if (path.isEmpty())
        return {};
    QImageReader reader(path);
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage KELCoverFlowImageLoader::shadedCopy(const QImage& image)
{
    if (image.isNull())
        return {};
    QImage shaded(image.size(), QImage::Format_ARGB32_Premultiplied);
    shaded.fill(Qt::transparent);
    QPainter painter(&shaded);
    painter.drawImage(0, 0, image);
    // Source-atop keeps the picture's own transparency.
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QLinearGradient gradient(0, image.height(), 0, 0);
    gradient.setColorAt(0, QColor::fromRgbF(0, 0, 0, 0.6f));
    gradient.setColorAt(1, QColor::fromRgbF(0, 0, 0, 1.0f));
    painter.fillRect(shaded.rect(), gradient);
    return shaded;
}

void KELCoverFlowImageLoader::setDecoder(Decoder decoder)
{
    std::lock_guard lock(m_mutex);
    m_decoder = decoder ? std::move(decoder) : Decoder(&KELCoverFlowImageLoader::readImage);
}

void KELCoverFlowImageLoader::enqueue(std::shared_ptr<KELCoverFlowImage> image)
{
    std::lock_guard lock(m_mutex);
    if (m_stopping || !image)
        return;
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_queue.push_back(std::move(image));
    m_condition.notify_one();
}

void KELCoverFlowImageLoader::sweep()
{
    std::lock_guard lock(m_mutex);
    std::deque<std::shared_ptr<KELCoverFlowImage>> kept;
    for (auto& image : m_queue) {
        if (image->marked())
            kept.push_back(image);
    }
    // Every image walked loses its mark, kept or not (copies share one image).
    for (auto& image : m_queue)
        image->setMarked(false);
    m_queue.swap(kept);
}

void KELCoverFlowImageLoader::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_condition.notify_all();
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

qsizetype KELCoverFlowImageLoader::queuedCount() const
{
    std::lock_guard lock(m_mutex);
    return qsizetype(m_queue.size());
}

bool KELCoverFlowImageLoader::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && !m_stopping;
}

void KELCoverFlowImageLoader::run()
{
    for (;;) {
        std::shared_ptr<KELCoverFlowImage> image;
        Decoder decoder;
        {
            std::unique_lock lock(m_mutex);
            m_condition.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            image = std::move(m_queue.front());
            m_queue.pop_front();
            decoder = m_decoder;
        }
        QImage picture = decoder(image->path());
        if (!picture.isNull() && picture.format() != QImage::Format_ARGB32_Premultiplied)
            picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage shaded = shadedCopy(picture);
        image->setPictures(std::move(picture), std::move(shaded));
        // Announced whether or not a picture came: the view asks again when it
        // next finds the picture visible.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [image] {
                kit::NotificationCenter::defaultCenter().post(KELCoverFlowImageDidLoadNotification, image.get());
            }, Qt::QueuedConnection);
    }
}
