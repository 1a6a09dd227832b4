#include "platform/linux/x11/x11_window_system.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include "base/text.h"
#include "platform/linux/posix/files.h"
#include "platform/linux/x11/x11_client_list.h"
#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_replies.h"
#include "platform/linux/x11/x_connection.h"

namespace tk {

namespace {

// 132 bytes of UTF-8 settle the first 128 even after invalid bytes are replaced.
constexpr std::uint32_t kUtf8TitleLongs = 33;
// Legacy encodings may spend escape sequences and several bytes on one character.
constexpr std::uint32_t kLegacyTitleLongs = 256;
constexpr std::uint32_t kMaxAtomListLongs = 64;
constexpr std::uint32_t kMaxHostLongs = 64;  // a host name is at most 255 bytes
// Names longer than an entry's file name (255 bytes) find no entry anyway.
constexpr std::uint32_t kMaxAppIdLongs = 64;
constexpr std::uint32_t kMaxWmClassLongs = 128;
constexpr std::uint32_t kWmStateWithdrawn = 0;

struct Atoms {
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t compoundText = XCB_ATOM_NONE;
    ClientListAtoms list;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t netWmPid = XCB_ATOM_NONE;
    xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
    xcb_atom_t netWmState = XCB_ATOM_NONE;
    xcb_atom_t skipTaskbar = XCB_ATOM_NONE;
    xcb_atom_t windowType = XCB_ATOM_NONE;
    xcb_atom_t typeNormal = XCB_ATOM_NONE;
    xcb_atom_t typeDialog = XCB_ATOM_NONE;
    // Every window type the window-manager standard defines; others are skipped, as it asks.
    std::unordered_set<xcb_atom_t> knownTypes;
};

constexpr std::pair<const char*, xcb_atom_t Atoms::*> kAtomNames[] = {
    {"UTF8_STRING", &Atoms::utf8String},
    {"COMPOUND_TEXT", &Atoms::compoundText},
    {"_NET_WM_NAME", &Atoms::netWmName},
    {"_NET_WM_PID", &Atoms::netWmPid},
    {"_GTK_APPLICATION_ID", &Atoms::gtkApplicationId},
    {"_NET_WM_STATE", &Atoms::netWmState},
    {"_NET_WM_STATE_SKIP_TASKBAR", &Atoms::skipTaskbar},
    {"_NET_WM_WINDOW_TYPE", &Atoms::windowType},
    {"_NET_WM_WINDOW_TYPE_NORMAL", &Atoms::typeNormal},
    {"_NET_WM_WINDOW_TYPE_DIALOG", &Atoms::typeDialog},
};

constexpr std::pair<const char*, xcb_atom_t ClientListAtoms::*> kListAtomNames[] = {
    {"WM_STATE", &ClientListAtoms::wmState},
    {"_NET_SUPPORTING_WM_CHECK", &ClientListAtoms::supportingWmCheck},
    {"_NET_CLIENT_LIST", &ClientListAtoms::clientList},
    {"_NET_CLIENT_LIST_STACKING", &ClientListAtoms::clientListStacking},
};

constexpr const char* kOtherWindowTypes[] = {
    "_NET_WM_WINDOW_TYPE_DESKTOP",       "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_TOOLBAR",       "_NET_WM_WINDOW_TYPE_MENU",
    "_NET_WM_WINDOW_TYPE_UTILITY",       "_NET_WM_WINDOW_TYPE_SPLASH",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",       "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_COMBO",         "_NET_WM_WINDOW_TYPE_DND",
};

struct Pending {
    xcb_window_t window;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t wmState;
    xcb_get_property_cookie_t transientFor;
    xcb_get_property_cookie_t netWmState;
    xcb_get_property_cookie_t windowType;
    xcb_get_property_cookie_t netWmName;
    xcb_get_property_cookie_t wmName;
    xcb_get_property_cookie_t netWmPid;
    xcb_get_property_cookie_t clientMachine;
    xcb_get_property_cookie_t appId;
    xcb_get_property_cookie_t wmClass;
};

}  // namespace

// One open display: the connection, its root and the atoms, interned once per connection.
class X11Connection {
public:
    bool Open(const std::string& displayName, std::string& error) {
        if (!m_x.Open(displayName, error)) return false;
        m_c = m_x.Get();
        m_root = m_x.Root();
        const xcb_setup_t* setup = m_x.Setup();
        // Every XID carries its creator's client number in the bits outside the id mask.
        m_clientBits = ~setup->resource_id_mask & 0x1FFFFFFFu;

        // All atoms in one batch, and the extension query in the same flight.
        xcb_prefetch_extension_data(m_c, &xcb_res_id);
        std::vector<xcb_intern_atom_cookie_t> cookies;
        for (const auto& [name, member] : kAtomNames) cookies.push_back(Intern(name));
        for (const auto& [name, member] : kListAtomNames) cookies.push_back(Intern(name));
        for (const char* name : kOtherWindowTypes) cookies.push_back(Intern(name));
        const xcb_query_extension_reply_t* res = xcb_get_extension_data(m_c, &xcb_res_id);
        std::optional<xcb_res_query_version_cookie_t> version;
        if (res != nullptr && res->present) version = xcb_res_query_version(m_c, 1, 2);

        std::size_t next = 0;
        for (const auto& [name, member] : kAtomNames) m_atoms.*member = TakeAtom(cookies[next++]);
        for (const auto& [name, member] : kListAtomNames) m_atoms.list.*member = TakeAtom(cookies[next++]);
        m_atoms.knownTypes = {m_atoms.typeNormal, m_atoms.typeDialog};
        while (next < cookies.size()) m_atoms.knownTypes.insert(TakeAtom(cookies[next++]));
        if (version) {
            xcb_generic_error_t* e = nullptr;
            XcbPtr<xcb_res_query_version_reply_t> reply(
                xcb_res_query_version_reply(m_c, *version, &e));
            XcbPtr<xcb_generic_error_t> ownedError(e);
            // Client ids (and with them process ids) came with version 1.2.
            m_hasClientIds = reply && (reply->server_major > 1 ||
                                       (reply->server_major == 1 && reply->server_minor >= 2));
        }
        if (xcb_connection_has_error(m_c)) {
            error = "the X connection failed while starting";
            return false;
        }
        return true;
    }

    bool Broken() const { return m_x.Broken(); }
    xcb_window_t Root() const { return m_root; }

    std::vector<xcb_window_t> ListClients() { return ListClientWindows(m_c, m_root, m_atoms.list); }

    // Everything the sweep wants of each window, asked at once, then collected in order.
    std::vector<WindowInfo> Describe(const std::vector<xcb_window_t>& windows,
                                     std::int64_t ownPid) {
        // Read at each listing: the machine may be renamed while we run.
        const std::string host = ThisHostName();
        std::vector<Pending> pending;
        pending.reserve(windows.size());
        for (xcb_window_t w : windows) {
            pending.push_back(
                {w, xcb_get_window_attributes(m_c, w),
                 GetProperty(w, m_atoms.list.wmState, m_atoms.list.wmState, 2),
                 GetProperty(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1),
                 GetProperty(w, m_atoms.netWmState, XCB_ATOM_ATOM, kMaxAtomListLongs),
                 GetProperty(w, m_atoms.windowType, XCB_ATOM_ATOM, kMaxAtomListLongs),
                 GetProperty(w, m_atoms.netWmName, m_atoms.utf8String, kUtf8TitleLongs),
                 GetProperty(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kLegacyTitleLongs),
                 GetProperty(w, m_atoms.netWmPid, XCB_ATOM_CARDINAL, 1),
                 GetProperty(w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, kMaxHostLongs),
                 GetProperty(w, m_atoms.gtkApplicationId, m_atoms.utf8String, kMaxAppIdLongs),
                 GetProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, kMaxWmClassLongs)});
        }
        std::optional<xcb_res_query_client_ids_cookie_t> clientIds = AskClientPids(windows);

        std::vector<WindowInfo> result;
        result.reserve(windows.size());
        for (const Pending& p : pending) {
            // Collect every reply even for a window already known gone, so none is left queued.
            bool gone = false;
            xcb_generic_error_t* e = nullptr;
            XcbPtr<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(m_c, p.attributes, &e));
            gone |= Failed(attributes.get(), e);
            auto wmState = TakeProperty(p.wmState, gone);
            auto transientFor = TakeProperty(p.transientFor, gone);
            auto netWmState = TakeProperty(p.netWmState, gone);
            auto windowType = TakeProperty(p.windowType, gone);
            auto netWmName = TakeProperty(p.netWmName, gone);
            auto wmName = TakeProperty(p.wmName, gone);
            auto netWmPid = TakeProperty(p.netWmPid, gone);
            auto clientMachine = TakeProperty(p.clientMachine, gone);
            auto appId = TakeProperty(p.appId, gone);
            auto wmClass = TakeProperty(p.wmClass, gone);
            // Destroyed while we asked: not a window any more, and no concern of anyone else.
            if (gone) continue;

            WindowInfo info;
            info.handle = p.window;
            if (auto state = PropertyCard32(View(wmState.get()), m_atoms.list.wmState)) {
                // Normal and Iconic both count: a minimised window is still the user's window.
                info.visible = *state != kWmStateWithdrawn;
            } else {
                info.visible = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
            }
            if (auto owner = PropertyCard32(View(transientFor.get()), XCB_ATOM_WINDOW)) {
                info.owner = *owner == m_root ? 0 : *owner;
            }
            info.toolWindow = IsToolWindow(netWmState.get(), windowType.get());
            info.text = WindowTitle(View(netWmName.get()), View(wmName.get()),
                                    {m_atoms.utf8String, m_atoms.compoundText});
            info.pid = ClaimedLocalPid(View(netWmPid.get()), View(clientMachine.get()), host);
            info.appId = SanitizeUtf8(
                PropertyText(View(appId.get()), m_atoms.utf8String).value_or(std::string_view()));
            WmClassNames names = WmClass(View(wmClass.get()));
            info.wmInstance = std::move(names.instance);
            info.wmClass = std::move(names.className);
            result.push_back(std::move(info));
        }

        // The server knows which process opened each connection; a client's own claim is the
        // fallback for servers without the extension and for remote clients.
        if (clientIds) {
            std::unordered_map<std::uint32_t, std::int64_t> pids = TakeClientPids(*clientIds);
            for (WindowInfo& info : result) {
                auto it = pids.find(static_cast<std::uint32_t>(info.handle) & m_clientBits);
                if (it != pids.end()) info.pid = it->second;
            }
        }
        if (ownPid != 0) {
            std::erase_if(result, [&](const WindowInfo& w) { return w.pid == ownPid; });
        }
        return result;
    }

private:
    xcb_intern_atom_cookie_t Intern(const char* name) {
        return xcb_intern_atom(m_c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    }

    xcb_atom_t TakeAtom(xcb_intern_atom_cookie_t cookie) {
        xcb_generic_error_t* e = nullptr;
        XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_c, cookie, &e));
        XcbPtr<xcb_generic_error_t> ownedError(e);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    xcb_get_property_cookie_t GetProperty(xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                                          std::uint32_t longs) {
        return tk::GetProperty(m_c, w, property, type, longs);
    }

    XcbPtr<xcb_get_property_reply_t> TakeProperty(xcb_get_property_cookie_t cookie, bool& failed) {
        return tk::TakeProperty(m_c, cookie, failed);
    }

    // One request for every client that owns a listed window.
    std::optional<xcb_res_query_client_ids_cookie_t> AskClientPids(
        const std::vector<xcb_window_t>& windows) {
        if (!m_hasClientIds || windows.empty()) return {};
        std::unordered_set<std::uint32_t> clients;
        std::vector<xcb_res_client_id_spec_t> wanted;
        for (xcb_window_t w : windows) {
            const std::uint32_t client = w & m_clientBits;
            if (client != 0 && clients.insert(client).second) {
                wanted.push_back({client, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID});
            }
        }
        if (wanted.empty()) return {};
        return xcb_res_query_client_ids(m_c, static_cast<std::uint32_t>(wanted.size()),
                                        wanted.data());
    }

    // Client base → process id; clients that are gone or remote simply have no entry.
    std::unordered_map<std::uint32_t, std::int64_t> TakeClientPids(
        xcb_res_query_client_ids_cookie_t cookie) {
        std::unordered_map<std::uint32_t, std::int64_t> pids;
        xcb_generic_error_t* e = nullptr;
        XcbPtr<xcb_res_query_client_ids_reply_t> reply(
            xcb_res_query_client_ids_reply(m_c, cookie, &e));
        if (Failed(reply.get(), e)) return pids;
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
             xcb_res_client_id_value_next(&it)) {
            const xcb_res_client_id_value_t* value = it.data;
            if ((value->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0) continue;
            if (xcb_res_client_id_value_value_length(value) < 1) continue;
            const std::uint32_t pid = *xcb_res_client_id_value_value(value);
            if (pid != 0) pids[value->spec.client & m_clientBits] = pid;
        }
        return pids;
    }

    bool IsToolWindow(const xcb_get_property_reply_t* state,
                      const xcb_get_property_reply_t* type) const {
        if (auto states = PropertyCard32s(View(state), XCB_ATOM_ATOM)) {
            for (xcb_atom_t s : *states) {
                if (s == m_atoms.skipTaskbar) return true;
            }
        }
        if (auto types = PropertyCard32s(View(type), XCB_ATOM_ATOM)) {
            // The list is in order of preference; a type we do not know is passed over.
            for (xcb_atom_t t : *types) {
                if (t == XCB_ATOM_NONE || !m_atoms.knownTypes.contains(t)) continue;
                return t != m_atoms.typeNormal && t != m_atoms.typeDialog;
            }
        }
        return false;
    }

    XConnection m_x;
    xcb_connection_t* m_c = nullptr;  // m_x's, for the many calls that take it
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::uint32_t m_clientBits = 0;
    bool m_hasClientIds = false;
    Atoms m_atoms;
};

X11WindowSystem::X11WindowSystem() : X11WindowSystem(Options{}) {}

X11WindowSystem::X11WindowSystem(Options options) : m_options(std::move(options)) {
    std::string ignored;
    Connect(ignored);
}

X11WindowSystem::~X11WindowSystem() = default;

bool X11WindowSystem::Connect(std::string& error) {
    auto connection = std::make_unique<X11Connection>();
    if (!connection->Open(m_options.displayName, error)) {
        m_connection.reset();
        return false;
    }
    m_connection = std::move(connection);
    return true;
}

bool X11WindowSystem::IsAvailable() const { return m_connection && !m_connection->Broken(); }

void X11WindowSystem::SetOwnPid(std::int64_t pid) { m_options.ownPid = pid; }

WindowSnapshot X11WindowSystem::ListWindows() {
    WindowSnapshot snapshot;
    if (!IsAvailable() && !Connect(snapshot.error)) return snapshot;
    X11Connection& connection = *m_connection;
    snapshot.desktopWindow = connection.Root();
    m_entries.Refresh();

    std::vector<xcb_window_t> windows = connection.ListClients();
    if (m_options.afterListRead) {
        m_options.afterListRead(std::vector<WindowHandle>(windows.begin(), windows.end()));
    }
    snapshot.windows = connection.Describe(windows, m_options.ownPid);

    if (connection.Broken()) {
        snapshot.windows.clear();
        snapshot.error = "the X connection was lost";
        m_connection.reset();
        return snapshot;
    }
    snapshot.ok = true;
    return snapshot;
}

std::optional<std::string> X11WindowSystem::ExecutableOfProcess(std::int64_t pid) {
    return ProcessExecutable(pid);
}

std::optional<StartedProgram> X11WindowSystem::StartedProgramOf(const WindowInfo& window,
                                                                const std::string& executable) {
    return StartedProgramOfWindow(window, executable, m_entries);
}

std::optional<std::string> ProcessExecutable(std::int64_t pid) {
    if (pid <= 0 || pid > INT32_MAX) return {};
    // Nothing when the process is gone, is a kernel thread, or is not ours to read.
    std::string target = ReadLink("/proc/" + std::to_string(pid) + "/exe").value_or(std::string());
    if (target.empty()) return {};
    // The kernel marks a replaced or removed executable so; unless a file really has that
    // name, what the process runs no longer exists on disk.
    constexpr std::string_view kDeleted = " (deleted)";
    struct stat info;
    if (target.ends_with(kDeleted) && ::stat(target.c_str(), &info) != 0) return {};
    return target;
}

std::unique_ptr<WindowSystem> CreatePlatformWindowSystem() {
    X11WindowSystem::Options options;
    options.ownPid = ::getpid();
    return std::make_unique<X11WindowSystem>(std::move(options));
}

}  // namespace tk
