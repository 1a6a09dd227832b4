#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tk {

// A top-level window as the sources that read folders from titles need it.
struct TitledWindow {
    std::string title;       // whole, UTF-8: not cut to the 128 bytes a window's text keeps
    std::int64_t pid = 0;    // a process of this host; 0 when unknown
    std::string executable;  // when no process is known: the program its desktop entry names
};

struct TitledWindowList {
    bool ok = true;  // false: the listing broke; what was listed before stays
    std::string error;
    std::vector<TitledWindow> windows;
};

// Lists the desktop's windows with their whole titles.
class TitledWindowLister {
public:
    virtual ~TitledWindowLister() = default;
    // Every top-level window that could be read; none, and no failure, without a desktop.
    virtual TitledWindowList List() = 0;
};

}  // namespace tk
