#pragma once

// Tests that need something the test set-up installs (a browser, a validator, a display for
// Wine). Under CI (CI=true) a missing part fails the test: a run that skips it would pass
// without having tested anything. Elsewhere the test is skipped with the reason.
//
// TK_TEST_HIDE_TOOLS=name[:name...] makes those tools count as missing, to see the failure by
// hand without uninstalling anything.

#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tk::test {

inline bool InCi() {
    const char* value = std::getenv("CI");
    std::string ci = value != nullptr ? value : "";
    for (char& c : ci) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ci == "true" || ci == "1" || ci == "yes" || ci == "on";
}

// Whether `name` is one of the colon-separated names in `list`.
inline bool ListedIn(std::string_view list, std::string_view name) {
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        if (list.substr(0, colon) == name) return true;
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return false;
}

inline bool ToolHidden(std::string_view name) {
    const char* hidden = std::getenv("TK_TEST_HIDE_TOOLS");
    return hidden != nullptr && ListedIn(hidden, name);
}

#ifndef _WIN32
// An executable of that name in a folder of $PATH.
inline bool HaveTool(std::string_view name) {
    if (ToolHidden(name)) return false;
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::string dir(dirs.substr(0, colon));
        if (!dir.empty() && ::access((dir + "/" + std::string(name)).c_str(), X_OK) == 0) {
            return true;
        }
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return false;
}
#endif

}  // namespace tk::test

// Ends the test when `available` is false: failed under CI, skipped elsewhere. Only in a test
// body or another function returning void, like gtest's own FAIL and GTEST_SKIP.
#define TK_REQUIRE(available, why)                                                 \
    do {                                                                           \
        if (!(available)) {                                                        \
            const std::string tkRequireWhy_ = (why);                               \
            if (::tk::test::InCi()) {                                              \
                FAIL() << tkRequireWhy_ << " (CI=true: the test set-up provides it)"; \
            } else {                                                               \
                GTEST_SKIP() << tkRequireWhy_;                                     \
            }                                                                      \
        }                                                                          \
    } while (false)

#define TK_REQUIRE_TOOL(name) \
    TK_REQUIRE(::tk::test::HaveTool(name), std::string(name) + " is not installed")
