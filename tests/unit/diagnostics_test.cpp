#include <gtest/gtest.h>

#include <string>

#include "base/diagnostics.h"

using namespace tk;

namespace {

// The sink for callers without a log of their own: warnings and errors as one line each on
// standard error, information left out.
TEST(StderrDiagnostics, WarningsAndErrorsAreOneLineEachAndInformationIsLeftOut) {
    struct Case {
        Severity severity;
        const char* area;
        const char* message;
        const char* printed;
    };
    const Case cases[] = {
        {Severity::Warning, "saving", "disk full", "tarvokelmora: saving: disk full\n"},
        {Severity::Error, "glib", "broken", "tarvokelmora: glib: broken\n"},
        {Severity::Info, "web strip", "link not opened", ""},
        {Severity::Warning, "history entry 3 skipped", "", "tarvokelmora: history entry 3 skipped: \n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        StderrDiagnostics().Report(c.severity, c.area, c.message);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed) << c.area;
    }
    // The same one whoever asks: nothing to set up, nothing to tear down.
    EXPECT_EQ(&StderrDiagnostics(), &StderrDiagnostics());
}

}  // namespace
