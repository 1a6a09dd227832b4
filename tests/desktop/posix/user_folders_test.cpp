// The user's folders, from the process's own environment and the password database.
#include "platform/linux/posix/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "platform/linux/shell_windows/browser_session_shell_windows.h"

using namespace tk;

namespace {

// Sets or unsets one variable for the life of the object, then puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value != nullptr) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old) ::setenv(m_name, m_old->c_str(), 1);
        else ::unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string PasswordHome() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/' ? pw->pw_dir : "/";
}

// With "/" for a home, folders below it must not start with "//".
std::string Below(const std::string& home, const std::string& name) {
    return (home == "/" ? home : home + "/") + name;
}

TEST(HomeDir, HomeWhenAbsoluteElseThePasswordDatabase) {
    ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
    ScopedEnv noData("XDG_DATA_HOME", nullptr);
    {
        ScopedEnv home("HOME", "/srv/someone");
        EXPECT_EQ(xdg::HomeDir(), "/srv/someone");
        EXPECT_EQ(xdg::ConfigHome(), "/srv/someone/.config");
        EXPECT_EQ(xdg::DataHome(), "/srv/someone/.local/share");
    }
    // Unset, empty or relative: the password database decides, in every part of the backend.
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/home", "~"}) {
        ScopedEnv home("HOME", value);
        const std::string expected = PasswordHome();
        EXPECT_EQ(xdg::HomeDir(), expected) << (value ? value : "(unset)");
        EXPECT_EQ(xdg::ConfigHome(), Below(expected, ".config"));
        const auto places = BrowserSessionShellWindows::UserPlaces();
        EXPECT_EQ(places.home, expected);
        EXPECT_EQ(places.configHome, Below(expected, ".config"));
    }
    // A relative XDG value is ignored like a relative HOME.
    ScopedEnv home("HOME", "/srv/someone");
    ScopedEnv config("XDG_CONFIG_HOME", "config");
    EXPECT_EQ(xdg::ConfigHome(), "/srv/someone/.config");
    ScopedEnv absolute("XDG_CONFIG_HOME", "/etc/someone");
    EXPECT_EQ(xdg::ConfigHome(), "/etc/someone");
}

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
