#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "desktop/file_system.h"
#include "desktop/shell.h"
#include "history/doc.h"
#include "desktop/path_dialect.h"

namespace tk {

// What became of a request to open something: the shell's own answer, handed up unchanged.
// Opening nothing (an empty text, the missing-path message) is no refusal.
using LaunchResult = ShellResult;

// Opening documents, addresses and special folders through the shell, with exactly the
// requests the program has always made. Every road returns the shell's answer; the caller
// says it to the user.
class Launcher {
public:
    // `showMessage` shows the one message launching can show (the missing-path message).
    Launcher(Shell& shell, const FileSystem& files, const PathDialect& dialect,
             std::function<void(const std::string&)> showMessage);

    // The main window, the owner of the shell calls that have one.
    void SetMainWindow(WindowHandle window) { m_mainWindow = window; }

    LaunchResult LaunchDoc(std::string_view location, std::string_view name);
    LaunchResult OpenLocation(std::string_view location);
    LaunchResult OpenWebAddress(std::string_view address);
    // A history entry as it was stored: pages as addresses, everything else as a location.
    LaunchResult OpenStoredDoc(std::string_view location, int docType);
    // A recorded page: opened only as the address it is (see IsWebPageAddress), never as other text.
    LaunchResult OpenRecordedPage(std::string_view address);
    // The Enter key on a recorded page: the same address, without the click's "=" road.
    LaunchResult EnterOnRecordedPage(std::string_view address);
    // A recorded program: run only when its file is a program.
    LaunchResult RunRecordedProgram(std::string_view path);
    // The address of a place with a host (http, https, ftp, sftp, smb, WebDAV), and nothing a
    // desktop could read otherwise.
    static bool IsWebPageAddress(std::string_view address);
    LaunchResult RunFile(std::string_view fileName);
    // The Enter key: opens `text` without the special names or the folder test.
    LaunchResult LaunchCurDoc(std::string_view text);
    LaunchResult OpenSpecialFolder(int csidl, WindowHandle owner = 0);
    std::string GetSystemDir();
    // The system directory, opened like any location.
    LaunchResult OpenSystemDirectory();
    LaunchResult OpenTaskManager();

    static std::string MissingPathMessage(std::string_view location);

private:
    static LaunchResult NotAPage(std::string_view address);

    Shell& m_shell;
    const FileSystem& m_files;
    const PathDialect& m_dialect;
    std::function<void(const std::string&)> m_showMessage;
    WindowHandle m_mainWindow = 0;
};

}  // namespace tk
