#include "platform/linux/icons/desktop_entry_icons.h"

#include <cstdlib>
#include <memory>
#include <utility>
#include <sys/stat.h>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/icons/desktop_entry_programs.h"

namespace tk {

namespace {

std::string RealPath(const char* path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::optional<FileIcon> IconFromGIcon(GIcon* icon) {
    FileIcon result;
    if (G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        if (names != nullptr && names[0] != nullptr) result.themeName = names[0];
    } else if (G_IS_FILE_ICON(icon)) {
        glib::String path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        if (path) result.filePath = path.get();
    }
    if (result.themeName.empty() && result.filePath.empty()) return std::nullopt;
    return result;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<FileIcon> IconOfEntry(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.c_str()));
    GIcon* gicon = info ? g_app_info_get_icon(G_APP_INFO(info.get())) : nullptr;
    return gicon != nullptr ? IconFromGIcon(gicon) : std::nullopt;
}

}  // namespace

DesktopEntryIcons::DesktopEntryIcons(std::vector<std::string> dataDirs)
    : m_dataDirs(std::move(dataDirs)) {}

std::optional<FileIcon> DesktopEntryIcons::IconOf(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    FileIcon generic;
    generic.themeName = kGenericIconName;
    const std::string real = RealPath(path.c_str());
    if (real.empty()) return generic;
    // A program recorded as its desktop entry shows that entry's icon.
    if (EndsWith(real, ".desktop")) return IconOfEntry(real).value_or(generic);

    if (!m_built) Rebuild();
    auto found = m_iconByExecutable.find(real);
    // A program installed since the last reading brought its entry along: read again, but
    // only when some applications folder really changed.
    if (found == m_iconByExecutable.end() && m_stamps.Changed()) {
        Rebuild();
        found = m_iconByExecutable.find(real);
    }
    return found != m_iconByExecutable.end() ? found->second : generic;
}

void DesktopEntryIcons::Rebuild() {
    m_iconByExecutable.clear();
    m_stamps.Clear();
    for (const DesktopEntryFile& entry :
         DesktopEntryFiles(m_dataDirs.empty() ? DesktopDataDirs() : m_dataDirs, m_stamps)) {
        ReadEntry(entry.path);
    }
    m_built = true;
}

void DesktopEntryIcons::ReadEntry(const std::string& file) {
    // Null for hidden entries, entries of other types and entries whose TryExec is missing.
    glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.c_str()));
    if (!info) return;
    GIcon* gicon = g_app_info_get_icon(G_APP_INFO(info.get()));
    if (gicon == nullptr) return;
    const std::optional<FileIcon> icon = IconFromGIcon(gicon);
    if (!icon) return;

    glib::String tryExec(g_desktop_app_info_get_string(info.get(), "TryExec"));
    const std::string fromTryExec = ResolveEntryProgram(tryExec.get());
    if (!fromTryExec.empty()) m_iconByExecutable.try_emplace(fromTryExec, *icon);
    const char* executable = g_app_info_get_executable(G_APP_INFO(info.get()));
    if (executable != nullptr && !IsEntryLauncher(executable)) {
        const std::string fromExec = ResolveEntryProgram(executable);
        if (!fromExec.empty()) m_iconByExecutable.try_emplace(fromExec, *icon);
    }
}

}  // namespace tk
