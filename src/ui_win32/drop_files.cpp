#include "ui_win32/drop_files.h"

#include <shellapi.h>

#include <exception>

#include "platform/windows/ansi_text.h"

namespace tk {

DroppedFiles ReadDroppedFiles(HDROP drop) {
    DroppedFiles out;
    ::DragQueryPoint(drop, &out.point);
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    out.files.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
        const UINT copied = ::DragQueryFileA(drop, i, buffer.data(), length + 1);
        buffer.resize(copied <= length ? copied : length);
        out.files.push_back(win32::AnsiToUtf8(buffer));
    }
    return out;
}

Win32DropTarget::~Win32DropTarget() { Detach(); }

void Win32DropTarget::Attach(HWND window) {
    if (window == m_accepting) return;
    Detach();
    if (window == nullptr) return;
    m_accepting = window;
    ::DragAcceptFiles(window, TRUE);
}

void Win32DropTarget::Detach() {
    if (m_accepting == nullptr) return;
    if (::IsWindow(m_accepting)) ::DragAcceptFiles(m_accepting, FALSE);
    m_accepting = nullptr;
}

bool Win32DropTarget::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            try {
                if (m_handler) m_handler(ReadDroppedFiles(drop));
            } catch (const std::exception& e) {
                if (m_onError) m_onError(e.what());
            } catch (...) {
                if (m_onError) m_onError("unknown error");
            }
            ::DragFinish(drop);
            return true;
        }
        case WM_DESTROY:
            // The window goes; the shell forgets it with it. A new window for the same
            // control is attached again when it is made.
            if (window == m_accepting) Detach();
            return false;
        default:
            return false;
    }
}

}  // namespace tk
