#include "platform/linux/gnome_shell/gnome_shell_window_lister.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
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
    // An extension from before the pass takes no argument.
    return error->code == G_DBUS_ERROR_UNKNOWN_METHOD || error->code == G_DBUS_ERROR_INVALID_ARGS ||
           error->code == G_DBUS_ERROR_UNKNOWN_OBJECT ||
           error->code == G_DBUS_ERROR_UNKNOWN_INTERFACE;
}

// The extension answers only a caller that shows a pass: a file named by a random token in a
// folder of the runtime directory only this user can enter. It lasts one call.
class CallerPass {
public:
    CallerPass() {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr || runtime[0] != '/') return;
        const std::string dir = std::string(runtime) + "/tarvokelmora-callers";
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return;
        struct stat st {};
        if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
            (st.st_mode & 077) != 0) {
            return;
        }
        unsigned char bytes[16];
        if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return;
        static constexpr char kHex[] = "0123456789abcdef";
        for (unsigned char b : bytes) {
            m_token += kHex[b >> 4];
            m_token += kHex[b & 15];
        }
        m_path = dir + "/" + m_token;
        const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            m_path.clear();
            m_token.clear();
            return;
        }
        ::close(fd);
    }
    ~CallerPass() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    CallerPass(const CallerPass&) = delete;
    CallerPass& operator=(const CallerPass&) = delete;
    const std::string& Token() const { return m_token; }

private:
    std::string m_token;
    std::string m_path;
};

// What the shell says its version is; empty when it does not say.
std::string ShellVersion(GDBusConnection* c, const std::string& shellName) {
    GError* rawError = nullptr;
    glib::Variant reply(g_dbus_connection_call_sync(
        c, shellName.c_str(), "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.gnome.Shell", "ShellVersion"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &rawError));
    glib::Error error(rawError);
    if (!reply) return {};
    GVariant* boxed = nullptr;
    g_variant_get(reply.get(), "(v)", &boxed);
    glib::Variant value(boxed);
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) return {};
    return SanitizeUtf8(g_variant_get_string(value.get(), nullptr));
}

}  // namespace

const char* GnomeShellWindowLister::ExtensionUuidFor(std::string_view shellVersion) {
    int major = 0;
    std::size_t i = 0;
    for (; i < shellVersion.size() && i < 4 && shellVersion[i] >= '0' && shellVersion[i] <= '9'; ++i) {
        major = major * 10 + (shellVersion[i] - '0');
    }
    if (i == 0) return nullptr;
    return major >= 45 ? kModuleExtensionUuid : kExtensionUuid;
}

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
    const CallerPass pass;
    if (pass.Token().empty()) {
        result.error = "cannot make the pass the shell extension asks for";
        return result;
    }
    GError* rawError = nullptr;
    glib::Variant reply(g_dbus_connection_call_sync(
        c, m_shellName.c_str(), kObjectPath, kInterface, "List",
        g_variant_new("(s)", pass.Token().c_str()), G_VARIANT_TYPE("(s)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &rawError));
    glib::Error error(rawError);
    // Notices the call left behind (such as the connection closing) are handled now.
    while (g_main_context_iteration(m_bus.Context(), FALSE)) {
    }
    if (!reply) {
        m_extensionMissing = MeansNoExtension(error.get());
        // Asked only while the user has something to be told, and only of a shell that runs.
        // A shell that is still starting may not say yet: asked again at the next listing.
        if (m_extensionMissing && m_extensionUuid.load() == nullptr) {
            m_extensionUuid = ExtensionUuidFor(ShellVersion(c, m_shellName));
        }
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
    const char* uuid = m_extensionUuid.load();
    // Until the shell says its version, both commands: only one of them works there.
    const std::string command =
        uuid != nullptr ? std::string("gnome-extensions enable ") + uuid
                        : std::string("gnome-extensions enable ") + kExtensionUuid +
                              "（GNOME 45 及更新版本：gnome-extensions enable " +
                              kModuleExtensionUuid + "）";
    return "要记录 GNOME 下原生 Wayland 程序的窗口，请启用随本程序安装的 GNOME Shell "
           "扩展：在“扩展”应用中打开“TarvoKelmora window list”，或运行 " +
           command + "。在此之前只记录 X11 程序、文件夹和网页。";
}

}  // namespace tk
