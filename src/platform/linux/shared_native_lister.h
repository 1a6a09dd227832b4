#pragma once

#include <chrono>
#include <memory>

#include "platform/linux/native_windows.h"

namespace tk {

// One compositor list for several askers: a sweep asks for the folder titles and, moments
// later, for the windows, and a compositor's list is not cheap (a script run, a tree read).
// Each asker is handed the list last taken for another asker while it is fresh and this asker
// has not had it yet; otherwise the compositor is asked again.
class SharedNativeLister {
public:
    static constexpr std::chrono::milliseconds kFresh{2000};

    explicit SharedNativeLister(std::unique_ptr<NativeWindowLister> lister,
                                std::chrono::milliseconds fresh = kFresh);

    // A lister for one more asker; the compositor's lister lives as long as any of them.
    // Askers may list from different threads.
    std::unique_ptr<NativeWindowLister> Asker();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace tk
