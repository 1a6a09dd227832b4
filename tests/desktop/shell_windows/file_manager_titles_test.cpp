// What file managers' titles and settings files say, read without a desktop.
#include "platform/linux/shell_windows/file_manager_titles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace tk
