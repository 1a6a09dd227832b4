#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/icons/desktop_entry_programs.h"
#include "platform/linux/native_windows.h"

namespace tk {

// Native windows of a wlroots compositor (sway, labwc, Wayfire, river, Hyprland) from its
// foreign-toplevel list. The list names no process: on sway its IPC tree supplies the pid
// and tells X11 programs' windows apart; elsewhere the window's app id leads to its desktop
// entry and that entry's executable.
class WlrootsWindowLister final : public NativeWindowLister {
public:
    struct Options {
        std::string display;                    // empty: $WAYLAND_DISPLAY
        std::optional<std::string> swaySocket;  // sway's IPC socket, when it is sway
        std::chrono::milliseconds timeout{2000};
    };
    explicit WlrootsWindowLister(Options options);

    NativeWindowList List() override;

    // Handles are numbered above any X11 window id, so the two never meet in one snapshot.
    static constexpr WindowHandle kHandleBase = WindowHandle{1} << 40;

private:
    Options m_options;
    DesktopEntryPrograms m_programs;
    // Windows (app id, title) in the order they were last seen active, most recent first;
    // what orders the list where the compositor tells only which window is active now.
    std::vector<std::pair<std::string, std::string>> m_recent;
};

}  // namespace tk
