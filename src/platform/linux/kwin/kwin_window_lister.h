#pragma once

#include <string>

#include <gio/gio.h>

#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/native_windows.h"

namespace tk {

// Native windows of KDE Plasma's compositor. KWin shows its window list only to scripts, so
// each listing loads a small script over KWin's scripting interface; the script sends the
// list back to an object this lister puts on the bus for that one call, and is unloaded
// again at once, so nothing of ours stays in KWin.
class KWinWindowLister final : public NativeWindowLister {
public:
    // `busAddress` empty: the session bus.
    explicit KWinWindowLister(std::string busAddress = {});
    ~KWinWindowLister() override;
    KWinWindowLister(const KWinWindowLister&) = delete;
    KWinWindowLister& operator=(const KWinWindowLister&) = delete;

    NativeWindowList List() override;

    // Whether KWin owns its name on that bus (the session bus when empty).
    static bool IsRunning(const std::string& busAddress = {});

    // The script, with the bus name and object it answers to.
    static std::string Script(const std::string& service, const std::string& path);

    static constexpr WindowHandle kHandleBase = WindowHandle{2} << 40;

private:
    glib::OwnBusConnection m_bus;
    unsigned m_serial = 0;
};

}  // namespace tk
