#include "kit/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>
#include <vector>

namespace kit {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::NotificationCenter() = default;

NotificationCenter::~NotificationCenter()
{
    for (auto& [context, connection] : m_contexts)
        QObject::disconnect(connection);
}

quint64 NotificationCenter::addObserver(const QString& name, const void* object, Handler h, QObject* context)
{
    const quint64 id = m_nextId++;
    m_observers.emplace(id, Observer{name, object, std::move(h), context});
    if (context && !m_contexts.count(context)) {
        m_contexts[context] = QObject::connect(context, &QObject::destroyed, [this, context] {
            m_contexts.erase(context);
            removeObservers(context);
        });
    }
    return id;
}

void NotificationCenter::removeObserver(quint64 id)
{
    auto it = m_observers.find(id);
    if (it == m_observers.end())
        return;
    QObject* context = it->second.context;
    m_observers.erase(it);
    if (!context)
        return;
    for (const auto& [otherId, observer] : m_observers)
        if (observer.context == context)
            return;
    auto c = m_contexts.find(context);
    if (c != m_contexts.end()) {
        QObject::disconnect(c->second);
        m_contexts.erase(c);
    }
}

void NotificationCenter::removeObservers(QObject* context)
{
    if (!context)
        return;
    for (auto it = m_observers.begin(); it != m_observers.end();) {
        if (it->second.context == context)
            it = m_observers.erase(it);
        else
            ++it;
    }
    auto c = m_contexts.find(context);
    if (c != m_contexts.end()) {
        QObject::disconnect(c->second);
        m_contexts.erase(c);
    }
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    post(Notification{name, object, userInfo});
}

void NotificationCenter::post(const Notification& notification)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // Observers expect the main thread; hand the post over to it.
        QMetaObject::invokeMethod(app, [this, notification] { post(notification); }, Qt::QueuedConnection);
        return;
    }
    // Deliver to the observers present now; each is looked up again before its
    // turn so that one removed by an earlier handler is not called.
    std::vector<quint64> ids;
    ids.reserve(m_observers.size());
    for (const auto& [id, observer] : m_observers) {
        if (!observer.name.isEmpty() && observer.name != notification.name)
            continue;
        if (observer.object && observer.object != notification.object)
            continue;
        ids.push_back(id);
    }
    for (quint64 id : ids) {
        auto it = m_observers.find(id);
        if (it == m_observers.end())
            continue;
        // A copy, so a handler that removes itself does not destroy the function it runs in.
        Handler handler = it->second.handler;
        if (handler)
            handler(notification);
    }
}

} // namespace kit
