// Loading and saving the history through GetPrivateProfileStringA / WritePrivateProfileStringA,
// one key at a time as the Windows program does, against TestHistory's own INI module, in the
// same run on the same file. Run under Wine or on Windows:
//
//   tk_bench_profile [entries...]      default 1000 10000
//
// A reference pass that outlives its time budget is stopped; the ratio is then a lower bound.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <windows.h>

#include "bench_docs.h"
#include "test_history.h"
#include "desktop/path_dialect.h"
#include "history/settings.h"
#include "platform/windows/ansi_text.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kReferenceBudgetSeconds = 120.0;

using tk::bench::AllFilesExist;
using tk::bench::NoIcons;
using tk::bench::Doc;
using tk::bench::MakeDocs;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The reference save: erase the section, then four keys per entry, each written at once.
// Returns the seconds taken, negative when the budget ran out (the time spent so far).
double ProfileSave(const std::vector<Doc>& docs, const std::string& path) {
    const auto start = Clock::now();
    const char* file = path.c_str();
    WritePrivateProfileStringA("default", "CbRefresh", "1", file);
    WritePrivateProfileStringA("default", "CheckDocInterval", "12000", file);
    WritePrivateProfileStringA("docs", nullptr, nullptr, file);
    for (std::size_t k = 0; k < docs.size(); ++k) {
        const std::string n = std::to_string(k);
        WritePrivateProfileStringA("docs", ("path" + n).c_str(), docs[k].location.c_str(), file);
        WritePrivateProfileStringA("docs", ("name" + n).c_str(), docs[k].title.c_str(), file);
        WritePrivateProfileStringA("docs", ("doctype" + n).c_str(),
                                   std::to_string(docs[k].docType).c_str(), file);
        WritePrivateProfileStringA("docs", ("selected" + n).c_str(), "0", file);
        if (k % 64 == 0 && Seconds(Clock::now() - start) > kReferenceBudgetSeconds) {
            return -Seconds(Clock::now() - start);
        }
    }
    return Seconds(Clock::now() - start);
}

// The reference load: name, doctype, selected, name and path per entry until a blank name.
double ProfileLoad(const std::string& path, std::size_t& loaded) {
    const auto start = Clock::now();
    const char* file = path.c_str();
    char buffer[1024];
    loaded = 0;
    for (int k = 0;; ++k) {
        const std::string n = std::to_string(k);
        GetPrivateProfileStringA("docs", ("name" + n).c_str(), "", buffer, sizeof buffer, file);
        if (buffer[0] == '\0') break;
        GetPrivateProfileIntA("docs", ("doctype" + n).c_str(), 1, file);
        GetPrivateProfileIntA("docs", ("selected" + n).c_str(), 0, file);
        GetPrivateProfileStringA("docs", ("name" + n).c_str(), "", buffer, sizeof buffer, file);
        GetPrivateProfileStringA("docs", ("path" + n).c_str(), "", buffer, sizeof buffer, file);
        ++loaded;
        if (k % 64 == 0 && Seconds(Clock::now() - start) > kReferenceBudgetSeconds) {
            return -Seconds(Clock::now() - start);
        }
    }
    return Seconds(Clock::now() - start);
}

void Report(const char* what, int n, double ours, double reference) {
    const bool stopped = reference < 0;
    const double ref = stopped ? -reference : reference;
    std::printf("%-5s %6d entries: ours %9.4f s   private-profile %9.3f s%s   ratio %s%.0fx\n",
                what, n, ours, ref, stopped ? " (stopped)" : "", stopped ? ">= " : "",
                ref / ours);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000};
    const auto dir = std::filesystem::temp_directory_path() / "tk-profile-bench";
    std::filesystem::create_directories(dir);
    const std::string oursPath = (dir / "ours.ini").string();
    const std::string refPath = (dir / "defualt.ini").string();

    tk::WindowsPathDialect dialect;
    AllFilesExist files;
    NoIcons icons;
    for (int n : sizes) {
        const std::vector<Doc> docs = MakeDocs(n);
        std::filesystem::remove(oursPath);
        std::filesystem::remove(refPath);

        // Ours: the same entries registered, saved, then loaded by a fresh core.
        tk::test::TestHistory core(dialect, files, icons);
        core.SetSettingsPaths(oursPath, oursPath);
        core.LoadSettings();
        for (const Doc& d : docs) {
            core.AddDoc(tk::win32::AnsiToUtf8(d.location), tk::win32::AnsiToUtf8(d.title),
                        d.docType == 2, false);
        }
        auto t0 = Clock::now();
        if (!core.SaveSettings()) std::printf("our save failed: %s\n", core.LastError().c_str());
        const double oursSave = Seconds(Clock::now() - t0);
        tk::test::TestHistory fresh(dialect, files, icons);
        fresh.SetSettingsPaths(oursPath, oursPath);
        t0 = Clock::now();
        fresh.LoadSettings();
        const double oursLoad = Seconds(Clock::now() - t0);

        const double refSave = ProfileSave(docs, refPath);
        std::size_t loaded = 0;
        // Loaded from our file, which holds the same entries even when the reference save was
        // stopped (both are in the ANSI code page).
        const double refLoad = ProfileLoad(oursPath, loaded);
        // Our module reads the file the profile calls wrote, as a check that both agree.
        tk::test::TestHistory cross(dialect, files, icons);
        cross.SetSettingsPaths(refPath, oursPath + ".x");
        cross.LoadSettings();

        std::printf("%d entries: ours kept %zu, profile calls read back %zu, ours read their "
                    "file as %zu\n",
                    n, fresh.DocHistory().size(), loaded, cross.DocHistory().size());
        Report("save", n, oursSave, refSave);
        Report("load", n, oursLoad, refLoad);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
