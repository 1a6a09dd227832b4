// Each file manager that publishes no list of its windows, really running on a private desktop
// and bus, shows a folder with a hard name: the sweep records that folder when the file manager
// has a road to it, and never records the file manager as a program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "desktop/file_icons.h"
#include "desktop/path_dialect.h"
#include "detection/sweep.h"
#include "platform/linux/merged_shell_windows.h"
#include "platform/linux/posix/posix_file_system.h"
#include "platform/linux/shell_windows/file_manager_title_windows.h"
#include "platform/linux/x11/x11_window_system.h"
#include "require.h"
#include "session_processes.h"
#include "test_history.h"
#include "virtual_desktop.h"

using namespace tk;
using tk::test::VirtualDesktop;
using tk::test::WaitFor;
namespace fs = std::filesystem;

namespace {

constexpr int kStartTimeoutMs = 60000;

class NoIcons final : public FileIcons {
public:
    std::optional<FileIcon> IconOf(const std::string&) override { return std::nullopt; }
};

struct FileManagerCase {
    std::string program;
    std::vector<std::string> argv;  // the folder is added at the end
    // Turns on what makes its titles name the folder, in its own settings files under `config`.
    std::function<void(const fs::path& config)> fullPathInTitle;
    bool folderRecorded;
};

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

const std::vector<FileManagerCase>& Cases() {
    static const std::vector<FileManagerCase> cases = {
        {"dolphin", {"dolphin"},
         [](const fs::path& config) { Write(config / "dolphinrc", "[General]\nShowFullPathInTitlebar=true\n"); },
         true},
        {"nemo", {"nemo"},
         [](const fs::path& config) {
             Write(config / "glib-2.0/settings/keyfile",
                   "[org/nemo/preferences]\nshow-full-path-titles=true\n");
         },
         true},
        {"thunar", {"thunar"},
         [](const fs::path& config) {
             Write(config / "xfce4/xfconf/xfce-perchannel-xml/thunar.xml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"thunar\" version=\"1.0\">"
                   "<property name=\"misc-full-path-in-window-title\" type=\"bool\" value=\"true\"/>"
                   "</channel>\n");
         },
         true},
        // Neither offers a setting that puts the path in the title: not a program, no folder.
        {"caja", {"caja", "--no-desktop"}, [](const fs::path&) {}, false},
        {"pcmanfm-qt", {"pcmanfm-qt"}, [](const fs::path&) {}, false},
    };
    return cases;
}

class FileManagerTitlesTest : public ::testing::TestWithParam<FileManagerCase> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-fm-titles-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "home/.config");
        fs::create_directories(m_root / "run");
        fs::permissions(m_root / "run", fs::perms::owner_all);
        // The bus starts the file managers' settings services: they must read this home too.
        for (const auto& [name, value] :
             {std::pair{"HOME", Home()}, {"XDG_CONFIG_HOME", Home() + "/.config"},
              {"XDG_DATA_HOME", Home() + "/.local/share"}, {"XDG_CACHE_HOME", Home() + "/.cache"},
              {"XDG_RUNTIME_DIR", (m_root / "run").string()}, {"GSETTINGS_BACKEND", "keyfile"}}) {
            ::setenv(name, value.c_str(), 1);
        }
        tk::test::AdoptOrphans();
        m_busAddress = tk::test::StartPrivateBus(m_bus);
        ASSERT_FALSE(m_busAddress.empty());
        m_desktop = std::make_unique<VirtualDesktop>();
        ASSERT_TRUE(m_desktop->Ok()) << m_desktop->Error();
    }
    void TearDown() override {
        m_desktop.reset();
        if (m_bus > 0) tk::test::KillGroupAndReap(m_bus);
        tk::test::ReapOrphans();
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string Home() const { return (m_root / "home").string(); }

    fs::path m_root;
    std::string m_busAddress;
    pid_t m_bus = -1;
    std::unique_ptr<VirtualDesktop> m_desktop;
};

TEST_P(FileManagerTitlesTest, RecordsTheFolderNeverTheProgram) {
    const FileManagerCase& fm = GetParam();
    TK_REQUIRE_TOOL(fm.program);
    fm.fullPathInTitle(m_root / "home/.config");
    // A join a title also uses, inside the path: only the disk can tell the folder.
    const fs::path folder = m_root / "a - b" / "中文 目录 #1 50%";
    fs::create_directories(folder);
    std::vector<std::string> argv = fm.argv;
    argv.push_back(folder.string());
    const pid_t started = m_desktop->Spawn(
        argv, {"DBUS_SESSION_BUS_ADDRESS=" + m_busAddress, "LANG=C.UTF-8", "QT_QPA_PLATFORM=xcb",
               "NO_AT_BRIDGE=1", "GTK_A11Y=none"});
    ASSERT_GT(started, 0);

    X11WindowSystem::Options options;
    options.displayName = m_desktop->Display();
    X11WindowSystem windows(options);
    MergedShellWindows shell;
    shell.Add(std::make_unique<FileManagerTitleWindows>(m_desktop->Display()));
    PosixPathDialect dialect(Home());
    PosixFileSystem files;
    NoIcons icons;
    tk::test::TestHistory history(dialect, files, icons);
    Sweep sweep(history.records, files, windows, shell, history.diagnostics);
    const std::string url = "file://" + folder.string();
    SweepFindings findings;
    // Seen once its window is up and, where there is a road, once the title names the folder.
    ASSERT_TRUE(WaitFor(
        [&] {
            findings = sweep.Gather();
            const bool seen = std::any_of(findings.rows.begin(), findings.rows.end(),
                                          [](const auto& row) { return row.exists && row.browser; });
            const bool named = std::any_of(findings.shell.windows.begin(), findings.shell.windows.end(),
                                           [&](const ShellWindow& w) { return w.locationUrl == url; });
            return seen && (named || !fm.folderRecorded);
        },
        kStartTimeoutMs))
        << fm.program << ": windows " << findings.windowList.size() << ", folders "
        << findings.shell.windows.size();
    sweep.Apply(findings);

    std::vector<TMyDoc> docs = history.DocHistory();
    if (fm.folderRecorded) {
        ASSERT_EQ(docs.size(), 1u) << docs.front().Location;
        EXPECT_EQ(docs[0].DocType, kDocTypeFolder);
        EXPECT_EQ(docs[0].Location, url);
        EXPECT_TRUE(sweep.IsDocOpen(url));
    } else {
        EXPECT_TRUE(docs.empty()) << docs.front().Location;
    }
    EXPECT_TRUE(std::none_of(docs.begin(), docs.end(),
                             [](const TMyDoc& d) { return d.DocType == kDocTypeProgram; }));
}

INSTANTIATE_TEST_SUITE_P(FileManagers, FileManagerTitlesTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) {
                             std::string name = info.param.program;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
