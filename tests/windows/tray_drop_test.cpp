#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "test_history.h"
#include "desktop/path_dialect.h"
#include "platform/windows/ansi_text.h"
#include "ui_win32/drop_files.h"
#include "platform/windows/win32_file_system.h"
#include "ui_win32/tray_icon.h"

namespace {

class NoIcons : public tk::FileIcons {
public:
    std::optional<tk::FileIcon> IconOf(const std::string&) override { return std::nullopt; }
};

LRESULT CALLBACK DropWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* target = reinterpret_cast<tk::Win32DropTarget*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (target != nullptr && target->HandleMessage(hwnd, message, wParam, lParam)) return 0;
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// A window of the test that takes dropped files as the program's trees do.
HWND MakeDropWindow(tk::Win32DropTarget& target) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DropWindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "TkDropProbe";
        return ::RegisterClassA(&wc) != 0;
    }();
    if (!registered) return nullptr;
    HWND hwnd = ::CreateWindowExA(0, "TkDropProbe", "drop", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                  nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (hwnd != nullptr) ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&target));
    return hwnd;
}

// The block the shell hands over with WM_DROPFILES: the header, then the ANSI names, each
// zero-terminated, and one zero more.
HGLOBAL MakeDropBlock(const std::vector<std::string>& ansiNames, POINT point) {
    std::size_t bytes = sizeof(DROPFILES) + 1;
    for (const auto& n : ansiNames) bytes += n.size() + 1;
    HGLOBAL block = ::GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(::GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fNC = FALSE;
    header->fWide = FALSE;
    char* out = reinterpret_cast<char*>(header + 1);
    for (const auto& n : ansiNames) {
        std::memcpy(out, n.data(), n.size());
        out += n.size() + 1;
    }
    ::GlobalUnlock(block);
    return block;
}

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::string TempFolder() {
    char path[MAX_PATH];
    ::GetTempPathA(MAX_PATH, path);
    return tk::win32::AnsiToUtf8(path);
}

bool MakeFile(const std::string& utf8Path) {
    HANDLE h = ::CreateFileA(tk::win32::Utf8ToAnsi(utf8Path).c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

}  // namespace

TEST(DropFiles, BlockReachesTheHistoryWithNamesAndPointIntact) {
    // 嘰 and 淺 end in the byte of "\" in GBK: a path split on that byte would break them.
    const std::string folder = TempFolder() + "tk嘰淺";
    ::CreateDirectoryA(tk::win32::Utf8ToAnsi(folder).c_str(), nullptr);
    const std::vector<std::string> names = {folder + "\\报告.txt", folder + "\\淺.doc"};
    for (const auto& n : names) ASSERT_TRUE(MakeFile(n)) << n;

    tk::WindowsPathDialect dialect;
    tk::Win32FileSystem files;
    NoIcons icons;
    tk::test::TestHistory history(dialect, files, icons);
    tk::Win32DropTarget target;
    std::vector<tk::DroppedFiles> drops;
    target.SetHandler([&](const tk::DroppedFiles& drop) {
        drops.push_back(drop);
        for (const auto& name : drop.files) {
            history.records().AddDroppedDoc(name);
        }
    });
    HWND window = MakeDropWindow(target);
    ASSERT_NE(window, nullptr);
    target.Attach(window);
    EXPECT_NE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);

    std::vector<std::string> ansi;
    for (const auto& n : names) ansi.push_back(tk::win32::Utf8ToAnsi(n));
    HGLOBAL block = MakeDropBlock(ansi, POINT{37, 81});
    ASSERT_TRUE(::PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0));
    Pump();

    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].files, names);
    EXPECT_EQ(drops[0].point.x, 37);
    EXPECT_EQ(drops[0].point.y, 81);
    ASSERT_EQ(history.DocHistory().size(), 2u);
    EXPECT_EQ(history.DocHistory()[0].Location, "file:///" + names[0]);
    EXPECT_EQ(history.DocHistory()[1].Location, "file:///" + names[1]);
    // DragFinish freed the block.
    EXPECT_EQ(::GlobalSize(block), 0u);

    // A failing handler still finishes the drop, and its error reaches the error handler
    // instead of unwinding through the system's dispatch.
    std::string error;
    target.SetHandler([](const tk::DroppedFiles&) { throw std::runtime_error("handler failed"); });
    target.SetErrorHandler([&](const std::string& e) { error = e; });
    HGLOBAL second = MakeDropBlock(ansi, POINT{1, 2});
    ::PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(second), 0);
    Pump();
    EXPECT_EQ(error, "handler failed");
    EXPECT_EQ(::GlobalSize(second), 0u);

    target.Detach();
    EXPECT_EQ(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    target.Attach(window);
    ::DestroyWindow(window);  // the target forgets a destroyed window
    EXPECT_EQ(target.AcceptingWindow(), nullptr);
    for (const auto& n : names) ::DeleteFileA(tk::win32::Utf8ToAnsi(n).c_str());
    ::RemoveDirectoryA(tk::win32::Utf8ToAnsi(folder).c_str());
}

TEST(TrayIcon, RecordAndMouseMessages) {
    HWND window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        tk::Win32TrayIcon icon(window, ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), "TarvoKelmora");
        const NOTIFYICONDATAA& r = icon.Record();
        EXPECT_EQ(r.cbSize, sizeof(NOTIFYICONDATAA));
        if (sizeof(void*) == 8) {
            EXPECT_NE(r.cbSize, 88u) << "the 32-bit record's size";
        }
        EXPECT_EQ(r.uID, 0u);
        EXPECT_EQ(r.uFlags, 7u);
        EXPECT_EQ(r.uCallbackMessage, 1025u);
        EXPECT_STREQ(r.szTip, "TarvoKelmora");
    }
    // A long Chinese tip is cut on a character boundary, in the ANSI code page.
    std::string longTip;
    for (int i = 0; i < 100; ++i) longTip += "嘰";
    tk::Win32TrayIcon cut(window, nullptr, longTip);
    const std::string tip = cut.Record().szTip;
    const std::size_t capacity = sizeof(cut.Record().szTip);
    EXPECT_EQ(tip.size(), (capacity - 1) / 2 * 2);  // whole two-byte characters and the terminator
    EXPECT_EQ(tk::win32::AnsiToUtf8(tip), longTip.substr(0, tip.size() / 2 * 3));

    ::DestroyWindow(window);
}
