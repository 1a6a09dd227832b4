#include "platform/linux/wayland/wlroots_window_lister.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "base/text.h"
#include "platform/linux/wayland/foreign_toplevels.h"
#include "platform/linux/wayland/sway_ipc.h"
#include "platform/linux/wayland/sway_tree.h"

namespace tk {

namespace {

constexpr std::size_t kMaxTextBytes = 128;
constexpr std::size_t kMaxRemembered = 256;
constexpr std::size_t kUnranked = std::numeric_limits<std::size_t>::max();

}  // namespace

WlrootsWindowLister::WlrootsWindowLister(Options options) : m_options(std::move(options)) {}

NativeWindowList WlrootsWindowLister::List() {
    NativeWindowList result;
    ForeignToplevelList listed = ReadForeignToplevels(m_options.display, m_options.timeout);
    if (!listed.ok) {
        result.error = listed.error;
        return result;
    }
    const std::vector<ForeignToplevel>& toplevels = listed.toplevels;

    // Each toplevel's place in the final order, and what sway knows of it.
    std::vector<std::size_t> rank(toplevels.size(), kUnranked);
    std::vector<const SwayView*> view(toplevels.size(), nullptr);
    std::optional<std::vector<SwayView>> views;
    if (m_options.swaySocket) {
        std::string error;
        if (auto tree = SwayGetTree(*m_options.swaySocket, m_options.timeout, error)) {
            views = ParseSwayTree(*tree);
        }
    }
    if (views) {
        // Both lists describe the same windows; app id and title pair them, and among equals
        // the order of the lists (each window once).
        std::vector<bool> used(views->size(), false);
        for (std::size_t i = 0; i < toplevels.size(); ++i) {
            for (std::size_t v = 0; v < views->size(); ++v) {
                const SwayView& candidate = (*views)[v];
                if (used[v] || candidate.appId != toplevels[i].appId ||
                    candidate.title != toplevels[i].title) {
                    continue;
                }
                used[v] = true;
                view[i] = &candidate;
                rank[i] = v;  // sway lists the most recently focused first
                break;
            }
        }
    } else {
        // The active window first, then those seen active before, newest first; windows never
        // seen active follow, the newest (last announced) first.
        for (std::size_t i = 0; i < toplevels.size(); ++i) {
            if (!toplevels[i].activated) continue;
            const std::pair<std::string, std::string> key{toplevels[i].appId, toplevels[i].title};
            std::erase(m_recent, key);
            m_recent.insert(m_recent.begin(), key);
        }
        if (m_recent.size() > kMaxRemembered) m_recent.resize(kMaxRemembered);
        std::vector<bool> ranked(toplevels.size(), false);
        for (std::size_t r = 0; r < m_recent.size(); ++r) {
            for (std::size_t i = 0; i < toplevels.size(); ++i) {
                if (!ranked[i] && toplevels[i].appId == m_recent[r].first &&
                    toplevels[i].title == m_recent[r].second) {
                    ranked[i] = true;
                    rank[i] = r;
                }
            }
        }
        for (std::size_t i = 0; i < toplevels.size(); ++i) {
            if (!ranked[i]) rank[i] = m_recent.size() + (toplevels.size() - i);
        }
    }

    std::vector<std::size_t> order(toplevels.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rank[a] < rank[b]; });

    m_programs.Refresh();
    for (std::size_t i : order) {
        const ForeignToplevel& toplevel = toplevels[i];
        NativeWindow window;
        window.info.handle = kHandleBase + i;
        // Minimised windows are still the user's windows, as on X11.
        window.info.visible = true;
        if (toplevel.parent) window.info.owner = kHandleBase + *toplevel.parent;
        window.title = SanitizeUtf8(toplevel.title);
        window.info.text = std::string(TruncateUtf8(window.title, kMaxTextBytes));
        if (view[i] != nullptr) {
            window.info.pid = view[i]->pid;
            window.xwayland = view[i]->xwayland;
        }
        window.info.appId = toplevel.appId;
        if (window.info.pid <= 0 && !window.xwayland) {
            window.info.executable = m_programs.ExecutableOfAppId(toplevel.appId);
        }
        result.windows.push_back(std::move(window));
    }
    result.ok = true;
    return result;
}

}  // namespace tk
