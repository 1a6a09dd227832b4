#pragma once

#include <cstdint>
#include <string>

namespace tk {

// Document types as stored in the history file.
enum DocTypeValue : std::int32_t {
    kDocTypeWebPage = 1,
    kDocTypeProgram = 2,
    kDocTypeFolder = 3,
};

// One recorded document. Fields keep their historical names: they are the history file's
// vocabulary and every caller speaks it.
struct TMyDoc {
    std::string Name;      // group name: a URL's host, or a folder's first-level folder
    std::string Location;  // identity for the duplicate test
    std::string Title;     // title, or a folder's local path
    std::uint8_t Selected = 0;
    std::int32_t DocType = kDocTypeWebPage;

    bool operator==(const TMyDoc&) const = default;
};

}  // namespace tk
