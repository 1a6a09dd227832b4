#include "startup/startup.h"

namespace tk {

StartupReopener::StartupReopener(HistoryCore& history, SettingsWindow& window, Sweep& sweep,
                                 Launcher& launcher, Hooks hooks)
    : m_history(history),
      m_window(window),
      m_sweep(sweep),
      m_launcher(launcher),
      m_hooks(std::move(hooks)) {}

void StartupReopener::RunStartDocs() {
    if (m_history.DocHistory().empty()) return;
    if (m_window.BoxChecked(SettingsBox::QueryAutoRunDoc) && m_hooks.showStartDocDialog) {
        m_hooks.showStartDocDialog();
    }
    // The length is read after the dialog: a sweep may have run while it was open.
    for (std::size_t i = 0; i < m_history.DocHistory().size(); ++i) {
        const TMyDoc doc = m_history.DocHistory()[i];
        if (doc.Selected == 0) continue;
        if (m_hooks.wait) m_hooks.wait(kSpacingMs);
        try {
            const LaunchResult result = RunStartDoc(doc.Location, doc.DocType);
            if (!result.ok && m_hooks.refused) m_hooks.refused(result);
        } catch (...) {
            // One document that fails to open leaves the others to open.
        }
    }
}

LaunchResult StartupReopener::RunStartDoc(const std::string& location, int docType) {
    if (m_sweep.IsDocOpen(location)) return {};
    if (m_hooks.hint) m_hooks.hint("正在打开" + location);
    return m_launcher.OpenStoredDoc(location, docType);
}

std::vector<StartDocRow> StartDocRows(const HistoryCore& history) {
    std::vector<StartDocRow> rows;
    rows.reserve(history.DocHistory().size());
    for (const auto& doc : history.DocHistory()) rows.push_back({doc.Title, doc.Selected != 0});
    return rows;
}

void StoreStartSelection(HistoryCore& history, const std::vector<bool>& rowSelected, bool clear) {
    for (std::size_t i = 0; i < rowSelected.size(); ++i) {
        history.SetSelectedFlag(static_cast<int>(i), !clear && rowSelected[i]);
    }
}

}  // namespace tk
