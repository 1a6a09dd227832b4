// What programs answer on the accessibility bus about their widgets, and the folder those
// widgets add up to. The first byte picks the reader; the rest is its input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "base/text.h"
#include "platform/linux/shell_windows/accessible_folders.h"

using namespace tk;
using tk::fuzz::Require;

namespace {

constexpr std::size_t kMaxInput = 1 << 16;
constexpr const char* kReplyTypes[] = {"(a(so))", "(u)", "(au)", "((iiii))", "(s)", "(v)"};

bool ValidUtf8(std::string_view text) { return SanitizeUtf8(text) == text; }

// Any serialized reply of one of the shapes asked for, read by every reader: each takes only
// its own shape and any bytes at all in it.
void ReadReply(fuzz::ByteReader& in) {
    const char* type = kReplyTypes[in.Byte() % std::size(kReplyTypes)];
    const std::string_view bytes = in.Bytes(kMaxInput);
    GVariant* reply = g_variant_ref_sink(
        g_variant_new_from_data(G_VARIANT_TYPE(type), bytes.data(), bytes.size(), FALSE, nullptr, nullptr));
    const auto children = AccessibleChildren(reply, 16);
    Require(children.size() <= 16, "at most the children asked for");
    for (const AccessibleRef& c : children) Require(g_dbus_is_name(c.bus.c_str()), "a child names a connection");
    (void)AccessibleRole(reply);
    (void)AccessibleHasState(reply, atspi::kStateChecked);
    (void)AccessibleHasState(reply, 1000);
    (void)AccessibleLeft(reply);
    if (auto text = AccessibleString(reply, 64)) {
        Require(text->size() <= 64 * 3 && ValidUtf8(*text), "a text is short UTF-8");
    }
    g_variant_unref(reply);
}

// Widgets as any window could show them.
void ReadWidgets(fuzz::ByteReader& in) {
    FolderWidgets widgets;
    widgets.title = in.Bytes(in.Byte() % 16);
    for (int n = in.Byte() % 4; n > 0; --n) widgets.entries.emplace_back(in.Bytes(in.Byte() % 32));
    for (int bars = in.Byte() % 4; bars > 0; --bars) {
        std::vector<PathButton> bar;
        for (int n = in.Byte() % 8; n > 0; --n) {
            const std::uint8_t flags = in.Byte();
            bar.push_back({std::string(in.Bytes(flags % 8)), static_cast<std::int8_t>(in.Byte()), (flags & 0x80) != 0});
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
    fuzz::ByteReader in(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        ReadReply(in);
    } else {
        ReadWidgets(in);
    }
    return 0;
}
