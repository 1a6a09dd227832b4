#pragma once

#include <QObject>
#include <QTimer>

#include "base/timer.h"

namespace tk {

// A window timer with the classic semantics the program relies on: setting the enabled state
// or the interval it already has leaves the countdown running (QTimer::setInterval restarts
// an active timer, so changes are applied only when they are changes).
class TTimer : public QObject, public tk::Timer {
    Q_OBJECT
public:
    explicit TTimer(int intervalMs, QObject* parent = nullptr) : QObject(parent) {
        m_timer.setInterval(intervalMs);
        m_interval = static_cast<std::uint32_t>(intervalMs);
        connect(&m_timer, &QTimer::timeout, this, &TTimer::OnTimer);
    }
    bool Enabled() const override { return m_enabled; }
    void SetEnabled(bool enabled) override {
        if (enabled == m_enabled) return;
        m_enabled = enabled;
        if (enabled) m_timer.start();
        else m_timer.stop();
    }
    std::uint32_t Interval() const override { return m_interval; }
    void SetInterval(std::uint32_t ms) override {
        if (ms == m_interval) return;
        m_interval = ms;
        // QTimer takes an int; the longest interval it can hold stands in for larger ones.
        m_timer.setInterval(ms > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(ms));
        if (m_enabled) m_timer.start();
    }
    void SetSingleShot(bool single) { m_timer.setSingleShot(single); }
    int RemainingMs() const { return m_timer.remainingTime(); }

signals:
    void OnTimer();

private:
    QTimer m_timer;
    bool m_enabled = false;
    std::uint32_t m_interval = 0;
};

// Timers and waits on Qt's event loop. Posted work that has not run yet is dropped with the
// factory.
class QtTimerFactory : public TimerFactory {
public:
    std::unique_ptr<tk::Timer> MakeTimer(const char* name, std::uint32_t intervalMs, bool singleShot,
                                         std::function<void()> onTick) override;
    void Post(std::function<void()> task) override;
    void Wait(int milliseconds) override;

private:
    QObject m_context;
};

}  // namespace tk
