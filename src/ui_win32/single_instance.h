#pragma once

#include <string>

#include <windows.h>

namespace tk {

// A second start of the program asks the first one's window for itself with this message.
inline constexpr UINT kBringInMessage = WM_APP + 20;

// One running program per history file: the first start holds a named mutex and publishes its
// window; a later start finds it, asks that window in and ends.
class Win32SingleInstance {
public:
    // `key` names the history file (its save path); names differ only by its case-folded hash.
    explicit Win32SingleInstance(const std::string& key);
    ~Win32SingleInstance();
    Win32SingleInstance(const Win32SingleInstance&) = delete;
    Win32SingleInstance& operator=(const Win32SingleInstance&) = delete;

    // True when another instance holds the history and was asked for its window.
    bool HandedOver() const { return m_handedOver; }
    // The first instance's window, for later starts to find.
    void Publish(HWND window);

    // The objects' names for `key` (exposed for the tests).
    static std::wstring MutexName(const std::string& key);

private:
    HANDLE m_mutex = nullptr;
    HANDLE m_mapping = nullptr;
    std::wstring m_base;
    bool m_handedOver = false;
};

}  // namespace tk
