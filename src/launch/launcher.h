#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "desktop/file_system.h"
#include "desktop/shell.h"
#include "history/doc.h"
#include "desktop/path_dialect.h"

namespace tk {

// Opening documents, addresses and special folders through the shell, with exactly the
// requests the program has always made. Results are never tested.
class Launcher {
public:
    // `showMessage` shows the one message launching can show (the missing-path message).
    Launcher(Shell& shell, const FileSystem& files, const PathDialect& dialect,
             std::function<void(const std::string&)> showMessage);

    // The main window, the owner of the shell calls that have one.
    void SetMainWindow(WindowHandle window) { m_mainWindow = window; }

    void LaunchDoc(std::string_view location, std::string_view name);
    void OpenLocation(std::string_view location);
    void OpenWebAddress(std::string_view address);
    // A history entry as it was stored: pages as addresses, everything else as a location.
    void OpenStoredDoc(std::string_view location, int docType);
    void RunFile(std::string_view fileName);
    // The Enter key: opens `text` without the special names or the folder test.
    void LaunchCurDoc(std::string_view text);
    void OpenSpecialFolder(int csidl, WindowHandle owner = 0);
    std::string GetSystemDir();
    // The system directory, opened like any location.
    void OpenSystemDirectory();
    void OpenTaskManager();

    static std::string MissingPathMessage(std::string_view location);

private:
    Shell& m_shell;
    const FileSystem& m_files;
    const PathDialect& m_dialect;
    std::function<void(const std::string&)> m_showMessage;
    WindowHandle m_mainWindow = 0;
};

}  // namespace tk
