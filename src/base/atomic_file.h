#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/file_result.h"

namespace tk {

struct AtomicWriteOptions {
    // Runs once the temporary file is written and closed, just before it replaces the target;
    // lets a caller interrupt a write at its most delicate point.
    std::function<void(const std::string& tempPath)> beforeRename;
    // Permissions of a file that did not exist yet: private unless asked otherwise.
    unsigned newFileMode = 0600;
    // Whether a file that exists keeps its own permissions; if not it gets newFileMode.
    bool keepMode = true;
    // Whether a symbolic link at the path is written through: only one the user made (it and
    // its target the user's own), so a dotfile manager's link survives. Otherwise, and
    // always when false, a link in the file's place is replaced, never followed.
    bool followOwnLink = true;
};

// Replaces `path` with `bytes` so that an interrupted write leaves the old file whole: the data
// goes to a temporary file in the same folder (".<name>.tk-XXXXXX.tmp", a name only this
// program makes), is flushed to disk, then renamed over the target.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options = {});

// The same, with the bytes handed over piece by piece: `produce` passes each piece to the sink
// it is given and returns false once the sink has (a failed write), so a large file is never
// held whole in memory.
using ByteSink = std::function<bool(std::string_view)>;
FileResult WriteFileAtomically(const std::string& path,
                               const std::function<bool(const ByteSink&)>& produce,
                               const AtomicWriteOptions& options = {});

// Removes the temporary files that writes to `path` left behind when they were killed before
// their rename, and only those; returns how many went. Call it only while holding the lock
// that keeps other writers of `path` away.
int RemoveStaleTemporaries(const std::string& path);

// Whether `name` (no folder) is the name of a temporary file of a write to `target` (its
// file name alone).
bool IsTemporaryName(std::string_view name, std::string_view target);

}  // namespace tk
