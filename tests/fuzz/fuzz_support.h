#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Helpers shared by the fuzz targets.
namespace tk::fuzz {

// A broken invariant is a crash as far as the fuzzer is concerned: it then keeps the input.
inline void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Hands out the fuzzer's bytes front to back; an exhausted input yields zeros and empty views,
// so decoding never fails and every prefix of an input is itself a valid input.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_pos >= m_size; }

    std::uint8_t Byte() { return Empty() ? 0 : m_data[m_pos++]; }

    std::string_view Bytes(std::size_t count) {
        if (count > m_size - m_pos) count = m_size - m_pos;
        std::string_view out(reinterpret_cast<const char*>(m_data + m_pos), count);
        m_pos += count;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

}  // namespace tk::fuzz
