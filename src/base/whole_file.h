#pragma once

#include <string>

#include "base/file_result.h"

namespace tk {

// Reads a whole file into `bytes`; `missing` is set (and the result is ok) when it does not
// exist. A directory is an error. On any error `bytes` is left empty.
FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing);

}  // namespace tk
