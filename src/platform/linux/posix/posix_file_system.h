#pragma once

#include "desktop/file_system.h"

namespace tk {

// File tests through stat(2); symbolic links are followed.
class PosixFileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) const override;
    bool DirectoryExists(const std::string& path) const override;
    // A regular file this user may execute, or a desktop entry the desktop would start
    // (programs whose process runs another file are recorded as their entries).
    bool IsProgramFile(const std::string& path) const override;
};

}  // namespace tk
