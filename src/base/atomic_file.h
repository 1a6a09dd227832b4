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
};

// Replaces `path` with `bytes` so that an interrupted write leaves the old file whole: the data
// goes to a temporary file in the same folder, is flushed to disk, then renamed over the target.
// A symbolic link at `path` is followed, so the link itself survives.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options = {});

}  // namespace tk
