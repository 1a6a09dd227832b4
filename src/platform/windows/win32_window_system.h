#pragma once

#include <cstdint>
#include <string>

#include "desktop/window_system.h"

struct HINSTANCE__;

namespace tk {

// "PSAPI.dll", loaded on the first query and kept; a failed load is tried again next time.
class PsapiLibrary {
public:
    explicit PsapiLibrary(std::string fileName = "PSAPI.dll");
    ~PsapiLibrary();
    PsapiLibrary(const PsapiLibrary&) = delete;
    PsapiLibrary& operator=(const PsapiLibrary&) = delete;

    // The executable of an open process (the file of its first module), in the ANSI code page.
    std::optional<std::string> FirstModuleFileName(void* process);
    int LoadAttempts() const { return m_loadAttempts; }

private:
    bool EnsureLoaded();

    std::string m_fileName;
    HINSTANCE__* m_module = nullptr;
    void* m_enumProcessModules = nullptr;
    void* m_getModuleFileNameExA = nullptr;
    int m_loadAttempts = 0;
};

// Top-level windows through EnumWindows, executables through PSAPI.
class Win32WindowSystem final : public WindowSystem {
public:
    explicit Win32WindowSystem(std::string psapiFileName = "PSAPI.dll");

    // The visible, unowned windows of process `pid` are left out of every listing (0: none
    // are): the program never records itself, whatever windows it shows.
    void SetOwnPid(std::int64_t pid) { m_ownPid = pid; }

    WindowSnapshot ListWindows() override;
    std::optional<std::string> ExecutableOfProcess(std::int64_t pid) override;

    const PsapiLibrary& Psapi() const { return m_psapi; }

private:
    PsapiLibrary m_psapi;
    std::int64_t m_ownPid = 0;
};

}  // namespace tk
