#pragma once

#include <functional>
#include <string>

#include "history/category_trees.h"
#include "history/doc_records.h"
#include "launch/launcher.h"

namespace tk {

// Picks in the category trees: which text a click, a double-click or a key hands to the
// launcher, and the click-opens state that makes a second click open.
class DocPicker {
public:
    DocPicker(const DocRecords& records, CategoryTrees& trees, Launcher& launcher);

    // PnlHint's text.
    void SetHintSink(std::function<void(const std::string&)> showHint) { m_showHint = std::move(showHint); }
    bool ClickOpens() const { return m_clickOpens; }
    void SetClickOpens(bool value) { m_clickOpens = value; }
    // The text the last pick chose (CurDocText).
    const std::string& CurDocText() const { return m_curDocText; }

    // The picks that open something return the launcher's answer, for the caller to show.
    // `mayOpen` false: the click only expands or collapses the group; it picks, opens nothing.
    LaunchResult DocsTreeClick(bool mayOpen = true);
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
    // What the last pick opens: a page only as its recorded address, a program only as its
    // file, anything else as its text.
    enum class PickKind { Text, Page, Program };

    const TMyDoc* DocOf(const TreeNode* node) const;
    // Remembers what `node` opens; `text` is what the pick shows.
    void Pick(const TreeNode* node, std::string text);
    LaunchResult OpenPick();
    // A web entry recorded with another scheme than "http" opens with that scheme, never
    // with "http://" put in front of its node text.
    std::string WithRecordedScheme(const TreeNode* node, std::string text) const;
    void Hint(const std::string& text) {
        if (m_showHint) m_showHint(text);
    }

    const DocRecords& m_records;
    CategoryTrees& m_trees;
    Launcher& m_launcher;
    std::function<void(const std::string&)> m_showHint;
    std::string m_curDocText;
    PickKind m_curKind = PickKind::Text;
    std::string m_curTarget;
    bool m_clickOpens = false;
};

}  // namespace tk
