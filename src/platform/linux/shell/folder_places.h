#pragma once

#include <optional>
#include <string>

namespace tk {

// What a special-folder identifier stands for on this desktop.
struct SpecialFolderTarget {
    enum class Kind {
        Folder,    // `location` is an existing folder
        Location,  // `location` is a URI the desktop's virtual file system serves
        Settings,  // the desktop's settings program
        Printers,  // the printer settings
    };
    Kind kind = Kind::Folder;
    std::string location;
    // Location only: the folder to open when no application takes the URI; may be empty.
    std::string fallbackFolder;
};

// The one table of special folders; nothing for an identifier it does not know.
std::optional<SpecialFolderTarget> ResolveSpecialFolder(int csidl);

}  // namespace tk
