#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <lz4.h>

// Session files as the browsers write them, made by the tests.
namespace tk::test {

// Firefox's "mozLz40\0" + decompressed size (32-bit little endian) + one LZ4 block.
inline std::string MozLz4(std::string_view json) {
    std::string block(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(json.size()))),
                      '\0');
    const int size = LZ4_compress_default(json.data(), block.data(), static_cast<int>(json.size()),
                                          static_cast<int>(block.size()));
    block.resize(static_cast<std::size_t>(size));
    std::string file("mozLz40\0", 8);
    for (int shift = 0; shift < 32; shift += 8) {
        file.push_back(static_cast<char>((json.size() >> shift) & 0xff));
    }
    return file + block;
}

// Chromium's command file: "SNSS", a version, then (size, id, payload) records.
class SnssWriter {
public:
    explicit SnssWriter(std::int32_t version = 3) {
        m_bytes = "SNSS";
        Int(m_bytes, version);
    }

    const std::string& Bytes() const { return m_bytes; }

    SnssWriter& Record(std::uint8_t id, std::string_view payload) {
        const std::size_t size = payload.size() + 1;
        m_bytes.push_back(static_cast<char>(size & 0xff));
        m_bytes.push_back(static_cast<char>(size >> 8));
        m_bytes.push_back(static_cast<char>(id));
        m_bytes.append(payload);
        return *this;
    }
    SnssWriter& Ints(std::uint8_t id, std::initializer_list<std::int32_t> values) {
        std::string payload;
        for (const std::int32_t v : values) Int(payload, v);
        return Record(id, payload);
    }

    SnssWriter& WindowType(std::int32_t window, std::int32_t type = 0) {
        return Ints(9, {window, type});
    }
    SnssWriter& TabWindow(std::int32_t window, std::int32_t tab) { return Ints(0, {window, tab}); }
    SnssWriter& TabIndex(std::int32_t tab, std::int32_t index) { return Ints(2, {tab, index}); }
    SnssWriter& Selected(std::int32_t tab, std::int32_t index) { return Ints(7, {tab, index}); }
    // Closed tabs and windows carry their id and a 64-bit time.
    SnssWriter& TabClosed(std::int32_t tab) { return Ints(16, {tab, 0, 0, 0}); }
    SnssWriter& WindowClosed(std::int32_t window) { return Ints(17, {window, 0, 0, 0}); }
    SnssWriter& PrunedFromBack(std::int32_t tab, std::int32_t index) {
        return Ints(5, {tab, index});
    }
    SnssWriter& PrunedFromFront(std::int32_t tab, std::int32_t count) {
        return Ints(11, {tab, count});
    }
    SnssWriter& Pruned(std::int32_t tab, std::int32_t index, std::int32_t count) {
        return Ints(24, {tab, index, count});
    }
    // A pickle: payload size, tab, index, URL and title as the browser writes them.
    SnssWriter& Navigation(std::int32_t tab, std::int32_t index, std::string_view url,
                           std::u16string_view title = u"title") {
        std::string pickle;
        Int(pickle, tab);
        Int(pickle, index);
        Int(pickle, static_cast<std::int32_t>(url.size()));
        pickle.append(url);
        Pad(pickle);
        Int(pickle, static_cast<std::int32_t>(title.size()));
        for (const char16_t c : title) {
            pickle.push_back(static_cast<char>(c & 0xff));
            pickle.push_back(static_cast<char>(c >> 8));
        }
        Pad(pickle);
        Int(pickle, 0);  // page state, and so on
        std::string payload;
        Int(payload, static_cast<std::int32_t>(pickle.size()));
        return Record(6, payload + pickle);
    }
    // One normal window holding one tab that shows `url`.
    SnssWriter& Tab(std::int32_t window, std::int32_t tab, std::int32_t visualIndex,
                    std::string_view url) {
        TabWindow(window, tab);
        TabIndex(tab, visualIndex);
        Navigation(tab, 0, url);
        return Selected(tab, 0);
    }

    static void Int(std::string& out, std::int32_t value) {
        const auto v = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(v >> shift));
    }

private:
    static void Pad(std::string& out) {
        while (out.size() % 4 != 0) out.push_back('\0');
    }

    std::string m_bytes;
};

}  // namespace tk::test
