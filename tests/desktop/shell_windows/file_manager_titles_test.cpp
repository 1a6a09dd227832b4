// What file managers' titles and settings files say, read without a desktop.
#include "platform/linux/shell_windows/file_manager_titles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/linux/shell_windows/accessible_folder_windows.h"
#include "platform/linux/shell_windows/file_manager_title_windows.h"

namespace tk {
namespace {

TEST(FileManagerTitles, TitlesNameTheirFolderLongestFirst) {
    const std::string kEm = "\xE2\x80\x94";
    struct Case {
        std::string title;
        std::vector<std::string> candidates;
    };
    const std::vector<Case> cases = {
        // As Dolphin, Thunar and Nemo write them with the full path turned on.
        {"/home/u/中文 目录 #1 50% " + kEm + " Dolphin",
         {"/home/u/中文 目录 #1 50% " + kEm + " Dolphin", "/home/u/中文 目录 #1 50%"}},
        {"/tmp/x - Thunar", {"/tmp/x - Thunar", "/tmp/x"}},
        {"x - /tmp/x", {"/tmp/x"}},
        {"x (/tmp/x)", {"/tmp/x)", "/tmp/x"}},
        // A join inside the path: every reading, the longest first, for the disk to decide.
        {"/a - b - Thunar", {"/a - b - Thunar", "/a - b", "/a"}},
        {"~/Docs/ - Thunar", {"/home/u/Docs/ - Thunar", "/home/u/Docs"}},
        {"~ " + kEm + " Dolphin", {"/home/u"}},
        {"/", {"/"}},
        // Titles without a path: only the folder's name, a program's title, a home-relative
        // name that is no path.
        {"中文 目录", {}},
        {"~user - Thunar", {}},
        {"", {}},
        {" - ", {}},
        {std::string("/a\0b", 4), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderCandidatesInTitle(c.title, "/home/u"), c.candidates) << c.title;
    }
    EXPECT_TRUE(FolderCandidatesInTitle(std::string(5000, '/'), "/home/u").empty());
}

TEST(FileManagerTitles, SettingsFilesSayWhetherTheFullPathIsShown) {
    const std::string dolphinrc =
        "[MainWindow]\nShowFullPathInTitlebar=false\n\n[General]\nVersion=202\n"
        "ShowFullPathInTitlebar[$i]= true \n";
    EXPECT_EQ(KdeConfigFlag(dolphinrc, "General", "ShowFullPathInTitlebar"), true);
    EXPECT_EQ(KdeConfigFlag(dolphinrc, "MainWindow", "ShowFullPathInTitlebar"), false);
    EXPECT_EQ(KdeConfigFlag(dolphinrc, "General", "Version"), std::nullopt);
    EXPECT_EQ(KdeConfigFlag("[General\nShowFullPathInTitlebar=true", "General", "ShowFullPathInTitlebar"),
              std::nullopt);

    const std::string thunar =
        "<?xml version=\"1.0\"?>\n<channel name=\"thunar\" version=\"1.0\">\n"
        "  <property name=\"group\" type=\"empty\">\n"
        "    <property name=\"misc-full-path-in-window-title\" type=\"bool\" value=\"false\"/>\n"
        "  </property>\n"
        "  <property name=\"misc-full-path-in-window-title\" type=\"bool\" value=\"true\"/>\n"
        "</channel>\n";
    EXPECT_EQ(XfconfChannelFlag(thunar, "misc-full-path-in-window-title"), true);
    EXPECT_EQ(XfconfChannelFlag(thunar.substr(0, thunar.find("  <property name=\"misc")),
                                "misc-full-path-in-window-title"),
              std::nullopt);
}

class FakeTitledWindows final : public TitledWindowLister {
public:
    explicit FakeTitledWindows(TitledWindowList list) : m_list(std::move(list)) {}
    TitledWindowList List() override { return m_list; }

private:
    TitledWindowList m_list;
};

TEST(FileManagerTitles, WindowsOfFileManagersNameTheirFoldersWhoeverListsThem) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/tk-fm-title-windows-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const fs::path folder = root / "a - b" / "中文 目录 #1 50%";
    fs::create_directories(folder);
    fs::create_directories(root / "data/applications");
    const std::string fm = (root / "tk-files").string();
    std::ofstream(fm) << "#!/bin/sh\n";
    fs::permissions(fm, fs::perms::owner_all);
    std::ofstream(root / "data/applications/tk-files.desktop")
        << "[Desktop Entry]\nType=Application\nName=Files\nExec=" << fm
        << " %U\nCategories=System;FileManager;\n";
    const std::string path = folder.string();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    // A Wayland window names its program by its app id's entry; an X11 one by its process.
    TitledWindowList listed{false, "the X connection broke", {
        {path + " - Thunar", 0, fm},             // the folder, the path's own " - " inside
        {(root / "gone").string() + " - Thunar", 0, fm},  // a folder no longer there
        {"Files", 0, fm},                        // no path shown: still no program of its own
        {path + " - Editor", ::getpid(), ""},    // not a file manager's window
        {path, 0, ""},                           // no program known
    }};
    FileManagerTitleWindows windows(std::make_unique<FakeTitledWindows>(std::move(listed)),
                                    DesktopEntryBrowsers::FileManagerIndex(
                                        {{(root / "data").string()}, {(root / "config").string()}}));
    const ShellWindowsResult result = windows.List();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "the X connection broke");
    ASSERT_EQ(result.windows.size(), 1u);  // what was listed before the failure stays
    EXPECT_EQ(result.windows[0].locationUrl, "file://" + path);
    EXPECT_TRUE(result.windows[0].hasDocument);
    EXPECT_EQ(result.programs, (std::vector<std::string>{fm, fm, fm}));
    EXPECT_TRUE(windows.IsFileManagerProgram(fm));
    EXPECT_FALSE(windows.IsFileManagerProgram(self));

    FileManagerTitleWindows none(nullptr);
    EXPECT_TRUE(none.List().ok);
    std::error_code ec;
    fs::remove_all(root, ec);
}

namespace fs = std::filesystem;

// A folder of its own with an executable file in it for each name, and the variables the code
// under test reads pointed into it; all put back at the end.
class FileManagerPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-fm-programs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        for (const char* folder : {"bin", "elsewhere", "data/applications", "config"}) {
            fs::create_directories(m_root / folder);
        }
        for (const char* name : {"PATH", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("PATH", (m_root / "bin").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string Program(const std::string& where) {
        const fs::path path = m_root / where;
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    std::shared_ptr<DesktopEntryBrowsers> Entries() const {
        return DesktopEntryBrowsers::FileManagerIndex(
            {{(m_root / "data").string()}, {(m_root / "config").string()}});
    }

    fs::path m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// A file manager is the program its desktop entry starts; a file of the same name elsewhere
// (a download, a build under /tmp) is none, for the titles and for the widgets alike, and only
// the file managers whose widgets are known are read there.
TEST_F(FileManagerPrograms, KnownByTheirEntriesNeverByName) {
    const std::string caja = Program("bin/caja");
    const std::string files = Program("bin/tk-files");
    std::ofstream(m_root / "data/applications/caja-folder-handler.desktop")
        << "[Desktop Entry]\nType=Application\nName=Caja\nExec=" << caja
        << " --no-desktop %U\nMimeType=inode/directory;application/x-mate-saved-search;\n";
    std::ofstream(m_root / "data/applications/tk-files.desktop")
        << "[Desktop Entry]\nType=Application\nName=Files\nExec=tk-files %U\nCategories=System;FileManager;\n";
    FileManagerTitleWindows titles(nullptr, Entries());
    AccessibleFolderWindows widgets("unix:path=/nonexistent", Entries());
    const struct {
        std::string executable;
        bool fileManager;
        bool widgetsRead;
    } cases[] = {
        {caja, true, true},
        {files, true, false},
        {Program("elsewhere/caja"), false, false},
        {Program("elsewhere/tk-files"), false, false},
        {Program("elsewhere/thunar"), false, false},  // no entry starts it at all
    };
    for (const auto& c : cases) {
        EXPECT_EQ(titles.IsFileManagerProgram(c.executable), c.fileManager) << c.executable;
        EXPECT_EQ(widgets.IsFileManagerProgram(c.executable), c.widgetsRead) << c.executable;
    }
}

// Only Dolphin still needs a setting before its folders can be read; the hint names nobody
// once it is on, or with no Dolphin installed.
TEST_F(FileManagerPrograms, SettingsHintNamesOnlyDolphin) {
    for (const char* name : {"dolphin", "nemo", "thunar", "caja"}) Program(std::string("bin/") + name);
    FileManagerTitleWindows titles(nullptr, Entries());
    const std::string hint = titles.SettingsHint();
    EXPECT_NE(hint.find("Dolphin"), std::string::npos) << hint;
    for (const char* other : {"Nemo", "Thunar", "Caja", "nemo", "thunar"}) {
        EXPECT_EQ(hint.find(other), std::string::npos) << hint;
    }
    std::ofstream(m_root / "config/dolphinrc") << "[General]\nShowFullPathInTitlebar=true\n";
    EXPECT_EQ(titles.SettingsHint(), "");
    std::ofstream(m_root / "config/dolphinrc") << "[General]\nShowFullPathInTitlebar=false\n";
    fs::remove(m_root / "bin/dolphin");
    EXPECT_EQ(titles.SettingsHint(), "");
}

}  // namespace
}  // namespace tk
