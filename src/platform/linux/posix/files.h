#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace tk {

// A file read whole, or why not.
struct CappedFile {
    enum class Status { Ok, Missing, Failed };
    Status status = Status::Failed;
    std::string bytes;  // empty unless Ok
    std::string error;  // why it failed; for Missing, what the system said
    struct stat info {};  // the file's status when it was opened
};

// Reads a regular file whole in one pass, so a file replaced meanwhile is seen either before or
// after, never mixed. Refused (Failed) above `cap` bytes, or when it is no regular file: a FIFO
// planted in its place is never waited on. Missing when the file or a folder above it is not
// there.
CappedFile ReadWholeFileCapped(const std::string& path, std::size_t cap);

// The target of a symbolic link (/proc/PID/exe and the like), whatever its length; nothing when
// `path` is no link or cannot be read.
std::optional<std::string> ReadLink(const std::string& path);

// The full path of the running executable as the kernel reports it; empty when unknown.
std::string RunningExecutablePath();

// Creates `path` and its missing parents, private to the user when new; true when `path` is a
// folder afterwards.
bool MakeFolders(const std::string& path);

}  // namespace tk
