#include "ui_win32/timers.h"


namespace tk {

namespace {
constexpr UINT kRunPosted = WM_APP + 7;
constexpr wchar_t kClassName[] = L"TkTimers";
}  // namespace

class Win32TimerFactory::WinTimer final : public Timer {
public:
    WinTimer(Win32TimerFactory& owner, UINT_PTR id, std::uint32_t interval, bool singleShot,
             std::function<void()> tick)
        : m_owner(owner), m_id(id), m_interval(interval), m_singleShot(singleShot), m_tick(std::move(tick)) {
        m_owner.m_live[m_id] = this;
    }
    ~WinTimer() override {
        SetEnabled(false);
        m_owner.m_live.erase(m_id);
    }
    bool Enabled() const override { return m_enabled; }
    void SetEnabled(bool enabled) override {
        if (enabled == m_enabled) return;  // the countdown goes on
        m_enabled = enabled;
        if (enabled) ::SetTimer(m_owner.m_window, m_id, m_interval, nullptr);
        else ::KillTimer(m_owner.m_window, m_id);
    }
    std::uint32_t Interval() const override { return m_interval; }
    void SetInterval(std::uint32_t ms) override {
        if (ms == m_interval) return;
        m_interval = ms;
        // A new interval starts the countdown again, as a window timer always has.
        if (m_enabled) ::SetTimer(m_owner.m_window, m_id, m_interval, nullptr);
    }
    void Fire() {
        if (!m_enabled) return;
        if (m_singleShot) SetEnabled(false);
        try {
            m_tick();
        } catch (const std::exception& e) {
            // Never through the system's dispatch: the error is dropped, as every handler's is.
            m_owner.m_diagnostics.Info("timer", e.what());
        }
    }

private:
    Win32TimerFactory& m_owner;
    UINT_PTR m_id;
    std::uint32_t m_interval;
    bool m_singleShot;
    std::function<void()> m_tick;
    bool m_enabled = false;
};

Win32TimerFactory::Win32TimerFactory(Diagnostics& diagnostics) : m_diagnostics(diagnostics) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32TimerFactory::~Win32TimerFactory() {
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    ::DestroyWindow(m_window);
}

std::unique_ptr<Timer> Win32TimerFactory::MakeTimer(const char*, std::uint32_t intervalMs, bool singleShot,
                                                    std::function<void()> onTick) {
    return std::make_unique<WinTimer>(*this, m_nextId++, intervalMs, singleShot, std::move(onTick));
}

void Win32TimerFactory::Post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    ::PostMessageW(m_window, kRunPosted, 0, 0);
}

void Win32TimerFactory::RunPosted() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            if (m_posted.empty()) return;
            task = std::move(m_posted.front());
            m_posted.pop_front();
        }
        try {
            task();
        } catch (const std::exception& e) {
            m_diagnostics.Info("posted task", e.what());
        }
    }
}

void Win32TimerFactory::Wait(int milliseconds) {
    // Painting, timers and posted work go on; keyboard and mouse wait for the loop.
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds < 0 ? 0 : milliseconds);
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now),
                                    QS_PAINT | QS_TIMER | QS_POSTMESSAGE | QS_SENDMESSAGE);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0,
                              PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::DispatchMessageW(&msg);
        }
    }
}

LRESULT CALLBACK Win32TimerFactory::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32TimerFactory*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        if (msg == WM_TIMER) {
            auto it = self->m_live.find(wp);
            if (it != self->m_live.end()) it->second->Fire();
            return 0;
        }
        if (msg == kRunPosted) {
            self->RunPosted();
            return 0;
        }
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tk
