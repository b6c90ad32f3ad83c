#include "kit/TypingHold.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace kit {

namespace {
// How long given-back keys wait for the target's window to be active again (a
// window manager gives it back after a modal window closes).
constexpr int ActivationWaitMilliseconds = 500;
} // namespace

TypingHold::TypingHold(QWidget* target, QObject* parent)
    : QObject(parent)
    , m_target(target)
{
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        std::function<void()> action = std::move(m_action);
        m_action = nullptr;
        if (action)
            action();
    });
    m_activationWait.setSingleShot(true);
    connect(&m_activationWait, &QTimer::timeout, this, &TypingHold::deliver);
    qApp->installEventFilter(this);
}

TypingHold::~TypingHold()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void TypingHold::whenQuiet(int quietMilliseconds, std::function<void()> action, int maximumMilliseconds)
{
    m_action = std::move(action);
    m_maximum = maximumMilliseconds;
    m_quietInterval = qMax(0, quietMilliseconds);
    m_since.start();
    m_quiet.start(m_quietInterval);
}

void TypingHold::stopHolding()
{
    m_holding = false;
}

void TypingHold::giveBack()
{
    stopHolding();
    m_quiet.stop();
    m_action = nullptr;
    if (m_delivered)
        return;
    QWidget* window = m_target ? m_target->window() : nullptr;
    if (!window || m_held.empty() || window->isActiveWindow() || !window->isVisible()) {
        QTimer::singleShot(0, this, &TypingHold::deliver);
        return;
    }
    m_activationWait.start(ActivationWaitMilliseconds);
}

void TypingHold::deliver()
{
    if (m_delivered)
        return;
    m_delivered = true;
    m_activationWait.stop();
    QPointer<TypingHold> self(this);
    std::vector<std::unique_ptr<QEvent>> held = std::move(m_held);
    m_held.clear();
    for (const std::unique_ptr<QEvent>& event : held) {
        // A key given back may close the target (Ctrl+W) or even this hold's owner.
        if (!self || !m_target)
            break;
        if (event->type() == QEvent::KeyPress) {
            // Sent anew (not as from the system), so shortcuts among them still act.
            const auto* key = static_cast<const QKeyEvent*>(event.get());
            QKeyEvent press(QEvent::KeyPress, key->key(), key->modifiers(), key->nativeScanCode(),
                key->nativeVirtualKey(), key->nativeModifiers(), key->text(), key->isAutoRepeat(), key->count());
            QCoreApplication::sendEvent(m_target, &press);
            if (!self || !m_target)
                break;
            QKeyEvent release(QEvent::KeyRelease, key->key(), key->modifiers(), key->nativeScanCode(),
                key->nativeVirtualKey(), key->nativeModifiers(), key->text(), key->isAutoRepeat(), key->count());
            QCoreApplication::sendEvent(m_target, &release);
        } else {
            std::unique_ptr<QEvent> copy(event->clone());
            QCoreApplication::sendEvent(m_target, copy.get());
        }
    }
    if (self)
        deleteLater();
}

bool TypingHold::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        if (!m_holding && !m_delivered && m_activationWait.isActive() && m_target && watched == m_target->window())
            QTimer::singleShot(0, this, &TypingHold::deliver);
        return false;
    case QEvent::ShortcutOverride:
        if (!m_holding)
            return false;
        // Claimed, so no shortcut acts on it; the key press itself is held below.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::InputMethod:
        if (!m_holding)
            return false;
        m_held.emplace_back(event->clone());
        event->accept();
        if (m_quiet.isActive()) {
            // Still typing: wait on, but not beyond the maximum.
            int wait = m_quietInterval;
            if (m_maximum > 0)
                wait = int(qBound<qint64>(0, qint64(m_maximum) - m_since.elapsed(), qint64(wait)));
            m_quiet.start(wait);
        }
        return true;
    case QEvent::KeyRelease:
        if (!m_holding)
            return false;
        event->accept();
        return true;
    default:
        return false;
    }
}

} // namespace kit
