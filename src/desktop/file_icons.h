#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tk {

// An icon as a backend hands it over. The core only stores and passes it on; the UI turns it
// into a picture: a theme icon by name, an icon file, or raw pixels.
struct FileIcon {
    std::string themeName;
    std::string filePath;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // width * height pixels, premultiplied is not assumed

    bool operator==(const FileIcon&) const = default;
};

class FileIcons {
public:
    virtual ~FileIcons() = default;
    // The icon the desktop shows for the file at `path`; nothing when it cannot be taken.
    virtual std::optional<FileIcon> IconOf(const std::string& path) = 0;
};

}  // namespace tk
