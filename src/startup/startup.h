#pragma once

#include <functional>
#include <string>
#include <vector>

#include "detection/sweep.h"
#include "history/doc_records.h"
#include "launch/launcher.h"

namespace tk {

// Opening the marked history documents at start, asking first when the user wishes.
class StartupReopener {
public:
    struct Hooks {
        std::function<void()> showStartDocDialog;       // modal; returns when it closes
        std::function<void(int milliseconds)> wait;     // the spacing between documents
        std::function<void(const std::string&)> hint;   // PnlHint's caption
        std::function<void(const LaunchResult&)> refused;  // a document the desktop would not open
    };
    static constexpr int kSpacingMs = 100;

    StartupReopener(const DocRecords& records, Sweep& sweep, Launcher& launcher, Hooks hooks);

    // Opens the marked entries; with `ask`, the start-up dialog comes first.
    void RunStartDocs(bool ask);
    // Ok, and nothing done, when the document is open already.
    LaunchResult RunStartDoc(const std::string& location, int docType);

private:
    const DocRecords& m_records;
    Sweep& m_sweep;
    Launcher& m_launcher;
    Hooks m_hooks;
};

// The start-up dialog's list: one row per history entry, showing its title, selected when
// the entry is marked.
struct StartDocRow {
    std::string title;
    bool selected;
};
std::vector<StartDocRow> StartDocRows(const DocRecords& records);

// Stores the dialog's choice: every listed entry's mark becomes its row's selection, or 0 for
// all of them when `clear` is set. Entries added after the list was filled keep their mark.
void StoreStartSelection(DocRecords& records, const std::vector<bool>& rowSelected, bool clear);

}  // namespace tk
