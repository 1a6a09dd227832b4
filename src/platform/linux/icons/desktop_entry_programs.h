#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// GIO's type, named here so that readers of this header need no GIO headers of their own.
typedef struct _GDesktopAppInfo GDesktopAppInfo;

namespace tk {

// Shared by the icon lookup and the app-id lookup: what a desktop entry runs.

// A program named the way an entry names it (bare name or path) as its real path on disk;
// empty when it is not found.
std::string ResolveEntryProgram(const char* program);

// Launchers that run some other program (env, sh, flatpak…): the process that shows a window
// is not them, so only the entry's TryExec can tell which program the entry starts.
bool IsEntryLauncher(const std::string& executable);

// Every installed desktop entry that names its windows' class (StartupWMClass), with that class.
void ForEachEntryWithWmClass(const std::function<void(GDesktopAppInfo* info, const char* wmClass)>& visit);

// The program a Wayland window belongs to, from its app id: the desktop entry of that id
// (as given, then in lower case), else the entry whose StartupWMClass is the id, else a
// program of that name on $PATH. Entries come from GIO, which follows the data folders and
// notices entries installed later.
class DesktopEntryPrograms {
public:
    // The executable's real path; empty when no entry or program matches.
    std::string ExecutableOfAppId(const std::string& appId);
    // Forget what was looked up, read again at the next lookup (once per sweep).
    void Refresh();

private:
    void IndexWmClasses();

    std::string Lookup(const std::string& appId);

    std::unordered_map<std::string, std::string> m_found;  // app id -> executable, this sweep
    bool m_indexed = false;
    std::vector<std::pair<std::string, std::string>> m_wmClassExecutables;  // lower-cased class
};

}  // namespace tk
