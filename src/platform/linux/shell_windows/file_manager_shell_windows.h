#pragma once

#include <string>

#include "desktop/shell_windows.h"

struct _GDBusConnection;
struct _GError;
struct _GMainContext;

namespace tk {

// The file manager's folder windows, as it publishes them on the session bus
// (org.freedesktop.FileManager1, property OpenWindowsWithLocations). Asks only a file manager
// that is already running: a sweep must never start one.
class FileManagerShellWindows final : public ShellWindows {
public:
    // `busAddress` empty: the user's session bus.
    explicit FileManagerShellWindows(std::string busAddress = {});
    ~FileManagerShellWindows() override;
    FileManagerShellWindows(const FileManagerShellWindows&) = delete;
    FileManagerShellWindows& operator=(const FileManagerShellWindows&) = delete;

    // No bus or no file manager: ok with no windows. A failed or unanswered call: not ok.
    ShellWindowsResult List() override;

    // What a location URI becomes for the core: "file:///" + the decoded absolute path for
    // a local folder, any other URI unchanged; always valid UTF-8.
    static std::string LocationFromUri(const std::string& uri);

private:
    // The bus connection, made on first use and again after the bus went away; null when
    // there is no bus to reach.
    _GDBusConnection* Connection();
    void DropConnection();
    // A failed call as the result of the pass; takes the error.
    ShellWindowsResult Failure(_GError* error);
    std::string BusAddress() const;

    std::string m_busAddress;
    _GMainContext* m_context;  // where the connection's own notices go; never run otherwise
    _GDBusConnection* m_connection = nullptr;
};

}  // namespace tk
