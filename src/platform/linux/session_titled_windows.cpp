#include "platform/linux/session_titled_windows.h"

#include <string>
#include <utility>

namespace tk {

SessionTitledWindows::SessionTitledWindows(std::unique_ptr<NativeWindowLister> native,
                                           std::unique_ptr<TitledWindowLister> x11)
    : m_native(std::move(native)), m_x11(std::move(x11)) {}

TitledWindowList SessionTitledWindows::List() {
    TitledWindowList x;
    const bool xAsked = m_x11 != nullptr;
    if (xAsked) x = m_x11->List();
    NativeWindowList native;
    if (m_native) native = m_native->List();

    TitledWindowList all;
    all.ok = x.ok;
    all.error = std::move(x.error);
    if (native.ok) {
        XListedWindows byX;
        for (const TitledWindow& w : x.windows) byX.Add(w.title, w.pid);
        for (NativeWindow& w : native.windows) {
            // Without XWayland's own list the compositor's word is all there is.
            if (w.xwayland && xAsked && x.ok) continue;
            if (byX.Lists(w.title, w.info.pid)) continue;
            all.windows.push_back({std::move(w.title), w.info.pid,
                                   w.info.pid > 0 ? std::string() : std::move(w.info.executable)});
        }
    }
    for (TitledWindow& w : x.windows) all.windows.push_back(std::move(w));
    return all;
}

}  // namespace tk
