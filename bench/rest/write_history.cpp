// Writes the start-up benchmark's long history for the rest benchmark:
//   tk_bench_rest_history PATH ENTRIES HOME
#include <cstdio>
#include <cstdlib>

#include "history_file.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PATH ENTRIES HOME\n", argv[0]);
        return 2;
    }
    const tk::bench::HistoryMix mix = tk::bench::WriteHistoryFile(argv[1], std::atoi(argv[2]), argv[3]);
    std::printf("%d pages, %d folders, %d programs\n", mix.webPages, mix.folders, mix.programs);
    return 0;
}
