// Searching a long history as the desktop's search and the launchers do (the shown text in any
// case, then the pinyin of its Chinese characters, ranked), against a plain linear scan of the
// same shown texts for the same query in the same run.
//
//   build/bench/tk_bench_search            10,000 and 100,000 entries
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "desktop/path_dialect.h"
#include "history/doc_records.h"
#include "search/history_search.h"
#include "workload.h"

namespace {

using Clock = std::chrono::steady_clock;

// Chinese names among the folders, as a Chinese user's history has them.
constexpr const char* kChineseFolders[] = {"我的文档", "下载", "图片", "工作/报告", "音乐"};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
double Best(F&& run) {
    double best = 1e18;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, Milliseconds(Clock::now() - start));
    }
    return best;
}

}  // namespace

int main() {
    tk::PosixPathDialect dialect(tk::bench::kHome);
    std::printf("%10s %-12s %8s %12s %12s %8s\n", "entries", "query", "found", "search ms", "scan ms", "ratio");
    for (int entries : {10000, 100000}) {
        tk::DocRecords records(dialect, tk::StderrDiagnostics());
        const tk::bench::Workload work = tk::bench::MakeWorkload(entries);
        int n = 0;
        for (const auto& call : work.calls) {
            std::string location = call.location;
            std::string title = call.title;
            if (location.starts_with("file://") && ++n % 3 == 0) {
                const std::string name = kChineseFolders[n % std::size(kChineseFolders)];
                location += "/" + name;
                title += "/" + name;
            }
            records.AddDoc(location, title, call.isExplicit, call.selected);
        }
        const auto& docs = records.DocHistory();
        for (const char* query : {"wdwd", "xiazai", "index", "xterm", "zzzz"}) {
            std::size_t found = 0;
            const double search = Best([&] { found = tk::SearchHistory(docs, dialect, query, 50).size(); });
            std::size_t scanned = 0;
            const double scan = Best([&] {
                scanned = 0;
                for (const tk::TMyDoc& doc : docs) {
                    if (tk::LowerAscii(tk::ShownText(doc, dialect)).find(query) != std::string::npos) ++scanned;
                }
            });
            std::printf("%10zu %-12s %8zu %12.2f %12.2f %7.2fx\n", docs.size(), query, found, search, scan,
                        search / scan);
        }
    }
    return 0;
}
