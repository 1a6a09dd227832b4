#include "platform/linux/icons/window_entries.h"

#include <gtest/gtest.h>

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
