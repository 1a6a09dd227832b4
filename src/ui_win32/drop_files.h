#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

namespace tk {

// One drop of files from the shell: the names in UTF-8 and the point in the client area of the
// window they were dropped on.
struct DroppedFiles {
    std::vector<std::string> files;
    POINT point{};
};

// Reads a drop handle: the count, then each name at its own length, as the shell hands them.
DroppedFiles ReadDroppedFiles(HDROP drop);

// Files dropped on one native window. The window's procedure hands every message to
// HandleMessage first; the target registers the window with the shell and forgets it when the
// window is destroyed (a window made again for the control is attached again).
class Win32DropTarget {
public:
    using Handler = std::function<void(const DroppedFiles&)>;
    using ErrorHandler = std::function<void(const std::string&)>;

    Win32DropTarget() = default;
    ~Win32DropTarget();
    Win32DropTarget(const Win32DropTarget&) = delete;
    Win32DropTarget& operator=(const Win32DropTarget&) = delete;

    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    // Where an error of the handler goes; without one it is discarded. Errors never unwind
    // through the system's message dispatch.
    void SetErrorHandler(ErrorHandler handler) { m_onError = std::move(handler); }
    // Starts accepting on `window` (DragAcceptFiles TRUE), after releasing the one before.
    void Attach(HWND window);
    // Stops accepting (DragAcceptFiles FALSE).
    void Detach();
    HWND AcceptingWindow() const { return m_accepting; }

    // True when the message was a drop and is answered here (result 0): the handler runs, and
    // the drop is finished with DragFinish in every case, also when the handler fails.
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    Handler m_handler;
    ErrorHandler m_onError;
    HWND m_accepting = nullptr;
};

}  // namespace tk
