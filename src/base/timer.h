#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace tk {

// A window timer as the program has always used them: setting the enabled state or the
// interval it already has leaves the countdown running.
class Timer {
public:
    virtual ~Timer() = default;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual std::uint32_t Interval() const = 0;
    virtual void SetInterval(std::uint32_t milliseconds) = 0;
};

// Makes timers and waits on the window's event loop; the Qt window and the Win32 window each
// bring their own.
class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    // A stopped timer that calls `onTick` on every expiry; a single-shot one stops itself first.
    virtual std::unique_ptr<Timer> MakeTimer(const char* name, std::uint32_t intervalMs,
                                             bool singleShot, std::function<void()> onTick) = 0;
    // Runs `task` on the window's thread once the event now being handled is done (never
    // inside it). May be called from any thread.
    virtual void Post(std::function<void()> task) = 0;
    // Waits `milliseconds`, keeping the window painted but letting no user input in.
    virtual void Wait(int milliseconds) = 0;
};

}  // namespace tk
