#pragma once
// Named notifications, delivered synchronously on the main thread to every
// observer registered for the name (or for all names) and the object (or any).

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>

namespace kit {

struct Notification {
    QString name;
    const void* object = nullptr;
    QVariantMap userInfo;
};

class NotificationCenter {
public:
    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    using Handler = std::function<void(const Notification&)>;

    /// Registers an observer; an empty name means every notification, a null
    /// object any sender. When context is given, the observer goes away with it.
    /// Returns an id for removeObserver (never 0).
    quint64 addObserver(const QString& name, const void* object, Handler h, QObject* context = nullptr);
    /// Safe at any time, also from inside a handler during a post.
    void removeObserver(quint64 id);
    void removeObservers(QObject* context);

    /// Delivers at once to the observers registered when the post starts, in the
    /// order they were added; an observer removed meanwhile is skipped. Posts from
    /// another thread are delivered later on the main thread.
    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});
    void post(const Notification& notification);

    int observerCount() const { return int(m_observers.size()); }

private:
    struct Observer {
        QString name;
        const void* object = nullptr;
        Handler handler;
        QObject* context = nullptr;
    };
    std::map<quint64, Observer> m_observers;
    std::map<QObject*, QMetaObject::Connection> m_contexts;
    quint64 m_nextId = 1;
};

} // namespace kit
