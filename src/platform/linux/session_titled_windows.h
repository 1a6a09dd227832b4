#pragma once

#include <memory>

#include "platform/linux/native_windows.h"
#include "platform/linux/titled_windows.h"

namespace tk {

// The windows of a Wayland session with their whole titles: the compositor's native windows,
// then the X11 programs' from XWayland. A window both list is reported once, from the X
// server, as the window backend's merge does.
class SessionTitledWindows final : public TitledWindowLister {
public:
    // Either may be null: that kind of window is not seen.
    SessionTitledWindows(std::unique_ptr<NativeWindowLister> native,
                         std::unique_ptr<TitledWindowLister> x11);

    // Not ok only when the X side broke; a compositor that cannot be asked is the window
    // backend's to tell the user about, and leaves the native windows out.
    TitledWindowList List() override;

private:
    std::unique_ptr<NativeWindowLister> m_native;
    std::unique_ptr<TitledWindowLister> m_x11;
};

}  // namespace tk
