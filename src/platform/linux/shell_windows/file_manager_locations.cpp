#include "platform/linux/shell_windows/file_manager_locations.h"

#include <cstring>

#include "base/text.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/shell_windows/file_manager_shell_windows.h"

namespace tk {

std::vector<ShellWindow> WindowsOfLocations(GVariant* value) {
    std::vector<ShellWindow> result;
    GVariantIter windows;
    g_variant_iter_init(&windows, value);
    GVariant* rawLocations = nullptr;
    while (g_variant_iter_next(&windows, "{&s@as}", nullptr, &rawLocations)) {
        glib::Variant locations(rawLocations);
        ShellWindow window;
        if (g_variant_n_children(locations.get()) > 0) {
            const gchar* uri = nullptr;
            g_variant_get_child(locations.get(), 0, "&s", &uri);
            window.locationUrl = FileManagerShellWindows::LocationFromUri(uri);
        }
        window.hasDocument = !window.locationUrl.empty();
        result.push_back(std::move(window));
    }
    return result;
}

std::string FileManagerShellWindows::LocationFromUri(const std::string& uri) {
    glib::String scheme(g_uri_parse_scheme(uri.c_str()));
    if (scheme && g_ascii_strcasecmp(scheme.get(), "file") == 0) {
        gchar* rawHost = nullptr;
        glib::String path(g_filename_from_uri(uri.c_str(), &rawHost, nullptr));
        glib::String host(rawHost);
        // A folder on another host has no local path; it stays a URI.
        if (path && (!host || std::strcmp(host.get(), "localhost") == 0)) {
            return SanitizeUtf8(std::string("file://") + path.get());
        }
    }
    return SanitizeUtf8(uri);
}

}  // namespace tk
