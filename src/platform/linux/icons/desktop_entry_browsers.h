#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/linux/icons/desktop_entry_folders.h"

namespace tk {

// Which programs are web browsers, by what the desktop says, not by their names: the programs
// of desktop entries in the category WebBrowser or handling http and https addresses (by their
// own MimeType, or as the mimeapps.list files of the user, the desktop and the system name
// them). A browser's windows show pages: it is never recorded as a program of its own.
class DesktopEntryBrowsers {
public:
    struct Folders {
        std::vector<std::string> dataDirs;    // empty: the desktop's, the user's first
        std::vector<std::string> configDirs;  // empty: $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
    };
    // Which entries count. File managers reuse the same reading: their category, the folder
    // type the user's default handler is listed for, and entries that open folders and nothing
    // else (editors open folders too, among their files: that alone says nothing).
    struct Kind {
        std::string category;
        std::vector<std::string> types;
        bool onlyFolderTypes = false;        // an entry's own MimeType counts only if all folders
        bool addedAssociationsCount = true;  // mimeapps.list "Added Associations" count
        // A program of the same file name anywhere counts (a snap's browser runs a program of
        // its command's name inside the snap). File managers come from the distribution: only
        // the program their entry starts counts, not a file of that name under /tmp.
        bool sameNameCounts = true;
    };
    static Kind WebBrowsers() { return {"WebBrowser", {"x-scheme-handler/http", "x-scheme-handler/https"}}; }
    static Kind FileManagers() { return {"FileManager", {"inode/directory"}, true, false, false}; }

    explicit DesktopEntryBrowsers(Folders folders = {}, Kind kind = WebBrowsers());
    // One index of the file managers for every reader of their windows: each index reads
    // every desktop entry, so the readers share it rather than build one each.
    static std::shared_ptr<DesktopEntryBrowsers> FileManagerIndex(Folders folders = {}) {
        return std::make_shared<DesktopEntryBrowsers>(std::move(folders), FileManagers());
    }

    // Whether the program at `executable` (a real path, as /proc gives it, or the path of the
    // desktop entry that starts it) is a browser's.
    bool IsBrowser(const std::string& executable);

private:
    // A browser started through a script of its own (in a folder of its own, not on $PATH)
    // runs a program beside it that the script names.
    struct Wrapper {
        std::string folder;
        std::string text;
    };

    void Rebuild();
    // The entry ids mimeapps.list files give the kind's types to.
    std::unordered_set<std::string> ListedHandlers();
    void AddPrograms(const std::string& entryFile);
    void AddProgram(const std::string& named);

    Folders m_folders;
    Kind m_kind;
    bool m_built = false;
    PathStamps m_stamps;
    std::unordered_set<std::string> m_paths;  // real paths of the entries' programs
    std::unordered_set<std::string> m_names;  // their file names, as written and as resolved
    std::vector<Wrapper> m_wrappers;
    std::unordered_set<std::string> m_entries;  // the kind's entry files, by path
};

}  // namespace tk
