#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tk {

struct FileResult {
    bool ok = false;
    std::string error;  // what failed, for the log; empty on success
};

// Replaces `path` with `bytes` so that an interrupted write leaves the old file whole: the data
// goes to a temporary file in the same folder, is flushed to disk, then renamed over the target.
// A symbolic link at `path` is followed, so the link itself survives.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file; `missing` is set when it does not exist.
FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing);

#ifdef _WIN32
// A UTF-8 path for the wide file calls, which take every name the file system can hold.
std::wstring WidePath(const std::string& path);
#endif

// Test seam: runs after the temporary file is written and before the rename.
void SetBeforeRenameHookForTesting(std::function<void(const std::string& tempPath)> hook);

}  // namespace tk
