#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controller/main_view.h"
#include "base/timer.h"
#include "controller/web_strip_port.h"
#include "desktop/autorun.h"

namespace tk::test {

// A timer the test fires by hand; it keeps the classic rules the real ones keep.
class FakeTimer : public Timer {
public:
    std::function<void()> onTick;
    bool singleShot = false;
    bool enabled = false;
    std::uint32_t interval = 0;
    int restarts = 0;  // times the countdown began again
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool value) override {
        if (value == enabled) return;
        enabled = value;
        if (value) ++restarts;
    }
    std::uint32_t Interval() const override { return interval; }
    void SetInterval(std::uint32_t ms) override {
        if (ms == interval) return;
        interval = ms;
        if (enabled) ++restarts;
    }
    // One expiry, as the event loop would deliver it; nothing when the timer is off.
    void Fire() {
        if (!enabled) return;
        if (singleShot) enabled = false;
        onTick();
    }
};

class FakeTimers : public TimerFactory {
public:
    std::map<std::string, FakeTimer*> byName;
    std::deque<std::function<void()>> posted;
    std::vector<int> waits;
    std::unique_ptr<Timer> MakeTimer(const char* name, std::uint32_t intervalMs, bool singleShot,
                                     std::function<void()> onTick) override {
        auto timer = std::make_unique<FakeTimer>();
        timer->interval = intervalMs;
        timer->singleShot = singleShot;
        timer->onTick = std::move(onTick);
        byName[name] = timer.get();
        return timer;
    }
    // Any thread may post, as with a real event loop.
    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        posted.push_back(std::move(task));
        m_posted.notify_all();
    }
    void Wait(int milliseconds) override { waits.push_back(milliseconds); }
    FakeTimer& operator[](const std::string& name) { return *byName.at(name); }
    void RunPosted() {
        while (true) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (posted.empty()) return;
                task = std::move(posted.front());
                posted.pop_front();
            }
            task();
        }
    }
    // Waits (a few seconds at most) until another thread has posted something.
    bool WaitForPosted() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_posted.wait_for(lock, std::chrono::seconds(10), [this] { return !posted.empty(); });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
public:
};

// The window as plain state. The frame adds `frame` pixels to each outer dimension.
class FakeView : public MainView {
public:
    Settings shownSettings;  // what the settings widgets show
    int settingsShown = 0;
    int width = 915, height = 568, frame = 0;
    int screenWidth = 1024, screenHeight = 768;
    int left = 0, top = 0;
    bool shown = false, onTop = false;
    std::string trayCaption, hint;
    std::deque<bool> answers;  // the next questions' answers; yes when empty
    std::vector<std::string> messages;
    int startDialogs = 0, abouts = 0, helps = 0, menus = 0, ends = 0;
    std::function<void()> onStartDialog;

    void ShowSettings(const Settings& settings) override {
        shownSettings = settings;
        ++settingsShown;
    }
    bool BoxChecked(SettingsBox box) const { return shownSettings.Box(box); }
    int Page() const { return shownSettings.activePageIndex; }
    int CheckTime() const { return CheckTimePosition(shownSettings.checkDocInterval); }
    int WindowWidth() const override { return width + frame; }
    int WindowHeight() const override { return height + frame; }
    // The size asked for is the outer one, as WindowWidth and WindowHeight report it.
    void SetWindowWidth(int w) override { width = w - frame; }
    void SetWindowHeight(int h) override { height = h - frame; }
    int ScreenWidth() const override { return screenWidth; }
    int ScreenHeight() const override { return screenHeight; }
    int WindowLeft() const override { return left; }
    int WindowTop() const override { return top; }
    void MoveWindow(int l, int t) override { left = l, top = t; }
    bool WindowShown() const override { return shown; }
    void ShowWindow() override { shown = true; }
    void HideWindow() override { shown = false; }
    void Unminimize() override {}
    void RaiseAndActivate() override {}
    void SetStaysOnTop(bool value) override { onTop = value; }
    void SetTrayMenuCaption(const std::string& caption) override { trayCaption = caption; }
    void ExpandAllTrees(bool expand) override { expanded = expand; }
    bool expanded = false;
    void ShowHint(const std::string& text) override { hint = text; }
    bool AskYesNo(const std::string&, const std::string& text) override {
        messages.push_back(text);
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Inform(const std::string&, const std::string& text) override { messages.push_back(text); }
    void ShowStartDocDialog() override {
        ++startDialogs;
        if (onStartDialog) onStartDialog();
    }
    void ShowAbout() override { ++abouts; }
    void ShowHelp() override { ++helps; }
    void PopupSpecialFolderMenu() override { ++menus; }
    void EndProgram() override { ++ends; }
};

// A browser that records navigations and shows the page the test sets.
class FakeWebPort : public WebStripPort {
public:
    bool available = true;
    int created = 0;
    int ended = 0;
    std::vector<std::string> navigations;
    std::string location, body;
    bool loaded = true;
    std::vector<BrowserPlacement> placements;
    bool CreateBrowser() override {
        if (available) ++created;
        return available;
    }
    void EndBrowser() override { ++ended; }
    void Navigate(const std::string& address) override { navigations.push_back(address); }
    void RequestPage(std::function<void(const std::string&, const std::string&, bool)> done) override {
        done(location, body, loaded);
    }
    int StripWidth() const override { return 600; }
    int StripHeight() const override { return 47; }
    void PlaceBrowser(const BrowserPlacement& placement) override { placements.push_back(placement); }
};

// A start-at-log-on store whose writes and removals can be refused, or can keep something
// other than asked.
class FakeAutoRunStore : public AutoRunStore {
public:
    std::map<std::string, std::string> entries;
    bool refuseWrites = false;
    bool refuseRemoves = false;
    std::optional<std::string> keptInstead;
    std::optional<std::string> Read(const std::string& name) override {
        auto it = entries.find(name);
        if (it == entries.end()) return std::nullopt;
        return it->second;
    }
    bool Write(const std::string& name, const std::string& path) override {
        if (refuseWrites) return false;
        entries[name] = keptInstead.value_or(path);
        return true;
    }
    bool Remove(const std::string& name) override {
        if (refuseRemoves) return false;
        entries.erase(name);
        return true;
    }
};

}  // namespace tk::test
