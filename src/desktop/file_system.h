#pragma once

#include <string>

namespace tk {

// File-system tests the core's rules need.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True when something other than a directory exists at `path`.
    virtual bool FileExists(const std::string& path) const = 0;
    // True when a directory exists at `path`.
    virtual bool DirectoryExists(const std::string& path) const = 0;
    // True when `path` is a file the system would run as a program.
    virtual bool IsProgramFile(const std::string& path) const { return FileExists(path); }
};

}  // namespace tk
