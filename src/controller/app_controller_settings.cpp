// The controller's settings: the value, the widgets' events that change it, and the start-up
// documents dialog's rules.
#include "controller/app_controller.h"


namespace tk {

void AppController::ChangeSettings(const Settings& next) {
    const Settings before = m_settings;
    if (next == before) return;
    m_settings = next;
    if (next.refresh != before.refresh) CbRefreshClick();
    m_timerCheckDocs->SetInterval(next.checkDocInterval);
    if (m_view) m_view->ShowSettings(m_settings);
    for (const auto& listener : m_settingsListeners) listener(m_settings);
    m_history.SetSettings(m_settings);
}

// The sweep timer runs exactly when the box is checked.
void AppController::CbRefreshClick() { m_timerCheckDocs->SetEnabled(m_settings.refresh); }

void AppController::SettingsBoxClick(SettingsBox box, bool checked) {
    Settings next = m_settings;
    next.SetBox(box, checked);
    ChangeSettings(next);
}

void AppController::SbCheckTimeChange(int position) {
    Settings next = m_settings;
    next.checkDocInterval = static_cast<std::uint32_t>(ClampCheckTime(position)) * 1000u;
    ChangeSettings(next);
}

void AppController::TVAllDocsChange(int page) {
    Settings next = m_settings;
    next.activePageIndex = page >= 0 && page < kPageCount ? page : -1;
    ChangeSettings(next);
}

void AppController::WindowResized(int width, int height) {
    if (!m_created) return;  // the size before creation is nobody's choice
    Settings next = m_settings;
    if (width > 0) next.width = width;
    if (height > 0) next.height = height;
    ChangeSettings(next);
}

void AppController::CbOnTopClick(bool checked) { m_view->SetStaysOnTop(checked); }

void AppController::MnAutoRunClick(bool checked) {
    if (!m_deps.autoRun) return;
    // The box shows what the store really holds afterwards: a refused write must not look
    // like success.
    const bool held = MnAutoRunClickResult(*m_deps.autoRun, checked, m_deps.executablePath);
    Settings next = m_settings;
    next.autoRun = held;
    ChangeSettings(next);
    if (held != checked) {
        if (m_view) m_view->ShowSettings(m_settings);
        m_deps.diagnostics.Warning("start at log-on", checked ? "registration refused" : "removal refused");
        if (m_view) m_view->ShowHint(checked ? "未能设置开机自动启动" : "未能取消开机自动启动");
    }
}

// ---- the start-up dialog -------------------------------------------------------------------

bool AppController::DialogShown() {
    // The box follows 自动启动历史文档; its click handling runs only when that changes it.
    if (m_settings.runSelectDoc != m_notQueryBox) NotQueryClick(m_settings.runSelectDoc);
    return m_notQueryBox;
}

void AppController::NotQueryClick(bool checked) {
    m_notQueryBox = checked;
    SettingsBoxClick(SettingsBox::QueryAutoRunDoc, checked);
}

void AppController::BtnConfirmClick(const std::vector<bool>& rowSelected) {
    StoreStartSelection(m_history.Records(), rowSelected, false);
}

void AppController::SpeedButton2Click(const std::vector<bool>& rowSelected) {
    StoreStartSelection(m_history.Records(), rowSelected, true);
}

void AppController::LbSelectDocDblClick(int row) {
    if (const TMyDoc* doc = m_history.Records().At(row)) ReportLaunch(m_launcher.OpenStoredDoc(doc->Location, doc->DocType));
}

}  // namespace tk
