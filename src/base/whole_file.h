#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "base/file_result.h"

namespace tk {

// What tells one version of a file from another: a file replaced or rewritten meanwhile differs
// in at least one of these.
struct FileStamp {
    std::int64_t device = 0;
    std::int64_t inode = 0;  // the file index on Windows
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;  // since 1970
    std::int64_t changedNs = 0;   // status change; creation on Windows
    std::int64_t mode = 0;        // the attributes on Windows
    bool operator==(const FileStamp&) const = default;
};

// Reads a whole regular file into `bytes` in one pass, so a file replaced meanwhile is seen
// either before or after, never mixed; `missing` is set (and the result is ok) when it, or a
// folder above it, does not exist. Anything else at the path (a folder, a pipe, a device) is
// refused before a byte is read, and so is a file larger than `maxBytes`, or one that grows past
// it while read (files of /proc state no size). On any error `bytes` is left empty. `stamp`,
// when given, gets the stamp of the file that was read.
FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing,
                         std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max(),
                         FileStamp* stamp = nullptr);

// The stamp of the file at `path` as it is now, through links; nothing when there is none.
std::optional<FileStamp> StampOfFile(const std::string& path);

}  // namespace tk
