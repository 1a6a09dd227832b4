// The Windows program's first frame and its private memory at rest, with a history of 10,000
// entries and with none, against a bare Win32 window (bare_window.cpp) started the same way in
// the same run. Run under Wine or on Windows:
//
//   tk_bench_win_startup [--runs N] [--entries N] [--verbose] [--smaps DIR] [PROGRAM.exe [BARE.exe]]
//
// Defaults: 5 runs, 10000 entries, ..\tarvokelmora.exe and tk_bench_win_bare.exe from beside
// this file. See README.md beside the source for what is measured.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_docs.h"
#include "desktop/path_dialect.h"
#include "test_history.h"

namespace {

namespace fs = std::filesystem;
bool g_verbose = false;
fs::path g_smapsDir;  // --smaps: each row's /proc smaps at rest is copied here, to see where the bytes are

double NowMs() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Row {
    const char* name;
    fs::path exe;          // the copy that runs
    const wchar_t* windowClass;
    bool history;          // lay the history beside it before each run
    std::vector<double> shown, frame, privateMiB, workingMiB, filled, cleanMiB;
    long long items = -1;  // tree rows at rest, the last run
};

struct Found { DWORD pid; const wchar_t* cls; HWND hwnd; };

HWND VisibleTopLevel(DWORD pid, const wchar_t* cls) {
    Found found{pid, cls, nullptr};
    ::EnumWindows([](HWND hwnd, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        wchar_t name[64] = {};
        ::GetClassNameW(hwnd, name, 64);
        if (owner != f->pid || lstrcmpiW(name, f->cls) != 0 || !::IsWindowVisible(hwnd)) return TRUE;
        f->hwnd = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

HWND TreeNamed(HWND window, const wchar_t* text) {
    Found found{0, text, nullptr};
    ::EnumChildWindows(window, [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        wchar_t name[64] = {}, caption[64] = {};
        ::GetClassNameW(hwnd, name, 64);
        ::GetWindowTextW(hwnd, caption, 64);
        if (lstrcmpiW(name, WC_TREEVIEWW) != 0 || lstrcmpW(caption, f->cls) != 0) return TRUE;
        f->hwnd = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

// Under Wine the private working set (PrivateUsage) reads 0; its counterpart is the process's
// anonymous pages (heaps, stacks, written copies of images), read through Wine's Z: drive from
// /proc. Clean pages of mapped files (DLLs, the theme file, fonts) are never private bytes on
// Windows, and Linux counts them private only while no other process maps the same file, so
// one program measures megabytes apart with or without another Wine program beside it: they
// are reported apart (`clean`), not in the target. The process is found by its command line,
// which holds the copy's own folder.
double WinePrivateMiB(const fs::path& exe, double& cleanMiB) {
    std::wstring tail = exe.parent_path().filename().wstring() + L"\\" + exe.filename().wstring();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(L"Z:\\proc", error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
        std::ifstream cmd(entry.path() / "cmdline", std::ios::binary);
        std::string line((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
        std::wstring wide(line.begin(), line.end());  // the paths here are ASCII
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
        if (wide.find(tail) == std::wstring::npos) continue;
        if (!g_smapsDir.empty()) {
            std::ifstream from(entry.path() / "smaps", std::ios::binary);  // /proc files report no size
            std::ofstream(g_smapsDir / (exe.parent_path().filename().wstring() + L".smaps"), std::ios::binary) << from.rdbuf();
        }
        std::ifstream rollup(entry.path() / "smaps_rollup");
        double anonymous = 0, clean = 0;
        for (std::string key; rollup >> key;) {
            if (key == "Anonymous:") rollup >> anonymous;
            if (key == "Private_Clean:") rollup >> clean;
        }
        cleanMiB = clean / 1024.0;
        return anonymous / 1024.0;
    }
    return 0;
}

// One start: to the window shown, to its first frame, then its memory at rest.
bool RunOnce(Row& row, const fs::path& history) {
    const fs::path dir = row.exe.parent_path();
    for (const char* name : {"defualt.ini", "defualt.ini.bak"}) fs::remove(dir / name);
    if (row.history) fs::copy_file(history, dir / "defualt.ini");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + row.exe.wstring() + L"\"";
    const double start = NowMs();
    if (!::CreateProcessW(row.exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir.c_str(), &startup, &info)) {
        return false;
    }
    HWND window = nullptr;
    while (!(window = VisibleTopLevel(info.dwProcessId, row.windowClass)) && NowMs() - start < 60000) ::Sleep(1);
    const double shown = NowMs() - start;
    // Both windows paint in UpdateWindow right after showing; a sent message is answered when
    // the thread is back in its loop, before anything it posted itself: the frame is out.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
    const double frame = NowMs() - start;
    bool ok = window != nullptr;
    // At rest: the history in the trees (the 全部 tree's rows there and no longer growing), then
    // four seconds from the start at least, as for the rows without a history.
    if (HWND tree = ok && row.history ? TreeNamed(window, L"全部") : nullptr) {
        long long last = -1, count = 0;
        for (int still = 0; still < 10 && NowMs() - start < 120000; ::Sleep(100)) {
            DWORD_PTR n = 0;
            ::SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 30000, &n);
            count = static_cast<long long>(n);
            still = count == last && count > 0 ? still + 1 : 0;
            last = count;
        }
        row.items = count;
        row.filled.push_back(NowMs() - start - 1000);  // less the second it had to stay still
    }
    ::Sleep(static_cast<DWORD>(std::max(0.0, 4000.0 - (NowMs() - start))));
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    ok = ok && ::GetProcessMemoryInfo(info.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    double cleanMiB = 0;
    const double privateMiB = memory.PrivateUsage != 0 ? static_cast<double>(memory.PrivateUsage) / 1048576.0
                                                       : WinePrivateMiB(row.exe, cleanMiB);
    ::TerminateProcess(info.hProcess, 0);
    ::WaitForSingleObject(info.hProcess, 10000);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    ::Sleep(1000);  // the ended process's windows and mappings gone before the next start
    if (!ok) return false;
    if (g_verbose) {
        std::printf("  %-24s shown %6.0f ms  frame %6.0f ms  private %6.1f MiB (clean file pages %4.1f)  rows %lld\n",
                    row.name, shown, frame, privateMiB, cleanMiB, row.items);
    }
    row.shown.push_back(shown);
    row.frame.push_back(frame);
    row.privateMiB.push_back(privateMiB);
    row.cleanMiB.push_back(cleanMiB);
    row.workingMiB.push_back(static_cast<double>(memory.WorkingSetSize) / 1048576.0);
    return true;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteHistory(const fs::path& path, int entries) {
    tk::WindowsPathDialect dialect;
    tk::bench::AllFilesExist files;
    tk::bench::NoIcons icons;
    tk::test::TestHistory core(dialect, files, icons);
    core.SetSettingsPaths(path.string(), path.string());
    core.LoadSettings();
    for (const tk::bench::Doc& d : tk::bench::MakeDocs(entries)) {
        core.AddDoc(tk::win32::AnsiToUtf8(d.location), tk::win32::AnsiToUtf8(d.title), d.docType == 2, false);
    }
    core.SaveSettings();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5, entries = 10000;
    std::vector<fs::path> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
        else if (a == "--entries" && i + 1 < argc) entries = std::atoi(argv[++i]);
        else if (a == "--verbose") g_verbose = true;
        else if (a == "--smaps" && i + 1 < argc) g_smapsDir = argv[++i];
        else paths.emplace_back(a);
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path here = fs::path(self).parent_path();
    const fs::path program = paths.size() > 0 ? paths[0] : here.parent_path() / "tarvokelmora.exe";
    const fs::path bare = paths.size() > 1 ? paths[1] : here / "tk_bench_win_bare.exe";
    if (!fs::exists(program) || !fs::exists(bare)) {
        std::fprintf(stderr, "missing %s or %s\n", program.string().c_str(), bare.string().c_str());
        return 2;
    }
    // Each in a folder of its own, its history beside it.
    const fs::path work = fs::temp_directory_path() / "tk-win-startup-bench";
    fs::remove_all(work);
    for (const char* sub : {"bare", "history", "empty"}) fs::create_directories(work / sub);
    fs::copy_file(bare, work / "bare" / "bare.exe");
    fs::copy_file(program, work / "history" / "tarvokelmora.exe");
    fs::copy_file(program, work / "empty" / "tarvokelmora.exe");
    const fs::path history = work / "history.ini";
    WriteHistory(history, entries);

    std::vector<Row> rows;
    rows.push_back({"bare Win32 window", work / "bare" / "bare.exe", L"TkBareWindow", false, {}, {}, {}, {}, {}, {}});
    const std::string withHistory = "program, " + std::to_string(entries) + " entries";
    rows.push_back({withHistory.c_str(), work / "history" / "tarvokelmora.exe", L"TFrmMain", true, {}, {}, {}, {}, {}, {}});
    rows.push_back({"program, no history", work / "empty" / "tarvokelmora.exe", L"TFrmMain", false, {}, {}, {}, {}, {}, {}});
    std::printf("%d runs of each (one warm-up round not counted), history file %.1f MiB\n", runs,
                static_cast<double>(fs::file_size(history)) / 1048576.0);
    for (int round = 0; round <= runs; ++round) {
        for (std::size_t k = 0; k < rows.size(); ++k) {
            Row& row = rows[(k + static_cast<std::size_t>(round)) % rows.size()];
            Row scratch = row;
            if (!RunOnce(round == 0 ? scratch : row, history)) {
                std::fprintf(stderr, "%s: no window\n", row.name);
                return 1;
            }
        }
    }
    std::printf("%-24s %10s %14s %10s %12s %12s %12s\n", "", "shown ms", "first frame ms", "(min-max)",
                "private MiB", "working MiB", "clean MiB");
    for (const Row& row : rows) {
        const auto [lo, hi] = std::minmax_element(row.frame.begin(), row.frame.end());
        std::printf("%-24s %10.0f %14.0f %4.0f-%-5.0f %12.1f %12.1f %12.1f", row.name, Median(row.shown),
                    Median(row.frame), *lo, *hi, Median(row.privateMiB), Median(row.workingMiB), Median(row.cleanMiB));
        if (row.items >= 0) {
            std::printf("   (全部: %lld rows, all shown at %.0f ms)", row.items, Median(row.filled));
        }
        std::printf("\n");
    }
    auto compare = [&](const Row& r) {
        const double ratio = Median(r.frame) / Median(rows[0].frame);
        const double extra = Median(r.privateMiB) - Median(rows[0].privateMiB);
        const double cleanExtra = Median(r.cleanMiB) - Median(rows[0].cleanMiB);
        std::printf("%-24s first frame %.2fx the bare window's (target <= 1.5x: %s), private "
                    "memory %+.1f MiB (target <= +15: %s)", r.name, ratio, ratio <= 1.5 ? "met" : "MISSED",
                    extra, extra <= 15 ? "met" : "MISSED");
        if (cleanExtra != 0) std::printf(", clean file pages %+.1f MiB more", cleanExtra);
        std::printf("\n");
    };
    compare(rows[1]);
    compare(rows[2]);
    fs::remove_all(work);
    return 0;
}
