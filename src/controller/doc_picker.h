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
    const std::string& CurDocText() const { return m_pick.text; }
    // A text that becomes the current one without a node, as a dropped name does: Enter and a
    // double-click beside the rows open it as its text.
    void PickText(std::string text) { m_pick = PickTarget{PickKind::Text, std::move(text), {}}; }

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

    // What the last pick opens: a page only as its recorded address, a program only as its
    // file, anything else as its text.
    enum class PickKind { Text, Page, Program };
    struct PickTarget {
        PickKind kind = PickKind::Text;
        std::string text;    // what the pick shows and, for Text, opens
        std::string target;  // the page's address or the program's file
    };
    // What a pick of `doc`'s node opens: `groupNode` when the node heads the group, `nodeText`
    // the text the node shows.
    static PickTarget PickOf(const TMyDoc& doc, bool groupNode, std::string nodeText);
    // Opens `doc` as a click on the node 全部 shows it by opens it: the desktop's search, the
    // launchers and the command line open entries this way.
    static LaunchResult OpenRecord(Launcher& launcher, const TMyDoc& doc, const PathDialect& dialect);

private:

    const TMyDoc* DocOf(const TreeNode* node) const;
    // Remembers what `node` opens; `text` is what the pick shows.
    void Pick(const TreeNode* node, std::string text);
    LaunchResult OpenPick();
    static LaunchResult Open(Launcher& launcher, const PickTarget& pick);
    void Hint(const std::string& text) {
        if (m_showHint) m_showHint(text);
    }

    const DocRecords& m_records;
    CategoryTrees& m_trees;
    Launcher& m_launcher;
    std::function<void(const std::string&)> m_showHint;
    PickTarget m_pick;
    bool m_clickOpens = false;
};

}  // namespace tk
