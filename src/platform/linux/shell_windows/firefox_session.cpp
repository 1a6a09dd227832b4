// Firefox's session store: the current entry of every tab of every open, non-private window.
#include "platform/linux/shell_windows/browser_session.h"

#include <cstdint>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include <lz4.h>
#include <nlohmann/json.hpp>

namespace tk {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kMagic("mozLz40\0", 8);
constexpr std::size_t kHeaderBytes = kMagic.size() + 4;
// Firefox keeps 50 back/forward entries a tab unless told otherwise; the caps only bound what
// a hostile file can make us keep.
constexpr std::size_t kMaxEntriesPerTab = 1000;
constexpr std::size_t kMaxEntries = 1000000;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The UTF-16 unit of a "\uXXXX" escape starting at `pos`, or -1.
int EscapedUnit(const std::string& json, std::size_t pos) {
    if (pos + 6 > json.size() || json[pos] != '\\' || json[pos + 1] != 'u') return -1;
    int unit = 0;
    for (std::size_t i = pos + 2; i < pos + 6; ++i) {
        const int digit = HexValue(json[i]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// A page title may hold a lone UTF-16 surrogate, which the browser writes as an escape and the
// JSON reader rejects, taking the whole session with it. Each one becomes U+FFFD, in place.
void ReplaceLoneSurrogates(std::string& json) {
    static constexpr std::string_view kReplacement = "\\ufffd";
    bool inString = false;
    std::size_t i = 0;
    while (i < json.size()) {
        const char c = json[i];
        if (!inString || c != '\\') {
            if (c == '"') inString = !inString;
            ++i;
            continue;
        }
        const int unit = EscapedUnit(json, i);
        if (unit < 0) {
            i += 2;  // any other escape; a malformed one is the reader's to report
            continue;
        }
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high) {
            const int next = EscapedUnit(json, i + 6);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                i += 12;
                continue;
            }
        }
        if (high || low) json.replace(i, kReplacement.size(), kReplacement);
        i += 6;
    }
}

// Reads the session as a stream and keeps only windows[].tabs[].entries[].url, tabs[].index
// and windows[].isPrivate; everything else, however large or deep, is skipped with a counter.
class SessionReader {
public:
    explicit SessionReader(BrowserSession& out) : m_out(out) {}

    bool SawSession() const { return m_sawRoot; }

    bool null() { return true; }
    bool boolean(bool value) {
        if (In(Ctx::Window) && m_key == "isPrivate") m_window.isPrivate = value;
        return true;
    }
    bool number_integer(Json::number_integer_t value) {
        if (In(Ctx::Tab) && m_key == "index") m_tab.index = value;
        return true;
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        constexpr auto kMax =
            static_cast<Json::number_unsigned_t>(std::numeric_limits<std::int64_t>::max());
        return number_integer(static_cast<std::int64_t>(value > kMax ? kMax : value));
    }
    bool number_float(Json::number_float_t, const Json::string_t&) { return true; }
    bool string(Json::string_t& value) {
        if (In(Ctx::Entry) && m_key == "url" && m_entryKept)
            m_tab.entries.back() = std::move(value);
        return true;
    }
    bool binary(Json::binary_t&) { return true; }
    bool key(Json::string_t& key) {
        if (m_skip == 0) m_key = std::move(key);
        return true;
    }

    bool start_object(std::size_t) {
        if (m_skip > 0) {
            ++m_skip;
            return true;
        }
        Ctx next = Ctx::Other;
        if (m_stack.empty()) {
            next = Ctx::Root;
            m_sawRoot = true;
        } else if (m_stack.back() == Ctx::WindowList) {
            next = Ctx::Window;
            m_window = {};
        } else if (m_stack.back() == Ctx::TabList) {
            if (++m_tabs > kMaxSessionTabs) {
                m_out.error = "more than " + std::to_string(kMaxSessionTabs) + " tabs";
                return false;
            }
            next = Ctx::Tab;
            m_tab = {};
            m_entryKept = false;
        } else if (m_stack.back() == Ctx::EntryList) {
            next = Ctx::Entry;
            AddEntry();
        }
        return Enter(next);
    }
    bool start_array(std::size_t) {
        if (m_skip > 0) {
            ++m_skip;
            return true;
        }
        Ctx next = Ctx::Other;
        if (In(Ctx::Root) && m_key == "windows") {
            next = Ctx::WindowList;  // "_closedWindows" is skipped: those are gone
        } else if (In(Ctx::Window) && m_key == "tabs") {
            next = Ctx::TabList;
        } else if (In(Ctx::Tab) && m_key == "entries") {
            next = Ctx::EntryList;
        }
        return Enter(next);
    }
    bool end_object() { return Leave(); }
    bool end_array() { return Leave(); }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& e) {
        m_out.error = "not valid JSON at byte " + std::to_string(position) + ": " + e.what();
        return false;
    }

private:
    enum class Ctx { Other, Root, WindowList, Window, TabList, Tab, EntryList, Entry };
    struct Tab {
        std::vector<std::string> entries;  // the first kMaxEntriesPerTab entries' addresses
        std::size_t entryCount = 0;
        std::int64_t index = 0;  // 1-based; 0 when the tab names none
    };
    struct Window {
        bool isPrivate = false;
        std::vector<std::string> urls;
    };

    bool In(Ctx ctx) const { return m_skip == 0 && !m_stack.empty() && m_stack.back() == ctx; }

    bool Enter(Ctx ctx) {
        if (ctx == Ctx::Other) {
            m_skip = 1;
        } else {
            m_stack.push_back(ctx);
            m_key.clear();
        }
        return true;
    }

    bool Leave() {
        if (m_skip > 0) {
            --m_skip;
            return true;
        }
        if (m_stack.empty()) return true;
        const Ctx ctx = m_stack.back();
        m_stack.pop_back();
        if (ctx == Ctx::Tab) FinishTab();
        if (ctx == Ctx::Window) FinishWindow();
        return true;
    }

    void AddEntry() {
        ++m_tab.entryCount;
        m_entryKept = m_tab.entries.size() < kMaxEntriesPerTab && m_entries < kMaxEntries;
        if (!m_entryKept) return;
        m_tab.entries.emplace_back();
        ++m_entries;
    }

    // The browser restores entry index - 1, taking the last entry when the index is missing and
    // clamping one past the end.
    void FinishTab() {
        const auto count = static_cast<std::int64_t>(m_tab.entryCount);
        if (count == 0) return;
        std::int64_t position = (m_tab.index > 0 ? m_tab.index : count) - 1;
        if (position >= count) position = count - 1;
        if (static_cast<std::size_t>(position) >= m_tab.entries.size()) return;
        std::string url = CleanSessionUrl(m_tab.entries[static_cast<std::size_t>(position)]);
        if (!url.empty()) m_window.urls.push_back(std::move(url));
    }

    // A window counts only once it is complete, so a private one is never half reported.
    void FinishWindow() {
        if (m_window.isPrivate) return;
        for (auto& url : m_window.urls) m_out.urls.push_back(std::move(url));
    }

    BrowserSession& m_out;
    std::vector<Ctx> m_stack;  // at most Root..Entry deep
    std::size_t m_skip = 0;    // depth inside a skipped value
    std::string m_key;         // the last key of the object on top of m_stack
    bool m_sawRoot = false;
    Window m_window;
    Tab m_tab;
    bool m_entryKept = false;
    std::size_t m_tabs = 0;
    std::size_t m_entries = 0;
};

}  // namespace

BrowserSession ParseFirefoxSessionJson(std::string json) {
    BrowserSession session;
    try {
        ReplaceLoneSurrogates(json);
        SessionReader reader(session);
        Json::sax_parse(json.data(), json.data() + json.size(), &reader);
        if (session.Ok() && !reader.SawSession()) session.error = "not a session: no object";
    } catch (const std::exception& e) {
        session.error = std::string("session not read: ") + e.what();
    }
    return session;
}

BrowserSession ParseFirefoxSession(std::string_view fileBytes) {
    BrowserSession session;
    if (fileBytes.size() < kHeaderBytes || fileBytes.substr(0, kMagic.size()) != kMagic) {
        session.error = "not a mozLz4 file";
        return session;
    }
    const auto* header = reinterpret_cast<const unsigned char*>(fileBytes.data()) + kMagic.size();
    const std::uint32_t size = header[0] | (header[1] << 8) | (header[2] << 16) |
                               (static_cast<std::uint32_t>(header[3]) << 24);
    const std::string_view block = fileBytes.substr(kHeaderBytes);
    if (size > kMaxSessionBytes || block.size() > kMaxSessionBytes) {
        session.error = "refused: states " + std::to_string(size) + " bytes, more than " +
                        std::to_string(kMaxSessionBytes);
        return session;
    }
    std::string json;
    try {
        json.resize(size);
    } catch (const std::exception&) {
        session.error = "out of memory";
        return session;
    }
    const int decoded = LZ4_decompress_safe(block.data(), json.data(),
                                            static_cast<int>(block.size()), static_cast<int>(size));
    if (decoded < 0) {
        session.error = "damaged LZ4 block";
        return session;
    }
    json.resize(static_cast<std::size_t>(decoded));
    return ParseFirefoxSessionJson(std::move(json));
}

}  // namespace tk
