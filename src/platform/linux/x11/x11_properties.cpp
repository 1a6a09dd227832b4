#include "platform/linux/x11/x11_properties.h"

#include <climits>
#include <cstring>
#include <unistd.h>

#include "base/text.h"
#include "platform/linux/x11/compound_text.h"

namespace tk {

namespace {

constexpr std::uint32_t kAtomString = 31;  // XCB_ATOM_STRING
constexpr std::uint32_t kAtomCardinal = 6; // XCB_ATOM_CARDINAL
constexpr std::size_t kMaxTextBytes = 128;

// The value's bytes when type and format agree and the reply holds every item it claims.
std::optional<std::string_view> Items(const RawProperty& p, std::uint32_t type, unsigned format) {
    if (p.type == 0 || p.type != type || p.format != format) return {};
    const std::uint64_t bytes = static_cast<std::uint64_t>(p.valueLen) * (format / 8);
    if (bytes > p.data.size()) return {};
    return p.data.substr(0, static_cast<std::size_t>(bytes));
}

}  // namespace

std::optional<std::string_view> PropertyText(const RawProperty& p, std::uint32_t type) {
    auto bytes = Items(p, type, 8);
    if (!bytes) return {};
    // A title ends at its first NUL, as window text does everywhere else.
    return bytes->substr(0, bytes->find('\0'));
}

WmClassNames WmClass(const RawProperty& wmClass) {
    WmClassNames names;
    auto bytes = Items(wmClass, kAtomString, 8);
    if (!bytes) return names;
    const std::size_t end = bytes->find('\0');
    names.instance = Latin1ToUtf8(bytes->substr(0, end));
    if (end != std::string_view::npos) {
        const std::string_view rest = bytes->substr(end + 1);
        names.className = Latin1ToUtf8(rest.substr(0, rest.find('\0')));
    }
    return names;
}

std::optional<std::vector<std::uint32_t>> PropertyCard32s(const RawProperty& p, std::uint32_t type) {
    auto bytes = Items(p, type, 32);
    if (!bytes) return {};
    std::vector<std::uint32_t> values(bytes->size() / 4);
    if (!values.empty()) std::memcpy(values.data(), bytes->data(), values.size() * 4);
    return values;
}

std::optional<std::uint32_t> PropertyCard32(const RawProperty& p, std::uint32_t type) {
    auto bytes = Items(p, type, 32);
    if (!bytes || bytes->size() < 4) return {};
    std::uint32_t value = 0;
    std::memcpy(&value, bytes->data(), 4);
    return value;
}

std::string WindowTitle(const RawProperty& netWmName, const RawProperty& wmName, const TextAtoms& atoms) {
    std::string text;
    if (auto utf8 = PropertyText(netWmName, atoms.utf8String)) {
        text = SanitizeUtf8(*utf8);
    } else if (auto latin1 = PropertyText(wmName, kAtomString)) {
        text = Latin1ToUtf8(*latin1);
    } else if (auto compound = PropertyText(wmName, atoms.compoundText)) {
        text = DecodeCompoundText(*compound);
    } else if (auto plain = PropertyText(wmName, atoms.utf8String)) {
        text = SanitizeUtf8(*plain);
    }
    return std::string(TruncateUtf8(text, kMaxTextBytes));
}

std::int64_t ClaimedLocalPid(const RawProperty& netWmPid, const RawProperty& clientMachine,
                             std::string_view thisHost) {
    const auto pid = PropertyCard32(netWmPid, kAtomCardinal);
    const auto machine = PropertyText(clientMachine, kAtomString);
    if (!pid || *pid == 0 || !machine || thisHost.empty()) return 0;
    // Host names compare without regard to case.
    if (LowerAscii(*machine) != LowerAscii(thisHost)) return 0;
    return *pid;
}

std::string ThisHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

}  // namespace tk
