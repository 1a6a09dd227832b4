#pragma once

#include <memory>
#include <string>

#include "desktop/shell_windows.h"
#include "platform/linux/icons/desktop_entry_browsers.h"
#include "platform/linux/titled_windows.h"

namespace tk {

// Folder windows of the file managers that publish no list of them (Dolphin, and Nemo and
// Thunar besides their widgets): the folder each window's title names, when the user has it
// show the full path. A file manager is known by what the desktop's entries say; its windows
// are its folders and it is never recorded as a program, whether its titles say anything or not.
class FileManagerTitleWindows final : public ShellWindows {
public:
    // The windows come from `windows` (the X server's, and on Wayland the compositor's too);
    // null: none, only the file managers' programs are known. `fileManagers`: the index shared
    // with the other readers of file managers' windows; null: one of its own.
    explicit FileManagerTitleWindows(std::unique_ptr<TitledWindowLister> windows,
                                     std::shared_ptr<DesktopEntryBrowsers> fileManagers = nullptr);

    ShellWindowsResult List() override;
    bool IsFileManagerProgram(const std::string& executable) override;
    std::string SettingsHint() override;

private:
    std::unique_ptr<TitledWindowLister> m_windows;
    std::shared_ptr<DesktopEntryBrowsers> m_fileManagers;
};

}  // namespace tk
