#pragma once
// Keeps the keys the user types away from every widget for a while, and gives
// them back afterwards to the text they were typed for.
//
// A question that comes up in the middle of typing must neither eat the keys
// typed on nor take them for an answer: a Space or Return typed before the user
// has seen it would press a button. While held, keys (and input-method text)
// reach no widget and trigger no shortcut; they are kept in order. Given back,
// they go to the target once its window is active again, so a Ctrl+S among them
// still saves.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QEvent;

namespace kit {

class TypingHold : public QObject
{
    Q_OBJECT
public:
    /// Holds from now on; target is the widget the keys are given back to.
    explicit TypingHold(QWidget* target, QObject* parent = nullptr);
    ~TypingHold() override;

    /// Runs action once no key came for quietMilliseconds (counted from now and
    /// from each key held), and at the latest after maximumMilliseconds when
    /// that is positive. A later call replaces an earlier one.
    void whenQuiet(int quietMilliseconds, std::function<void()> action, int maximumMilliseconds = 0);
    /// Keys reach the widgets again; those held so far stay held.
    void stopHolding();
    bool isHolding() const { return m_holding; }
    /// Stops holding and hands the held keys to the target, in order, as soon as
    /// its window is active (at the latest after a short wait). Without a target
    /// they are dropped. The hold deletes itself once done.
    void giveBack();
    qsizetype heldCount() const { return qsizetype(m_held.size()); }
    QWidget* target() const { return m_target; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void deliver();

    QPointer<QWidget> m_target;
    bool m_holding = true;
    bool m_delivered = false;
    std::vector<std::unique_ptr<QEvent>> m_held;
    QTimer m_quiet;
    QElapsedTimer m_since;
    int m_quietInterval = 0;
    int m_maximum = 0;
    std::function<void()> m_action;
    QTimer m_activationWait;
};

} // namespace kit
