#include "platform/linux/shell_windows/browser_places.h"

#include <array>
#include <string_view>

namespace tk {

namespace {

enum class Root { Home, Config };
enum class Packaging { System, Snap, Flatpak };

struct PlaceRow {
    BrowserFamily family;
    Packaging packaging;
    // Snap: the snap's name; Flatpak: the application id; else unused.
    std::string_view app;
    // Below home (Root::Home) or $XDG_CONFIG_HOME (Root::Config) for the system's browsers;
    // below the snap's or the Flatpak application's own home for the others.
    Root root;
    std::string_view path;
};

using enum BrowserFamily;
using enum Packaging;

// A Snap keeps its user data under ~/snap/<name>/ ("common" for what outlives revisions,
// "current" for the revision's own); a Flatpak under ~/.var/app/<id>/, where the browser's
// $XDG_CONFIG_HOME is "config".
constexpr std::array kPlaces = {
    PlaceRow{Firefox, System, "", Root::Home, ".mozilla/firefox"},
    PlaceRow{Firefox, System, "", Root::Config, "mozilla/firefox"},
    PlaceRow{Firefox, Snap, "firefox", Root::Home, "common/.mozilla/firefox"},
    PlaceRow{Firefox, Snap, "firefox", Root::Home, "current/.config/mozilla/firefox"},
    PlaceRow{Firefox, Flatpak, "org.mozilla.firefox", Root::Home, ".mozilla/firefox"},
    PlaceRow{Firefox, Flatpak, "org.mozilla.firefox", Root::Config, "mozilla/firefox"},

    PlaceRow{Chromium, System, "", Root::Config, "chromium"},
    PlaceRow{Chromium, System, "", Root::Config, "google-chrome"},
    PlaceRow{Chromium, System, "", Root::Config, "google-chrome-beta"},
    PlaceRow{Chromium, System, "", Root::Config, "google-chrome-unstable"},
    PlaceRow{Chromium, System, "", Root::Config, "BraveSoftware/Brave-Browser"},
    PlaceRow{Chromium, System, "", Root::Config, "BraveSoftware/Brave-Browser-Beta"},
    PlaceRow{Chromium, System, "", Root::Config, "BraveSoftware/Brave-Browser-Nightly"},
    PlaceRow{Chromium, System, "", Root::Config, "microsoft-edge"},
    PlaceRow{Chromium, System, "", Root::Config, "microsoft-edge-beta"},
    PlaceRow{Chromium, System, "", Root::Config, "microsoft-edge-dev"},
    PlaceRow{Chromium, Snap, "chromium", Root::Home, "common/chromium"},
    PlaceRow{Chromium, Snap, "brave", Root::Home, "current/.config/BraveSoftware/Brave-Browser"},
    PlaceRow{Chromium, Flatpak, "org.chromium.Chromium", Root::Config, "chromium"},
    PlaceRow{Chromium, Flatpak, "io.github.ungoogled_software.ungoogled_chromium", Root::Config,
             "chromium"},
    PlaceRow{Chromium, Flatpak, "com.google.Chrome", Root::Config, "google-chrome"},
    PlaceRow{Chromium, Flatpak, "com.brave.Browser", Root::Config, "BraveSoftware/Brave-Browser"},
    PlaceRow{Chromium, Flatpak, "com.microsoft.Edge", Root::Config, "microsoft-edge"},
};

}  // namespace

std::vector<BrowserPlace> BrowserPlaces(const std::string& home, const std::string& configHome) {
    std::vector<BrowserPlace> places;
    places.reserve(kPlaces.size());
    for (const PlaceRow& row : kPlaces) {
        std::string base;
        switch (row.packaging) {
            case System: base = row.root == Root::Home ? home : configHome; break;
            case Snap: base = home + "/snap/" + std::string(row.app); break;
            case Flatpak:
                base = home + "/.var/app/" + std::string(row.app) +
                       (row.root == Root::Config ? "/config" : "");
                break;
        }
        places.push_back({row.family, base + "/" + std::string(row.path), row.packaging == Flatpak});
    }
    return places;
}

}  // namespace tk
