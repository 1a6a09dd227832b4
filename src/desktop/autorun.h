#pragma once

#include <optional>
#include <string>

namespace tk {

// The name the program registers under: the application title.
inline constexpr char kAutoRunName[] = "TarvoKelmora";
// The installed menu entry's id, which is also the installed icon's name.
inline constexpr char kDesktopEntryId[] = "com.tarvokelmora.TarvoKelmora";

// The desktop's list of programs started at log-on, one entry a name. Implementations never throw.
class AutoRunStore {
public:
    virtual ~AutoRunStore() = default;

    // The program the entry `name` starts, possibly blank; nothing when no entry would start.
    virtual std::optional<std::string> Read(const std::string& name) = 0;
    // Makes `name` start `path` at log-on, replacing any entry of that name; false on failure.
    virtual bool Write(const std::string& name, const std::string& path) = 0;
    // Deletes the entry `name`; one that is not there is success; false on failure.
    virtual bool Remove(const std::string& name) = 0;
};

// Whether `name` is registered: its entry is present and names a program that is not blank.
bool IsAutoRun(AutoRunStore& store, const std::string& name);

// Registers `name` to start `path` (`enable`) or removes the registration. Returns whether the
// store, read back afterwards, holds what was asked: exactly `path`, or no registration. A
// refused write therefore never passes for success.
bool SetAutoRun(AutoRunStore& store, const std::string& name, const std::string& path, bool enable);

// The click on the start-at-log-on box: registers `executablePath` when `ticked`, removes the
// registration otherwise, and returns the tick the box should show: the user's choice when it
// took, else whether the program really is registered. Set the box from this result without
// running the click handling again.
bool MnAutoRunClickResult(AutoRunStore& store, bool ticked, const std::string& executablePath);

}  // namespace tk
