#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include <windows.h>

#include "base/diagnostics.h"
#include "base/timer.h"

namespace tk {

// Window timers on a message-only window of the GUI thread; posted tasks ride a private message
// to the same window, so they run between events, never inside one. What a tick or a task
// throws is told to `diagnostics` and dropped.
class Win32TimerFactory final : public TimerFactory {
public:
    explicit Win32TimerFactory(Diagnostics& diagnostics);
    ~Win32TimerFactory() override;
    Win32TimerFactory(const Win32TimerFactory&) = delete;
    Win32TimerFactory& operator=(const Win32TimerFactory&) = delete;

    std::unique_ptr<Timer> MakeTimer(const char* name, std::uint32_t intervalMs, bool singleShot,
                                     std::function<void()> onTick) override;
    void Post(std::function<void()> task) override;
    void Wait(int milliseconds) override;

    // Runs what was posted; the message loop calls this for kRunPosted.
    void RunPosted();
    HWND Window() const { return m_window; }

    class WinTimer;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    friend class WinTimer;

    Diagnostics& m_diagnostics;
    HWND m_window = nullptr;
    UINT_PTR m_nextId = 1;
    std::map<UINT_PTR, WinTimer*> m_live;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;
};

}  // namespace tk
