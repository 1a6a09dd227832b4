#include "platform/linux/shell/linux_shell.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/glib/key_file.h"
#include "platform/linux/posix/user_folders.h"
#include "platform/linux/posix/desktop_entry_trust.h"
#include "platform/linux/shell/folder_places.h"

extern char** environ;

namespace tk {

namespace {

std::string Format(const char* format, va_list args) {
    glib::String text(g_strdup_vprintf(format, args));
    return text ? std::string(text.get()) : std::string();
}

// Trouble that leaves the launch itself standing: a warning only.
[[gnu::format(printf, 2, 3)]] void Warn(Diagnostics& diagnostics, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    diagnostics.Warning("launch", text);
}

// A launch the desktop refused: warned about here, and handed up for the window to show.
[[gnu::format(printf, 2, 3)]] ShellResult Refuse(Diagnostics& diagnostics, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    diagnostics.Warning("launch", text);
    return ShellResult::Refused(std::move(text));
}

constexpr std::string_view kMyComputer = "::{20d04fe0-3aea-1069-a2d8-08002b30309d}";
constexpr const char* kComputerUri = "computer:///";
constexpr const char* kPrintServerPage = "http://localhost:631/printers/";
constexpr const char* kApplicationsFolder = "/usr/share/applications";
// A desktop entry holds a few short lines; a file far larger is not one.
constexpr std::size_t kMaxEntryBytes = 1u << 20;

using Command = std::vector<const char*>;

// Each desktop's own program first, the generic ones last; the first installed one wins.
const std::vector<Command> kSystemMonitors = {
    {"gnome-system-monitor"},
    {"mate-system-monitor"},
    {"xfce4-taskmanager"},
    {"plasma-systemmonitor"},
    {"ksysguard"},
    {"lxtask"},
    {"qps"},
};
const std::vector<Command> kTerminals = {{"x-terminal-emulator"}, {"xterm"}};
const std::vector<Command> kSettingsPrograms = {
    {"gnome-control-center"}, {"xfce4-settings-manager"}, {"mate-control-center"},
    {"systemsettings"},       {"systemsettings5"},        {"lxqt-config"},
    {"cinnamon-settings"},
};
const std::vector<Command> kPrinterSettings = {{"system-config-printer"}};

bool EqualsAsciiNoCase(std::string_view text, std::string_view lowerCase) {
    return LowerAscii(text) == lowerCase;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A scheme of one letter is a drive ("C:\..."), not an address.
bool HasScheme(const std::string& text) {
    glib::String scheme(g_uri_parse_scheme(text.c_str()));
    return scheme && std::strlen(scheme.get()) > 1;
}

// The core keeps a local location as "file://" + the raw path, with "#", "%" and blanks as
// they are: it is that path whenever that path exists, and a URI only otherwise.
std::optional<std::string> StoredLocalPath(const std::string& text) {
    constexpr std::string_view kPrefix = "file://";
    if (text.size() <= kPrefix.size() || LowerAscii(std::string_view(text).substr(0, kPrefix.size())) != kPrefix ||
        text[kPrefix.size()] != '/') {
        return std::nullopt;
    }
    std::string path = text.substr(kPrefix.size());
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return path;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The caller never waits for a program it started; a thread of its own collects the exit.
// Orphans cannot be left to the system: not every init adopts and reaps them.
void ReapInBackground(Diagnostics& diagnostics, pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error& e) {
        Warn(diagnostics, "cannot watch process %d: %s", static_cast<int>(pid), e.what());
    }
}

// Executables the kernel runs itself. Anything else with the execute bit (a document on a
// drive that marks every file executable) is a document; the C library's spawn would hand
// such a file to /bin/sh.
bool IsProgramFile(const std::string& path) {
    if (::access(path.c_str(), X_OK) != 0) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    char head[4] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return (n >= 4 && std::memcmp(head,
                                  "\x7f"
                                  "ELF",
                                  4) == 0) ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
}

// Starts `argv` (argv[0] an absolute path) as it is: no interpreter, no search. The program
// gets a session of its own, so it outlives a terminal this program was started from, and
// none of our signal settings or descriptors.
ShellResult Spawn(Diagnostics& diagnostics, const std::vector<std::string>& argv,
                  const std::string& workingDirectory) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    sigdelset(&signals, SIGKILL);
    sigdelset(&signals, SIGSTOP);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc =
        ::posix_spawn(&pid, argv.front().c_str(), &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return Refuse(diagnostics, "cannot start %s: %s", argv.front().c_str(), std::strerror(rc));
    }
    ReapInBackground(diagnostics, pid);
    return {};
}

// A program on PATH as an absolute path; a relative PATH entry would let the current folder
// decide what runs.
std::optional<std::string> FindProgram(const char* name) {
    glib::String found(g_find_program_in_path(name));
    if (!found || found.get()[0] != '/') return std::nullopt;
    return std::string(found.get());
}

// Nothing when none of them is installed.
std::optional<ShellResult> StartFirstInstalled(Diagnostics& diagnostics,
                                               const std::vector<Command>& commands) {
    for (const Command& command : commands) {
        const auto program = FindProgram(command.front());
        if (!program) continue;
        std::vector<std::string> argv{*program};
        argv.insert(argv.end(), command.begin() + 1, command.end());
        // Home, so that the program does not hold on to whatever folder we are in.
        const std::string home = xdg::HomeDir();
        return Spawn(diagnostics, argv, IsFolder(home) ? home : "/");
    }
    return std::nullopt;
}

bool Started(const std::optional<ShellResult>& result) { return result && result->ok; }

// The child GIO starts; runs between fork and exec, so async-signal-safe calls only.
void DetachFromSession(gpointer) { ::setsid(); }

void OnLaunched(GDesktopAppInfo*, GPid pid, gpointer diagnostics) {
    ReapInBackground(*static_cast<Diagnostics*>(diagnostics), pid);
}

// Starts `app`, with `uri` when there is one. GIO's own way would leave the handler to be
// adopted by init (GIO spawns through an intermediate process); spawned as our own child, it
// is reaped here.
ShellResult LaunchApplication(Diagnostics& diagnostics, GAppInfo* app, const std::string* uri) {
    GList item{};
    if (uri != nullptr) item.data = const_cast<char*>(uri->c_str());
    GList* uris = uri != nullptr ? &item : nullptr;
    GError* raw = nullptr;
    gboolean ok = FALSE;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        ok = g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(app), uris, nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
            DetachFromSession, nullptr, OnLaunched, &diagnostics, &raw);
    } else {
        ok = g_app_info_launch_uris(app, uris, nullptr, &raw);
    }
    glib::Error error(raw);
    if (!ok) {
        return Refuse(diagnostics, "cannot start %s: %s",
                      g_app_info_get_id(app) ? g_app_info_get_id(app) : "(entry)",
                      error ? error->message : "");
    }
    return {};
}

// The user's default application for `uri`, which gets it as one argument; refused when no
// application takes it.
ShellResult OpenWithDefaultApplication(Diagnostics& diagnostics, const std::string& uri) {
    // The scheme's handler first, as GIO's own launcher does: the file lookup would refuse an
    // address with a stray "%" in it, which a browser takes without complaint.
    glib::String scheme(g_uri_parse_scheme(uri.c_str()));
    glib::Object<GAppInfo> app(scheme ? g_app_info_get_default_for_uri_scheme(scheme.get())
                                      : nullptr);
    GError* raw = nullptr;
    if (!app) {
        glib::Object<GFile> file(g_file_new_for_uri(uri.c_str()));
        app.reset(g_file_query_default_handler(file.get(), nullptr, &raw));
    }
    glib::Error error(raw);
    if (!app) {
        return Refuse(diagnostics, "no application opens %s: %s", uri.c_str(),
                      error ? error->message : "");
    }
    return LaunchApplication(diagnostics, app.get(), &uri);
}

ShellResult OpenFolder(Diagnostics& diagnostics, const std::string& path) {
    glib::String uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (!uri) return Refuse(diagnostics, "not a local path: %s", path.c_str());
    return OpenWithDefaultApplication(diagnostics, uri.get());
}

// When the fallback fails as well, the location's own refusal says more.
ShellResult OpenLocation(Diagnostics& diagnostics, const std::string& uri,
                         const std::string& fallbackFolder) {
    ShellResult result = OpenWithDefaultApplication(diagnostics, uri);
    if (!result.ok && !fallbackFolder.empty() && OpenFolder(diagnostics, fallbackFolder).ok) {
        return {};
    }
    return result;
}

// A link entry carries an address instead of a command: it is opened, never run.
ShellResult OpenLinkEntry(Diagnostics& diagnostics, const std::string& path) {
    std::string bytes;
    bool missing = false;
    glib::KeyFile keys;
    if (!ReadWholeFile(path, bytes, missing, kMaxEntryBytes).ok || missing || !keys.Load(bytes)) {
        return Refuse(diagnostics, "not a desktop entry: %s", path.c_str());
    }
    const auto type = keys.StringValue(G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_TYPE);
    const auto url = keys.StringValue(G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_URL);
    if (type != G_KEY_FILE_DESKTOP_TYPE_LINK || !url) {
        return Refuse(diagnostics, "desktop entry starts nothing: %s", path.c_str());
    }
    const std::string& address = *url;
    if (HasScheme(address)) return OpenWithDefaultApplication(diagnostics, address);
    if (!address.empty() && address.front() == '/') return OpenFolder(diagnostics, address);
    return Refuse(diagnostics, "desktop entry links to no address: %s", path.c_str());
}

ShellResult LaunchDesktopEntry(Diagnostics& diagnostics, const std::string& path) {
    // No more than the file manager would do: an entry from anywhere else is not started.
    if (!IsTrustedDesktopEntry(path)) {
        return Refuse(diagnostics, "不信任的启动器，未运行：%s", path.c_str());
    }
    glib::Object<GDesktopAppInfo> entry(g_desktop_app_info_new_from_filename(path.c_str()));
    if (entry) return LaunchApplication(diagnostics, G_APP_INFO(entry.get()), nullptr);
    return OpenLinkEntry(diagnostics, path);
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// An absolute path by what it is on disk: a desktop entry is launched, a program started,
// anything else opened with its default application.
ShellResult OpenPath(Diagnostics& diagnostics, const std::string& path,
                     const std::optional<std::string>& directory) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Refuse(diagnostics, "no such file: %s", path.c_str());
    if (S_ISREG(st.st_mode) && EndsWith(path, ".desktop")) {
        return LaunchDesktopEntry(diagnostics, path);
    }
    if (S_ISREG(st.st_mode) && IsProgramFile(path)) {
        const bool ownFolder =
            directory && !directory->empty() && directory->front() == '/' && IsFolder(*directory);
        return Spawn(diagnostics, {path}, ownFolder ? *directory : ParentFolder(path));
    }
    return OpenFolder(diagnostics, path);
}

// What the program hands to "explorer.exe": an address to show, never something to run.
ShellResult OpenAddress(Diagnostics& diagnostics, const std::string& address) {
    if (EqualsAsciiNoCase(address, kMyComputer)) {
        return OpenLocation(diagnostics, kComputerUri, "/");
    }
    if (const auto path = StoredLocalPath(address)) return OpenFolder(diagnostics, *path);
    if (HasScheme(address)) return OpenWithDefaultApplication(diagnostics, address);
    if (!address.empty() && address.front() == '/' && ::access(address.c_str(), F_OK) == 0) {
        return OpenFolder(diagnostics, address);
    }
    return Refuse(diagnostics, "not an address: %s", address.c_str());
}

ShellResult OpenTarget(Diagnostics& diagnostics, const std::string& target,
                       const std::optional<std::string>& directory) {
    if (const auto path = StoredLocalPath(target)) return OpenPath(diagnostics, *path, directory);
    if (HasScheme(target)) {
        // A local file URI names a path like any other, programs included.
        gchar* host = nullptr;
        glib::String path(g_filename_from_uri(target.c_str(), &host, nullptr));
        glib::String hostName(host);
        if (path && (!hostName || std::strcmp(hostName.get(), "localhost") == 0)) {
            return OpenPath(diagnostics, path.get(), directory);
        }
        return OpenWithDefaultApplication(diagnostics, target);
    }
    if (!target.empty() && target.front() == '/') {
        return OpenPath(diagnostics, target, directory);
    }
    // A bare name would be looked up on PATH or read as an option: neither is wanted.
    return Refuse(diagnostics, "neither a path nor an address: %s", target.c_str());
}

// A program that would not start leaves the next way to try.
ShellResult StartSystemMonitor(Diagnostics& diagnostics) {
    if (Started(StartFirstInstalled(diagnostics, kSystemMonitors))) return {};
    const auto top = FindProgram("top");
    if (!top) return Refuse(diagnostics, "no system monitor installed");
    std::vector<Command> terminals = kTerminals;
    for (Command& terminal : terminals) {
        terminal.push_back("-e");
        terminal.push_back(top->c_str());
    }
    if (auto started = StartFirstInstalled(diagnostics, terminals)) return std::move(*started);
    return Refuse(diagnostics, "no system monitor and no terminal installed");
}

ShellResult StartSettings(Diagnostics& diagnostics) {
    if (Started(StartFirstInstalled(diagnostics, kSettingsPrograms))) return {};
    return OpenFolder(diagnostics, kApplicationsFolder);
}

// A short-lived connection of our own, so the toolkit's connection stays untouched.
}  // namespace

LinuxShell::LinuxShell(Diagnostics& diagnostics) : m_diagnostics(diagnostics) {}

LinuxShell::LinuxShell(Diagnostics& diagnostics, Options options)
    : m_diagnostics(diagnostics), m_options(std::move(options)) {}

// The program asks only for "open" or for the default action, which are one thing here; the
// show command has no counterpart a launcher could pass on.
ShellResult LinuxShell::Execute(WindowHandle /*owner*/,
                                const std::optional<std::string>& /*verb*/,
                                const std::string& file,
                                const std::optional<std::string>& parameters,
                                const std::optional<std::string>& directory, int /*show*/) {
    try {
        // A NUL would silently cut the text short and name something else.
        if (file.find('\0') != std::string::npos ||
            (parameters && parameters->find('\0') != std::string::npos) ||
            (directory && directory->find('\0') != std::string::npos)) {
            return Refuse(m_diagnostics, "a text with a NUL in it is refused");
        }
        if (EqualsAsciiNoCase(file, "explorer.exe")) {
            return OpenAddress(m_diagnostics, parameters.value_or(std::string()));
        }
        if (EqualsAsciiNoCase(file, "taskmgr") || EqualsAsciiNoCase(file, "taskmgr.exe")) {
            return StartSystemMonitor(m_diagnostics);
        }
        return OpenTarget(m_diagnostics, file, directory);
    } catch (const std::exception& e) {
        return Refuse(m_diagnostics, "launch failed: %s", e.what());
    }
}

ShellResult LinuxShell::OpenSpecialFolder(int csidl, WindowHandle /*owner*/) {
    try {
        const auto target = ResolveSpecialFolder(csidl);
        if (!target) return Refuse(m_diagnostics, "no special folder %d", csidl);
        switch (target->kind) {
            case SpecialFolderTarget::Kind::Folder:
                return OpenFolder(m_diagnostics, target->location);
            case SpecialFolderTarget::Kind::Location:
                return OpenLocation(m_diagnostics, target->location, target->fallbackFolder);
            case SpecialFolderTarget::Kind::Settings:
                return StartSettings(m_diagnostics);
            case SpecialFolderTarget::Kind::Printers:
                // Without a printer program, the print server's own pages do the same job.
                if (Started(StartFirstInstalled(m_diagnostics, kPrinterSettings))) return {};
                return OpenWithDefaultApplication(m_diagnostics, kPrintServerPage);
        }
        return Refuse(m_diagnostics, "no special folder %d", csidl);
    } catch (const std::exception& e) {
        return Refuse(m_diagnostics, "special folder %d failed: %s", csidl, e.what());
    }
}

// The command line names the control panel of the other system; here the desktop's settings
// program stands for it.
ShellResult LinuxShell::RunControlPanel(const std::string& /*commandLine*/, int /*show*/) {
    try {
        return StartSettings(m_diagnostics);
    } catch (const std::exception& e) {
        return Refuse(m_diagnostics, "settings failed: %s", e.what());
    }
}

std::string LinuxShell::SystemDirectory() { return "/usr/bin"; }


}  // namespace tk
