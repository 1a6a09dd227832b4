#pragma once

// The launch tests' user of its own: temporary XDG folders, GIO's real default-application
// machinery with the recorder as every default, and scenarios run in a child process.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

#include "platform/linux/shell/linux_shell.h"
#include "virtual_desktop.h"

namespace tk::test {

namespace fs = std::filesystem;

inline constexpr const char* kRecorder = TK_LAUNCH_RECORDER;
// Generous: a start on a busy two-core machine takes its time.
inline constexpr int kChildTimeoutMs = 60000;

// One start of the recorder: its working folder, then its argument vector.
using Record = std::vector<std::string>;
using Records = std::multiset<Record>;

inline Records ReadRecords(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Records records;
    std::size_t at = 0;
    while (text.compare(at, 7, "record ") == 0) {
        const std::size_t end = text.find('\n', at);
        const int argc = std::stoi(text.substr(at + 7, end - at - 7));
        at = end + 1;
        Record record;
        for (int i = 0; i <= argc; ++i) {  // the working folder, then argc elements
            const std::size_t colon = text.find(':', at);
            const std::size_t length = std::stoul(text.substr(at, colon - at));
            record.push_back(text.substr(colon + 1, length));
            at = colon + 1 + length + 1;
        }
        records.insert(record);
    }
    EXPECT_EQ(at, text.size()) << "unreadable records";
    return records;
}

inline std::string FileUri(const fs::path& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string result = uri != nullptr ? uri : "";
    g_free(uri);
    return result;
}

// The children of `parent` with their states, from /proc.
inline std::vector<std::string> ChildrenOf(pid_t parent) {
    std::vector<std::string> children;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return children;
    while (dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) state ppid ...": the name may hold anything, so read from its end.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent) children.push_back(std::string(entry->d_name) + " " + state);
    }
    ::closedir(proc);
    return children;
}

// A user of its own in a temporary folder: home, XDG folders, a PATH, and the recorder as the
// default application for whatever a test names. GIO reads the environment once per process,
// so every scenario runs in a child process that sets it up first.
class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-launch-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        for (const char* dir : {"home", "data/applications", "config", "etc-xdg", "cache", "run",
                                "bin", "work", "files", "system-data"}) {
            fs::create_directories(m_root / dir);
        }
        fs::permissions(m_root / "run", fs::perms::owner_all);
        // Only the content-type database of the machine, none of its applications.
        fs::create_directory_symlink("/usr/share/mime", m_root / "system-data/mime");
        Write(m_root / "data/applications/recorder.desktop",
              std::string("[Desktop Entry]\nType=Application\nName=Recorder\nExec=") + kRecorder +
                  " %u\nNoDisplay=true\n");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    static void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    static void MakeExecutable(const fs::path& file) {
        fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add);
    }
    // A program under `name`: the recorder itself, reached through a link.
    static void InstallProgram(const fs::path& path) { fs::create_symlink(kRecorder, path); }

    // The recorder becomes the user's choice for each content type or "x-scheme-handler/...".
    void SetDefaults(const std::vector<std::string>& types) {
        std::string list = "[Default Applications]\n";
        for (const std::string& type : types) list += type + "=recorder.desktop\n";
        Write(m_root / "config/mimeapps.list", list);
    }

    // Runs `scenario` in a child process set up as this test's user, with `path` as PATH; the
    // child waits for everything it started to end. A child the shell did not reap stays a
    // zombie; an orphan comes back to the child (a subreaper) and must be reaped as well.
    // Empty when all went well, otherwise what went wrong.
    std::string RunScenario(const std::function<void(LinuxShell&)>& scenario,
                            std::string path = {}) {
        if (path.empty()) path = (m_root / "bin").string();
        const pid_t pid = ::fork();
        if (pid < 0) return "fork failed";
        if (pid == 0) {
            ::prctl(PR_SET_CHILD_SUBREAPER, 1);
            const std::pair<const char*, fs::path> env[] = {
                {"HOME", m_root / "home"},
                {"XDG_DATA_HOME", m_root / "data"},
                {"XDG_CONFIG_HOME", m_root / "config"},
                {"XDG_CACHE_HOME", m_root / "cache"},
                {"XDG_CONFIG_DIRS", m_root / "etc-xdg"},
                {"XDG_DATA_DIRS", m_root / "system-data"},
                {"XDG_RUNTIME_DIR", m_root / "run"},
                {"TK_RECORD_FILE", RecordFile()},
            };
            for (const auto& [name, value] : env) ::setenv(name, value.c_str(), 1);
            ::setenv("PATH", path.c_str(), 1);
            // The local file system only: the desktop's virtual one needs a session bus.
            ::setenv("GIO_USE_VFS", "local", 1);
            for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "XDG_CURRENT_DESKTOP",
                                     "DESKTOP_SESSION"}) {
                ::unsetenv(name);
            }
            int code = 0;
            if (::chdir((m_root / "work").c_str()) != 0) ::_exit(5);
            try {
                LinuxShell shell(StderrDiagnostics());
                scenario(shell);
            } catch (...) {
                code = 3;
            }
            if (!WaitFor([] { return ChildrenOf(::getpid()).empty(); }, kChildTimeoutMs / 2)) {
                for (const std::string& child : ChildrenOf(::getpid())) {
                    std::fprintf(stderr, "left behind: %s\n", child.c_str());
                }
                code = 2;
            }
            ::_exit(code);
        }
        int status = 0;
        if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, kChildTimeoutMs)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return "the scenario did not end";
        }
        if (!WIFEXITED(status)) return "the scenario crashed";
        switch (WEXITSTATUS(status)) {
            case 0:
                return {};
            case 2:
                return "started processes were not reaped";
            case 3:
                return "the shell threw";
            default:
                return "the scenario failed";
        }
    }

    fs::path RecordFile() const { return m_root / "records"; }
    // Every start the recorder saw, against `expected`; the mismatches are listed one a line.
    void ExpectLaunched(const Records& expected) const {
        const Records launched = ReadRecords(RecordFile());
        std::vector<Record> missing, extra;
        std::set_difference(expected.begin(), expected.end(), launched.begin(), launched.end(),
                            std::back_inserter(missing));
        std::set_difference(launched.begin(), launched.end(), expected.begin(), expected.end(),
                            std::back_inserter(extra));
        for (const Record& record : missing) ADD_FAILURE() << "not started: " << Shown(record);
        for (const Record& record : extra) ADD_FAILURE() << "started: " << Shown(record);
    }
    static std::string Shown(const Record& record) {
        std::string text;
        for (const std::string& element : record) {
            text += " [";
            for (char c : element) text += c == '\n' ? std::string("\\n") : std::string(1, c);
            text += "]";
        }
        return text;
    }
    // What the recorder records when the default application got `uri`.
    Record Opened(const std::string& uri) const { return {Work(), kRecorder, uri}; }
    // GIO hands a local file to the application as its path, even where it could take a URI.
    Record OpenedFile(const fs::path& path) const { return Opened(path.string()); }
    std::string Work() const { return (m_root / "work").string(); }

    fs::path m_root;
};

}  // namespace tk::test
