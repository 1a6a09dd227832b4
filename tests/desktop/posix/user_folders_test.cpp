// The user's folders and the file helpers, on the process's own environment and temporary files.
#include "platform/linux/posix/user_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace tk;

namespace {

TEST(XdgUserDirs, ReadsTheFileAsTheDesktopWritesIt) {
    const std::string text =
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n"
        "XDG_DESKTOP_DIR_OLD=\"$HOME/Old\"\n"
        "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n"
        "  XDG_MUSIC_DIR = \"$HOME/a \\\"q\\\" \\\\ \\$b\"\n"
        "XDG_VIDEOS_DIR=\"relative/videos\"\n"
        "XDG_PICTURES_DIR=$HOME/unquoted\n"
        "XDG_PUBLICSHARE_DIR=\"$HOMESHARE\"\n"
        "XDG_TEMPLATES_DIR=\"$HOME\"\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/first\"\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/second\"\n"
        "XDG_SCREENSHOTS_DIR=\"$HOME/open";
    const std::string home = "/home/u";
    EXPECT_EQ(xdg::FindUserDir(text, "DESKTOP", home), "/home/u/桌面");
    EXPECT_EQ(xdg::FindUserDir(text, "DOCUMENTS", home), "/srv/docs");
    EXPECT_EQ(xdg::FindUserDir(text, "MUSIC", home), "/home/u/a \"q\" \\ $b");
    EXPECT_EQ(xdg::FindUserDir(text, "TEMPLATES", home), "/home/u");
    EXPECT_EQ(xdg::FindUserDir(text, "DOWNLOAD", home), "/home/u/second");
    // Relative, unquoted, unterminated or not really $HOME: ignored.
    EXPECT_EQ(xdg::FindUserDir(text, "VIDEOS", home), std::nullopt);
    EXPECT_EQ(xdg::FindUserDir(text, "PICTURES", home), std::nullopt);
    EXPECT_EQ(xdg::FindUserDir(text, "PUBLICSHARE", home), std::nullopt);
    EXPECT_EQ(xdg::FindUserDir(text, "SCREENSHOTS", home), std::nullopt);
    EXPECT_EQ(xdg::FindUserDir(text, "DESK", home), std::nullopt);
    EXPECT_EQ(xdg::FindUserDir("", "DESKTOP", home), std::nullopt);
}

}  // namespace
