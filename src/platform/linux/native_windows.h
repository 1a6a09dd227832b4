#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "desktop/window_system.h"

namespace tk {

// A window a Wayland compositor reports. X11 programs' windows may be among them; those are
// better described by the X server itself, so the merge drops them.
struct NativeWindow {
    WindowInfo info;
    std::string title;      // whole, where info.text is cut: a path in it is read from here
    bool xwayland = false;  // known to be an X11 program's window
};

struct NativeWindowList {
    bool ok = false;  // false when the compositor could not be asked
    std::string error;
    std::vector<NativeWindow> windows;  // most recent or topmost first
};

// The windows the X server lists, to tell which of the compositor's are the same: an X11 window
// the compositor lists as well has the same title and, when the compositor names processes,
// the same process.
class XListedWindows {
public:
    void Add(const std::string& title, std::int64_t pid) {
        m_windows.emplace(title, pid);
        m_titles.insert(title);
    }
    bool Lists(const std::string& title, std::int64_t pid) const {
        return pid > 0 ? m_windows.contains({title, pid}) : m_titles.contains(title);
    }

private:
    std::set<std::pair<std::string, std::int64_t>> m_windows;
    std::set<std::string> m_titles;
};

// Lists a compositor's windows by whatever means that compositor offers.
class NativeWindowLister {
public:
    virtual ~NativeWindowLister() = default;
    virtual NativeWindowList List() = 0;
    // What the user can do to let the program see native windows, in Chinese; empty when
    // the lister works. May be asked from another thread than List().
    virtual std::string Hint() const { return {}; }
};

}  // namespace tk
