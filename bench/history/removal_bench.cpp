// Removing one entry from a long history, as the program does it (its own nodes out, the rest
// of the history handed to the writer thread), against registering every remaining record
// again as a fresh load does, in the same run. Checks on the way that the trees after each
// removal are the trees a fresh load of the saved file builds, pictures included.
//
//   build/bench/tk_bench_removal            1,000, 10,000 and 100,000 entries
//   build/bench/tk_bench_removal --quick    1,000 and 10,000
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/worker_thread.h"
#include "test_history.h"
#include "workload.h"

namespace fs = std::filesystem;
using tk::test::TestHistory;

namespace {

class AllFilesExist final : public tk::FileSystem {
public:
    bool FileExists(const std::string&) const override { return true; }
    bool DirectoryExists(const std::string&) const override { return false; }
};

// Each program its own icon, named by its file, so a picture can be told from another.
class FileIcons final : public tk::FileIcons {
public:
    std::optional<tk::FileIcon> IconOf(const std::string& path) override {
        tk::FileIcon icon;
        icon.filePath = path;
        return icon;
    }
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every tree in order, each node with the picture it shows (an icon by its file).
std::vector<std::string> Shown(TestHistory& h) {
    std::vector<std::string> out;
    for (int page = 0; page < 4; ++page) {
        h.TreeOfPage(page)->ForEach([&](const tk::TreeNode& node) {
            const int image = node.ImageIndex();
            const std::string picture = image < tk::ImageList::kBuiltInCount
                                            ? std::to_string(image)
                                            : h.Images().At(image)->filePath;
            out.push_back(std::to_string(page) + (node.Parent() ? "  " : " ") + std::string(node.Text()) + " [" +
                          picture + "] #" + std::to_string(node.Data().Index));
        });
    }
    return out;
}

struct Result {
    double worst = 0, median = 0;  // the window's thread held, per removal
    double reload = 0;             // a fresh load of the same file
    int rebuilds = 0;
    bool same = true;
};

Result Run(int entries, const fs::path& dir) {
    const tk::PosixPathDialect dialect{tk::bench::kHome};
    const AllFilesExist files;
    FileIcons icons;
    const std::string file = (dir / ("removal" + std::to_string(entries) + ".ini")).string();
    fs::remove(file);
    TestHistory h(dialect, files, icons);
    h.SetSettingsPaths(file, file);
    h.LoadSettings();
    for (const tk::bench::Registration& call : tk::bench::MakeWorkload(entries).calls) {
        h.AddDoc(call.location, call.title, call.isExplicit, false);
    }
    tk::WorkerThread writer(tk::StderrDiagnostics());
    h.SetSaveWriter(&writer);
    h.SaveSettings();
    writer.Flush();

    Result result;
    std::vector<double> held;
    // The first, last and some between: heads of groups others joined, lone pages, programs.
    for (int step = 0; step < 9; ++step) {
        const int count = static_cast<int>(h.DocHistory().size());
        const int index = step == 0 ? 0 : step == 8 ? count - 1 : count * step / 8;
        const auto start = std::chrono::steady_clock::now();
        h.records().DeleteSelectDocs(index);
        const double removed = Since(start);
        h.SaveSettings();  // what the writer gets handed
        held.push_back(Since(start));
        if (std::getenv("TK_BENCH_SPLIT")) std::printf("   removal %.2f ms, save handed %.2f ms\n", removed * 1e3, (held.back() - removed) * 1e3);
        writer.Flush();
        if (step % 4 != 0) continue;
        TestHistory fresh(dialect, files, icons);
        fresh.SetSettingsPaths(file, file);
        const auto load = std::chrono::steady_clock::now();
        fresh.LoadSettings();
        const double reload = Since(load);
        result.reload = result.reload == 0 ? reload : std::min(result.reload, reload);
        result.same = result.same && fresh.DocHistory() == h.DocHistory() && Shown(fresh) == Shown(h);
    }
    std::sort(held.begin(), held.end());
    result.worst = held.back();
    result.median = held[held.size() / 2];
    result.rebuilds = h.trees().Rebuilds();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const fs::path dir = fs::temp_directory_path() / ("tk-removal-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("Removing one entry (9 removals at spread positions; wall time the caller is held, "
                "the save's writing on its own thread)\nagainst a fresh load of the same history "
                "(every record registered again, as a removal did before).\n\n");
    std::printf("%8s %12s %12s %12s %8s %9s %s\n", "entries", "worst held", "median held",
                "fresh load", "ratio", "rebuilds", "trees as a fresh load's");
    bool allSame = true;
    bool met = true;
    std::vector<int> sizes{1000, 10000};
    if (!quick) sizes.push_back(100000);
    for (int entries : sizes) {
        const Result r = Run(entries, dir);
        std::printf("%8d %10.2f ms %10.2f ms %10.1f ms %7.0fx %9d %s\n", entries, r.worst * 1e3,
                    r.median * 1e3, r.reload * 1e3, r.reload / r.worst, r.rebuilds,
                    r.same ? "yes" : "NO");
        std::fflush(stdout);
        allSame = allSame && r.same;
        if (entries == 100000) met = r.worst <= 0.020;
    }
    fs::remove_all(dir);
    if (!quick) std::printf("\nTarget at 100,000: a removal holds the window's thread at most 20 ms: %s\n", met ? "met" : "MISSED");
    return allSame ? 0 : 1;
}
