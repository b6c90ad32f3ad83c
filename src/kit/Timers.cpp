#include "kit/Timers.h"

#include <QCoreApplication>
#include <QTimer>

namespace kit {

void performOnNextTurn(QObject* context, std::function<void()> f)
{
    if (!f)
        return;
    QObject* target = context ? context : QCoreApplication::instance();
    if (!target)
        return;
    QTimer::singleShot(0, target, std::move(f));
}

OneShotTimer::OneShotTimer(QObject* parent) : m_timer(std::make_unique<QTimer>())
{
    m_timer->setSingleShot(true);
    if (parent)
        m_timer->moveToThread(parent->thread());
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
        // A copy: the callback may replace itself or restart the timer.
        auto callback = m_callback;
        if (callback)
            callback();
    });
}

OneShotTimer::OneShotTimer(std::function<void()> callback, QObject* parent) : OneShotTimer(parent)
{
    m_callback = std::move(callback);
}

OneShotTimer::~OneShotTimer() = default;

void OneShotTimer::setCallback(std::function<void()> callback) { m_callback = std::move(callback); }

void OneShotTimer::start(int milliseconds) { m_timer->start(qMax(0, milliseconds)); }

void OneShotTimer::stop() { m_timer->stop(); }

bool OneShotTimer::isActive() const { return m_timer->isActive(); }

int OneShotTimer::interval() const { return m_timer->interval(); }

} // namespace kit
