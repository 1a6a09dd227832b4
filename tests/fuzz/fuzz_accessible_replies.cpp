// What programs answer on the accessibility bus about their widgets, and the folder those
// widgets add up to. The first byte picks the reader; the rest is its input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <gio/gio.h>

#include "fuzz_support.h"
#include "base/text.h"
#include "platform/linux/shell_windows/accessible_folders.h"

using namespace tk;
using tk::fuzz::Require;

namespace {

constexpr std::size_t kMaxInput = 1 << 16;

bool ValidUtf8(std::string_view text) { return SanitizeUtf8(text) == text; }

// A message as it comes off the accessibility bus, its body read by every reader: each takes
// only its own shape, and any values in it.
void ReadReply(std::string_view blob) {
    GDBusMessage* message = g_dbus_message_new_from_blob(
        reinterpret_cast<guchar*>(const_cast<char*>(blob.data())), blob.size(), G_DBUS_CAPABILITY_FLAGS_NONE,
        nullptr);
    if (message == nullptr) return;
    GVariant* reply = g_dbus_message_get_body(message);
    const auto children = AccessibleChildren(reply, 16);
    Require(children.size() <= 16, "at most the children asked for");
    for (const AccessibleRef& c : children) Require(g_dbus_is_name(c.bus.c_str()), "a child names a connection");
    (void)AccessibleRole(reply);
    (void)AccessibleHasState(reply, atspi::kStateChecked);
    (void)AccessibleHasState(reply, atspi::kStateFocused);
    (void)AccessibleHasState(reply, 1000);
    (void)AccessibleLeft(reply);
    if (auto text = AccessibleString(reply, 64)) {
        Require(text->size() <= 64 && ValidUtf8(*text), "a text is short UTF-8");
    }
    g_object_unref(message);
}

// Widgets as any window could show them.
void ReadWidgets(fuzz::ByteReader& in) {
    FolderWidgets widgets;
    widgets.title = in.Bytes(in.Byte() % 16);
    for (int n = in.Byte() % 4; n > 0; --n) {
        const std::uint8_t flags = in.Byte();
        widgets.entries.push_back({std::string(in.Bytes(flags % 32)), (flags & 0x80) != 0});
    }
    for (int bars = in.Byte() % 4; bars > 0; --bars) {
        std::vector<PathButton> bar;
        for (int n = in.Byte() % 8; n > 0; --n) {
            const std::uint8_t flags = in.Byte();
            std::string name(in.Bytes(flags % 8));
            const auto left = static_cast<std::int8_t>(in.Byte());
            // Some out of sight, placed nowhere.
            bar.push_back({std::move(name), (flags & 0x40) != 0 ? std::nullopt : std::optional<std::int32_t>(left),
                           (flags & 0x80) != 0});
        }
        widgets.pathBars.push_back(std::move(bar));
    }
    if (auto folder = FolderShown(widgets)) {
        Require(folder->starts_with('/') && folder->find('\0') == std::string::npos,
                "a folder is an absolute path");
        Require(folder->size() == 1 || !folder->ends_with('/'), "a folder has no trailing separator");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > kMaxInput) return 0;
    if (data[0] % 2 == 0) {
        ReadReply(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    } else {
        fuzz::ByteReader in(data + 1, size - 1);
        ReadWidgets(in);
    }
    return 0;
}
