#pragma once

#include <QObject>
#include <QTimer>

namespace tk {

// A window timer with the classic semantics the program relies on: setting the enabled state
// or the interval it already has leaves the countdown running (QTimer::setInterval restarts
// an active timer, so changes are applied only when they are changes).
class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(int intervalMs, QObject* parent = nullptr) : QObject(parent) {
        m_timer.setInterval(intervalMs);
        connect(&m_timer, &QTimer::timeout, this, &TTimer::Timer);
    }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) {
        if (enabled == m_enabled) return;
        m_enabled = enabled;
        if (enabled) m_timer.start();
        else m_timer.stop();
    }
    std::uint32_t Interval() const { return m_interval; }
    void SetInterval(std::uint32_t ms) {
        if (ms == m_interval) return;
        m_interval = ms;
        // QTimer takes an int; the longest interval it can hold stands in for larger ones.
        m_timer.setInterval(ms > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(ms));
        if (m_enabled) m_timer.start();
    }
    void SetSingleShot(bool single) { m_timer.setSingleShot(single); }
    int RemainingMs() const { return m_timer.remainingTime(); }

signals:
    void Timer();

private:
    QTimer m_timer;
    bool m_enabled = false;
    std::uint32_t m_interval = 0;
};

}  // namespace tk
