#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "controller/app_controller.h"

namespace tk {

// What tests reach inside the controller and no window ever does: the history's parts, the
// picks, the timers by their names.
struct ControllerInsides {
    explicit ControllerInsides(AppController& controller) : c(controller) {}
    AppController& c;

    History& TheHistory() { return c.m_history; }
    DocRecords& Records() { return c.m_history.Records(); }
    CategoryTrees& Trees() { return c.m_history.Trees(); }
    DocPicker& Picker() { return c.m_picker; }
    Launcher& DocLauncher() { return c.m_launcher; }
    Sweep& DocSweep() { return c.m_sweep; }
    const SlideController& Slide() const { return c.m_slide; }
    Timer& TimerCheckDocs() { return *c.m_timerCheckDocs; }
    Timer& TimerFirstRun() { return *c.m_timerFirstRun; }
    bool SavePending() const { return c.m_history.SavePending(); }

    // The history by the names the tests have always used.
    const std::vector<TMyDoc>& DocHistory() { return Records().DocHistory(); }
    std::optional<int> AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                              bool selected) {
        return Records().AddDoc(location, title, isExplicit, selected);
    }
    bool DocExists(std::string_view text) { return Records().DocExists(text); }
    ImageList& Images() { return Trees().Images(); }
    CategoryTree& TVDocs() { return Trees().TVDocs(); }
    CategoryTree& TVApp() { return Trees().TVApp(); }
    const std::string& CurDocText() { return Picker().CurDocText(); }
    void RunStartDocs() { c.RunStartDocs(); }
    void ShowProblem(const std::string& text) { c.ShowProblem(text); }
};

}  // namespace tk
