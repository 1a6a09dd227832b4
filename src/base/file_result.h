#pragma once

#include <string>

namespace tk {

// The outcome of a file operation; `error` says what failed, for the log and the user.
struct FileResult {
    bool ok = false;
    std::string error;  // empty on success
};

}  // namespace tk
