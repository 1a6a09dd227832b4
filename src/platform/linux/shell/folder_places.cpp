#include "platform/linux/shell/folder_places.h"

#include <sys/stat.h>
#include <vector>

#include "desktop/shell.h"
#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder that is not there yet opens its nearest existing parent; the root itself is a poor
// stand-in for a personal folder, so the walk ends at home instead.
std::string NearestExistingFolder(std::string path) {
    while (!IsFolder(path)) {
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            const std::string home = xdg::HomeDir();
            return IsFolder(home) ? home : "/";
        }
        path.resize(slash);
    }
    return path;
}

// The first candidate that exists, else the nearest existing parent of the first one.
std::string FirstExistingFolder(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        if (IsFolder(candidate)) return candidate;
    }
    return NearestExistingFolder(candidates.front());
}

std::string UserFolder(const char* name, const char* englishDefault) {
    return xdg::UserDir(name).value_or(xdg::HomeDir() + "/" + englishDefault);
}

SpecialFolderTarget Folder(const std::vector<std::string>& candidates) {
    return {SpecialFolderTarget::Kind::Folder, FirstExistingFolder(candidates), {}};
}

SpecialFolderTarget Location(std::string uri, std::string fallbackFolder = {}) {
    return {SpecialFolderTarget::Kind::Location, std::move(uri), std::move(fallbackFolder)};
}

}  // namespace

std::optional<SpecialFolderTarget> ResolveSpecialFolder(int csidl) {
    using Kind = SpecialFolderTarget::Kind;
    switch (csidl) {
        // The virtual desktop shows what its folder holds.
        case kCsidlDesktop:
        case kCsidlDesktopDirectory:
            return Folder({UserFolder("DESKTOP", "Desktop")});
        case kCsidlPersonal:
            return Folder({UserFolder("DOCUMENTS", "Documents")});
        case kCsidlCommonDocuments:
            return Folder({UserFolder("PUBLICSHARE", "Public")});

        // Virtual folders come from the desktop's virtual file system; without it, the drives
        // still hang below the root and the trash still has its folder on disk.
        case kCsidlDrives:
            return Location("computer:///", "/");
        case kCsidlNetwork:
        case kCsidlNetHood:
            return Location("network:///");
        case kCsidlBitBucket:
            return Location("trash:///", FirstExistingFolder({xdg::DataHome() + "/Trash/files"}));
        case kCsidlHistory:
            return Location("recent:///");

        case kCsidlControls:
            return SpecialFolderTarget{Kind::Settings, {}, {}};
        case kCsidlPrinters:
        case kCsidlPrintHood:
            return SpecialFolderTarget{Kind::Printers, {}, {}};

        // Bookmarks live in the file manager's side pane, which every window on home shows;
        // no desktop keeps bookmarks for all users.
        case kCsidlFavorites:
        case kCsidlCommonFavorites:
            return Folder({xdg::HomeDir()});

        case kCsidlPrograms:
        case kCsidlStartMenu:
            return Folder({xdg::DataHome() + "/applications"});
        case kCsidlCommonPrograms:
        case kCsidlCommonStartMenu:
            return Folder({"/usr/share/applications"});
        case kCsidlStartup:
            return Folder({xdg::ConfigHome() + "/autostart"});
        case kCsidlCommonStartup: {
            std::vector<std::string> candidates;
            for (const std::string& dir : xdg::ConfigDirs())
                candidates.push_back(dir + "/autostart");
            return Folder(candidates);
        }
        // No desktop shared by all users: the desktop every new account starts with, else the
        // launchers installed for everyone.
        case kCsidlCommonDesktopDirectory:
            return Folder({"/etc/skel/Desktop", "/usr/share/applications"});

        case kCsidlFonts:
            return Folder(
                {xdg::DataHome() + "/fonts", xdg::HomeDir() + "/.fonts", "/usr/share/fonts"});
        case kCsidlInternetCache:
            return Folder({xdg::CacheHome()});
        // Browsers keep cookies inside their profiles.
        case kCsidlCookies:
            return Folder({xdg::HomeDir() + "/.mozilla/firefox", xdg::ConfigHome() + "/chromium",
                           xdg::ConfigHome() + "/google-chrome"});
        // The file managers' own "send to": scripts and actions on the selected files.
        case kCsidlSendTo:
            return Folder({xdg::DataHome() + "/nautilus/scripts", xdg::DataHome() + "/nemo/scripts",
                           xdg::DataHome() + "/file-manager/actions"});
        case kCsidlProgramFiles:
            return Folder({"/opt"});
        default:
            return std::nullopt;
    }
}

}  // namespace tk
