#pragma once
// The one thread that loads cover-flow pictures, first requested first loaded.
// Quitting stops it and waits for it.

#include <QImage>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class KELCoverFlowImage;

class KELCoverFlowImageLoader {
public:
    /// Reads a picture file; a null image when it cannot.
    using Decoder = std::function<QImage(const QString& path)>;

    static KELCoverFlowImageLoader& sharedInstance();
    /// Stops the shared loader, if it was ever made (at quit).
    static void stopSharedInstance();

    explicit KELCoverFlowImageLoader(Decoder decoder = {});
    ~KELCoverFlowImageLoader();
    KELCoverFlowImageLoader(const KELCoverFlowImageLoader&) = delete;
    KELCoverFlowImageLoader& operator=(const KELCoverFlowImageLoader&) = delete;

    void setDecoder(Decoder decoder);

    /// Appends the image (again, when it is queued already) and starts the thread
    /// on first use. Does nothing once stopped.
    void enqueue(std::shared_ptr<KELCoverFlowImage> image);
    /// Removes the queued images whose mark is clear and clears every mark walked.
    void sweep();
    /// Ends the thread after the load in hand; the queue is dropped.
    void stop();
    qsizetype queuedCount() const;
    bool isRunning() const;

    /// The reflection's picture: the image darkened from 60 % black at the bottom
    /// to opaque black at the top, keeping its transparency.
    static QImage shadedCopy(const QImage& image);
    static QImage readImage(const QString& path);

private:
    void run();

    Decoder m_decoder;
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    std::deque<std::shared_ptr<KELCoverFlowImage>> m_queue;
    std::thread m_thread;
    bool m_stopping = false;
};
