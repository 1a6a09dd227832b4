#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gio/gio.h>

#include "desktop/search_result.h"

namespace tk {

// The history where the desktop searches: GNOME Shell's search provider and KRunner's D-Bus
// runner, both on one name of the session bus, answered on the thread that made the service
// (its GLib main context must run there: the program's event loop does). Files installed
// with the program tell the shell and KRunner where to ask, and D-Bus where to start it.
class DesktopSearchService final : public DesktopSearch {
public:

    static constexpr const char* kBusName = "org.tarvokelmora.SearchProvider";
    static constexpr const char* kGnomePath = "/org/tarvokelmora/SearchProvider";
    static constexpr const char* kKRunnerPath = "/org/tarvokelmora/KRunner";

    DesktopSearchService(DesktopSearchHandlers handlers, Diagnostics& diagnostics);
    ~DesktopSearchService() override;
    DesktopSearchService(const DesktopSearchService&) = delete;
    DesktopSearchService& operator=(const DesktopSearchService&) = delete;

    // Whether the name is ours (it is taken shortly after start; another program may hold it).
    bool Owned() const { return m_owned; }

private:
    static void OnBusAcquired(GDBusConnection* c, const gchar* name, gpointer self);
    static void OnNameAcquired(GDBusConnection* c, const gchar* name, gpointer self);
    static void OnNameLost(GDBusConnection* c, const gchar* name, gpointer self);
    static void OnMethodCall(GDBusConnection* c, const gchar* sender, const gchar* path,
                             const gchar* interface, const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self);
    void GnomeCall(const std::string& method, GVariant* parameters, GDBusMethodInvocation* invocation);
    void KRunnerCall(const std::string& method, GVariant* parameters, GDBusMethodInvocation* invocation);
    // Searches and keeps what was found, for the metadata and the opening asked next.
    std::vector<SearchResult> Find(std::string_view query, std::size_t limit);

    DesktopSearchHandlers m_handlers;
    Diagnostics& m_diagnostics;
    guint m_owner = 0;
    GDBusConnection* m_connection = nullptr;
    std::vector<guint> m_registrations;
    bool m_owned = false;
    std::map<std::string, SearchResult> m_found;
};

}  // namespace tk
