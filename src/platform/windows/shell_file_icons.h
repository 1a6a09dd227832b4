#pragma once

#include "desktop/file_icons.h"

namespace tk {

// A file's icon from SHGetFileInfoA, handed over as ARGB pixels.
class ShellFileIcons final : public FileIcons {
public:
    std::optional<FileIcon> IconOf(const std::string& path) override;
};

}  // namespace tk
