#pragma once

#include <optional>
#include <string>

#include "base/diagnostics.h"
#include "desktop/shell.h"

namespace tk {

// The shell requests of the program carried out on a Linux desktop: addresses, folders and
// documents go to the user's default application through GIO, programs are started with an
// argument vector, the desktop is shown through the window manager.
//
// Nothing goes through a command interpreter: a program is given only absolute paths and
// URIs that carry their scheme, each as one argument, so no text can become an option.
// Every child is reaped in the background; the caller never waits for a program to end.
class LinuxShell final : public Shell {
public:
    struct Options {
        // The X display for showing the desktop and the bell; empty means $DISPLAY.
        std::string displayName;
    };

    // What the desktop refuses, and trouble on the way, is reported to `diagnostics` as well.
    explicit LinuxShell(Diagnostics& diagnostics);
    LinuxShell(Diagnostics& diagnostics, Options options);

    ShellResult Execute(WindowHandle owner, const std::optional<std::string>& verb,
                        const std::string& file, const std::optional<std::string>& parameters,
                        const std::optional<std::string>& directory, int show) override;
    ShellResult OpenSpecialFolder(int csidl, WindowHandle owner) override;
    ShellResult RunControlPanel(const std::string& commandLine, int show) override;
    void MinimizeAll() override;
    std::string SystemDirectory() override;
    void MessageBeep() override;

private:
    Diagnostics& m_diagnostics;
    Options m_options;
};

}  // namespace tk
