#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "base/file_result.h"

namespace tk {

// Reads a whole regular file into `bytes`; `missing` is set (and the result is ok) when it does
// not exist. Anything else at the path (a folder, a pipe, a device) is refused before a byte is
// read, and so is a file larger than `maxBytes`. On any error `bytes` is left empty.
FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing,
                         std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

}  // namespace tk
