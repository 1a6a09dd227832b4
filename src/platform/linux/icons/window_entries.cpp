#include "platform/linux/icons/window_entries.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/icons/desktop_entry_programs.h"

namespace tk {

namespace {

constexpr std::size_t kMaxIdBytes = 255;
constexpr std::string_view kEntrySuffix = ".desktop";

// A window may name itself anything; only what could be an entry's file name is looked up.
bool CouldBeEntryName(const std::string& name) {
    return !name.empty() && name.size() + kEntrySuffix.size() <= kMaxIdBytes &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
           name.front() != '.';
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string RealPath(const std::string& path) {
    if (path.empty()) return {};
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// A program on PATH as an absolute path: a relative PATH entry would let the current folder
// decide which file an entry starts.
std::string FindOnPath(const char* program) {
    if (program == nullptr || program[0] == '\0') return {};
    glib::String found(g_find_program_in_path(program));
    return found && found.get()[0] == '/' ? std::string(found.get()) : std::string();
}

// The first file an Exec line hands its program, when it names one by its full path: the
// line is split as the desktop splits it, never run through a shell.
std::string ScriptOfExec(const char* commandLine) {
    if (commandLine == nullptr) return {};
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(commandLine, nullptr, &argv, nullptr)) return {};
    std::string script;
    for (int i = 1; argv[i] != nullptr && i < 16; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with('-') || arg.starts_with('%')) continue;  // options, field codes
        if (arg.starts_with('/')) script = RealPath(std::string(arg));
        break;
    }
    g_strfreev(argv);
    return script;
}

EntryFacts FactsOf(GDesktopAppInfo* info) {
    EntryFacts facts;
    const char* id = g_app_info_get_id(G_APP_INFO(info));
    const char* file = g_desktop_app_info_get_filename(info);
    const char* wmClass = g_desktop_app_info_get_startup_wm_class(info);
    facts.id = id != nullptr ? id : "";
    facts.file = file != nullptr ? file : "";
    facts.startupWmClass = wmClass != nullptr ? wmClass : "";
    facts.execPath = FindOnPath(g_app_info_get_executable(G_APP_INFO(info)));
    facts.execReal = RealPath(facts.execPath);
    glib::String tryExec(g_desktop_app_info_get_string(info, "TryExec"));
    facts.tryExecReal = RealPath(FindOnPath(tryExec.get()));
    facts.execScriptReal = ScriptOfExec(g_app_info_get_commandline(G_APP_INFO(info)));
    return facts;
}

std::optional<EntryFacts> ByName(const std::string& name, EntryCatalog& entries) {
    if (!CouldBeEntryName(name)) return std::nullopt;
    if (auto found = entries.ById(name + std::string(kEntrySuffix))) return found;
    const std::string lower = LowerAscii(name);
    if (lower != name) return entries.ById(lower + std::string(kEntrySuffix));
    return std::nullopt;
}

}  // namespace

std::optional<EntryFacts> EntryOfWindow(const WindowInfo& window, EntryCatalog& entries) {
    if (auto found = ByName(window.appId, entries)) return found;
    const std::array<const std::string*, 3> names = {&window.wmClass, &window.wmInstance,
                                                     &window.appId};
    bool anyName = false;
    for (const std::string* name : names) anyName |= CouldBeEntryName(*name);
    if (!anyName) return std::nullopt;
    for (const std::string* name : names) {
        if (!CouldBeEntryName(*name)) continue;
        const std::string lower = LowerAscii(*name);
        for (const EntryFacts& entry : entries.WithWmClass()) {
            if (LowerAscii(entry.startupWmClass) == lower) return entry;
        }
    }
    if (auto found = ByName(window.wmClass, entries)) return found;
    return ByName(window.wmInstance, entries);
}

std::optional<StartedProgram> StartedByEntry(const EntryFacts& entry, const std::string& executable,
                                             const std::vector<std::string>& processFiles) {
    if (entry.file.empty() || entry.execPath.empty() || entry.execReal.empty()) return std::nullopt;
    const bool runsEntryScript =
        !entry.execScriptReal.empty() && entry.execReal == executable &&
        std::find(processFiles.begin(), processFiles.end(), entry.execScriptReal) != processFiles.end();
    if (!runsEntryScript && (entry.execReal == executable || entry.tryExecReal == executable)) {
        return std::nullopt;
    }
    StartedProgram started;
    started.location = entry.file;
    if (runsEntryScript) {
        started.name = BaseName(entry.execScriptReal);
    } else if (!IsEntryLauncher(entry.execPath)) {
        started.name = BaseName(entry.execPath);
    } else if (!entry.tryExecReal.empty() && !IsEntryLauncher(entry.tryExecReal)) {
        started.name = BaseName(entry.tryExecReal);
    } else {
        started.name = entry.id.ends_with(kEntrySuffix)
                           ? entry.id.substr(0, entry.id.size() - kEntrySuffix.size())
                           : entry.id;
    }
    if (started.name.empty()) return std::nullopt;
    return started;
}

std::optional<StartedProgram> StartedProgramOfWindow(const WindowInfo& window,
                                                     const std::string& executable,
                                                     EntryCatalog& entries) {
    if (executable.empty()) return std::nullopt;
    const std::optional<EntryFacts> entry = EntryOfWindow(window, entries);
    if (!entry) return std::nullopt;
    // The process's arguments are read only for an entry that runs a script under it.
    const bool mayRunScript = !entry->execScriptReal.empty() && entry->execReal == executable;
    return StartedByEntry(*entry, executable,
                          mayRunScript ? ProcessFileArguments(window.pid) : std::vector<std::string>{});
}

std::vector<std::string> ProcessFileArguments(std::int64_t pid) {
    if (pid <= 0 || pid > INT32_MAX) return {};
    const std::string proc = "/proc/" + std::to_string(pid);
    std::string bytes;
    bool missing = false;
    if (!ReadWholeFile(proc + "/cmdline", bytes, missing, 64 * 1024).ok || missing) return {};
    const std::string cwd = RealPath(proc + "/cwd");
    std::vector<std::string> files;
    const std::vector<std::string> args = SplitNulSeparated(bytes, 32);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty() || arg.front() == '-') continue;
        if (arg.front() != '/' && cwd.empty()) continue;
        std::string real = RealPath(arg.front() == '/' ? arg : cwd + "/" + arg);
        if (!real.empty()) files.push_back(std::move(real));
    }
    return files;
}

std::optional<EntryFacts> DesktopEntryCatalog::ById(const std::string& id) {
    auto known = m_byId.find(id);
    if (known != m_byId.end()) return known->second;
    std::optional<EntryFacts> found;
    // Null for hidden entries, other types, and entries whose TryExec is not installed.
    glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new(id.c_str()));
    if (info) found = FactsOf(info.get());
    m_byId.emplace(id, found);
    return found;
}

const std::vector<EntryFacts>& DesktopEntryCatalog::WithWmClass() {
    if (m_indexed) return m_withWmClass;
    m_indexed = true;
    ForEachEntryWithWmClass([this](GDesktopAppInfo* info, const char*) { m_withWmClass.push_back(FactsOf(info)); });
    return m_withWmClass;
}

void DesktopEntryCatalog::Refresh() {
    m_byId.clear();
    m_indexed = false;
    m_withWmClass.clear();
}

}  // namespace tk
