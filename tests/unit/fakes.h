#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "history/settings.h"

namespace tk::test {

class FakeFileSystem : public FileSystem {
public:
    std::set<std::string> files;
    std::set<std::string> dirs;
    bool FileExists(const std::string& path) const override { return files.count(path) != 0; }
    bool DirectoryExists(const std::string& path) const override { return dirs.count(path) != 0; }
};

class FakeFileIcons : public FileIcons {
public:
    std::vector<std::string> asked;
    bool fail = false;
    std::optional<FileIcon> IconOf(const std::string& path) override {
        asked.push_back(path);
        if (fail) return std::nullopt;
        FileIcon icon;
        icon.filePath = path;
        return icon;
    }
};

// The main window's settings widgets as the rules have them: a box's click handling runs only
// on a change, the scroll bar clamps and reports only changes, timers keep their countdown.
class FakeSettingsWindow : public SettingsWindow {
public:
    std::map<SettingsBox, bool> boxes{{SettingsBox::AutoRunDocs, false},
                                      {SettingsBox::Refresh, false},
                                      {SettingsBox::QueryAutoRunDoc, false}};
    std::vector<SettingsBox> clicks;
    int page = 0;
    std::uint32_t interval = kDefaultCheckInterval;
    bool timerEnabled = false;
    int timerRestarts = 0;
    int position = kCheckTimeInitial;
    int positionChanges = 0;
    std::string label = CheckTimeLabel(kCheckTimeInitial);
    int width = kDesignedWidth;
    int height = kDesignedHeight;
    std::vector<bool> timerSwitches;

    bool BoxChecked(SettingsBox box) const override { return boxes.at(box); }
    void SetBoxChecked(SettingsBox box, bool checked) override {
        if (boxes[box] == checked) return;
        boxes[box] = checked;
        clicks.push_back(box);
        if (box == SettingsBox::Refresh) SetSweepTimerEnabled(checked);  // CbRefreshClick
    }
    int ActivePageIndex() const override { return page; }
    void SetActivePageIndex(int index) override {
        page = (index >= 0 && index < kPageCount) ? index : -1;
    }
    std::uint32_t SweepInterval() const override { return interval; }
    void SetSweepInterval(std::uint32_t ms) override {
        if (ms == interval) return;
        interval = ms;
        if (timerEnabled) ++timerRestarts;
    }
    bool SweepTimerEnabled() const override { return timerEnabled; }
    void SetSweepTimerEnabled(bool enabled) override {
        timerSwitches.push_back(enabled);
        if (enabled == timerEnabled) return;
        timerEnabled = enabled;
        if (enabled) ++timerRestarts;
    }
    int CheckTimePosition() const override { return position; }
    void SetCheckTimePosition(int p) override {
        p = ClampCheckTime(p);
        if (p == position) return;
        position = p;
        ++positionChanges;
        label = CheckTimeLabel(p);  // SbCheckTimeChange
        SetSweepInterval(static_cast<std::uint32_t>(p) * 1000u);
    }
    int WindowWidth() const override { return width; }
    int WindowHeight() const override { return height; }
    void SetWindowWidth(int w) override { width = w; }
    void SetWindowHeight(int h) override { height = h; }
};

}  // namespace tk::test
