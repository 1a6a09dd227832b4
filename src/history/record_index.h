#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace tk {

// A set of record numbers found by a text each record holds (its trimmed location), as a flat
// table of numbers: the texts stay in the records, never copied into the index.
class RecordIndex {
public:
    // The text record `n` is found by.
    using KeyOf = std::function<std::string_view(int)>;
    explicit RecordIndex(KeyOf keyOf) : m_keyOf(std::move(keyOf)) {}

    bool Contains(std::string_view key) const;
    void Insert(int record);
    void Erase(int record);
    // Record `removed` went: the numbers above it move down by one.
    void ShiftAbove(int removed);
    void Clear();
    void Reserve(std::size_t records);

private:
    static constexpr std::int32_t kEmpty = -1;
    static constexpr std::int32_t kGone = -2;
    std::size_t SlotOf(std::string_view key) const { return std::hash<std::string_view>{}(key) & (m_slots.size() - 1); }
    void Rehash(std::size_t slots);

    KeyOf m_keyOf;
    std::vector<std::int32_t> m_slots;  // a power of two long, or empty
    std::size_t m_used = 0;
    std::size_t m_gone = 0;
};

}  // namespace tk
