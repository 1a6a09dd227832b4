#pragma once

#include <optional>
#include <string>

#include "desktop/autorun.h"

namespace tk {

// Log-on registration as XDG autostart entries: `<name>.desktop` in the user's autostart folder,
// which every desktop following the autostart rules starts at log-on.
//
// Read answers what the session would start: nothing when the file is missing, unreadable, not
// a regular file or no key file the desktop would load, has no [Desktop Entry] group, is not Type=Application, is Hidden or switched
// off with X-GNOME-Autostart-enabled=false, has no Exec or an unbalanced quote in it; otherwise
// the program of Exec (its first word, quoting and %% undone). Arguments someone added by hand
// are not part of the answer.
//
// Write refuses (returns false, touches nothing) a blank path, one that is not UTF-8 and one with
// control characters other than tab, newline and carriage return, which an entry cannot hold.
// Those three are escaped, so a path can never add lines or keys to the entry.
class XdgAutostartStore final : public AutoRunStore {
public:
    // The user's folder: $XDG_CONFIG_HOME/autostart, else ~/.config/autostart.
    XdgAutostartStore();
    explicit XdgAutostartStore(std::string folder);

    std::optional<std::string> Read(const std::string& name) override;
    bool Write(const std::string& name, const std::string& path) override;
    bool Remove(const std::string& name) override;

    const std::string& Folder() const { return m_folder; }
    // Where the entry of `name` lives; empty for a name that cannot be a file name.
    std::string EntryPath(const std::string& name) const;
    // Read's answer for an entry's text: anyone can write the folder, so this is fuzzed.
    static std::optional<std::string> ProgramOfEntry(const std::string& text);

private:
    std::string m_folder;
};

}  // namespace tk
