#include "platform/linux/shell_windows/browser_session_shell_windows.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/posix/files.h"
#include "platform/linux/posix/user_folders.h"
#include "platform/linux/shell_windows/browser_locks.h"
#include "platform/linux/shell_windows/browser_places.h"
#include "platform/linux/shell_windows/browser_session.h"
#include "platform/linux/shell_windows/file_manager_shell_windows.h"

namespace tk {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxIniBytes = 1u << 20;
// A user has a handful of profiles and a profile a handful of session files; folders with
// thousands of entries are not a browser's.
constexpr std::size_t kMaxProfiles = 256;
constexpr std::size_t kMaxSessionDirEntries = 4096;
// Enough for any desktop's process table; a bound all the same.
constexpr std::size_t kMaxProcesses = 1u << 16;

using Family = BrowserFamily;

constexpr std::array<std::string_view, 5> kChromiumExecutables = {"chromium", "chromium-browser",
                                                                  "chrome", "brave", "msedge"};

// The browsers' own pages (new tab, settings, extensions): nothing anyone opens again.
constexpr std::array<std::string_view, 12> kInternalSchemes = {
    "about:", "chrome:", "chrome-extension:", "chrome-untrusted:", "chrome-search:", "devtools:",
    "edge:",  "brave:",  "moz-extension:",    "resource:",         "view-source:",   "blob:"};

bool IsBrowserExecutable(Family family, std::string_view name) {
    if (family == Family::Firefox) return name.starts_with("firefox");  // -esr, -bin, ...
    return std::find(kChromiumExecutables.begin(), kChromiumExecutables.end(), name) !=
           kChromiumExecutables.end();
}

bool IsInternalPage(std::string_view url) {
    const std::string lower = LowerAscii(url.substr(0, 24));
    return std::any_of(kInternalSchemes.begin(), kInternalSchemes.end(),
                       [&](std::string_view scheme) { return lower.starts_with(scheme); });
}

// Whether `pid` is alive and runs one of the family's browsers; `executable` gets its
// program's path where it can be read.
bool IsRunningBrowser(const std::string& procRoot, long pid, Family family,
                      std::string* executable = nullptr) {
    const std::string dir = procRoot + "/" + std::to_string(pid);
    std::string name;
    if (std::optional<std::string> exe = ReadLink(dir + "/exe")) {
        static constexpr std::string_view kDeleted = " (deleted)";  // upgraded under it
        if (exe->ends_with(kDeleted)) exe->resize(exe->size() - kDeleted.size());
        name = exe->substr(exe->rfind('/') + 1);
        if (executable != nullptr) *executable = *exe;
    } else {
        // Another user's process or a zombie: its stat line names the program and its state.
        std::string stat;
        bool missing = false;
        ReadWholeFile(dir + "/stat", stat, missing, 4096);
        std::optional<std::string> live = LiveProcessName(stat);
        if (!live) return false;
        name = std::move(*live);
    }
    return IsBrowserExecutable(family, name);
}

// The process a lock names, in our process-id namespace. A sandboxed browser's lock names its
// id inside the sandbox: the process whose last NSpid is that id and that runs the family's
// browser is the one (the first found, should two sandboxes each run one).
std::optional<long> LockHolderPid(const std::string& procRoot, long pid, Family family,
                                  bool sandboxed) {
    if (!sandboxed) return pid;
    std::error_code error;
    std::size_t seen = 0;
    for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error)) {
        if (++seen > kMaxProcesses) break;
        const std::optional<long> host = ParsePid(it->path().filename().string());
        if (!host) continue;
        std::string status;
        bool missing = false;
        if (!ReadWholeFile(it->path().string() + "/status", status, missing, 16384).ok) continue;
        if (NamespacePid(status) == pid && IsRunningBrowser(procRoot, *host, family)) return host;
    }
    return std::nullopt;
}

// A running browser's hold on a profile: since when, when its lock says so.
struct Holder {
    std::optional<std::timespec> since;
    std::string executable;  // the browser's program, where it could be read
};

std::optional<std::timespec> LinkTime(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return info.st_mtim;
}

// Firefox names itself in the profile's "lock" symlink ("address:+pid") and holds an fcntl
// lock on ".parentlock", whose holder the kernel tells us.
std::optional<Holder> FirefoxHolder(const std::string& procRoot, const std::string& profile,
                                    bool sandboxed) {
    const std::string lock = profile + "/lock";
    if (const std::optional<std::string> target = ReadLink(lock)) {
        std::optional<long> number = FirefoxLockPid(*target);
        if (number) number = LockHolderPid(procRoot, *number, Family::Firefox, sandboxed);
        std::string exe;
        if (number && IsRunningBrowser(procRoot, *number, Family::Firefox, &exe)) {
            return Holder{LinkTime(lock), exe};
        }
    }
    const int fd =
        ::open((profile + "/.parentlock").c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    std::string exe;
    if (held && probe.l_pid > 0 && IsRunningBrowser(procRoot, probe.l_pid, Family::Firefox, &exe)) {
        return Holder{std::nullopt, exe};
    }
    return std::nullopt;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// Chromium's "SingletonLock" symlink reads "host-pid"; a lock of another host sharing this
// home is not a browser on this desktop.
std::optional<Holder> ChromiumHolder(const std::string& procRoot, const std::string& dataDir,
                                     const std::string& hostName, bool sandboxed) {
    const std::string lock = dataDir + "/SingletonLock";
    const std::optional<std::string> target = ReadLink(lock);
    if (!target) return std::nullopt;
    std::optional<long> pid = ChromiumLockPid(*target, hostName);
    if (pid) pid = LockHolderPid(procRoot, *pid, Family::Chromium, sandboxed);
    std::string exe;
    if (!pid || !IsRunningBrowser(procRoot, *pid, Family::Chromium, &exe)) return std::nullopt;
    return Holder{LinkTime(lock), exe};
}

std::int64_t Nanoseconds(const std::timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

void Fail(ShellWindowsResult& result, const std::string& error) {
    result.ok = false;
    if (!result.error.empty()) result.error += "; ";
    result.error += error;
}

// A browser whose session was read shows its windows as pages, not as a program.
void AddProgram(ShellWindowsResult& result, const std::string& executable) {
    if (executable.empty()) return;
    if (std::find(result.programs.begin(), result.programs.end(), executable) == result.programs.end()) {
        result.programs.push_back(executable);
    }
}

void AddPages(ShellWindowsResult& result, const std::vector<std::string>& urls) {
    for (const std::string& url : urls) {
        if (IsInternalPage(url)) continue;
        // A local page reaches the core the way a folder window's location does.
        std::string location = LowerAscii(url.substr(0, 5)) == "file:"
                                   ? FileManagerShellWindows::LocationFromUri(url)
                                   : url;
        if (!location.empty()) result.windows.push_back({std::move(location), true});
    }
}

// The profile folders profiles.ini in `iniDir` lists: its [Profile*] sections and the
// default profile of each [Install*] section.
std::vector<std::string> FirefoxProfiles(const std::string& iniDir, ShellWindowsResult& result) {
    const std::string iniPath = iniDir + "/profiles.ini";
    std::string ini;
    bool missing = false;
    const FileResult read = ReadWholeFile(iniPath, ini, missing, kMaxIniBytes);
    if (!read.ok) {
        Fail(result, iniPath + ": " + read.error);
        return {};
    }
    if (missing) return {};
    std::optional<std::vector<std::string>> profiles = ProfilesFromIni(ini, iniDir, kMaxProfiles);
    if (!profiles) {
        Fail(result, iniPath + ": not a key file");
        return {};
    }
    return std::move(*profiles);
}

std::string Canonical(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

// The current session file of a Chromium profile: the newest Sessions/Session_<time>, or the
// single "Current Session" file of older versions.
std::string ChromiumSessionFile(const std::string& profile) {
    std::string newest;
    std::error_code error;
    std::size_t seen = 0;
    for (fs::directory_iterator it(profile + "/Sessions", error), end; !error && it != end;
         it.increment(error)) {
        if (++seen > kMaxSessionDirEntries) break;
        const std::string name = it->path().filename().string();
        static constexpr std::string_view kPrefix = "Session_";
        if (!name.starts_with(kPrefix) || name.size() == kPrefix.size()) continue;
        if (name.find_first_not_of("0123456789", kPrefix.size()) != std::string::npos) continue;
        // Timestamps in microseconds: longer is later, then the larger digits.
        if (newest.empty() || name.size() > newest.size() ||
            (name.size() == newest.size() && name > newest)) {
            newest = name;
        }
    }
    return newest.empty() ? profile + "/Current Session" : profile + "/Sessions/" + newest;
}

// The profile folders of a user-data folder, "Default" first.
std::vector<std::string> ChromiumProfiles(const std::string& dataDir) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(dataDir, error), end; !error && it != end; it.increment(error)) {
        if (names.size() >= kMaxProfiles) break;
        std::error_code statError;
        if (!it->is_directory(statError)) continue;
        const fs::path sessions = it->path() / "Sessions";
        const fs::path current = it->path() / "Current Session";
        if (fs::is_directory(sessions, statError) || fs::is_regular_file(current, statError)) {
            names.push_back(it->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if ((a == "Default") != (b == "Default")) return a == "Default";
        return a < b;
    });
    for (std::string& name : names) name = dataDir + "/" + name;
    return names;
}

}  // namespace

BrowserSessionShellWindows::BrowserSessionShellWindows() : m_places(UserPlaces()) {}

BrowserSessionShellWindows::BrowserSessionShellWindows(Places places,
                                                       DesktopEntryBrowsers::Folders entries)
    : m_places(std::move(places)), m_browsers(std::move(entries)) {}

bool BrowserSessionShellWindows::IsBrowserProgram(const std::string& executable) {
    return m_browsers.IsBrowser(executable);
}

BrowserSessionShellWindows::Places BrowserSessionShellWindows::UserPlaces() {
    Places places;
    places.home = xdg::HomeDir();
    places.configHome = xdg::ConfigHome();
    return places;
}

ShellWindowsResult BrowserSessionShellWindows::List() {
    ShellWindowsResult result;
    for (auto& [path, cached] : m_cache) cached.used = false;
    try {
        ListFirefox(result);
    } catch (const std::exception& e) {
        Fail(result, std::string("firefox: ") + e.what());
    }
    try {
        ListChromium(result);
    } catch (const std::exception& e) {
        Fail(result, std::string("chromium: ") + e.what());
    }
    std::erase_if(m_cache, [](const auto& entry) { return !entry.second.used; });
    return result;
}

std::optional<BrowserSession> BrowserSessionShellWindows::ReadSession(
    const std::string& path, const std::optional<std::timespec>& since, Parser parse) {
    // Left by an earlier run: written before the browser took its lock.
    const auto stale = [&since](const FileStamp& stamp) {
        return since && stamp.modifiedNs < Nanoseconds(*since);
    };
    if (const std::optional<FileStamp> now = StampOfFile(path)) {
        if (stale(*now)) return std::nullopt;
        const auto cached = m_cache.find(path);
        if (cached != m_cache.end() && cached->second.stamp == *now) {
            cached->second.used = true;
            return cached->second.session;
        }
    }
    std::string bytes;
    bool missing = false;
    FileStamp stamp;
    const FileResult read = ReadWholeFile(path, bytes, missing, kMaxSessionBytes, &stamp);
    if (!read.ok) return BrowserSession{{}, read.error};
    if (missing || stale(stamp)) return std::nullopt;
    CachedSession& entry = m_cache[path];
    entry = {stamp, parse(bytes), true};
    return entry.session;
}

void BrowserSessionShellWindows::ListFirefox(ShellWindowsResult& result) {
    std::vector<std::string> seen;
    for (const BrowserPlace& place : BrowserPlaces(m_places.home, m_places.configHome)) {
        if (place.family != Family::Firefox) continue;
        for (const std::string& profile : FirefoxProfiles(place.folder, result)) {
            const std::string key = Canonical(profile);
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
            seen.push_back(key);
            const std::optional<Holder> holder =
                FirefoxHolder(m_places.procRoot, profile, place.sandboxedPids);
            if (!holder) continue;
            const std::string recovery = profile + "/sessionstore-backups/recovery.jsonlz4";
            std::optional<BrowserSession> session =
                ReadSession(recovery, holder->since, ParseFirefoxSession);
            if (session && !session->Ok()) {
                // The copy the browser keeps from its previous write, one interval older.
                std::optional<BrowserSession> backup =
                    ReadSession(profile + "/sessionstore-backups/recovery.baklz4", holder->since,
                                ParseFirefoxSession);
                if (backup && backup->Ok()) session = std::move(backup);
            }
            if (!session) continue;
            if (!session->Ok()) Fail(result, recovery + ": " + session->error);
            AddPages(result, session->urls);
            AddProgram(result, holder->executable);
        }
    }
}

void BrowserSessionShellWindows::ListChromium(ShellWindowsResult& result) {
    const std::string hostName = HostName();
    for (const BrowserPlace& place : BrowserPlaces(m_places.home, m_places.configHome)) {
        if (place.family != Family::Chromium) continue;
        const std::string& dataDir = place.folder;
        const std::optional<Holder> holder =
            ChromiumHolder(m_places.procRoot, dataDir, hostName, place.sandboxedPids);
        if (!holder) continue;
        for (const std::string& profile : ChromiumProfiles(dataDir)) {
            const std::string path = ChromiumSessionFile(profile);
            const std::optional<BrowserSession> session =
                ReadSession(path, holder->since, ParseChromiumSession);
            if (!session) continue;
            if (!session->Ok()) Fail(result, path + ": " + session->error);
            AddPages(result, session->urls);
            AddProgram(result, holder->executable);
        }
    }
}

}  // namespace tk
