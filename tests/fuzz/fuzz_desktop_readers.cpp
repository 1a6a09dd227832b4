// The readers of what other programs leave for us on the desktop: window properties and their
// text, sway's IPC frames, browsers' profile lists and lock links, /proc stat lines, the file
// manager's windows and locations, autostart entries. The first byte picks the reader; the rest
// is its input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "base/text.h"
#include "platform/linux/autorun/xdg_autostart_store.h"
#include "platform/linux/shell_windows/browser_locks.h"
#include "platform/linux/shell_windows/file_manager_locations.h"
#include "platform/linux/shell_windows/file_manager_shell_windows.h"
#include "platform/linux/shell_windows/file_manager_titles.h"
#include "platform/linux/wayland/sway_ipc.h"
#include "platform/linux/x11/compound_text.h"
#include "platform/linux/x11/x11_properties.h"

using namespace tk;
using tk::fuzz::Require;

namespace {

constexpr std::size_t kMaxInput = 1 << 16;
constexpr std::uint32_t kCardinal = 6, kString = 31, kUtf8 = 100, kCompound = 101;
constexpr std::uint32_t kTypes[] = {0, kCardinal, kString, kUtf8, kCompound};
constexpr TextAtoms kAtoms{kUtf8, kCompound};

bool ValidUtf8(std::string_view text) { return SanitizeUtf8(text) == text; }

// A reply as a server (or a lying client's property) could shape it: any type, format and
// claimed length, with however many bytes came.
RawProperty Property(fuzz::ByteReader& in) {
    RawProperty p;
    p.type = kTypes[in.Byte() % std::size(kTypes)];
    p.format = static_cast<std::uint8_t>(8u << (in.Byte() % 3));
    p.valueLen = in.Byte() | (static_cast<std::uint32_t>(in.Byte()) << 8);
    p.data = in.Bytes(in.Byte() | (static_cast<std::size_t>(in.Byte()) << 8));
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > kMaxInput) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    fuzz::ByteReader in(data + 1, size - 1);
    switch (data[0] % 8) {
        case 0: {
            const RawProperty netWmName = Property(in), wmName = Property(in);
            const std::string title = WindowTitle(netWmName, wmName, kAtoms);
            Require(title.size() <= 128 && ValidUtf8(title), "a title is at most 128 bytes of UTF-8");
            break;
        }
        case 1:
            Require(ValidUtf8(DecodeCompoundText(rest)), "compound text decodes to UTF-8");
            Require(ValidUtf8(Latin1ToUtf8(rest)), "Latin-1 decodes to UTF-8");
            break;
        case 2: {
            const RawProperty list = Property(in);
            if (auto values = PropertyCard32s(list, kCardinal)) {
                Require(values->size() * 4 <= list.data.size(), "no value past the reply");
            }
            const RawProperty pid = Property(in), machine = Property(in);
            if (ClaimedLocalPid(pid, machine, "here") != 0) {
                Require(LowerAscii(PropertyText(machine, kString).value_or("")) == "here",
                        "a pid is believed only from this host");
            }
            const WmClassNames names = WmClass(Property(in));
            for (const std::string& name : {names.instance, names.className}) {
                Require(ValidUtf8(name) && name.find('\0') == std::string::npos,
                        "a class name is UTF-8 up to its NUL");
            }
            break;
        }
        case 3: {
            if (auto length = SwayReplyLength(rest.substr(0, kSwayHeaderSize), 4)) {
                Require(*length <= (64u << 20), "no reply past the limit");
            }
            const std::uint32_t type = data[0];
            Require(SwayReplyLength(SwayRequest(type), type) == 0u, "a request frames as its own reply");
            break;
        }
        case 4:
            if (auto profiles = ProfilesFromIni(rest, "/home/u/.mozilla/firefox", 256)) {
                Require(profiles->size() <= 256, "at most the profiles asked for");
                for (const std::string& p : *profiles) Require(!p.empty(), "no empty profile");
            }
            break;
        case 6: {
            // What OpenWindowsWithLocations could hold: windows with any number of locations,
            // each any text a D-Bus string can carry.
            GVariantBuilder windows;
            g_variant_builder_init(&windows, G_VARIANT_TYPE("a{sas}"));
            const std::size_t count = in.Byte() % 8;
            for (std::size_t i = 0; i < count; ++i) {
                GVariantBuilder uris;
                g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
                for (int k = in.Byte() % 4; k > 0; --k) {
                    const std::string uri = SanitizeUtf8(in.Bytes(in.Byte()));
                    g_variant_builder_add(&uris, "s", uri.c_str());
                }
                g_variant_builder_add(&windows, "{s@as}", "/w", g_variant_builder_end(&uris));
            }
            GVariant* value = g_variant_ref_sink(g_variant_builder_end(&windows));
            const std::vector<ShellWindow> listed = WindowsOfLocations(value);
            g_variant_unref(value);
            Require(listed.size() == count, "one window for each the file manager names");
            for (const ShellWindow& w : listed) {
                Require(ValidUtf8(w.locationUrl), "a location is UTF-8");
                Require(w.hasDocument == !w.locationUrl.empty(), "a window with a location shows it");
            }
            Require(ValidUtf8(FileManagerShellWindows::LocationFromUri(std::string(rest))),
                    "a location is UTF-8");
            break;
        }
        case 7: {
            // The program an autostart entry names: text of the entry, never more.
            if (auto program = XdgAutostartStore::ProgramOfEntry(std::string(rest))) {
                Require(program->size() <= rest.size(), "the program comes from the entry");
            }
            // A process's arguments as the kernel lists them.
            std::size_t total = 0;
            const std::vector<std::string> args = SplitNulSeparated(rest, 32);
            for (const std::string& arg : args) total += arg.size() + 1;
            Require(args.size() <= 32 && total <= rest.size() + 1, "the arguments come from the bytes");
            break;
        }
        default: {
            if (auto name = LiveProcessName(rest)) {
                Require(rest.find(*name) != std::string_view::npos, "the name is in the line");
            }
            // A file manager's title and the settings files that make it name its folder.
            for (const std::string& folder : FolderCandidatesInTitle(rest, "/home/u")) {
                Require(folder.starts_with("/") && folder.size() <= rest.size() + 7,
                        "a candidate is an absolute path out of the title");
            }
            (void)KdeConfigFlag(rest, "General", "ShowFullPathInTitlebar");
            (void)XfconfChannelFlag(rest, "misc-full-path-in-window-title");
            for (auto pid : {FirefoxLockPid(rest), ChromiumLockPid(rest, "here")}) {
                Require(!pid || (*pid > 0 && *pid < 1000000000), "a pid is a pid");
            }
            break;
        }
    }
    return 0;
}
