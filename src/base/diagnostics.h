#pragma once

#include <functional>
#include <string_view>

namespace tk {

enum class Severity { Info, Warning, Error };

// Where the core and the backends report what went wrong. One sink for the whole program,
// set once at start by whoever owns the output (the application routes it to its log).
using DiagnosticsSink = std::function<void(Severity, std::string_view area, std::string_view message)>;

// Replaces the sink; an empty one restores the default (warnings and errors to standard error).
void SetDiagnosticsSink(DiagnosticsSink sink);

void Report(Severity severity, std::string_view area, std::string_view message);
inline void ReportInfo(std::string_view area, std::string_view message) {
    Report(Severity::Info, area, message);
}
inline void ReportWarning(std::string_view area, std::string_view message) {
    Report(Severity::Warning, area, message);
}

}  // namespace tk
