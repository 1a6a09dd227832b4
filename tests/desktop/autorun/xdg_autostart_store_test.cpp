#include "platform/linux/autorun/xdg_autostart_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gio/gdesktopappinfo.h>

#include "require.h"

using namespace tk;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tk-autorun-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.insert(item.path().filename());
    return names;
}

// What desktop-file-validate says of an entry: empty when it finds nothing wrong.
std::string Validate(const std::string& entry) {
    FILE* pipe = ::popen(("desktop-file-validate '" + entry + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) return "cannot run desktop-file-validate";
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) output += "(failed)";
    return output;
}

// Paths that stress the Exec quoting, the value escapes and the field codes.
std::vector<std::string> HostilePaths() {
    std::string longPath;
    while (longPath.size() < 10 * 1024) longPath += "/a folder with \"quotes\" $and\\ 100%";
    return {
        "/opt/plain/tarvokelmora",
        "/opt/Tarvo Kelmora/tarvokelmora",
        "/opt/it's \"quoted\"/tk",
        "/home/u/$HOME/`id`/$(id)/tk",
        "/opt/back\\slash\\\\double\\n\\s\\t\\\\",
        "/tmp/a\nHidden=true",
        "/tmp/b\n[Desktop Entry]\nExec=/bin/false\nHidden=true\n",
        "/tmp/tab\there/cr\rthere",
        "/opt/中文 文件夹/程序",
        "/opt/100%/%f %u %%/tk%",
        "/opt/~user/a;b&c|d<e>f*g?h#i(j)k/tk",
        "  /opt/leading and trailing blanks  ",
        "/opt/key=value/tk",
        longPath,
    };
}

TEST(XdgAutostartStoreTest, TickUntickTickLeavesOneEntryNamingThePath) {
    TempDir temp;
    const fs::path folder = temp.Path() / "config" / "autostart";  // created on demand
    XdgAutostartStore store(folder.string());
    const std::string path = "/opt/tk/tarvokelmora";
    EXPECT_TRUE(MnAutoRunClickResult(store, true, path));
    EXPECT_FALSE(MnAutoRunClickResult(store, false, path));
    EXPECT_TRUE(Listing(folder).empty());
    EXPECT_TRUE(MnAutoRunClickResult(store, true, path));
    EXPECT_TRUE(MnAutoRunClickResult(store, true, path));
    EXPECT_EQ(Listing(folder), std::set<std::string>{"TarvoKelmora.desktop"});
    EXPECT_EQ(store.Read(kAutoRunName), path);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(XdgAutostartStoreTest, TwoCopiesShareOneEntry) {
    TempDir temp;
    XdgAutostartStore first(temp.Path().string());
    XdgAutostartStore second(temp.Path().string());
    ASSERT_TRUE(SetAutoRun(first, kAutoRunName, "/opt/first/tk", true));
    // The second copy starts, finds the registration and claims it.
    ASSERT_TRUE(IsAutoRun(second, kAutoRunName));
    ASSERT_TRUE(SetAutoRun(second, kAutoRunName, "/home/u/second copy/tk", true));
    EXPECT_EQ(first.Read(kAutoRunName), "/home/u/second copy/tk");
    EXPECT_EQ(Listing(temp.Path()).size(), 1u);
    EXPECT_TRUE(SetAutoRun(first, kAutoRunName, "/opt/first/tk", false));
    EXPECT_FALSE(IsAutoRun(second, kAutoRunName));
}

// Read answers what the session would start; ticking replaces whatever starts nothing.
TEST(XdgAutostartStoreTest, EntriesOnDiskReadAsWhatTheSessionWouldStart) {
    const std::string head = "[Desktop Entry]\nType=Application\nName=TK\n";
    const std::vector<std::pair<std::string, std::optional<std::string>>> entries = {
        {head + "Exec=/opt/tk\nHidden = true \n", std::nullopt},
        {head + "Exec=/opt/tk\nX-GNOME-Autostart-enabled=false\n", std::nullopt},
        {head + "Exec=\"/opt/tk\n", std::nullopt},
        {head, std::nullopt},
        {head + "Exec=\n", ""},
        {head + "Exec=\"  \"\n", "  "},
        {"[Desktop Entry]\nType=Link\nExec=/opt/tk\n", std::nullopt},
        {"[Desktop Action Other]\nType=Application\nExec=/opt/tk\n", std::nullopt},
        {std::string("\x7f"
                     "ELF\0\1\2\n\xff\xfe",
                     10),
         std::nullopt},
        {"# by hand\r\n[Desktop Entry]\r\nType=Application\r\nExec=/usr/bin/tk --min\r\n",
         "/usr/bin/tk"},
        {"[Desktop Entry]\nType = Application\nExec = \"/opt/my app/tk\" %U\nHidden=false\n"
         "[Desktop Action New]\nExec=/bin/other\n",
         "/opt/my app/tk"},
        {head + "Exec=/opt/old\nExec[de]=/x\nExec=\"/a\\\\\\\\b\\$\"\n", "/a\\b$"},
    };
    TempDir temp;
    XdgAutostartStore store(temp.Path().string());
    const fs::path entry = temp.Path() / "TarvoKelmora.desktop";
    for (const auto& [text, program] : entries) {
        WriteText(entry, text);
        EXPECT_EQ(store.Read(kAutoRunName), program) << text;
        if (IsAutoRun(store, kAutoRunName)) continue;
        EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", true)) << text;
        EXPECT_EQ(ReadText(entry).find("Hidden"), std::string::npos);
    }
}

// The entry is the user's once written: ticking leaves one that starts this program untouched,
// and one that starts something else gets its command back with the user's keys kept.
TEST(XdgAutostartStoreTest, TickingKeepsWhatTheUserAddedToTheEntry) {
    TempDir temp;
    XdgAutostartStore store(temp.Path().string());
    const fs::path entry = temp.Path() / "TarvoKelmora.desktop";
    const std::string mine = "# mine\n[Desktop Entry]\nType=Application\nName=TK\nExec=/opt/tk --tray\n"
                             "X-GNOME-Autostart-Delay=30\nOnlyShowIn=XFCE;\n\n[Desktop Action Min]\nExec=/x\n";
    WriteText(entry, mine);
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", true));
    EXPECT_EQ(ReadText(entry), mine);

    WriteText(entry, mine + "[Desktop Entry]\nHidden=true\n");
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/home/u/new tk", true));
    const std::string edited = ReadText(entry);
    for (const char* kept : {"# mine\n", "X-GNOME-Autostart-Delay=30\n", "OnlyShowIn=XFCE;\n",
                             "[Desktop Action Min]\nExec=/x\n", "Name=TK\n"}) {
        EXPECT_NE(edited.find(kept), std::string::npos) << kept;
    }
    EXPECT_EQ(edited.find("/opt/tk"), std::string::npos);
    EXPECT_EQ(edited.find("Hidden"), std::string::npos);
    EXPECT_EQ(store.Read(kAutoRunName), "/home/u/new tk");
}

TEST(XdgAutostartStoreTest, SomethingElseInPlaceOfTheEntry) {
    TempDir temp;
    XdgAutostartStore store(temp.Path().string());
    const fs::path entry = temp.Path() / "TarvoKelmora.desktop";

    fs::create_directory(entry);
    EXPECT_FALSE(IsAutoRun(store, kAutoRunName));
    EXPECT_FALSE(SetAutoRun(store, kAutoRunName, "/opt/tk", true));
    EXPECT_FALSE(MnAutoRunClickResult(store, true, "/opt/tk"));
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", false));
    EXPECT_TRUE(fs::is_directory(entry));
    fs::remove(entry);

    // Opening a FIFO for reading would wait for a writer forever.
    ASSERT_EQ(::mkfifo(entry.c_str(), 0600), 0);
    EXPECT_FALSE(IsAutoRun(store, kAutoRunName));
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", true));
    fs::remove(entry);

    fs::create_symlink(temp.Path() / "nowhere", entry);
    EXPECT_FALSE(IsAutoRun(store, kAutoRunName));
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", true));
    fs::remove(entry);

    // A link to the menu's entry: ticking replaces the link and leaves the menu alone.
    const fs::path menuEntry = temp.Path() / "menu.desktop.target";
    const std::string menuText = "[Desktop Entry]\nType=Application\nName=TK\nExec=/usr/bin/tk\n";
    WriteText(menuEntry, menuText);
    fs::create_symlink(menuEntry, entry);
    EXPECT_EQ(store.Read(kAutoRunName), "/usr/bin/tk");
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", true));
    EXPECT_FALSE(fs::is_symlink(entry));
    EXPECT_EQ(ReadText(menuEntry), menuText);
    EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", false));
    EXPECT_TRUE(fs::exists(menuEntry));
}

TEST(XdgAutostartStoreTest, AFolderThatCannotBeWrittenLeavesTheBoxUnticked) {
    TempDir temp;
    WriteText(temp.Path() / "autostart", "a file where the folder should be");
    for (const std::string& folder :
         {std::string("/proc/nonexistent/autostart"), (temp.Path() / "autostart").string()}) {
        XdgAutostartStore store(folder);
        EXPECT_FALSE(SetAutoRun(store, kAutoRunName, "/opt/tk", true)) << folder;
        EXPECT_FALSE(IsAutoRun(store, kAutoRunName)) << folder;
        EXPECT_FALSE(MnAutoRunClickResult(store, true, "/opt/tk")) << folder;
        EXPECT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", false)) << folder;
    }

    // The default folder follows $XDG_CONFIG_HOME, then $HOME.
    const char* xdgConfigHome = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedXdg =
        xdgConfigHome ? std::optional<std::string>(xdgConfigHome) : std::nullopt;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "/proc/nonexistent", 1);
    XdgAutostartStore fromXdg;
    EXPECT_EQ(fromXdg.Folder(), "/proc/nonexistent/autostart");
    EXPECT_FALSE(MnAutoRunClickResult(fromXdg, true, "/opt/tk"));
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", temp.Path().c_str(), 1);
    XdgAutostartStore fromHome;
    EXPECT_TRUE(MnAutoRunClickResult(fromHome, true, "/opt/tk"));
    EXPECT_TRUE(fs::is_regular_file(temp.Path() / ".config/autostart/TarvoKelmora.desktop"));
    ::setenv("HOME", savedHome.c_str(), 1);
    if (savedXdg) ::setenv("XDG_CONFIG_HOME", savedXdg->c_str(), 1);
}

TEST(XdgAutostartStoreTest, HostilePathsReadBackExactlyAndAddNoLines) {
    TempDir temp;
    XdgAutostartStore store(temp.Path().string());
    const std::multiset<std::string> expectedKeys = {
        "[Desktop Entry]",          "Type", "Name", "Comment",
        "Comment[zh_CN]",           "Exec", "Icon", "Terminal",
        "X-GNOME-Autostart-enabled"};
    for (const std::string& path : HostilePaths()) {
        ASSERT_TRUE(SetAutoRun(store, kAutoRunName, path, true)) << path;
        EXPECT_EQ(store.Read(kAutoRunName), path);
        std::multiset<std::string> keys;
        std::istringstream lines(ReadText(temp.Path() / "TarvoKelmora.desktop"));
        for (std::string line; std::getline(lines, line);)
            keys.insert(line.substr(0, line.find('=')));
        EXPECT_EQ(keys, expectedKeys) << path;
    }
    // The icon the installed package provides.
    EXPECT_NE(ReadText(temp.Path() / "TarvoKelmora.desktop").find("\nIcon=com.tarvokelmora.TarvoKelmora\n"),
              std::string::npos);
}

TEST(XdgAutostartStoreTest, HostilePathsMakeEntriesTheValidatorAccepts) {
    TK_REQUIRE_TOOL("desktop-file-validate");
    TempDir temp;
    XdgAutostartStore store(temp.Path().string());
    for (const std::string& path : HostilePaths()) {
        ASSERT_TRUE(SetAutoRun(store, kAutoRunName, path, true)) << path;
        EXPECT_EQ(Validate(store.EntryPath(kAutoRunName)), "") << path;
    }
}

TEST(XdgAutostartStoreTest, PathsAnEntryCannotHoldAreRefusedAndTheEntryKept) {
    TempDir temp;
    XdgAutostartStore store(temp.Path().string());
    ASSERT_TRUE(SetAutoRun(store, kAutoRunName, "/opt/tk", true));
    for (const std::string& path : {std::string(" \t"),
                                    std::string("/opt/a\x01"
                                                "b"),
                                    std::string("/opt/\xff\xfe"), std::string("/opt/\x7f")}) {
        EXPECT_FALSE(store.Write(kAutoRunName, path));
        EXPECT_FALSE(SetAutoRun(store, kAutoRunName, path, true));
        EXPECT_EQ(store.Read(kAutoRunName), "/opt/tk");
    }
    for (const char* name : {"", ".", "..", "a/b", "a\nb"}) {
        EXPECT_FALSE(store.Write(name, "/opt/tk")) << name;
        EXPECT_FALSE(store.Remove(name)) << name;
    }
    EXPECT_EQ(Listing(temp.Path()).size(), 1u);
}

// A GLib-based session must start exactly the program named, however odd its folder. No '%':
// GLib looks for the program before undoing %%, so it drops such an entry (a known limit).
TEST(XdgAutostartStoreTest, GlibStartsTheProgramTheEntryNames) {
    TempDir temp;
    const fs::path folder = temp.Path() / "a b'c\"d$e`f\\g 中文\nHidden=true #;~";
    fs::create_directories(folder);
    const fs::path program = folder / "tk";
    const fs::path marker = temp.Path() / "started";
    WriteText(program, "#!/bin/sh\nprintf '%s' \"$0\" > '" + marker.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);

    XdgAutostartStore store(temp.Path().string());
    ASSERT_TRUE(SetAutoRun(store, kAutoRunName, program.string(), true));
    GDesktopAppInfo* info =
        g_desktop_app_info_new_from_filename(store.EntryPath(kAutoRunName).c_str());
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(g_desktop_app_info_get_is_hidden(info));
    GError* error = nullptr;
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error))
        << (error ? error->message : "");
    g_clear_error(&error);
    g_object_unref(info);
    for (int i = 0; i < 200 && ReadText(marker).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ReadText(marker), program.string());
}

}  // namespace
