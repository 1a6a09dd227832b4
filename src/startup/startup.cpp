#include "startup/startup.h"

namespace tk {

StartupReopener::StartupReopener(const DocRecords& records, Sweep& sweep, Launcher& launcher,
                                 Hooks hooks)
    : m_records(records),
      m_sweep(sweep),
      m_launcher(launcher),
      m_hooks(std::move(hooks)) {}

void StartupReopener::RunStartDocs(bool ask) {
    if (m_records.DocHistory().empty()) return;
    if (ask && m_hooks.showStartDocDialog) {
        m_hooks.showStartDocDialog();
    }
    // The length is read after the dialog: a sweep may have run while it was open.
    for (std::size_t i = 0; i < m_records.DocHistory().size(); ++i) {
        const TMyDoc doc = m_records.DocHistory()[i];
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

std::vector<StartDocRow> StartDocRows(const DocRecords& records) {
    std::vector<StartDocRow> rows;
    rows.reserve(records.DocHistory().size());
    for (const auto& doc : records.DocHistory()) rows.push_back({doc.Title, doc.Selected != 0});
    return rows;
}

void StoreStartSelection(DocRecords& records, const std::vector<bool>& rowSelected, bool clear) {
    for (std::size_t i = 0; i < rowSelected.size(); ++i) {
        records.SetSelectedFlag(static_cast<int>(i), !clear && rowSelected[i]);
    }
}

}  // namespace tk
