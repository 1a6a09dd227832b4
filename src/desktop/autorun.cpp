#include "desktop/autorun.h"

#include "base/text.h"

namespace tk {

// No failure leaves these routines: a store that throws counts as holding nothing.

bool IsAutoRun(AutoRunStore& store, const std::string& name) {
    try {
        const std::optional<std::string> path = store.Read(name);
        return path.has_value() && !TrimView(*path).empty();
    } catch (...) {
        return false;
    }
}

bool SetAutoRun(AutoRunStore& store, const std::string& name, const std::string& path,
                bool enable) {
    try {
        // The write's own answer is not trusted: what counts is what the store holds now.
        if (enable) {
            // An entry that already starts this program is the user's to keep as it is.
            if (IsAutoRun(store, name) && store.Read(name) == path) return true;
            store.Write(name, path);
            return IsAutoRun(store, name) && store.Read(name) == path;
        }
        store.Remove(name);
        return !IsAutoRun(store, name);
    } catch (...) {
        return false;
    }
}

bool MnAutoRunClickResult(AutoRunStore& store, bool ticked, const std::string& executablePath) {
    if (SetAutoRun(store, kAutoRunName, executablePath, ticked)) return ticked;
    return IsAutoRun(store, kAutoRunName);
}

}  // namespace tk
