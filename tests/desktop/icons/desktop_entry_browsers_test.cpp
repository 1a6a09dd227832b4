// Which programs count as web browsers, by desktop entries and handler lists the test writes.
#include "platform/linux/icons/desktop_entry_browsers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

using namespace tk;
namespace fs = std::filesystem;

namespace {

class DesktopEntryBrowsersTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-browsers-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        for (const char* folder : {"data/applications", "config", "bin", "opt/web"}) {
            fs::create_directories(m_root / folder);
        }
        m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", ((m_root / "bin").string() + ":" + m_oldPath).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", m_oldPath.c_str(), 1);
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::string Program(const std::string& where, const std::string& text = "#!/bin/sh\n") {
        const fs::path path = m_root / where;
        std::ofstream(path) << text;
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    void Write(const std::string& where, const std::string& text) {
        std::ofstream(m_root / where) << text;
        // However fast a change follows the first reading, its folder's time is another.
        const timespec old[2] = {{1000, 0}, {1000, 0}};
        ::utimensat(AT_FDCWD, (m_root / where).parent_path().c_str(), old, 0);
    }
    void Entry(const std::string& id, const std::string& body) {
        Write("data/applications/" + id + ".desktop",
              "[Desktop Entry]\nType=Application\nName=X\n" + body);
    }
    DesktopEntryBrowsers Browsers() {
        return DesktopEntryBrowsers({{(m_root / "data").string()}, {(m_root / "config").string()}});
    }

    fs::path m_root;
    std::string m_oldPath;
};

TEST_F(DesktopEntryBrowsersTest, KnownByWhatTheDesktopSaysOfThem) {
    const std::string web = Program("bin/tk-web");
    const std::string mime = Program("bin/tk-mime");
    const std::string listed = Program("bin/tk-listed");
    const std::string viewer = Program("bin/tk-viewer");
    const std::string hidden = Program("bin/tk-hidden");
    const std::string snap = Program("bin/snap-runner");
    fs::create_symlink(snap, m_root / "bin/tk-snapweb");
    // A browser in a folder of its own, started by a script that runs the program beside it.
    const std::string launcher =
        Program("opt/web/tk-launch", "#!/bin/sh\nHERE=/opt/web\nexec \"$HERE/tk-web-bin\" \"$@\"\n");
    Entry("web", "Exec=tk-web %u\nCategories=Network;WebBrowser;\n");
    Entry("mime", "Exec=" + mime + " %u\nMimeType=text/html;x-scheme-handler/https;\n");
    Entry("listed", "Exec=tk-listed\n");
    Entry("viewer", "Exec=tk-viewer %f\nCategories=Utility;\nMimeType=text/html;\n");
    Entry("hidden", "Exec=tk-hidden\nCategories=WebBrowser;\nHidden=true\n");
    Entry("snapweb", "Exec=env BAMF_DESKTOP_FILE_HINT=/x.desktop " + (m_root / "bin/tk-snapweb").string() +
                         " %U\nCategories=WebBrowser;\n");
    Entry("wrapped", "Exec=\"" + launcher + "\" %U\nCategories=WebBrowser;\n");
    Entry("sandboxed", "Exec=flatpak run org.example.Web %u\nCategories=WebBrowser;\n");
    Write("config/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/http=listed.desktop;missing.desktop;\n");

    DesktopEntryBrowsers browsers = Browsers();
    const std::string opt = (m_root / "opt/web").string();
    const struct {
        std::string executable;
        bool browser;
    } cases[] = {
        {web, true},                                // category WebBrowser
        {mime, true},                               // claims https addresses
        {listed, true},                             // the user's handler of http addresses
        {viewer, false},                            // opens HTML files, not addresses
        {hidden, false},                            // an entry the user hid
        {"/snap/tk-snapweb/12/usr/lib/tk-snapweb", true},  // named by the snap's command
        {opt + "/tk-web-bin", true},                // what its script runs
        {opt + "/tk-web-b", false},                 // a name inside another
        {opt + "/tk-launch", true},
        {"/usr/bin/flatpak", false},                // a launcher is nobody's program
        // A window recorded as the entry that starts it (a sandboxed browser's) by that entry.
        {(m_root / "data/applications/web.desktop").string(), true},
        {(m_root / "data/applications/viewer.desktop").string(), false},
        {"/usr/bin/env", false},
        {"", false},
        {std::string("/usr/bin/tk-web\0x", 17), false},
    };
    for (const auto& c : cases) EXPECT_EQ(browsers.IsBrowser(c.executable), c.browser) << c.executable;

    // A handler the user names later counts from then on.
    Write("config/mimeapps.list", "[Added Associations]\nx-scheme-handler/https=viewer.desktop\n");
    EXPECT_TRUE(browsers.IsBrowser(viewer));
    EXPECT_FALSE(browsers.IsBrowser(listed));
}

}  // namespace
