// Loading and saving a long history (100,000 entries by default) against what the file alone
// costs, in the same run: the load against reading and parsing the same file (IniFile::Load),
// the save against writing the same bytes atomically. Run under Wine or on Windows:
//
//   tk_bench_win_history [entries...]        default 100000
//
// Times are wall clock, best of three.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "bench_docs.h"
#include "desktop/path_dialect.h"
#include "history/ini_file.h"
#include "test_history.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double BestOf3(F&& f) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {100000};
    const auto dir = std::filesystem::temp_directory_path() / "tk-win-history-bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "defualt.ini").string();
    const std::string copy = (dir / "copy.ini").string();
    tk::WindowsPathDialect dialect;
    tk::bench::AllFilesExist files;
    tk::bench::NoIcons icons;
    int status = 0;
    for (int n : sizes) {
        std::filesystem::remove(path);
        tk::test::TestHistory core(dialect, files, icons);
        core.SetSettingsPaths(path, path);
        core.LoadSettings();
        for (const tk::bench::Doc& d : tk::bench::MakeDocs(n)) {
            core.AddDoc(tk::win32::AnsiToUtf8(d.location), tk::win32::AnsiToUtf8(d.title), d.docType == 2, false);
        }
        const double save = BestOf3([&] { core.SaveSettings(); });
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string saved = bytes.str();
        const double write = BestOf3([&] { tk::WriteFileAtomically(copy, saved); });

        std::size_t loaded = 0;
        const double load = BestOf3([&] {
            tk::test::TestHistory fresh(dialect, files, icons);
            fresh.SetSettingsPaths(path, path);
            fresh.LoadSettings();
            loaded = fresh.DocHistory().size();
        });
        const double parse = BestOf3([&] { tk::IniFile(path).Load(); });
        std::printf("%d entries (%.1f MiB, loaded back %zu)\n", n,
                    static_cast<double>(saved.size()) / 1048576.0, loaded);
        std::printf("  save %8.1f ms   the same bytes written atomically %8.1f ms   ratio %.1fx\n",
                    save * 1000, write * 1000, save / write);
        std::printf("  load %8.1f ms   the same file read and parsed     %8.1f ms   ratio %.1fx\n",
                    load * 1000, parse * 1000, load / parse);
        if (loaded != static_cast<std::size_t>(n)) status = 1;
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    return status;
}
