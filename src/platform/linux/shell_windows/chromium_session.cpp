// Chromium's session command file: a header, then records of (size, command id, payload) that
// the browser appends as tabs and windows change. Replaying them gives the open tabs.
#include "platform/linux/shell_windows/browser_session.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tk {

namespace {

constexpr std::string_view kSignature = "SNSS";
constexpr std::int32_t kPlainVersion = 1;
constexpr std::int32_t kPlainVersionWithMarker = 3;
// Versions 2 and 4 are encrypted with a key only the running browser holds.
constexpr std::int32_t kEncryptedVersion = 2;
constexpr std::int32_t kEncryptedVersionWithMarker = 4;

// The commands that decide which tabs are open and what they show; the rest are skipped.
enum Command : std::uint8_t {
    kSetTabWindow = 0,
    kSetTabIndexInWindow = 2,
    kPrunedFromBack = 5,
    kUpdateTabNavigation = 6,
    kSetSelectedNavigationIndex = 7,
    kSetWindowType = 9,
    kPrunedFromFront = 11,
    kTabClosed = 16,
    kWindowClosed = 17,
    kPruned = 24,
};

// A tab keeps at most 50 entries; a file naming many more for one tab is not the browser's.
constexpr std::size_t kMaxNavigationsPerTab = 256;
constexpr std::size_t kMaxNavigations = 500000;
// Entries moved by pruning, over the whole file: bounds the time a hostile file can cost.
constexpr std::size_t kMaxPruneWork = 20000000;

std::optional<std::int32_t> Int32At(std::string_view bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    const std::uint32_t value =
        p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(value);
}

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

class SessionReplay {
public:
    explicit SessionReplay(BrowserSession& out) : m_out(out) {}

    // False once the file asks for more than we are willing to keep.
    bool Apply(std::uint8_t id, std::string_view payload) {
        const auto first = Int32At(payload, 0);
        const auto second = Int32At(payload, 4);
        switch (id) {
            case kSetTabWindow:
                if (!second) return true;
                if (Tab* tab = GetTab(*second)) tab->window = *first;
                break;
            case kSetTabIndexInWindow:
                if (!second) return true;
                if (Tab* tab = GetTab(*first)) tab->visualIndex = *second;
                break;
            case kSetSelectedNavigationIndex:
                if (!second) return true;
                if (Tab* tab = GetTab(*first)) tab->currentNavigation = *second;
                break;
            case kSetWindowType:
                if (!second) return true;
                m_windows[*first] = *second;
                break;
            case kTabClosed:
                if (first) EraseTab(*first);
                break;
            case kWindowClosed:
                if (first) m_windows.erase(*first);
                break;
            case kUpdateTabNavigation:
                UpdateNavigation(payload);
                break;
            case kPrunedFromBack:
                if (!second) return true;
                if (Tab* tab = GetTab(*first)) {
                    EraseNavigations(*tab, tab->navigations.lower_bound(*second),
                                     tab->navigations.end());
                }
                break;
            case kPrunedFromFront:
                if (!second || *second <= 0) return true;
                if (Tab* tab = GetTab(*first)) Prune(*tab, 0, *second);
                break;
            case kPruned: {
                const auto count = Int32At(payload, 8);
                if (!count || *second < 0 || *count <= 0) return true;
                if (Tab* tab = GetTab(*first)) Prune(*tab, *second, *count);
                break;
            }
            default:
                break;
        }
        return m_out.Ok();
    }

    // Windows in the order they were made (their ids grow), tabs in their visual order. Only
    // windows whose type was recorded and that were not closed count, as on a restore.
    void Finish() {
        std::map<std::int32_t,
                 std::vector<std::pair<std::pair<std::int32_t, std::int32_t>, const Tab*>>>
            byWindow;
        for (const auto& [id, tab] : m_tabs) {
            if (tab.window == 0 || tab.navigations.empty() || !m_windows.contains(tab.window)) {
                continue;
            }
            byWindow[tab.window].push_back({{tab.visualIndex, id}, &tab});
        }
        for (auto& [window, tabs] : byWindow) {
            std::sort(tabs.begin(), tabs.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            for (const auto& entry : tabs) {
                const Tab& tab = *entry.second;
                // The selected entry, else the next one after it, else the last.
                auto current = tab.navigations.lower_bound(tab.currentNavigation);
                if (current == tab.navigations.end()) current = std::prev(current);
                std::string url = CleanSessionUrl(current->second);
                if (!url.empty()) m_out.urls.push_back(std::move(url));
            }
        }
    }

private:
    struct Tab {
        std::int32_t window = 0;
        std::int32_t visualIndex = 0;
        std::int32_t currentNavigation = 0;
        std::map<std::int32_t, std::string_view> navigations;  // by index; views into the file
    };
    using Navigations = std::map<std::int32_t, std::string_view>;

    Tab* GetTab(std::int32_t id) {
        auto it = m_tabs.find(id);
        if (it != m_tabs.end()) return &it->second;
        if (m_tabs.size() >= kMaxSessionTabs) {
            Fail("more than " + std::to_string(kMaxSessionTabs) + " tabs");
            return nullptr;
        }
        return &m_tabs[id];
    }

    void EraseTab(std::int32_t id) {
        auto it = m_tabs.find(id);
        if (it == m_tabs.end()) return;
        m_navigationCount -= it->second.navigations.size();
        m_tabs.erase(it);
    }

    void EraseNavigations(Tab& tab, Navigations::iterator from, Navigations::iterator to) {
        m_navigationCount -= static_cast<std::size_t>(std::distance(from, to));
        tab.navigations.erase(from, to);
    }

    // A pickle: its payload size, then the tab id, the entry's index and its address as a
    // length-prefixed string (title and page state follow; we need neither).
    void UpdateNavigation(std::string_view payload) {
        const auto pickleSize = Int32At(payload, 0);
        if (!pickleSize || *pickleSize < 0) return;
        std::string_view pickle = payload.substr(4);
        pickle = pickle.substr(0, static_cast<std::size_t>(*pickleSize));
        const auto tabId = Int32At(pickle, 0);
        const auto index = Int32At(pickle, 4);
        const auto urlSize = Int32At(pickle, 8);
        if (!urlSize || *urlSize < 0 || static_cast<std::size_t>(*urlSize) > pickle.size() - 12) {
            return;
        }
        Tab* tab = GetTab(*tabId);
        if (tab == nullptr) return;
        const std::string_view url = pickle.substr(12, static_cast<std::size_t>(*urlSize));
        auto it = tab->navigations.find(*index);
        if (it != tab->navigations.end()) {
            it->second = url;
            return;
        }
        if (tab->navigations.size() >= kMaxNavigationsPerTab) return;
        if (m_navigationCount >= kMaxNavigations) {
            Fail("more than " + std::to_string(kMaxNavigations) + " navigation entries");
            return;
        }
        tab->navigations.emplace(*index, url);
        ++m_navigationCount;
    }

    // `count` entries from `index` on are gone; later ones move down, and so does the selection.
    void Prune(Tab& tab, std::int32_t index, std::int32_t count) {
        const std::int64_t end = static_cast<std::int64_t>(index) + count;
        const std::int64_t current = tab.currentNavigation;
        if (current >= index && current < end) {
            tab.currentNavigation = ClampToInt32(static_cast<std::int64_t>(index) - 1);
        } else if (current >= end) {
            tab.currentNavigation = ClampToInt32(current - count);
        }
        Navigations& navigations = tab.navigations;
        auto first = navigations.lower_bound(index);
        auto last = end > std::numeric_limits<std::int32_t>::max()
                        ? navigations.end()
                        : navigations.lower_bound(static_cast<std::int32_t>(end));
        EraseNavigations(tab, first, last);
        // Erasing left room below every remaining key, so moving them down keeps the order.
        for (auto it = navigations.lower_bound(index); it != navigations.end();) {
            if (++m_pruneWork > kMaxPruneWork) {
                Fail("too many pruned entries");
                return;
            }
            auto node = navigations.extract(it++);
            node.key() = ClampToInt32(static_cast<std::int64_t>(node.key()) - count);
            navigations.insert(std::move(node));
        }
    }

    void Fail(std::string why) {
        if (m_out.Ok()) m_out.error = std::move(why);
    }

    BrowserSession& m_out;
    std::unordered_map<std::int32_t, Tab> m_tabs;
    std::map<std::int32_t, std::int32_t> m_windows;  // id -> type, for windows not closed
    std::size_t m_navigationCount = 0;
    std::size_t m_pruneWork = 0;
};

}  // namespace

BrowserSession ParseChromiumSession(std::string_view fileBytes) {
    BrowserSession session;
    if (fileBytes.size() < 8 || fileBytes.substr(0, 4) != kSignature) {
        session.error = "not a session command file";
        return session;
    }
    if (fileBytes.size() > kMaxSessionBytes) {
        session.error = "refused: more than " + std::to_string(kMaxSessionBytes) + " bytes";
        return session;
    }
    const std::int32_t version = *Int32At(fileBytes, 4);
    if (version == kEncryptedVersion || version == kEncryptedVersionWithMarker) {
        session.error = "encrypted session file";
        return session;
    }
    if (version != kPlainVersion && version != kPlainVersionWithMarker) {
        session.error = "unknown session file version " + std::to_string(version);
        return session;
    }
    try {
        SessionReplay replay(session);
        std::size_t pos = 8;
        // The browser appends while we read: a record cut short at the end is simply not there
        // yet, and everything before it stands.
        while (fileBytes.size() - pos >= 2) {
            const auto* p = reinterpret_cast<const unsigned char*>(fileBytes.data()) + pos;
            const std::size_t size = p[0] | (p[1] << 8);
            if (size == 0) {
                session.error = "empty record at byte " + std::to_string(pos);
                break;
            }
            if (size > fileBytes.size() - pos - 2) break;
            const auto id = static_cast<std::uint8_t>(fileBytes[pos + 2]);
            if (!replay.Apply(id, fileBytes.substr(pos + 3, size - 1))) break;
            pos += 2 + size;
        }
        replay.Finish();
    } catch (const std::exception& e) {
        session.urls.clear();
        session.error = std::string("session not read: ") + e.what();
    }
    return session;
}

}  // namespace tk
