#pragma once

#include <string>

// The settings file a long-used installation has: a history of web pages over many hosts
// (http and https), folders inside and outside the home folder, and programs that exist on
// this machine, so that each program's icon is looked up at load as it would be.
namespace tk::bench {

struct HistoryMix {
    int webPages = 0;
    int hosts = 0;  // hosts with at least one page
    int folders = 0;
    int programs = 0;
    std::string error;  // empty when the file was written
};

// Writes `path` with `entries` entries; folder entries under `home` stand for the user's.
// The same machine always gets the same file.
HistoryMix WriteHistoryFile(const std::string& path, int entries, const std::string& home);

}  // namespace tk::bench
