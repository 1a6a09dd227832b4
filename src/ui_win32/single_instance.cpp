#include "ui_win32/single_instance.h"

#include <cstdint>
#include <cstdio>


namespace tk {

namespace {

// Windows paths ignore case: "C:\A\defualt.ini" and "c:\a\DEFUALT.INI" are one history.
std::wstring BaseName(const std::string& key) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        if (c == '/') c = '\\';
        hash = (hash ^ c) * 1099511628211ull;
    }
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"TarvoKelmora-%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

}  // namespace

std::wstring Win32SingleInstance::MutexName(const std::string& key) { return BaseName(key) + L"-lock"; }

Win32SingleInstance::Win32SingleInstance(const std::string& key) : m_base(BaseName(key)) {
    m_mutex = ::CreateMutexW(nullptr, TRUE, MutexName(key).c_str());
    if (m_mutex == nullptr || ::GetLastError() != ERROR_ALREADY_EXISTS) return;
    m_handedOver = true;
    // The first may still be making its window: look for it for a few seconds.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, (m_base + L"-window").c_str());
        if (mapping != nullptr) {
            const auto* shared = static_cast<const std::uint64_t*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 8));
            HWND window = shared ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*shared)) : nullptr;
            if (shared) ::UnmapViewOfFile(shared);
            ::CloseHandle(mapping);
            if (window != nullptr && ::IsWindow(window)) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(window, &pid);
                ::AllowSetForegroundWindow(pid);
                ::PostMessageW(window, kBringInMessage, 0, 0);
                return;
            }
        }
        ::Sleep(100);
    }
}

Win32SingleInstance::~Win32SingleInstance() {
    if (m_mapping) ::CloseHandle(m_mapping);
    if (m_mutex) {
        if (!m_handedOver) ::ReleaseMutex(m_mutex);
        ::CloseHandle(m_mutex);
    }
}

void Win32SingleInstance::Publish(HWND window) {
    if (m_handedOver || m_mapping) return;
    m_mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, (m_base + L"-window").c_str());
    if (m_mapping == nullptr) return;
    if (auto* shared = static_cast<std::uint64_t*>(::MapViewOfFile(m_mapping, FILE_MAP_WRITE, 0, 0, 8))) {
        *shared = reinterpret_cast<std::uintptr_t>(window);
        ::UnmapViewOfFile(shared);
    }
}

}  // namespace tk
