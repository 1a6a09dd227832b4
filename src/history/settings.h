#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The settings: their value, where the file lives, and the rules of the settings widgets.
namespace tk {

inline constexpr std::string_view kSettingsFileName = "defualt.ini";
inline constexpr std::string_view kSectionDefault = "default";
inline constexpr std::string_view kSectionDocs = "docs";

inline constexpr int kPageCount = 6;
inline constexpr int kDefaultCheckInterval = 12000;
inline constexpr int kCheckTimeMin = 10;
inline constexpr int kCheckTimeMax = 100;
inline constexpr int kCheckTimeInitial = 12;
inline constexpr int kDesignedWidth = 915;
inline constexpr int kDesignedHeight = 568;

enum class SettingsBox {
    AutoRunDocs,      // CbAutoRunDocs, "自动启动历史文档"
    Refresh,          // CbRefresh, "刷新"
    QueryAutoRunDoc,  // CbQueryAutoRunDoc, "自动启动文档时询问"
};

// The settings as a value: what the 设置 page shows, the active page, the sweep's interval, the
// window's size as last saved, and start at log-on. The controller owns it; the file stores
// all but the last, which the desktop keeps.
struct Settings {
    bool runSelectDoc = false;     // CbAutoRunDocs
    bool refresh = true;           // CbRefresh
    bool queryAutoRunDoc = false;  // CbQueryAutoRunDoc
    int activePageIndex = 0;       // of TVAllDocs; -1: none
    std::uint32_t checkDocInterval = kDefaultCheckInterval;  // milliseconds
    int width = 500;               // the outer size, frame included
    int height = 380;
    bool autoRun = false;          // MnAutoRun: started at log-on

    bool Box(SettingsBox box) const {
        switch (box) {
            case SettingsBox::AutoRunDocs: return runSelectDoc;
            case SettingsBox::Refresh: return refresh;
            case SettingsBox::QueryAutoRunDoc: return queryAutoRunDoc;
        }
        return false;
    }
    void SetBox(SettingsBox box, bool checked) {
        switch (box) {
            case SettingsBox::AutoRunDocs: runSelectDoc = checked; break;
            case SettingsBox::Refresh: refresh = checked; break;
            case SettingsBox::QueryAutoRunDoc: queryAutoRunDoc = checked; break;
        }
    }
    bool operator==(const Settings&) const = default;
};

// The boxes of the 设置 page that are settings, in the page's order.
inline constexpr SettingsBox kSettingsBoxes[] = {SettingsBox::AutoRunDocs, SettingsBox::Refresh,
                                                 SettingsBox::QueryAutoRunDoc};

// One setting the file stores: its key in [default] and its field. Load and save both walk
// this table; a field's default is the one Settings{} holds.
struct SettingsItem {
    std::string_view key;
    bool isBool;
    std::int64_t (*get)(const Settings&);
    void (*set)(Settings&, std::int64_t);
    std::int64_t Default() const { return get(Settings{}); }
};

#define TK_SETTINGS_ITEM(key, field, isBool)                                           \
    SettingsItem {                                                                     \
        key, isBool, [](const Settings& s) { return static_cast<std::int64_t>(s.field); }, \
            [](Settings& s, std::int64_t v) { s.field = static_cast<decltype(s.field)>(v); } \
    }
inline constexpr SettingsItem kSettingsItems[] = {
    TK_SETTINGS_ITEM("RunSelectDoc", runSelectDoc, true),
    TK_SETTINGS_ITEM("CbRefresh", refresh, true),
    TK_SETTINGS_ITEM("QueryAutoRunDoc", queryAutoRunDoc, true),
    TK_SETTINGS_ITEM("ActivePageIndex", activePageIndex, false),
    TK_SETTINGS_ITEM("CheckDocInterval", checkDocInterval, false),
    TK_SETTINGS_ITEM("width", width, false),
    TK_SETTINGS_ITEM("height", height, false),
};
#undef TK_SETTINGS_ITEM

// SbCheckTime's range rule.
inline int ClampCheckTime(std::int64_t position) {
    if (position < kCheckTimeMin) return kCheckTimeMin;
    if (position > kCheckTimeMax) return kCheckTimeMax;
    return static_cast<int>(position);
}

// The caption LbCheckTime shows for a position: "每%d秒刷新一次".
std::string CheckTimeLabel(int position);
// Where SbCheckTime stands for an interval.
inline int CheckTimePosition(std::uint32_t intervalMs) { return ClampCheckTime(intervalMs / 1000u); }

// Where defualt.ini lives: beside the executable when that folder can be written, otherwise in
// the per-user configuration folder the platform names (`configHome`).
struct SettingsLocation {
    std::string loadPath;  // where to read from
    std::string savePath;  // where to write to
};
SettingsLocation ResolveSettingsLocation(const std::string& exeDir, const std::string& configHome);
// Whether the executable's folder lies under a system prefix (/usr, /usr/local, /opt).
bool IsSystemInstall(const std::string& exeDir);

}  // namespace tk
