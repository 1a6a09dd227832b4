#include "platform/linux/kwin/kwin_window_lister.h"

#include <cstdlib>
#include <unistd.h>
#include <utility>

#include "base/text.h"
#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/wayland/compositor_window_list.h"

namespace tk {

namespace {

constexpr const char* kKWinName = "org.kde.KWin";
constexpr const char* kScriptingPath = "/Scripting";
constexpr const char* kScriptingInterface = "org.kde.kwin.Scripting";
constexpr const char* kReplyInterface = "org.tarvokelmora.WindowList";
constexpr int kCallTimeoutMs = 2000;
constexpr int kConnectTimeoutMs = 1000;
// The script answers within one turn of KWin's event loop; a busy compositor gets this long.
constexpr int kAnswerTimeoutMs = 3000;

constexpr const char* kReplyXml =
    "<node><interface name='org.tarvokelmora.WindowList'>"
    "<method name='Windows'><arg type='s' name='windows' direction='in'/></method>"
    "</interface></node>";

// What the script writes. Plasma 5 names the list clientList, Plasma 6 windowList.
constexpr const char* kScriptBody = R"JS(
var list = typeof workspace.windowList === "function" ? workspace.windowList()
                                                       : workspace.clientList();
var out = [];
for (var i = 0; i < list.length; ++i) {
    var w = list[i];
    if (w.desktopWindow || w.dock || w.splash || w.notification || w.onScreenDisplay ||
        w.popupWindow || w.tooltip || w.dropdownMenu || w.popupMenu || w.comboBox) {
        continue;
    }
    out.push({
        id: String(w.internalId),
        title: String(w.caption || ""),
        pid: Number(w.pid) || 0,
        "class": String(w.resourceClass || ""),
        minimized: !!w.minimized,
        skipTaskbar: !!w.skipTaskbar,
        transientFor: w.transientFor ? String(w.transientFor.internalId) : null,
        stacking: Number(w.stackingOrder) || 0,
        normal: !!w.normalWindow,
        dialog: !!w.dialog
    });
}
callDBus(SERVICE, PATH, "org.tarvokelmora.WindowList", "Windows", JSON.stringify(out));
)JS";

std::string JsString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Answer {
    std::string kwin;  // KWin's unique name: the one sender whose answer counts
    bool done = false;
    std::string json;
};

void OnMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* answer = static_cast<Answer*>(data);
    // Anyone on the bus can call this object; only KWin's script may say what windows there are.
    if (answer->kwin.empty() || g_strcmp0(sender, answer->kwin.c_str()) != 0) {
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.AccessDenied",
                                                   "only KWin answers here");
        return;
    }
    if (g_strcmp0(method, "Windows") == 0 &&
        g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) {
        const gchar* json = nullptr;
        g_variant_get(parameters, "(&s)", &json);
        answer->json = json != nullptr ? json : "";
        answer->done = true;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

const GDBusInterfaceVTable kVTable = {OnMethodCall, nullptr, nullptr, {}};

GVariant* Call(GDBusConnection* c, const char* path, const char* interface, const char* method,
               GVariant* parameters, const char* replyType, GError** error) {
    return g_dbus_connection_call_sync(c, kKWinName, path, interface, method, parameters,
                                       replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr,
                                       error);
}

// The unique name that owns `name` now, or nothing.
std::string NameOwner(GDBusConnection* c, const char* name) {
    glib::Variant reply(g_dbus_connection_call_sync(
        c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
        g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
        nullptr, nullptr));
    const gchar* owner = nullptr;
    if (reply) g_variant_get(reply.get(), "(&s)", &owner);
    return owner != nullptr ? owner : "";
}

// A file only we can read or write, removed when the listing ends.
class ScriptFile {
public:
    explicit ScriptFile(const std::string& text) {
        // The runtime folder is the user's own; /tmp when it is unset or unusable.
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        for (std::string dir : {std::string(runtime != nullptr && runtime[0] == '/' ? runtime : ""),
                                std::string("/tmp")}) {
            if (dir.empty()) continue;
            m_path = dir + "/tarvokelmora-kwin-XXXXXX.js";
            const int fd = ::mkstemps(m_path.data(), 3);
            if (fd < 0) {
                m_path.clear();
                continue;
            }
            const bool written =
                ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (::close(fd) != 0 || !written) Remove();
            return;
        }
    }
    ~ScriptFile() { Remove(); }
    const std::string& Path() const { return m_path; }

private:
    void Remove() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
        m_path.clear();
    }
    std::string m_path;
};

}  // namespace

KWinWindowLister::KWinWindowLister(std::string busAddress)
    : m_bus(std::move(busAddress), kConnectTimeoutMs) {}

KWinWindowLister::~KWinWindowLister() = default;

std::string KWinWindowLister::Script(const std::string& service, const std::string& path) {
    return "var SERVICE = " + JsString(service) + ";\nvar PATH = " + JsString(path) + ";\n" +
           kScriptBody;
}

bool KWinWindowLister::IsRunning(const std::string& busAddress) {
    return glib::BusNameHasOwner(busAddress.empty() ? glib::SessionBusAddress() : busAddress,
                                 kKWinName);
}

NativeWindowList KWinWindowLister::List() {
    NativeWindowList result;
    GDBusConnection* c = m_bus.Get();
    if (c == nullptr) {
        result.error = "no session bus";
        return result;
    }
    // Calls and the script's answer are handled here, on this thread, whatever thread asks.
    g_main_context_push_thread_default(m_bus.Context());
    const std::string path = "/org/tarvokelmora/WindowList/" + std::to_string(++m_serial);
    const std::string plugin =
        "tarvokelmora-windows-" + std::to_string(::getpid()) + "-" + std::to_string(m_serial);
    Answer answer;
    answer.kwin = NameOwner(c, kKWinName);
    GError* rawError = nullptr;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kReplyXml, nullptr);
    const guint registration = g_dbus_connection_register_object(
        c, path.c_str(), node->interfaces[0], &kVTable, &answer, nullptr, &rawError);
    g_dbus_node_info_unref(node);
    glib::Error registerError(rawError);

    const char* service = g_dbus_connection_get_unique_name(c);
    ScriptFile file(Script(service != nullptr ? service : "", path));
    bool loaded = false;
    if (registration == 0) {
        result.error = "cannot offer the answer object";
    } else if (file.Path().empty()) {
        result.error = "cannot write the KWin script";
    } else {
        rawError = nullptr;
        glib::Variant id(Call(c, kScriptingPath, kScriptingInterface, "loadScript",
                              g_variant_new("(ss)", file.Path().c_str(), plugin.c_str()), "(i)",
                              &rawError));
        glib::Error loadError(rawError);
        gint32 scriptId = -1;
        if (id) g_variant_get(id.get(), "(i)", &scriptId);
        loaded = scriptId >= 0;
        if (!loaded) {
            result.error = loadError ? SanitizeUtf8(loadError->message) : "KWin refused the script";
        } else {
            // Plasma 5.27 and 6 keep scripts under /Scripting/Script<id>, older ones under /<id>.
            bool ran = false;
            for (const std::string& scriptPath :
                 {"/Scripting/Script" + std::to_string(scriptId), "/" + std::to_string(scriptId)}) {
                glib::Variant reply(Call(c, scriptPath.c_str(), "org.kde.kwin.Script", "run",
                                         nullptr, nullptr, nullptr));
                if (reply) {
                    ran = true;
                    break;
                }
            }
            if (!ran) {
                result.error = "KWin did not run the script";
            } else {
                bool late = false;
                GSource* deadline = g_timeout_source_new(kAnswerTimeoutMs);
                g_source_set_callback(
                    deadline,
                    [](gpointer flag) -> gboolean {
                        *static_cast<bool*>(flag) = true;
                        return G_SOURCE_REMOVE;
                    },
                    &late, nullptr);
                g_source_attach(deadline, m_bus.Context());
                while (!answer.done && !late) g_main_context_iteration(m_bus.Context(), TRUE);
                g_source_destroy(deadline);
                g_source_unref(deadline);
                if (!answer.done) result.error = "the KWin script did not answer";
            }
        }
    }
    if (loaded) {
        glib::Variant ignored(Call(c, kScriptingPath, kScriptingInterface, "unloadScript",
                                   g_variant_new("(s)", plugin.c_str()), nullptr, nullptr));
    }
    if (registration != 0) g_dbus_connection_unregister_object(c, registration);
    g_main_context_pop_thread_default(m_bus.Context());

    if (answer.done) {
        if (auto windows = ParseCompositorWindows(answer.json)) {
            result.windows = ToNativeWindows(*windows, kHandleBase);
            result.ok = true;
        } else {
            result.error = "the KWin script's answer is no window list";
        }
    }
    return result;
}

}  // namespace tk
