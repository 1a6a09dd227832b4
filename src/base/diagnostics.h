#pragma once

#include <string_view>

namespace tk {

enum class Severity { Info, Warning, Error };

// Where the core and the backends report what went wrong. Whoever owns the output (the
// program's main, a test) makes one and hands it to each part that reports. Reports come from
// any thread (the sweep's, the save writer's, the probes'): every sink takes them from all.
class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    virtual void Report(Severity severity, std::string_view area, std::string_view message) = 0;

    void Info(std::string_view area, std::string_view message) { Report(Severity::Info, area, message); }
    void Warning(std::string_view area, std::string_view message) {
        Report(Severity::Warning, area, message);
    }
};

// Warnings and errors to standard error, information dropped: for a caller that has no log of
// its own (a command-line listing, a benchmark). Nothing reaches for it unless handed it.
Diagnostics& StderrDiagnostics();

}  // namespace tk
