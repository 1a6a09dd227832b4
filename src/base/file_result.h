#pragma once

#include <string>

namespace tk {

// Why a file could not be taken as it is; lets the window say it in the user's words.
enum class FileProblem { None, NotRegular, TooLarge, Unreadable };

// The outcome of a file operation; `error` says what failed, for the log and the user.
struct FileResult {
    bool ok = false;
    std::string error;  // empty on success
    FileProblem problem = FileProblem::None;
};

}  // namespace tk
