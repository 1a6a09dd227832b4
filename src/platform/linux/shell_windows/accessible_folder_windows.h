#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "desktop/shell_windows.h"
#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/icons/desktop_entry_browsers.h"

namespace tk {

// Folder windows of the file managers that publish no list of their windows (Caja, Nemo,
// Thunar, PCManFM-Qt): the folder their path bar or location entry shows to assistive
// technologies over the accessibility bus, whatever their titles say. Works on X11 and Wayland
// alike. GTK programs answer there as they are; Qt programs only while a screen reader is on or
// their session asks for it, which the hint tells the user. Never starts the accessibility bus
// and never turns it on: a desktop where nobody uses it simply has no such windows.
class AccessibleFolderWindows final : public ShellWindows {
public:
    // `sessionBusAddress` empty: the user's session bus; `fileManagers`: the index of file
    // managers shared with the other readers of their windows; null: one of its own.
    explicit AccessibleFolderWindows(std::string sessionBusAddress = {},
                                     std::shared_ptr<DesktopEntryBrowsers> fileManagers = nullptr);
    ~AccessibleFolderWindows() override;
    AccessibleFolderWindows(const AccessibleFolderWindows&) = delete;
    AccessibleFolderWindows& operator=(const AccessibleFolderWindows&) = delete;

    // No accessibility bus or no such file manager on it: ok with no windows. A file manager
    // that does not answer in time: not ok, and left alone for a while.
    ShellWindowsResult List() override;
    // Whether an executable (a real path) is one of the file managers read this way: the
    // program of a file manager's desktop entry, never a file of that name elsewhere.
    bool IsFileManagerProgram(const std::string& executable) override;
    std::string SettingsHint() override;

private:
    using Clock = std::chrono::steady_clock;
    // The accessibility bus, asked of the session bus at each pass (it moves when restarted).
    GDBusConnection* AccessibilityBus(std::string& error);
    // The executables of the file managers on the accessibility bus, by connection.
    std::map<std::string, std::string> FileManagersOnBus(GDBusConnection* bus,
                                                         Clock::time_point deadline);

    glib::OwnBusConnection m_session;
    std::shared_ptr<DesktopEntryBrowsers> m_fileManagers;
    std::string m_a11yAddress;
    std::unique_ptr<glib::OwnBusConnection> m_a11y;
    // Connection -> executable ("" for any other program); connection names are never reused
    // on one bus, so each is asked once.
    std::map<std::string, std::string> m_executables;
    // Connections that did not answer in time, left alone until then.
    std::map<std::string, Clock::time_point> m_quietUntil;
};

}  // namespace tk
