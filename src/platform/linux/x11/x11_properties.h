#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Window properties decoded from what the X server returned, without a connection: what any
// client may write there is outside input, read here and nowhere else.
namespace tk {

// One GetProperty reply: its type (0 when the property is absent), format, item count, and
// the bytes that came with it.
struct RawProperty {
    std::uint32_t type = 0;
    std::uint8_t format = 0;
    std::uint32_t valueLen = 0;
    std::string_view data;
};

// The 8-bit value up to its first NUL when the property has `type`; nothing otherwise.
std::optional<std::string_view> PropertyText(const RawProperty& p, std::uint32_t type);
// The 32-bit values when the property has `type` and carries all it claims; nothing otherwise.
std::optional<std::vector<std::uint32_t>> PropertyCard32s(const RawProperty& p, std::uint32_t type);
std::optional<std::uint32_t> PropertyCard32(const RawProperty& p, std::uint32_t type);

// The atoms a title may come typed as.
struct TextAtoms {
    std::uint32_t utf8String = 0;
    std::uint32_t compoundText = 0;
};
// WM_GETTEXT's window text: _NET_WM_NAME, else WM_NAME in its own encoding; valid UTF-8 of at
// most 128 bytes, cut on a character boundary.
std::string WindowTitle(const RawProperty& netWmName, const RawProperty& wmName, const TextAtoms& atoms);

// The process id a client claims in _NET_WM_PID, believed only from a client that says it runs
// on this host (WM_CLIENT_MACHINE, which the window-manager standard asks for alongside). A pid
// from elsewhere, or from nowhere said, names an unrelated process here; 0 then.
std::int64_t ClaimedLocalPid(const RawProperty& netWmPid, const RawProperty& clientMachine,
                             std::string_view thisHost);
// WM_CLASS: the instance name, then the class name, each ending at its NUL; a name the
// client left out is empty. Latin-1, as the property is typed, given as UTF-8.
struct WmClassNames {
    std::string instance;
    std::string className;
};
WmClassNames WmClass(const RawProperty& wmClass);

// This machine's name as clients write it into WM_CLIENT_MACHINE.
std::string ThisHostName();

}  // namespace tk
