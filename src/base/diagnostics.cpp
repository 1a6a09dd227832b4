#include "base/diagnostics.h"

#include <cstdio>
#include <string>

namespace tk {

namespace {

class StderrSink final : public Diagnostics {
public:
    void Report(Severity severity, std::string_view area, std::string_view message) override {
        // Information-level chatter stays off unless a sink that wants it is handed over.
        if (severity == Severity::Info) return;
        // One write per line, so that lines from several threads do not interleave.
        const std::string line = "tarvokelmora: " + std::string(area) + ": " + std::string(message) + "\n";
        std::fputs(line.c_str(), stderr);
    }
};

}  // namespace

Diagnostics& StderrDiagnostics() {
    static StderrSink sink;
    return sink;
}

}  // namespace tk
