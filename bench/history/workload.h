#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A deterministic history as the sweep would offer it: web pages spread over many hosts with
// several pages each (http and https), folders under a handful of groups inside and outside
// the home folder, and programs; every few calls the sweep offers again something it already
// recorded.
namespace tk::bench {

inline constexpr const char* kHome = "/home/u";

struct Registration {
    std::string location;
    std::string title;
    bool isExplicit = false;
    bool selected = false;
    bool repeat = false;  // offers a location recorded earlier
};

struct Workload {
    std::vector<Registration> calls;
    int newEntries = 0;
    int webPages = 0;
    int httpsPages = 0;
    int hosts = 0;
    int folders = 0;
    int folderGroups = 0;
    int programs = 0;
    int repeats = 0;
};

// `entries` distinct entries, plus one repeat after every fourth of them. The same `entries`
// always gives the same calls, and a smaller workload is not a prefix of a larger one (the
// host and group counts grow with `entries`).
Workload MakeWorkload(int entries);

}  // namespace tk::bench
