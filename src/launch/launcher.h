#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "desktop/file_system.h"
#include "desktop/shell.h"
#include "history/history.h"
#include "desktop/path_dialect.h"

namespace tk {

// What became of a request to open something: the shell's own answer, handed up unchanged.
// Opening nothing (an empty text, the missing-path message) is no refusal.
using LaunchResult = ShellResult;

// Opening documents, addresses and special folders through the shell, with exactly the
// requests the program has always made. Every road returns the shell's answer; the caller
// says it to the user.
class Launcher {
public:
    // `showMessage` shows the one message launching can show (the missing-path message).
    Launcher(Shell& shell, const FileSystem& files, const PathDialect& dialect,
             std::function<void(const std::string&)> showMessage);

    // The main window, the owner of the shell calls that have one.
    void SetMainWindow(WindowHandle window) { m_mainWindow = window; }

    LaunchResult LaunchDoc(std::string_view location, std::string_view name);
    LaunchResult OpenLocation(std::string_view location);
    LaunchResult OpenWebAddress(std::string_view address);
    // A history entry as it was stored: pages as addresses, everything else as a location.
    LaunchResult OpenStoredDoc(std::string_view location, int docType);
    LaunchResult RunFile(std::string_view fileName);
    // The Enter key: opens `text` without the special names or the folder test.
    LaunchResult LaunchCurDoc(std::string_view text);
    LaunchResult OpenSpecialFolder(int csidl, WindowHandle owner = 0);
    std::string GetSystemDir();
    // The system directory, opened like any location.
    LaunchResult OpenSystemDirectory();
    LaunchResult OpenTaskManager();

    static std::string MissingPathMessage(std::string_view location);

private:
    Shell& m_shell;
    const FileSystem& m_files;
    const PathDialect& m_dialect;
    std::function<void(const std::string&)> m_showMessage;
    WindowHandle m_mainWindow = 0;
};

// Picks in the category trees: which text a click, a double-click or a key hands to the
// launcher, and the click-opens state that makes a second click open.
class DocPicker {
public:
    DocPicker(HistoryCore& history, Launcher& launcher);

    // PnlHint's text.
    void SetHintSink(std::function<void(const std::string&)> showHint) { m_showHint = std::move(showHint); }
    bool ClickOpens() const { return m_clickOpens; }
    void SetClickOpens(bool value) { m_clickOpens = value; }
    const std::string& CurDocText() const { return m_history.CurDocText; }

    // The picks that open something return the launcher's answer, for the caller to show.
    LaunchResult DocsTreeClick();
    LaunchResult TVAppClick();
    LaunchResult TVPathClick();
    LaunchResult TVDocClick();
    // TVDocsDblClick, TVPathDblClick, TVDocDblClick.
    LaunchResult DblClick();
    // Enter in TVDocs.
    LaunchResult LaunchCurDoc();
    // Delete in TVDocs: its selected nodes go from that tree alone.
    void DeleteSelectedNodes();
    // Any expand or collapse in TVDocs, TVPath or TVDoc.
    void ExpandedOrCollapsed() { m_clickOpens = false; }

private:
    const TMyDoc* DocOf(const TreeNode* node) const;
    // A web entry recorded with another scheme than "http" opens with that scheme, never
    // with "http://" put in front of its node text.
    std::string WithRecordedScheme(const TreeNode* node, std::string text) const;
    void Hint(const std::string& text) {
        if (m_showHint) m_showHint(text);
    }

    HistoryCore& m_history;
    Launcher& m_launcher;
    std::function<void(const std::string&)> m_showHint;
    bool m_clickOpens = false;
};

}  // namespace tk
