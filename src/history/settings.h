#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How the settings reach the main window, and the rules of the settings widgets that the
// window and the tests' fake both follow.
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
    AutoRunDocs,      // CbAutoRunDocs, "自动启动历史文档", key "RunSelectDoc"
    Refresh,          // CbRefresh, "刷新", key "CbRefresh"
    QueryAutoRunDoc,  // CbQueryAutoRunDoc, "自动启动文档时询问", key "QueryAutoRunDoc"
};

// The part of the main window the settings load and save talk to.
class SettingsWindow {
public:
    virtual ~SettingsWindow() = default;
    virtual bool BoxChecked(SettingsBox box) const = 0;
    // Sets a box; its click handling runs exactly when the state changes.
    virtual void SetBoxChecked(SettingsBox box, bool checked) = 0;
    // The active page of TVAllDocs, or -1 when none is.
    virtual int ActivePageIndex() const = 0;
    // Makes a page active without a change event; outside 0..5 leaves no page active.
    virtual void SetActivePageIndex(int index) = 0;
    virtual std::uint32_t SweepInterval() const = 0;
    // Sets TimerCheckDocs' interval; setting the value it has keeps the countdown running.
    virtual void SetSweepInterval(std::uint32_t milliseconds) = 0;
    virtual bool SweepTimerEnabled() const = 0;
    // Switches TimerCheckDocs; setting the state it has keeps the countdown running.
    virtual void SetSweepTimerEnabled(bool enabled) = 0;
    virtual int CheckTimePosition() const = 0;
    // Moves SbCheckTime, clamped to 10..100; its change handling runs when the position changes.
    virtual void SetCheckTimePosition(int position) = 0;
    virtual int WindowWidth() const = 0;
    virtual int WindowHeight() const = 0;
    virtual void SetWindowWidth(int width) = 0;
    virtual void SetWindowHeight(int height) = 0;
};

// SbCheckTime's range rule.
inline int ClampCheckTime(std::int64_t position) {
    if (position < kCheckTimeMin) return kCheckTimeMin;
    if (position > kCheckTimeMax) return kCheckTimeMax;
    return static_cast<int>(position);
}

// The caption LbCheckTime shows for a position: "每%d秒刷新一次".
std::string CheckTimeLabel(int position);

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
