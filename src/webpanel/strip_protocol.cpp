#include "webpanel/strip_protocol.h"

#include <charconv>

namespace tk {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) { return c <= 0x20 || c == '%' || c == 0x7f; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 2 >= field.size()) return std::nullopt;
        const int high = HexValue(field[i + 1]);
        const int low = HexValue(field[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<StripMessage> ParseLine(std::string_view line) {
    StripMessage message;
    std::size_t pos = line.find(' ');
    message.name = std::string(line.substr(0, pos));
    if (message.name.empty() || message.name.size() > 32) return std::nullopt;
    for (char c : message.name) {
        if (c < 'a' || c > 'z') return std::nullopt;
    }
    while (pos != std::string_view::npos) {
        const std::size_t begin = pos + 1;
        pos = line.find(' ', begin);
        auto field = Unescape(line.substr(begin, pos == std::string_view::npos ? pos : pos - begin));
        if (!field) return std::nullopt;
        message.fields.push_back(std::move(*field));
    }
    return message;
}

template <typename T>
std::optional<T> Number(const std::string& text, T low, T high) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<bool> Flag(const std::string& text) {
    if (text == "1") return true;
    if (text == "0") return false;
    return std::nullopt;
}

}  // namespace

std::string EncodeStripMessage(const StripMessage& message) {
    std::string out = message.name;
    for (const std::string& field : message.fields) {
        out += ' ';
        for (char c : field) {
            const auto byte = static_cast<unsigned char>(c);
            if (NeedsEscape(byte)) {
                out += '%';
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else {
                out += c;
            }
        }
    }
    out += '\n';
    return out;
}

void StripDecoder::Feed(std::string_view bytes) {
    if (m_broken) return;
    // What has been read goes once it is more than what is left, so the buffer stays small.
    if (m_start > 0 && m_start >= m_buffer.size() - m_start) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
    m_buffer.append(bytes);
}

std::optional<StripMessage> StripDecoder::Next() {
    if (m_broken) return std::nullopt;
    const std::size_t end = m_buffer.find('\n', m_start);
    if (end == std::string::npos) {
        if (m_buffer.size() - m_start > m_maxLine) m_broken = true;
        return std::nullopt;
    }
    if (end - m_start > m_maxLine) {
        m_broken = true;
        return std::nullopt;
    }
    std::optional<StripMessage> message =
        ParseLine(std::string_view(m_buffer).substr(m_start, end - m_start));
    m_start = end + 1;
    if (m_start == m_buffer.size()) {
        // All read: a page's text can be large, and its room is not kept once it is answered.
        m_start = 0;
        if (m_buffer.capacity() > kKeptRoom) std::string().swap(m_buffer);
        else m_buffer.clear();
    }
    if (!message) m_broken = true;
    return message;
}

StripMessage ToMessage(const StripCommand& command) {
    struct Visitor {
        StripMessage operator()(const NavigateCommand& c) const { return {"navigate", {c.address}}; }
        StripMessage operator()(const PageCommand& c) const { return {"page", {std::to_string(c.serial)}}; }
        StripMessage operator()(const SizeCommand& c) const {
            return {"size", {std::to_string(c.width), std::to_string(c.height)}};
        }
        StripMessage operator()(const QuitCommand&) const { return {"quit", {}}; }
    };
    return std::visit(Visitor{}, command);
}

StripMessage ToMessage(const StripEvent& event) {
    struct Visitor {
        StripMessage operator()(const WindowEvent& e) const { return {"window", {std::to_string(e.windowId)}}; }
        StripMessage operator()(const CompleteEvent& e) const {
            return {"complete", {e.ok ? "1" : "0", e.address}};
        }
        StripMessage operator()(const PageEvent& e) const {
            return {"page", {std::to_string(e.serial), e.ok ? "1" : "0", e.address, e.body}};
        }
        StripMessage operator()(const OpenEvent& e) const { return {"open", {e.address}}; }
    };
    return std::visit(Visitor{}, event);
}

std::optional<StripCommand> ParseStripCommand(const StripMessage& m) {
    const std::size_t n = m.fields.size();
    if (m.name == "navigate" && n == 1) return NavigateCommand{m.fields[0]};
    if (m.name == "page" && n == 1) {
        if (auto serial = Number<std::uint32_t>(m.fields[0], 0, UINT32_MAX)) return PageCommand{*serial};
        return std::nullopt;
    }
    if (m.name == "size" && n == 2) {
        // Beyond any screen: a size no window system would give a window.
        auto width = Number<int>(m.fields[0], 0, 32767);
        auto height = Number<int>(m.fields[1], 0, 32767);
        if (width && height) return SizeCommand{*width, *height};
        return std::nullopt;
    }
    if (m.name == "quit" && n == 0) return QuitCommand{};
    return std::nullopt;
}

std::optional<StripEvent> ParseStripEvent(const StripMessage& m) {
    const std::size_t n = m.fields.size();
    if (m.name == "window" && n == 1) {
        auto id = Number<std::uint64_t>(m.fields[0], 1, UINT64_MAX);
        if (id) return WindowEvent{*id};
        return std::nullopt;
    }
    if (m.name == "complete" && n == 2) {
        if (auto ok = Flag(m.fields[0])) return CompleteEvent{*ok, m.fields[1]};
        return std::nullopt;
    }
    if (m.name == "page" && n == 4) {
        auto serial = Number<std::uint32_t>(m.fields[0], 0, UINT32_MAX);
        auto ok = Flag(m.fields[1]);
        if (serial && ok) return PageEvent{*serial, *ok, m.fields[2], m.fields[3]};
        return std::nullopt;
    }
    if (m.name == "open" && n == 1) return OpenEvent{m.fields[0]};
    return std::nullopt;
}

bool IsOpenableWebAddress(std::string_view address) {
    if (address.size() > 8192) return false;
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return false;
    }
    auto startsWith = [&](std::string_view scheme) {
        if (address.size() <= scheme.size()) return false;
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            char c = address[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != scheme[i]) return false;
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

}  // namespace tk
