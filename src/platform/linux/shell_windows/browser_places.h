#pragma once

#include <string>
#include <vector>

namespace tk {

enum class BrowserFamily { Firefox, Chromium };

// One folder where a browser keeps what we read: for Firefox the folder of profiles.ini, for
// Chromium's family a user-data folder (profiles inside, SingletonLock at its top).
struct BrowserPlace {
    BrowserFamily family;
    std::string folder;
    // A Flatpak sandbox runs the browser in a process-id namespace of its own: the ids its
    // locks name are the sandbox's, not ours.
    bool sandboxedPids = false;
};

// Every place, however the browser was installed: the distribution's package, Snap, Flatpak.
// Firefox's places first, in the order they are searched.
std::vector<BrowserPlace> BrowserPlaces(const std::string& home, const std::string& configHome);

}  // namespace tk
