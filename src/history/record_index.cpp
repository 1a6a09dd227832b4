#include "history/record_index.h"

namespace tk {

bool RecordIndex::Contains(std::string_view key) const {
    if (m_slots.empty()) return false;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = SlotOf(key);; at = (at + 1) & mask) {
        const std::int32_t record = m_slots[at];
        if (record == kEmpty) return false;
        if (record >= 0 && m_keyOf(record) == key) return true;
    }
}

void RecordIndex::Rehash(std::size_t slots) {
    std::vector<std::int32_t> old = std::move(m_slots);
    m_slots.assign(slots, kEmpty);
    m_used = 0;
    m_gone = 0;
    for (const std::int32_t record : old) {
        if (record >= 0) Insert(record);
    }
}

void RecordIndex::Insert(int record) {
    // At most half full, tombstones counted: probes stay short.
    if ((m_used + m_gone + 1) * 2 > m_slots.size()) {
        std::size_t slots = 16;
        while (slots < (m_used + 1) * 4) slots *= 2;
        Rehash(slots);
    }
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = SlotOf(m_keyOf(record));; at = (at + 1) & mask) {
        if (m_slots[at] < 0) {
            if (m_slots[at] == kGone) --m_gone;
            m_slots[at] = record;
            ++m_used;
            return;
        }
    }
}

void RecordIndex::Erase(int record) {
    if (m_slots.empty()) return;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = SlotOf(m_keyOf(record));; at = (at + 1) & mask) {
        if (m_slots[at] == kEmpty) return;
        if (m_slots[at] == record) {
            m_slots[at] = kGone;
            --m_used;
            ++m_gone;
            return;
        }
    }
}

void RecordIndex::ShiftAbove(int removed) {
    for (std::int32_t& record : m_slots) {
        if (record > removed) --record;
    }
}

void RecordIndex::Clear() {
    m_slots.clear();
    m_used = 0;
    m_gone = 0;
}

void RecordIndex::Reserve(std::size_t records) {
    std::size_t slots = 16;
    while (slots < records * 2 + 2) slots *= 2;
    if (slots > m_slots.size()) Rehash(slots);
}

}  // namespace tk
