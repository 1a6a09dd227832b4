#pragma once

#include <string>

namespace tk {

// True when a file can be created in `dir` (tried for real: permission bits lie to root, and
// a folder's attributes say nothing of its access list).
bool DirectoryIsWritable(const std::string& dir);

// Creates `path` and every missing folder above it, readable by the owner only when new; true
// when `path` is a folder afterwards.
bool MakeDirectories(const std::string& path);

// True when anything exists at `path`.
bool PathExists(const std::string& path);

}  // namespace tk
