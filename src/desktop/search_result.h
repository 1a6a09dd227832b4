#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"

namespace tk {

// One history entry as the desktop's search shows it.
struct SearchResult {
    std::string id;        // what opening it names again: the entry's location
    std::string text;      // the text 全部 shows
    std::string kind;      // 软件, 文件夹 or 网页
    std::string location;  // where it leads
    std::string icon;      // a themed icon name for its kind
};

// What the desktop's search asks of the program.
struct DesktopSearchHandlers {
    std::function<std::vector<SearchResult>(std::string_view query, std::size_t limit)> search;
    std::function<bool(const std::string& id)> open;
    std::function<void()> showAll;  // the user asked to see every result: the window
};

// The history offered where the desktop searches, for as long as this lives.
class DesktopSearch {
public:
    virtual ~DesktopSearch() = default;
};

// Nothing where the desktop has no search to offer it to. Trouble offering it is reported to
// `diagnostics`, which must outlive what is returned.
std::unique_ptr<DesktopSearch> OfferDesktopSearch(DesktopSearchHandlers handlers, Diagnostics& diagnostics);

}  // namespace tk
