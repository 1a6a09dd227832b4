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

// True when `dir` lies in the folder Windows keeps installed programs in for every user
// (%ProgramFiles%, its 32-bit twin); always false elsewhere. Such a folder is often writable
// (by administrators, by everyone under Wine), yet no one user's history belongs there.
bool InProgramFilesFolder(const std::string& dir);

}  // namespace tk
