#include "platform/linux/gnome_shell/gnome_shell_window_lister.h"

#include <utility>

#include "base/text.h"
#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/wayland/compositor_window_list.h"

namespace tk {

namespace {

constexpr int kCallTimeoutMs = 2000;
constexpr int kConnectTimeoutMs = 1000;

// The shell is there but our object is not: the extension is not enabled (or not installed).
bool MeansNoExtension(const GError* error) {
    if (error->domain != G_DBUS_ERROR) return false;
    return error->code == G_DBUS_ERROR_UNKNOWN_METHOD ||
           error->code == G_DBUS_ERROR_UNKNOWN_OBJECT ||
           error->code == G_DBUS_ERROR_UNKNOWN_INTERFACE;
}

}  // namespace

GnomeShellWindowLister::GnomeShellWindowLister(std::string busAddress, std::string shellName)
    : m_bus(std::move(busAddress), kConnectTimeoutMs), m_shellName(std::move(shellName)) {}

GnomeShellWindowLister::~GnomeShellWindowLister() = default;

NativeWindowList GnomeShellWindowLister::List() {
    NativeWindowList result;
    GDBusConnection* c = m_bus.Get();
    if (c == nullptr) {
        result.error = "no session bus";
        return result;
    }
    GError* rawError = nullptr;
    glib::Variant reply(g_dbus_connection_call_sync(
        c, m_shellName.c_str(), kObjectPath, kInterface, "List", nullptr, G_VARIANT_TYPE("(s)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &rawError));
    glib::Error error(rawError);
    // Notices the call left behind (such as the connection closing) are handled now.
    while (g_main_context_iteration(m_bus.Context(), FALSE)) {
    }
    if (!reply) {
        m_extensionMissing = MeansNoExtension(error.get());
        result.error = SanitizeUtf8(error->message);
        return result;
    }
    m_extensionMissing = false;
    const gchar* json = nullptr;
    g_variant_get(reply.get(), "(&s)", &json);
    auto windows = ParseCompositorWindows(json != nullptr ? json : "");
    if (!windows) {
        result.error = "the shell extension's answer is no window list";
        return result;
    }
    result.windows = ToNativeWindows(*windows, kHandleBase);
    result.ok = true;
    return result;
}

std::string GnomeShellWindowLister::Hint() const {
    if (!m_extensionMissing) return {};
    return std::string(
               "要记录 GNOME 下原生 Wayland 程序的窗口，请启用随本程序安装的 GNOME Shell "
               "扩展：在“扩展”应用中打开“TarvoKelmora window list”，或运行 "
               "gnome-extensions enable ") +
           kExtensionUuid + "。在此之前只记录 X11 程序、文件夹和网页。";
}

}  // namespace tk
