#include "platform/linux/shell/linux_shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <xcb/xcb.h>

#include "launch_fixture.h"
#include "recorded_diagnostics.h"
#include "virtual_desktop.h"

using namespace tk;
using namespace tk::test;
namespace fs = std::filesystem;

namespace {

TEST_F(LaunchTest, ExplorerOpensAddressesWithTheDefaultApplication) {
    SetDefaults({"x-scheme-handler/http", "x-scheme-handler/https", "x-scheme-handler/computer",
                 "inode/directory"});
    const fs::path folder = m_root / "files/Reports";
    fs::create_directory(folder);
    ASSERT_EQ(
        RunScenario([&](LinuxShell& shell) {
            shell.Execute(0, "open", "explorer.exe", "http://host/page", std::nullopt, kSwShow);
            shell.Execute(0, "open", "Explorer.exe", "https://host/x?a=1&b=2#f", std::nullopt,
                          kSwShowNormal);
            shell.Execute(0, "open", "EXPLORER.EXE", "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}",
                          std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe", folder.string(), std::nullopt, kSwShow);
            // Neither an address nor an existing path: nothing.
            shell.Execute(0, "open", "explorer.exe", "host/page", std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe", "C:\\Data\\page.htm", std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe", "/no/such/page", std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe", std::nullopt, std::nullopt, kSwShow);
        }),
        "");
    ExpectLaunched((Records{Opened("http://host/page"), Opened("https://host/x?a=1&b=2#f"),
                            Opened("computer:///"), OpenedFile(folder)}));
}

TEST_F(LaunchTest, LocalPathsOpenByWhatTheyAre) {
    SetDefaults({"inode/directory", "text/plain", "x-scheme-handler/https"});
    const fs::path files = m_root / "files";
    fs::create_directory(files / "Reports");
    Write(files / "notes.txt", "notes\n");
    // Executable bit but no program inside: a document, as on a drive that marks every file.
    Write(files / "marked.txt", "not a program\n");
    MakeExecutable(files / "marked.txt");
    InstallProgram(files / "tool");
    Write(files / "script",
          std::string("#!/bin/sh\nexec '") + kRecorder + "' from-script \"$0\" \"$#\"\n");
    MakeExecutable(files / "script");
    Write(files / "entry.desktop", std::string("[Desktop Entry]\nType=Application\nName=E\nExec=") +
                                       kRecorder + " from-entry %k\n");
    Write(files / "link.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=https://host/linked\n");
    // The user's own executable entries are trusted, as the file manager trusts them.
    MakeExecutable(files / "entry.desktop");
    MakeExecutable(files / "link.desktop");
    // Bare names never reach PATH or the current folder.
    InstallProgram(m_root / "bin/tool");
    InstallProgram(m_root / "work/tool");

    ASSERT_EQ(RunScenario([&](LinuxShell& shell) {
                  for (const char* name : {"Reports", "notes.txt", "marked.txt", "tool", "script",
                                           "entry.desktop", "link.desktop"}) {
                      shell.Execute(0, std::nullopt, (files / name).string(), std::nullopt,
                                    std::nullopt, kSwShowNormal);
                  }
                  shell.Execute(0, "open", FileUri(files / "notes.txt"), std::nullopt, std::nullopt,
                                5);
                  shell.Execute(0, "open", FileUri(files / "tool"), std::nullopt, std::nullopt, 5);
                  shell.Execute(0, "open", (files / "tool").string(), std::nullopt, Work(), 5);
                  shell.Execute(0, "open", (files / "tool").string(), std::nullopt, "", 5);
                  shell.Execute(0, "open", (files / "missing.txt").string(), std::nullopt,
                                std::nullopt, 5);
                  shell.Execute(0, std::nullopt, "tool", std::nullopt, std::nullopt, 1);
                  shell.Execute(0, std::nullopt, "notes.txt", std::nullopt, std::nullopt, 1);
              }),
              "");
    const std::string tool = (files / "tool").string();
    const std::string script = (files / "script").string();
    ExpectLaunched((Records{OpenedFile(files / "Reports"),
                            OpenedFile(files / "notes.txt"),
                            OpenedFile(files / "notes.txt"),
                            OpenedFile(files / "marked.txt"),
                            {files.string(), tool},
                            {files.string(), tool},
                            {Work(), tool},
                            {files.string(), tool},
                            {files.string(), kRecorder, "from-script", script, "0"},
                            {Work(), kRecorder, "from-entry", (files / "entry.desktop").string()},
                            Opened("https://host/linked")}));
}

// The core stores "file://" + the raw path; names a URI parser would cut or unescape open
// as the paths they are, whichever way the location is handed over.
TEST_F(LaunchTest, StoredLocationsWithUriCharactersOpenAsRawPaths) {
    SetDefaults({"inode/directory"});
    std::vector<fs::path> folders;
    for (const char* name : {"C# notes", "100%", "a%20b", "q?x=1"}) {
        folders.push_back(m_root / "files" / name);
        fs::create_directories(folders.back());
    }
    ASSERT_EQ(RunScenario([&](LinuxShell& shell) {
                  for (const fs::path& folder : folders) {
                      shell.Execute(0, "open", "file://" + folder.string(), std::nullopt,
                                    std::nullopt, kSwShow);
                      shell.Execute(0, "open", "explorer.exe", "file://" + folder.string(),
                                    std::nullopt, kSwShow);
                  }
              }),
              "");
    Records expected;
    for (const fs::path& folder : folders) {
        expected.insert(OpenedFile(folder));
        expected.insert(OpenedFile(folder));
    }
    ExpectLaunched(expected);
}

TEST_F(LaunchTest, SystemProgramsAreTheFirstOneInstalled) {
    SetDefaults({"inode/directory", "x-scheme-handler/http"});
    const fs::path bin = m_root / "bin";
    for (const char* name : {"lxtask", "xfce4-taskmanager", "cinnamon-settings", "lxqt-config",
                             "system-config-printer"}) {
        InstallProgram(bin / name);
    }
    ASSERT_EQ(RunScenario([](LinuxShell& shell) {
                  shell.Execute(0, "open", "taskmgr", "", "", kSwShowNormal);
                  shell.Execute(0, std::nullopt, "TaskMgr.exe", std::nullopt, std::nullopt, 1);
                  shell.RunControlPanel("rundll32.exe   shell32.dll,Control_RunDLL", kSwRestore);
                  shell.OpenSpecialFolder(kCsidlControls, 0);
                  shell.OpenSpecialFolder(kCsidlPrinters, 0);
                  shell.OpenSpecialFolder(kCsidlPrintHood, 0);
              }),
              "");
    const std::string home = (m_root / "home").string();
    const std::string taskManager = (bin / "xfce4-taskmanager").string();
    const std::string settings = (bin / "lxqt-config").string();
    const std::string printers = (bin / "system-config-printer").string();
    ExpectLaunched((Records{{home, taskManager},
                            {home, taskManager},
                            {home, settings},
                            {home, settings},
                            {home, printers},
                            {home, printers}}));
}

TEST_F(LaunchTest, WithoutSystemProgramsTheLastResortsServe) {
    SetDefaults({"inode/directory", "x-scheme-handler/http"});
    const fs::path bin = m_root / "bin";
    InstallProgram(bin / "xterm");
    InstallProgram(bin / "top");
    ASSERT_EQ(RunScenario([](LinuxShell& shell) {
                  shell.Execute(0, "open", "taskmgr", "", "", kSwShowNormal);
                  shell.RunControlPanel("rundll32.exe   shell32.dll,Control_RunDLL", kSwRestore);
                  shell.OpenSpecialFolder(kCsidlPrinters, 0);
              }),
              "");
    ExpectLaunched((Records{
        {(m_root / "home").string(), (bin / "xterm").string(), "-e", (bin / "top").string()},
        Opened("/usr/share/applications"),
        Opened("http://localhost:631/printers/")}));
}

TEST_F(LaunchTest, SpecialFoldersOpenTheirCounterparts) {
    SetDefaults({"inode/directory", "x-scheme-handler/trash", "x-scheme-handler/computer",
                 "x-scheme-handler/network", "x-scheme-handler/recent"});
    const fs::path home = m_root / "home";
    const fs::path data = m_root / "data";
    Write(m_root / "config/user-dirs.dirs",
          "XDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOCUMENTS_DIR=\"$HOME/My Docs\"\n"
          "XDG_PUBLICSHARE_DIR=\"$HOME/Shared/Gone\"\n");
    for (const fs::path& dir : {home / "桌面", home / "My Docs", home / "Shared", data / "fonts",
                                m_root / "etc-xdg/autostart"}) {
        fs::create_directories(dir);
    }
    ASSERT_EQ(RunScenario([](LinuxShell& shell) {
                  for (int csidl : std::initializer_list<int>{kCsidlDesktop,
                                                              kCsidlDesktopDirectory,
                                                              kCsidlPersonal,
                                                              kCsidlCommonDocuments,
                                                              kCsidlBitBucket,
                                                              kCsidlDrives,
                                                              kCsidlNetwork,
                                                              kCsidlNetHood,
                                                              kCsidlHistory,
                                                              kCsidlPrograms,
                                                              kCsidlStartMenu,
                                                              kCsidlStartup,
                                                              kCsidlCommonStartup,
                                                              kCsidlInternetCache,
                                                              kCsidlFavorites,
                                                              kCsidlFonts,
                                                              kCsidlSendTo,
                                                              kCsidlCookies,
                                                              0x7F,
                                                              -1}) {
                      shell.OpenSpecialFolder(csidl, 0);
                  }
              }),
              "");
    const Record desktop = OpenedFile(home / "桌面");
    const Record applications = OpenedFile(data / "applications");
    const Record network = Opened("network:///");
    ExpectLaunched((Records{
        desktop, desktop, OpenedFile(home / "My Docs"),
        // A folder not there yet opens its nearest existing parent.
        OpenedFile(home / "Shared"), Opened("trash:///"), Opened("computer:///"), network, network,
        Opened("recent:///"), applications, applications, OpenedFile(m_root / "config"),
        OpenedFile(m_root / "etc-xdg/autostart"), OpenedFile(m_root / "cache"), OpenedFile(home),
        OpenedFile(data / "fonts"), OpenedFile(data), OpenedFile(home)}));
}

TEST_F(LaunchTest, VirtualFoldersNobodyServesFallBackToTheirFolders) {
    SetDefaults({"inode/directory"});
    fs::create_directories(m_root / "data/Trash/files");
    ASSERT_EQ(RunScenario([](LinuxShell& shell) {
                  shell.OpenSpecialFolder(kCsidlBitBucket, 0);
                  shell.OpenSpecialFolder(kCsidlDrives, 0);
                  shell.OpenSpecialFolder(kCsidlNetwork, 0);
                  shell.OpenSpecialFolder(kCsidlHistory, 0);
              }),
              "");
    ExpectLaunched((Records{OpenedFile(m_root / "data/Trash/files"), Opened("/")}));
}

// Names that a command interpreter would run, or a program would read as options. Each must
// reach the program as exactly one argument, equal to what was handed in, and run nothing.
TEST_F(LaunchTest, HostileNamesStayOneArgumentAndRunNothing) {
    SetDefaults(
        {"inode/directory", "text/plain", "x-scheme-handler/http", "x-scheme-handler/mailto"});
    const std::vector<std::string> names = {
        "\"; touch CANARY; \"", "'; touch CANARY; '", "$(touch CANARY)",
        "`touch CANARY`",       "a\ntouch CANARY\nb", "--help",
        "-e touch CANARY",      "%u %f %k %c %%",     " | touch CANARY &",
        std::string(240, 'n'),
    };
    const fs::path files = m_root / "files";
    for (const char* kind : {"text", "folder", "program", "entry"})
        fs::create_directory(files / kind);
    for (const std::string& name : names) {
        Write(files / "text" / (name + ".txt"), "text\n");
        fs::create_directory(files / "folder" / name);
        InstallProgram(files / "program" / name);
        Write(files / "entry" / (name + ".desktop"),
              std::string("[Desktop Entry]\nType=Application\nName=E\nExec=") + kRecorder +
                  " from-entry %k\n");
        MakeExecutable(files / "entry" / (name + ".desktop"));
    }
    std::string longAddress = "http://host/";
    while (longAddress.size() < 10 * 1024) longAddress += "$(touch CANARY)`touch CANARY`;--x ";
    std::string longPath;
    while (longPath.size() < 10 * 1024) longPath += "/" + std::string(200, 'p');
    Write(files / "text/plain.txt", "text\n");
    const std::string withNul = (files / "text/plain.txt").string() + std::string(1, '\0') + "x";

    ASSERT_EQ(
        RunScenario([&](LinuxShell& shell) {
            for (const std::string& name : names) {
                const std::string address = "http://host/" + name;
                shell.Execute(0, "open", "explorer.exe", address, std::nullopt, kSwShow);
                shell.Execute(0, "open", address, std::nullopt, std::nullopt, kSwShow);
                shell.Execute(0, std::nullopt, (files / "text" / (name + ".txt")).string(), name,
                              name, kSwShowNormal);
                shell.Execute(0, "open", (files / "folder" / name).string(), std::nullopt,
                              std::nullopt, kSwShow);
                shell.Execute(0, "open", (files / "program" / name).string(), name, name, kSwShow);
                shell.Execute(0, std::nullopt, (files / "entry" / (name + ".desktop")).string(),
                              std::nullopt, std::nullopt, kSwShowNormal);
                // Relative: never a program, never an option.
                shell.Execute(0, "open", name, std::nullopt, std::nullopt, kSwShow);
                shell.Execute(0, "open", "explorer.exe", name, std::nullopt, kSwShow);
            }
            shell.Execute(0, "open", "explorer.exe", "http://--help", std::nullopt, kSwShow);
            shell.Execute(0, "open", "mailto:--help", std::nullopt, std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe", longAddress, std::nullopt, kSwShow);
            shell.Execute(0, "open", longPath, std::nullopt, std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe", longPath, std::nullopt, kSwShow);
            shell.Execute(0, "open", withNul, std::nullopt, std::nullopt, kSwShow);
            shell.Execute(0, "open", "explorer.exe",
                          "http://host/" + std::string(1, '\0') + "--help", std::nullopt, kSwShow);
        }),
        "");
    Records expected;
    for (const std::string& name : names) {
        expected.insert(Opened("http://host/" + name));
        expected.insert(Opened("http://host/" + name));
        expected.insert(OpenedFile(files / "text" / (name + ".txt")));
        expected.insert(OpenedFile(files / "folder" / name));
        expected.insert({(files / "program").string(), (files / "program" / name).string()});
        expected.insert(
            {Work(), kRecorder, "from-entry", (files / "entry" / (name + ".desktop")).string()});
    }
    expected.insert(Opened("http://--help"));
    expected.insert(Opened("mailto:--help"));
    expected.insert(Opened(longAddress));
    ExpectLaunched(expected);

    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
        EXPECT_NE(entry.path().filename(), "CANARY") << entry.path();
    }
    EXPECT_FALSE(fs::exists(fs::current_path() / "CANARY"));
}

xcb_atom_t InternAtom(xcb_connection_t* c, const std::string& name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// A 32-bit property of the root window; nothing while it is not set.
std::vector<uint32_t> RootProperty(const std::string& display, const char* name, xcb_atom_t type) {
    std::vector<uint32_t> values;
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (!xcb_connection_has_error(c)) {
        const xcb_window_t window = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const xcb_atom_t atom = InternAtom(c, name);
        auto* reply =
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, type, 0, 1024), nullptr);
        if (reply != nullptr && reply->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            values.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    xcb_disconnect(c);
    return values;
}

bool IsViewable(const std::string& display, xcb_window_t window) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    xcb_disconnect(c);
    return viewable;
}

// A plain top-level window of the test's own, shown until the connection closes: unlike a
// terminal it needs no pty, shell or fonts, so a loaded machine cannot make it fail to appear.
class PlainWindow {
public:
    explicit PlainWindow(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(m_c)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 20, 20, 240, 120, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const std::string title = "a window on the desktop";
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                            8, static_cast<uint32_t>(title.size()), title.data());
        xcb_map_window(m_c, m_window);
        xcb_flush(m_c);
    }
    ~PlainWindow() { xcb_disconnect(m_c); }
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    xcb_window_t Id() const { return m_window; }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_window = 0;
};

TEST(LinuxShellDesktop, MinimizeAllAsksTheWindowManagerToShowTheDesktop) {
    VirtualDesktop desktop;
    ASSERT_TRUE(desktop.Ok()) << desktop.Error();
    const std::string& display = desktop.Display();
    const PlainWindow window(display);
    ASSERT_NE(window.Id(), 0u);
    // A window that appears while the desktop is shown ends the showing: wait for it first.
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<uint32_t> clients =
            RootProperty(display, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW);
        return std::find(clients.begin(), clients.end(), window.Id()) != clients.end();
    }, 30000));
    EXPECT_NE(RootProperty(display, "_NET_SHOWING_DESKTOP", XCB_ATOM_CARDINAL),
              std::vector<uint32_t>{1});
    ASSERT_TRUE(WaitFor([&] { return IsViewable(display, window.Id()); }, 30000));

    LinuxShell shell(StderrDiagnostics(), {display});
    shell.MessageBeep();
    // On a loaded machine the window may still be settling (a late map or focus change ends
    // the showing at once), so the request is repeated until the desktop shows.
    int polls = 0;
    EXPECT_TRUE(WaitFor([&] {
        if (polls++ % 25 == 0) shell.MinimizeAll();
        return RootProperty(display, "_NET_SHOWING_DESKTOP", XCB_ATOM_CARDINAL) ==
               std::vector<uint32_t>{1};
    }, 30000));
    // The window is out of sight now.
    EXPECT_TRUE(WaitFor([&] { return !IsViewable(display, window.Id()); }));

    // A display that is not there: nothing happens, nothing breaks; each request says so.
    RecordedDiagnostics said;
    LinuxShell nowhere(said, {":" + std::to_string(65000 + (::getpid() % 500))});
    nowhere.MinimizeAll();
    nowhere.MessageBeep();
    const auto lines = said.Lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& [severity, area, message] : lines) {
        EXPECT_EQ(severity, Severity::Warning);
        EXPECT_EQ(area, "launch");
        EXPECT_FALSE(message.empty());
    }
}

}  // namespace
