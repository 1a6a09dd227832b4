#include "cli/history_commands.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/text.h"
#include "controller/doc_picker.h"
#include "desktop/platform_desktop.h"
#include "history/history.h"
#include "launch/launcher.h"
#include "search/history_search.h"

namespace tk {

namespace {

// One field of a tab-separated line: a tab or a line break inside it would split the entry.
std::string Field(std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return field;
}

void Say(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

// The records of the history file, as the program registers them; nothing when the file is
// there but cannot be read whole (said on standard error).
std::optional<std::vector<TMyDoc>> ReadRecords(const SettingsLocation& location, const PathDialect& dialect,
                                               Diagnostics& diagnostics) {
    History history({location.loadPath, location.savePath}, dialect, diagnostics);
    history.Open();
    if (const FileResult* failure = history.File().ReadFailure()) {
        Say("tarvokelmora: 无法读取历史文件 " + location.loadPath + "：" + failure->error +
            "。Cannot read the history file.\n");
        return std::nullopt;
    }
    history.Load();
    return history.Records().DocHistory();
}

}  // namespace

int ListHistory(const SettingsLocation& location, const PathDialect& dialect, bool json, std::FILE* out,
                Diagnostics& diagnostics) {
    const std::optional<std::vector<TMyDoc>> docs = ReadRecords(location, dialect, diagnostics);
    if (!docs) return 1;
    nlohmann::json list = nlohmann::json::array();
    std::string lines;
    for (auto doc = docs->rbegin(); doc != docs->rend(); ++doc) {
        const std::string shown = ShownText(*doc, dialect);
        const std::string where = Trim(doc->Location);
        if (json) {
            list.push_back({{"kind", KindWord(doc->DocType)}, {"text", shown}, {"location", where}});
        } else {
            lines += std::string(KindWord(doc->DocType)) + '\t' + Field(shown) + '\t' + Field(where) + '\n';
        }
    }
    if (json) {
        // A stray byte in an old file's text becomes U+FFFD rather than ending the listing.
        lines = list.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
    }
    std::fwrite(lines.data(), 1, lines.size(), out);
    return std::fflush(out) == 0 ? 0 : 1;
}

int OpenFromHistory(const SettingsLocation& location, const std::string& text, PlatformDesktop& desktop,
                    Diagnostics& diagnostics) {
    const std::optional<std::vector<TMyDoc>> docs = ReadRecords(location, *desktop.dialect, diagnostics);
    if (!docs) return 1;
    for (auto doc = docs->rbegin(); doc != docs->rend(); ++doc) {
        if (ShownText(*doc, *desktop.dialect) != text) continue;
        Launcher launcher(*desktop.shell, *desktop.files, *desktop.dialect,
                          [](const std::string& message) { Say("tarvokelmora: " + message + "\n"); });
        const LaunchResult result = DocPicker::OpenRecord(launcher, *doc, *desktop.dialect);
        if (result.ok) return 0;
        Say("tarvokelmora: 未能打开：" + result.problem + "\n");
        return 1;
    }
    Say("tarvokelmora: 没有显示为“" + text + "”的记录。No entry shows '" + text + "'.\n");
    return 1;
}

}  // namespace tk
