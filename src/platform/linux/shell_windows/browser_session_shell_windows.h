#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/whole_file.h"
#include "desktop/shell_windows.h"
#include "platform/linux/icons/desktop_entry_browsers.h"
#include "platform/linux/shell_windows/browser_session.h"

namespace tk {

// The web pages the user's running browsers show, read (never written) from the session files
// the browsers keep: Firefox's recovery.jsonlz4 and the Session_* files of Chromium and its
// family. A browser that is not running has nothing open, whatever its files say. Private
// windows never reach those files, and a window marked private is skipped all the same.
class BrowserSessionShellWindows final : public ShellWindows {
public:
    struct Places {
        std::string home;                // the user's home folder
        std::string configHome;          // $XDG_CONFIG_HOME, normally home + "/.config"
        std::string procRoot = "/proc";  // where running processes are looked up
    };

    // The current user's folders.
    BrowserSessionShellWindows();
    // `entries`: where the desktop entries that say which programs are browsers are read.
    explicit BrowserSessionShellWindows(Places places, DesktopEntryBrowsers::Folders entries = {});

    // One window with a document for every open tab: Firefox profiles first, then Chromium's
    // family. A session file that cannot be read makes the result not ok; every other browser
    // is still listed.
    ShellWindowsResult List() override;
    // A program the desktop's entries call a web browser.
    bool IsBrowserProgram(const std::string& executable) override;

    static Places UserPlaces();

private:
    using Parser = BrowserSession (*)(std::string_view);
    struct CachedSession {
        FileStamp stamp{};
        BrowserSession session;
        bool used = false;
    };

    void ListFirefox(ShellWindowsResult& result);
    void ListChromium(ShellWindowsResult& result);
    // One session file of a running browser; nothing when there is none yet, or when it was
    // left by an earlier run (written before `since`, when the browser took its lock).
    std::optional<BrowserSession> ReadSession(const std::string& path,
                                              const std::optional<std::timespec>& since,
                                              Parser parse);

    Places m_places;
    DesktopEntryBrowsers m_browsers;
    // The last reading of each session file, kept while the file stays the same: a large
    // session takes a while to parse, and the sweep runs on the user's thread.
    std::map<std::string, CachedSession> m_cache;
};

}  // namespace tk
