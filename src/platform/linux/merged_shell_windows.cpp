#include "platform/linux/merged_shell_windows.h"

#include <exception>
#include <string>
#include <utility>

namespace tk {

MergedShellWindows& MergedShellWindows::Add(std::unique_ptr<ShellWindows> source) {
    if (source != nullptr) m_sources.push_back(std::move(source));
    return *this;
}

ShellWindowsResult MergedShellWindows::List() {
    ShellWindowsResult all;
    const auto fail = [&all](const std::string& error) {
        all.ok = false;
        if (!all.error.empty()) all.error += "; ";
        all.error += error.empty() ? "a source of shell windows failed" : error;
    };
    // One failing source must not hide the windows the others see.
    for (const auto& source : m_sources) {
        try {
            ShellWindowsResult result = source->List();
            for (auto& window : result.windows) all.windows.push_back(std::move(window));
            for (auto& program : result.programs) all.programs.push_back(std::move(program));
            if (!result.ok) fail(result.error);
        } catch (const std::exception& e) {
            fail(e.what());
        } catch (...) {
            fail({});
        }
    }
    return all;
}

bool MergedShellWindows::IsBrowserProgram(const std::string& executable) {
    for (const auto& source : m_sources) {
        if (source->IsBrowserProgram(executable)) return true;
    }
    return false;
}

bool MergedShellWindows::IsFileManagerProgram(const std::string& executable) {
    for (const auto& source : m_sources) {
        if (source->IsFileManagerProgram(executable)) return true;
    }
    return false;
}

std::string MergedShellWindows::SettingsHint() {
    std::string all;
    for (const auto& source : m_sources) {
        const std::string hint = source->SettingsHint();
        if (!hint.empty()) all += (all.empty() ? "" : " ") + hint;
    }
    return all;
}

}  // namespace tk
