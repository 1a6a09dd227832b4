#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include <gio/gio.h>

#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/native_windows.h"

namespace tk {

// Native windows of GNOME Shell, through the small shell extension installed with the
// program, which offers the window list on the session bus. While the extension is not
// enabled the listing fails and the hint says how to enable it.
class GnomeShellWindowLister final : public NativeWindowLister {
public:
    // `busAddress` empty: the session bus. `shellName` is the bus name the shell answers on.
    explicit GnomeShellWindowLister(std::string busAddress = {},
                                    std::string shellName = "org.gnome.Shell");
    ~GnomeShellWindowLister() override;
    GnomeShellWindowLister(const GnomeShellWindowLister&) = delete;
    GnomeShellWindowLister& operator=(const GnomeShellWindowLister&) = delete;

    NativeWindowList List() override;
    std::string Hint() const override;

    // The extension as GNOME Shell 42 to 44 load it (a script), and as 45 and later do (a
    // module); each shell loads only the one its version accepts.
    static constexpr const char* kExtensionUuid = "tarvokelmora-windows@tarvokelmora";
    static constexpr const char* kModuleExtensionUuid = "tarvokelmora-windows-45@tarvokelmora";
    // The uuid of the extension a shell of `shellVersion` ("43.9", "46.rc") loads; none for a
    // version that is no version.
    static const char* ExtensionUuidFor(std::string_view shellVersion);
    static constexpr const char* kObjectPath = "/org/tarvokelmora/Windows";
    static constexpr const char* kInterface = "org.tarvokelmora.Windows";
    static constexpr WindowHandle kHandleBase = WindowHandle{3} << 40;

private:
    glib::OwnBusConnection m_bus;
    std::string m_shellName;
    std::atomic<bool> m_extensionMissing = false;  // read by the window's thread
    std::atomic<const char*> m_extensionUuid = nullptr;  // the one this shell loads, once known
};

}  // namespace tk
