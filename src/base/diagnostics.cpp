#include "base/diagnostics.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace tk {

namespace {

std::mutex g_sinkMutex;

DiagnosticsSink& Sink() {
    static DiagnosticsSink sink;
    return sink;
}

void DefaultSink(Severity severity, std::string_view area, std::string_view message) {
    // Information-level chatter stays off unless someone installs a sink that wants it.
    if (severity == Severity::Info) return;
    const std::string line = "tarvokelmora: " + std::string(area) + ": " + std::string(message) + "\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace

void SetDiagnosticsSink(DiagnosticsSink sink) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    Sink() = std::move(sink);
}

void Report(Severity severity, std::string_view area, std::string_view message) {
    DiagnosticsSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        sink = Sink();
    }
    if (sink) sink(severity, area, message);
    else DefaultSink(severity, area, message);
}

}  // namespace tk
