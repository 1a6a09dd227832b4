#pragma once

#include <string>

#include "base/diagnostics.h"
#include "desktop/shell.h"

namespace tk {

// The shell32 calls behind every launch. `Api` is the seam the tests use to see what reaches
// ShellExecuteExA without opening anything.
class Win32Shell final : public Shell {
public:
    // What OpenSpecialFolder hands to ShellExecuteExA, for the tests.
    struct SpecialFolderRequest {
        int csidl = 0;
        bool haveItemList = false;
        bool executed = false;
        unsigned long mask = 0;
        std::string verb;
        int show = 0;
        unsigned recordSize = 0;
    };
    using ExecuteExHook = bool (*)(const SpecialFolderRequest&);

    // What the system refuses is reported to `diagnostics` as well.
    explicit Win32Shell(Diagnostics& diagnostics) : m_diagnostics(diagnostics) {}

    ShellResult Execute(WindowHandle owner, const std::optional<std::string>& verb,
                        const std::string& file, const std::optional<std::string>& parameters,
                        const std::optional<std::string>& directory, int show) override;
    ShellResult OpenSpecialFolder(int csidl, WindowHandle owner) override;
    ShellResult RunControlPanel(const std::string& commandLine, int show) override;
    void MinimizeAll() override;
    std::string SystemDirectory() override;
    void MessageBeep() override;

    // Test seam: when set, called instead of ShellExecuteExA; its result stands for the call's.
    void SetExecuteExHookForTesting(ExecuteExHook hook) { m_executeExHook = hook; }
    const SpecialFolderRequest& LastSpecialFolderRequest() const { return m_lastRequest; }

private:
    Diagnostics& m_diagnostics;
    ExecuteExHook m_executeExHook = nullptr;
    SpecialFolderRequest m_lastRequest;
};

}  // namespace tk
