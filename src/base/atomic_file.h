#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/file_result.h"

namespace tk {


// Replaces `path` with `bytes` so that an interrupted write leaves the old file whole: the data
// goes to a temporary file in the same folder, is flushed to disk, then renamed over the target.
// A symbolic link at `path` is followed, so the link itself survives.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);


// Test seam: runs after the temporary file is written and before the rename.
void SetBeforeRenameHookForTesting(std::function<void(const std::string& tempPath)> hook);

}  // namespace tk
