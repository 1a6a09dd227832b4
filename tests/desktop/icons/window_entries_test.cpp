#include "platform/linux/icons/window_entries.h"

#include "base/text.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace tk;

namespace {

// Installed entries as GIO would describe them; records every id it is asked for.
class FakeCatalog final : public EntryCatalog {
public:
    explicit FakeCatalog(std::vector<EntryFacts> entries) : m_entries(std::move(entries)) {
        for (const EntryFacts& e : m_entries) {
            if (!e.startupWmClass.empty()) m_withWmClass.push_back(e);
        }
    }
    std::optional<EntryFacts> ById(const std::string& id) override {
        asked.push_back(id);
        for (const EntryFacts& e : m_entries) {
            if (e.id == id) return e;
        }
        return std::nullopt;
    }
    const std::vector<EntryFacts>& WithWmClass() override { return m_withWmClass; }
    std::vector<std::string> asked;

private:
    std::vector<EntryFacts> m_entries;
    std::vector<EntryFacts> m_withWmClass;
};

EntryFacts Entry(std::string id, std::string wmClass, std::string execPath, std::string execReal,
                 std::string tryExecReal = {}) {
    return {id, "/apps/" + id, std::move(wmClass), std::move(execPath), std::move(execReal),
            std::move(tryExecReal)};
}

}  // namespace

TEST(WindowEntries, TheEntryWinsOnlyWhenItStartsAnotherFile) {
    FakeCatalog catalog({
        Entry("org.gnome.Terminal.desktop", "Gnome-terminal", "/usr/bin/gnome-terminal",
              "/usr/bin/gnome-terminal", "/usr/bin/gnome-terminal"),
        Entry("tk-script.desktop", "Tk-Script", "/home/u/bin/tk-script", "/home/u/bin/tk-script"),
        Entry("xterm.desktop", "", "/usr/bin/xterm", "/usr/bin/xterm"),
        Entry("py-app.desktop", "PyApp", "/usr/bin/python3", "/usr/bin/python3.11"),
        Entry("wrapped.desktop", "Wrapped", "/usr/bin/env", "/usr/bin/env", "/opt/w/wrapped"),
        Entry("org.example.Flat.desktop", "", "/usr/bin/flatpak", "/usr/bin/flatpak"),
        Entry("gone.desktop", "Gone", "", ""),
    });
    struct Case {
        const char* what;
        std::string appId, wmClass, wmInstance, executable;
        std::string location, name;  // empty: recorded as the process runs
    };
    const std::vector<Case> cases = {
        {"GTK application id, server process", "org.gnome.Terminal", "Gnome-terminal",
         "gnome-terminal-server", "/usr/libexec/gnome-terminal-server",
         "/apps/org.gnome.Terminal.desktop", "gnome-terminal"},
        {"application id in another case", "TK-Script", "", "", "/usr/bin/python3.11",
         "/apps/tk-script.desktop", "tk-script"},
        {"StartupWMClass against the class, case ignored", "", "tk-SCRIPT", "main.py",
         "/usr/bin/python3.11", "/apps/tk-script.desktop", "tk-script"},
        {"StartupWMClass against the instance", "", "Python3", "tk-script",
         "/usr/bin/python3.11", "/apps/tk-script.desktop", "tk-script"},
        {"the application id comes before the class", "org.gnome.Terminal", "Tk-Script", "",
         "/usr/bin/python3.11", "/apps/org.gnome.Terminal.desktop", "gnome-terminal"},
        {"class names the entry, same executable", "", "XTerm", "xterm", "/usr/bin/xterm", "", ""},
        {"interpreter the entry starts itself", "", "PyApp", "", "/usr/bin/python3.11", "", ""},
        {"launcher whose TryExec is the process", "", "Wrapped", "", "/opt/w/wrapped", "", ""},
        {"launcher, named by its TryExec", "", "Wrapped", "", "/opt/w/helper",
         "/apps/wrapped.desktop", "wrapped"},
        {"sandboxed app, named by its id", "org.example.Flat", "", "", "/app/bin/flat",
         "/apps/org.example.Flat.desktop", "org.example.Flat"},
        {"entry whose program is not installed", "", "Gone", "", "/usr/bin/python3.11", "", ""},
        {"no entry at all", "org.none", "None", "none", "/usr/bin/none", "", ""},
        {"process executable unknown", "org.gnome.Terminal", "", "", "", "", ""},
        {"names that climb folders or hide a NUL", "../org.gnome.Terminal", "a/tk-script",
         std::string("tk-script\0x", 11), "/usr/bin/python3.11", "", ""},
        {"a name too long for a file", std::string(300, 'a'), "", "", "/usr/bin/x", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WindowInfo window;
        window.appId = c.appId;
        window.wmClass = c.wmClass;
        window.wmInstance = c.wmInstance;
        const std::optional<StartedProgram> started =
            StartedProgramOfWindow(window, c.executable, catalog);
        EXPECT_EQ(started ? started->location : "", c.location);
        EXPECT_EQ(started ? started->name : "", c.name);
    }
    // A window's names are never looked up as paths.
    for (const std::string& id : catalog.asked) {
        EXPECT_EQ(id.find('/'), std::string::npos) << id;
        EXPECT_EQ(id.find('\0'), std::string::npos);
        EXPECT_LE(id.size(), 255u);
    }
}

// An interpreter's window: the entry that has the interpreter run a script wins only for the
// process running that very script, and is named after the script.
TEST(WindowEntries, AnEntryRunningAScriptWinsForThatScriptOnly) {
    EntryFacts entry = Entry("org.example.PyApp.desktop", "PyApp", "/usr/bin/python3", "/usr/bin/python3.11");
    entry.execScriptReal = "/opt/app/main.py";
    struct Case {
        const char* what;
        std::string executable;
        std::vector<std::string> files;
        std::string name;  // empty: recorded as the process runs
    } cases[] = {
        {"the interpreter running the entry's script", "/usr/bin/python3.11", {"/etc/x.conf", "/opt/app/main.py"}, "main.py"},
        {"the interpreter running another script", "/usr/bin/python3.11", {"/opt/other/main.py"}, ""},
        {"the interpreter with no file", "/usr/bin/python3.11", {}, ""},
        {"another program: the entry starts another file", "/usr/bin/perl", {}, "python3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<StartedProgram> started = StartedByEntry(entry, c.executable, c.files);
        EXPECT_EQ(started ? started->name : "", c.name);
        if (started) EXPECT_EQ(started->location, "/apps/org.example.PyApp.desktop");
    }

    using Args = std::vector<std::string>;
    EXPECT_EQ(SplitNulSeparated(std::string_view("python3\0-u\0main.py\0", 19), 32),
              (Args{"python3", "-u", "main.py"}));
    EXPECT_EQ(SplitNulSeparated(std::string_view("a\0b", 3), 32), (Args{"a", "b"}));
    EXPECT_EQ(SplitNulSeparated(std::string_view("\0\0", 2), 32), (Args{"", ""}));
    EXPECT_EQ(SplitNulSeparated("", 32), Args{});
    EXPECT_EQ(SplitNulSeparated(std::string_view("a\0b\0c", 5), 2), (Args{"a", "b"}));
}

// A real process handed a relative file and an option: the file is found from its working
// folder, the option is no file.
TEST(WindowEntries, AProcessFilesAreReadFromItsWorkingFolder) {
    char folder[] = "/tmp/tk-args-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string script = std::string(folder) + "/s 1.py";
    std::ofstream(script) << "x\n";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder);
    const char* argv[] = {"tail", "-f", "s 1.py", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, "/usr/bin/tail", &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::vector<std::string> files;
    for (int i = 0; i < 200 && files.empty(); ++i, ::usleep(10000)) files = ProcessFileArguments(pid);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(files, std::vector<std::string>{script});
    EXPECT_EQ(ProcessFileArguments(0), std::vector<std::string>{});
    std::filesystem::remove_all(folder);
}
