#pragma once

#include <memory>
#include <vector>

#include "desktop/shell_windows.h"

namespace tk {

// Several sources of shell windows listed as one, in the order they were added.
class MergedShellWindows final : public ShellWindows {
public:
    MergedShellWindows& Add(std::unique_ptr<ShellWindows> source);

    // Every source's windows; not ok when any source failed, with each failure in the error.
    ShellWindowsResult List() override;
    // A browser's program for any source.
    bool IsBrowserProgram(const std::string& executable) override;
    bool IsFileManagerProgram(const std::string& executable) override;
    // Every source's hint, one after the other.
    std::string SettingsHint() override;

private:
    std::vector<std::unique_ptr<ShellWindows>> m_sources;
};

}  // namespace tk
