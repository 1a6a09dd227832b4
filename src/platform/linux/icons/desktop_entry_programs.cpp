#include "platform/linux/icons/desktop_entry_programs.h"

#include <cstdlib>
#include <memory>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "base/text.h"
#include "platform/linux/glib/glib_ptr.h"

namespace tk {

namespace {

std::string RealPath(const char* path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// The entry's own program: TryExec when it names one, else Exec unless that is a launcher.
std::string EntryExecutable(GDesktopAppInfo* info) {
    glib::String tryExec(g_desktop_app_info_get_string(info, "TryExec"));
    std::string found = ResolveEntryProgram(tryExec.get());
    if (!found.empty()) return found;
    const char* executable = g_app_info_get_executable(G_APP_INFO(info));
    if (executable == nullptr || IsEntryLauncher(executable)) return {};
    return ResolveEntryProgram(executable);
}

std::string ExecutableOfEntry(const std::string& id) {
    glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new(id.c_str()));
    return info ? EntryExecutable(info.get()) : std::string();
}

}  // namespace

std::string ResolveEntryProgram(const char* program) {
    if (program == nullptr || program[0] == '\0') return {};
    glib::String found(g_find_program_in_path(program));
    return found ? RealPath(found.get()) : std::string();
}

bool IsEntryLauncher(const std::string& executable) {
    const std::string name = executable.substr(executable.rfind('/') + 1);
    return name == "env" || name == "sh" || name == "bash" || name == "dash" || name == "flatpak";
}

std::string DesktopEntryPrograms::ExecutableOfAppId(const std::string& appId) {
    // Windows of one program share its id: one lookup each per sweep.
    auto known = m_found.find(appId);
    if (known != m_found.end()) return known->second;
    std::string found = Lookup(appId);
    m_found.emplace(appId, found);
    return found;
}

std::string DesktopEntryPrograms::Lookup(const std::string& appId) {
    // An id is a file name; anything that could climb folders or hide a NUL is none.
    if (appId.empty() || appId.find('/') != std::string::npos ||
        appId.find('\0') != std::string::npos || appId.size() > 255) {
        return {};
    }
    std::string found = ExecutableOfEntry(appId + ".desktop");
    const std::string lower = LowerAscii(appId);
    if (found.empty() && lower != appId) found = ExecutableOfEntry(lower + ".desktop");
    if (!found.empty()) return found;
    if (!m_indexed) IndexWmClasses();
    for (const auto& [wmClass, executable] : m_wmClassExecutables) {
        if (wmClass == lower) return executable;
    }
    return ResolveEntryProgram(appId.c_str());
}

void DesktopEntryPrograms::Refresh() {
    m_found.clear();
    m_indexed = false;
    m_wmClassExecutables.clear();
}

void ForEachEntryWithWmClass(const std::function<void(GDesktopAppInfo* info, const char* wmClass)>& visit) {
    GList* all = g_app_info_get_all();
    for (GList* item = all; item != nullptr; item = item->next) {
        if (!G_IS_DESKTOP_APP_INFO(item->data)) continue;
        auto* info = G_DESKTOP_APP_INFO(item->data);
        const char* wmClass = g_desktop_app_info_get_startup_wm_class(info);
        if (wmClass != nullptr && wmClass[0] != '\0') visit(info, wmClass);
    }
    g_list_free_full(all, g_object_unref);
}

void DesktopEntryPrograms::IndexWmClasses() {
    m_indexed = true;
    ForEachEntryWithWmClass([this](GDesktopAppInfo* info, const char* wmClass) {
        std::string executable = EntryExecutable(info);
        if (!executable.empty()) m_wmClassExecutables.emplace_back(LowerAscii(wmClass), executable);
    });
}

}  // namespace tk
