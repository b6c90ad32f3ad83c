#pragma once
// Deferred work on the main event loop.

#include <QObject>
#include <functional>
#include <memory>

class QTimer;

namespace kit {

/// Runs f once the event loop next turns; dropped when context is destroyed first
/// (a null context means the application).
void performOnNextTurn(QObject* context, std::function<void()> f);

/// A restartable single-shot timer: start() again postpones the callback.
class OneShotTimer {
public:
    explicit OneShotTimer(QObject* parent = nullptr);
    explicit OneShotTimer(std::function<void()> callback, QObject* parent = nullptr);
    ~OneShotTimer();
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    void setCallback(std::function<void()> callback);
    /// (Re)starts the countdown.
    void start(int milliseconds);
    void stop();
    bool isActive() const;
    int interval() const;

private:
    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_callback;
};

} // namespace kit
