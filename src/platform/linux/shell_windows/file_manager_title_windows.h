#pragma once

#include <memory>
#include <string>

#include "desktop/shell_windows.h"
#include "platform/linux/icons/desktop_entry_browsers.h"
#include "platform/linux/x11/x11_client_list.h"
#include "platform/linux/x11/x_connection.h"

namespace tk {

// Folder windows of the file managers that publish no list of them (Dolphin, Nemo, Thunar and
// others): the folder each window's title names, when the user has it show the full path.
// A file manager is known by what the desktop's entries say; its windows are its folders and
// it is never recorded as a program, whether its titles say anything or not.
class FileManagerTitleWindows final : public ShellWindows {
public:
    // `displayName` empty: $DISPLAY. No display: no windows, and no failure.
    explicit FileManagerTitleWindows(std::string displayName = {},
                                     DesktopEntryBrowsers::Folders folders = {});

    ShellWindowsResult List() override;
    bool IsFileManagerProgram(const std::string& executable) override;
    std::string SettingsHint() override;

private:
    bool Connect();

    std::string m_displayName;
    DesktopEntryBrowsers m_fileManagers;
    std::unique_ptr<XConnection> m_x;  // null until a display answered
    xcb_atom_t m_netWmName = XCB_ATOM_NONE;
    xcb_atom_t m_utf8String = XCB_ATOM_NONE;
    xcb_atom_t m_netWmPid = XCB_ATOM_NONE;
    ClientListAtoms m_listAtoms;
};

}  // namespace tk
