#pragma once

#include <cstdio>
#include <string>

#include "base/diagnostics.h"
#include "desktop/path_dialect.h"
#include "history/settings.h"

namespace tk {

struct PlatformDesktop;

// The command line's way into the history without a window, for launchers and scripts.

// --list: the history in `location`, newest first, one entry a line (kind, shown text and
// location, separated by tabs) or as a JSON array, written to `out`. Returns the exit status;
// a file that cannot be read is said on standard error (status 1); an entry that cannot be
// taken is reported to `diagnostics`.
int ListHistory(const SettingsLocation& location, const PathDialect& dialect, bool json, std::FILE* out,
                Diagnostics& diagnostics);

// --open when no instance runs: opens the newest entry shown as `text` exactly as a click in
// 全部 opens it. Returns the exit status, having said on standard error what went wrong.
int OpenFromHistory(const SettingsLocation& location, const std::string& text, PlatformDesktop& desktop,
                    Diagnostics& diagnostics);

}  // namespace tk
