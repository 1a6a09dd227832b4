#include "platform/linux/x11/x11_client_list.h"

#include <cstdint>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "platform/linux/x11/x11_replies.h"

namespace tk {

namespace {

constexpr std::uint32_t kMaxListLongs = 1u << 20;

class ClientLister {
public:
    ClientLister(xcb_connection_t* c, xcb_window_t root, const ClientListAtoms& atoms)
        : m_c(c), m_root(root), m_atoms(atoms) {}

    // The window manager's stacking list, read backwards so the top comes first; nothing when
    // no living standard-conforming window manager publishes one.
    std::optional<std::vector<xcb_window_t>> EwmhClients() {
        auto checkCookie = GetProperty(m_c, m_root, m_atoms.supportingWmCheck, XCB_ATOM_WINDOW, 1);
        auto stackingCookie =
            GetProperty(m_c, m_root, m_atoms.clientListStacking, XCB_ATOM_WINDOW, kMaxListLongs);
        auto listCookie = GetProperty(m_c, m_root, m_atoms.clientList, XCB_ATOM_WINDOW, kMaxListLongs);
        auto check = TakeProperty(m_c, checkCookie);
        auto stacking = TakeProperty(m_c, stackingCookie);
        auto list = TakeProperty(m_c, listCookie);

        auto checkWindow = PropertyCard32(View(check.get()), XCB_ATOM_WINDOW);
        if (!checkWindow) return {};
        // A window manager that died leaves its root properties behind; its check window,
        // which names itself, goes with it.
        auto self = TakeProperty(
            m_c, GetProperty(m_c, *checkWindow, m_atoms.supportingWmCheck, XCB_ATOM_WINDOW, 1));
        if (PropertyCard32(View(self.get()), XCB_ATOM_WINDOW) != checkWindow) return {};

        if (auto s = PropertyCard32s(View(stacking.get()), XCB_ATOM_WINDOW)) {
            return std::vector<xcb_window_t>(s->rbegin(), s->rend());
        }
        // The plain list is in order of mapping; newest first is the likeliest top.
        if (auto l = PropertyCard32s(View(list.get()), XCB_ATOM_WINDOW)) {
            return std::vector<xcb_window_t>(l->rbegin(), l->rend());
        }
        return {};
    }

    // Without a window manager's list: children of the root that carry WM_STATE, or, for a
    // reparenting manager, the client with WM_STATE inside a frame.
    std::vector<xcb_window_t> TreeClients() {
        std::vector<xcb_window_t> tops = TakeChildren(xcb_query_tree(m_c, m_root));
        std::vector<char> hasState = HaveWmState(tops);
        std::vector<xcb_query_tree_cookie_t> frameCookies;
        for (std::size_t i = 0; i < tops.size(); ++i) {
            if (!hasState[i]) frameCookies.push_back(xcb_query_tree(m_c, tops[i]));
        }
        std::vector<std::vector<xcb_window_t>> inner;
        std::vector<xcb_window_t> flat;
        for (auto cookie : frameCookies) {
            inner.push_back(TakeChildren(cookie));
            flat.insert(flat.end(), inner.back().begin(), inner.back().end());
        }
        std::vector<char> innerHasState = HaveWmState(flat);

        std::vector<xcb_window_t> clients;
        std::size_t frame = 0, flatIndex = 0;
        for (std::size_t i = 0; i < tops.size(); ++i) {
            if (hasState[i]) {
                clients.push_back(tops[i]);
                continue;
            }
            std::optional<xcb_window_t> found;
            for (xcb_window_t child : inner[frame]) {
                if (!found && innerHasState[flatIndex]) found = child;
                ++flatIndex;
            }
            ++frame;
            if (found) clients.push_back(*found);
        }
        return clients;
    }

private:
    // Children top first (the server reports them bottom to top).
    std::vector<xcb_window_t> TakeChildren(xcb_query_tree_cookie_t cookie) {
        xcb_generic_error_t* e = nullptr;
        XcbPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_c, cookie, &e));
        if (Failed(tree.get(), e)) return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        return std::vector<xcb_window_t>(std::reverse_iterator(children + count),
                                         std::reverse_iterator(children));
    }

    std::vector<char> HaveWmState(const std::vector<xcb_window_t>& windows) {
        std::vector<xcb_get_property_cookie_t> cookies;
        cookies.reserve(windows.size());
        for (xcb_window_t w : windows) {
            cookies.push_back(GetProperty(m_c, w, m_atoms.wmState, m_atoms.wmState, 2));
        }
        std::vector<char> result;
        result.reserve(windows.size());
        for (auto cookie : cookies) {
            auto reply = TakeProperty(m_c, cookie);
            result.push_back(PropertyCard32(View(reply.get()), m_atoms.wmState).has_value());
        }
        return result;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_root;
    const ClientListAtoms& m_atoms;
};

}  // namespace

std::vector<xcb_window_t> ListClientWindows(xcb_connection_t* c, xcb_window_t root,
                                            const ClientListAtoms& atoms) {
    ClientLister lister(c, root, atoms);
    std::optional<std::vector<xcb_window_t>> listed = lister.EwmhClients();
    std::vector<xcb_window_t> all = listed ? std::move(*listed) : lister.TreeClients();
    // A window manager may list a window twice: keep the first (topmost) place.
    std::unordered_set<xcb_window_t> seen;
    std::vector<xcb_window_t> unique;
    unique.reserve(all.size());
    for (xcb_window_t w : all) {
        if (w != XCB_WINDOW_NONE && w != root && seen.insert(w).second) unique.push_back(w);
    }
    return unique;
}

}  // namespace tk
