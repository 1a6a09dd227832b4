#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/window_system.h"

namespace tk {

// What the window-to-entry matching needs of one desktop entry.
struct EntryFacts {
    std::string id;              // "org.example.App.desktop"
    std::string file;            // the entry's own file: what re-opening starts
    std::string startupWmClass;  // empty when it names none
    std::string execPath;        // the file its Exec line starts, found on PATH; empty: none
    std::string execReal;        // the same with every link followed
    std::string tryExecReal;     // its TryExec, found and followed; empty when none
    // The file its Exec line hands to its program first, followed: the script an interpreter
    // runs ("python3 /opt/app/main.py"); empty when the line names no such file.
    std::string execScriptReal;
};

// The installed desktop entries, as the matching asks for them.
class EntryCatalog {
public:
    virtual ~EntryCatalog() = default;
    // The entry of this id; nothing when none is installed, or it is hidden.
    virtual std::optional<EntryFacts> ById(const std::string& id) = 0;
    // Every entry that names a StartupWMClass.
    virtual const std::vector<EntryFacts>& WithWmClass() = 0;
};

// The entry a window belongs to. Its application id names the entry best (as given, then in
// lower case); then StartupWMClass, the key entries set for this, against the window's class,
// instance and application id, ASCII case ignored; last an entry named after the class or
// instance. Names that could not be an entry's (slashes, NUL, too long) match nothing.
std::optional<EntryFacts> EntryOfWindow(const WindowInfo& window, EntryCatalog& entries);

// The entry as the program the user starts, when it starts another file than `executable`
// (the real path of the window's process). Nothing when the entry starts that very file (by
// Exec or TryExec), or starts nothing found on PATH: those programs are recorded as they run.
// The name is the file its Exec line starts; for a launcher (env, sh, flatpak) its TryExec,
// else the entry's id without ".desktop". An entry that has its program (an interpreter) run a
// script wins too when `processFiles` (the files the process was handed, followed) holds that
// script: re-opening the interpreter alone would start nothing; it is named after the script.
std::optional<StartedProgram> StartedByEntry(const EntryFacts& entry, const std::string& executable,
                                             const std::vector<std::string>& processFiles = {});

// The files a running process was handed as arguments (not its options), relative ones taken
// from its working folder, every link followed; the ones that do not exist are left out.
std::vector<std::string> ProcessFileArguments(std::int64_t pid);

// Both of the above for a window of the desktop.
std::optional<StartedProgram> StartedProgramOfWindow(const WindowInfo& window,
                                                     const std::string& executable,
                                                     EntryCatalog& entries);

// The desktop's entries through GIO, which follows the data folders. Answers are kept until
// Refresh (once per sweep): the windows of one program share their names.
class DesktopEntryCatalog final : public EntryCatalog {
public:
    std::optional<EntryFacts> ById(const std::string& id) override;
    const std::vector<EntryFacts>& WithWmClass() override;
    void Refresh();

private:
    std::unordered_map<std::string, std::optional<EntryFacts>> m_byId;
    bool m_indexed = false;
    std::vector<EntryFacts> m_withWmClass;
};

}  // namespace tk
