#pragma once

#include "desktop/file_system.h"

namespace tk {

// Existence tests through GetFileAttributesA.
class Win32FileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) const override;
    bool DirectoryExists(const std::string& path) const override;
};

}  // namespace tk
