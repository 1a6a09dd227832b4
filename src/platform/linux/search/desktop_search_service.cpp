#include "platform/linux/search/desktop_search_service.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "platform/linux/glib/glib_ptr.h"

namespace tk {

namespace {

constexpr std::size_t kShellResults = 20;   // the overview shows a handful
constexpr std::size_t kRunnerResults = 50;
constexpr std::size_t kRemembered = 500;    // results kept for their metadata and opening

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.gnome.Shell.SearchProvider2">
    <method name="GetInitialResultSet">
      <arg type="as" name="terms" direction="in"/><arg type="as" name="results" direction="out"/>
    </method>
    <method name="GetSubsearchResultSet">
      <arg type="as" name="previous_results" direction="in"/>
      <arg type="as" name="terms" direction="in"/><arg type="as" name="results" direction="out"/>
    </method>
    <method name="GetResultMetas">
      <arg type="as" name="identifiers" direction="in"/>
      <arg type="aa{sv}" name="metas" direction="out"/>
    </method>
    <method name="ActivateResult">
      <arg type="s" name="identifier" direction="in"/><arg type="as" name="terms" direction="in"/>
      <arg type="u" name="timestamp" direction="in"/>
    </method>
    <method name="LaunchSearch">
      <arg type="as" name="terms" direction="in"/><arg type="u" name="timestamp" direction="in"/>
    </method>
  </interface>
  <interface name="org.kde.krunner1">
    <method name="Actions"><arg type="a(sss)" name="matches" direction="out"/></method>
    <method name="Match">
      <arg type="s" name="query" direction="in"/>
      <arg type="a(sssida{sv})" name="matches" direction="out"/>
    </method>
    <method name="Run">
      <arg type="s" name="matchId" direction="in"/><arg type="s" name="actionId" direction="in"/>
    </method>
  </interface>
</node>)xml";

// The terms the shell splits a query into, as one query again.
std::string JoinTerms(GVariant* terms) {
    std::string query;
    GVariantIter iter;
    g_variant_iter_init(&iter, terms);
    const gchar* term = nullptr;
    while (g_variant_iter_next(&iter, "&s", &term)) {
        if (!query.empty()) query += ' ';
        query += term;
    }
    return query;
}

GVariant* Ids(const std::vector<SearchResult>& results) {
    GVariantBuilder ids;
    g_variant_builder_init(&ids, G_VARIANT_TYPE("as"));
    for (const SearchResult& r : results) g_variant_builder_add(&ids, "s", r.id.c_str());
    return g_variant_new("(as)", &ids);
}

// Every text handed to the bus is valid UTF-8 whatever the history file held.
std::string Clean(const std::string& text) { return SanitizeUtf8(text); }

}  // namespace

std::unique_ptr<DesktopSearch> OfferDesktopSearch(DesktopSearchHandlers handlers, Diagnostics& diagnostics) {
    return std::make_unique<DesktopSearchService>(std::move(handlers), diagnostics);
}

DesktopSearchService::DesktopSearchService(DesktopSearchHandlers handlers, Diagnostics& diagnostics)
    : m_handlers(std::move(handlers)), m_diagnostics(diagnostics) {
    m_owner = g_bus_own_name(G_BUS_TYPE_SESSION, kBusName, G_BUS_NAME_OWNER_FLAGS_NONE, OnBusAcquired,
                             OnNameAcquired, OnNameLost, this, nullptr);
}

DesktopSearchService::~DesktopSearchService() {
    if (m_connection != nullptr) {
        for (guint id : m_registrations) g_dbus_connection_unregister_object(m_connection, id);
    }
    if (m_owner != 0) g_bus_unown_name(m_owner);
}

void DesktopSearchService::OnBusAcquired(GDBusConnection* c, const gchar*, gpointer self) {
    auto* service = static_cast<DesktopSearchService*>(self);
    service->m_connection = c;
    GError* rawError = nullptr;
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, &rawError);
    glib::Error error(rawError);
    if (info == nullptr) return;
    static const GDBusInterfaceVTable kVTable = {OnMethodCall, nullptr, nullptr, {}};
    const std::pair<const char*, GDBusInterfaceInfo*> objects[] = {
        {kGnomePath, info->interfaces[0]}, {kKRunnerPath, info->interfaces[1]}};
    for (const auto& [path, interface] : objects) {
        GError* registerError = nullptr;
        const guint id = g_dbus_connection_register_object(c, path, interface, &kVTable, self, nullptr,
                                                           &registerError);
        glib::Error owned(registerError);
        if (id != 0) service->m_registrations.push_back(id);
        else service->m_diagnostics.Warning("desktop search",
                                            owned ? owned->message : "cannot offer the search");
    }
    g_dbus_node_info_unref(info);
}

void DesktopSearchService::OnNameAcquired(GDBusConnection*, const gchar*, gpointer self) {
    static_cast<DesktopSearchService*>(self)->m_owned = true;
}

void DesktopSearchService::OnNameLost(GDBusConnection* c, const gchar*, gpointer self) {
    auto* service = static_cast<DesktopSearchService*>(self);
    service->m_owned = false;
    // Without a bus, or with another program on the name, the search is simply not offered.
    if (c != nullptr) {
        service->m_diagnostics.Info("desktop search",
                                    "the search provider's name is held by another program");
    }
}

void DesktopSearchService::OnMethodCall(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                                        const gchar* method, GVariant* parameters,
                                        GDBusMethodInvocation* invocation, gpointer self) {
    auto* service = static_cast<DesktopSearchService*>(self);
    if (std::string_view(path) == kGnomePath) service->GnomeCall(method, parameters, invocation);
    else service->KRunnerCall(method, parameters, invocation);
}

std::vector<SearchResult> DesktopSearchService::Find(std::string_view query, std::size_t limit) {
    std::vector<SearchResult> results = m_handlers.search ? m_handlers.search(query, limit) : std::vector<SearchResult>{};
    if (m_found.size() > kRemembered) m_found.clear();
    for (const SearchResult& r : results) m_found[r.id] = r;
    return results;
}

void DesktopSearchService::GnomeCall(const std::string& method, GVariant* parameters,
                                     GDBusMethodInvocation* invocation) {
    if (method == "GetInitialResultSet" || method == "GetSubsearchResultSet") {
        glib::Variant terms(g_variant_get_child_value(parameters, method == "GetInitialResultSet" ? 0 : 1));
        g_dbus_method_invocation_return_value(invocation, Ids(Find(JoinTerms(terms.get()), kShellResults)));
    } else if (method == "GetResultMetas") {
        glib::Variant ids(g_variant_get_child_value(parameters, 0));
        GVariantBuilder metas;
        g_variant_builder_init(&metas, G_VARIANT_TYPE("aa{sv}"));
        GVariantIter iter;
        g_variant_iter_init(&iter, ids.get());
        const gchar* id = nullptr;
        while (g_variant_iter_next(&iter, "&s", &id)) {
            const auto found = m_found.find(id);
            if (found == m_found.end()) continue;
            const SearchResult& r = found->second;
            GVariantBuilder meta;
            g_variant_builder_init(&meta, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&meta, "{sv}", "id", g_variant_new_string(Clean(r.id).c_str()));
            g_variant_builder_add(&meta, "{sv}", "name", g_variant_new_string(Clean(r.text).c_str()));
            g_variant_builder_add(&meta, "{sv}", "description",
                                  g_variant_new_string(Clean(r.kind + " · " + r.location).c_str()));
            g_variant_builder_add(&meta, "{sv}", "gicon", g_variant_new_string(r.icon.c_str()));
            g_variant_builder_add_value(&metas, g_variant_builder_end(&meta));
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(aa{sv})", &metas));
    } else if (method == "ActivateResult") {
        const gchar* id = nullptr;
        g_variant_get_child(parameters, 0, "&s", &id);
        if (m_handlers.open) m_handlers.open(id);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else if (method == "LaunchSearch") {
        if (m_handlers.showAll) m_handlers.showAll();
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else {
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                                                   "no such method");
    }
}

void DesktopSearchService::KRunnerCall(const std::string& method, GVariant* parameters,
                                       GDBusMethodInvocation* invocation) {
    if (method == "Actions") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new_parsed("(@a(sss) [],)"));
    } else if (method == "Match") {
        const gchar* query = nullptr;
        g_variant_get_child(parameters, 0, "&s", &query);
        const std::vector<SearchResult> results = Find(query, kRunnerResults);
        GVariantBuilder matches;
        g_variant_builder_init(&matches, G_VARIANT_TYPE("a(sssida{sv})"));
        // Best first, as the history ranks them; KRunner sorts by relevance.
        double relevance = 1.0;
        for (const SearchResult& r : results) {
            GVariantBuilder properties;
            g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&properties, "{sv}", "subtext",
                                  g_variant_new_string(Clean(r.kind + " · " + r.location).c_str()));
            constexpr int kPossibleMatch = 30;
            g_variant_builder_add(&matches, "(sssida{sv})", Clean(r.id).c_str(), Clean(r.text).c_str(),
                                  r.icon.c_str(), kPossibleMatch, relevance, &properties);
            relevance = std::max(0.01, relevance - 0.01);
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(sssida{sv}))", &matches));
    } else if (method == "Run") {
        const gchar* id = nullptr;
        g_variant_get_child(parameters, 0, "&s", &id);
        if (m_handlers.open) m_handlers.open(id);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else {
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                                                   "no such method");
    }
}

}  // namespace tk
