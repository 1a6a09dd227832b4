#include "controller/doc_picker.h"

#include "base/text.h"

namespace tk {

DocPicker::DocPicker(const DocRecords& records, CategoryTrees& trees, Launcher& launcher)
    : m_records(records), m_trees(trees), m_launcher(launcher) {}

const TMyDoc* DocPicker::DocOf(const TreeNode* node) const {
    if (node == nullptr) return nullptr;
    return m_records.At(node->Data().Index);
}

DocPicker::PickTarget DocPicker::PickOf(const TMyDoc& doc, bool groupNode, std::string nodeText) {
    PickTarget pick;
    if (doc.DocType == kDocTypeWebPage && !Contains(nodeText, "://")) {
        // A web entry recorded with another scheme than "http" opens with that scheme, never
        // with "http://" put in front of its node text.
        const std::size_t scheme = doc.Location.find("://");
        if (scheme != std::string::npos && LowerAscii(doc.Location.substr(0, scheme)) != "http") {
            nodeText = doc.Location.substr(0, scheme + 3) + nodeText;
        }
    }
    pick.text = std::move(nodeText);
    if (doc.DocType == kDocTypeProgram) {
        pick.kind = PickKind::Program;
        pick.target = doc.Location;
    } else if (doc.DocType == kDocTypeWebPage) {
        // The node shows the address without its scheme; that text could name anything
        // (`mailto:...`), so a page opens from its record, a group as its host's address.
        pick.kind = PickKind::Page;
        const std::string location = Trim(doc.Location);
        const std::size_t scheme = location.find("://");
        pick.target = !groupNode || scheme == std::string::npos
                          ? location
                          : location.substr(0, scheme + 3) + Trim(doc.Name);
    }
    return pick;
}

void DocPicker::Pick(const TreeNode* node, std::string text) {
    const TMyDoc* doc = DocOf(node);
    if (doc == nullptr) {
        m_pick = PickTarget{PickKind::Text, std::move(text), {}};
        return;
    }
    m_pick = PickOf(*doc, node->Parent() == nullptr, std::move(text));
}

LaunchResult DocPicker::Open(Launcher& launcher, const PickTarget& pick) {
    switch (pick.kind) {
        case PickKind::Page: return launcher.OpenRecordedPage(pick.target);
        case PickKind::Program: return launcher.RunRecordedProgram(pick.target);
        case PickKind::Text: break;
    }
    return launcher.LaunchDoc(pick.text, pick.text);
}

LaunchResult DocPicker::OpenPick() { return Open(m_launcher, m_pick); }

LaunchResult DocPicker::OpenRecord(Launcher& launcher, const TMyDoc& doc, const PathDialect& dialect) {
    // The record's own node is its child node under the group; without one, the group's.
    const std::string child = doc.DocType == kDocTypeProgram ? std::string()
                                                              : CategoryTrees::ChildTextOf(doc, dialect);
    const bool group = Trim(child).empty();
    std::string text = doc.DocType == kDocTypeProgram ? Trim(doc.Location)
                       : group ? Trim(Trim(doc.Name).empty() ? doc.Title : doc.Name)
                               : Trim(child);
    if (text.empty()) return {};
    return Open(launcher, PickOf(doc, group, std::move(text)));
}

LaunchResult DocPicker::DocsTreeClick(bool mayOpen) {
    const TreeNode* node = m_trees.TVDocs().Current();
    const TMyDoc* doc = DocOf(node);
    if (node == nullptr || doc == nullptr) return {};
    std::string text = doc->DocType == kDocTypeProgram ? Trim(doc->Location) : Trim(node->Text());
    if (text.empty()) return {};
    Pick(node, std::move(text));
    Hint(m_pick.text);
    LaunchResult result;
    if (m_clickOpens && mayOpen) result = OpenPick();
    m_clickOpens = mayOpen;
    return result;
}

LaunchResult DocPicker::TVAppClick() {
    const TreeNode* node = m_trees.TVApp().Current();
    const TMyDoc* doc = DocOf(node);
    if (doc == nullptr) return {};
    Pick(node, doc->Location);
    LaunchResult result = OpenPick();
    Hint(m_pick.text);
    return result;
}

LaunchResult DocPicker::TVPathClick() {
    const TreeNode* node = m_trees.TVPath().Current();
    if (node == nullptr) return {};
    const std::string text = Trim(node->Text());
    if (text.empty()) return {};
    Pick(node, text);
    Hint(text);
    LaunchResult result;
    if (m_clickOpens) result = OpenPick();
    m_clickOpens = true;
    return result;
}

LaunchResult DocPicker::TVDocClick() {
    const TreeNode* node = m_trees.TVDoc().Current();
    if (node == nullptr) return {};
    if (TrimView(node->Text()).empty()) return {};
    Pick(node, std::string(node->Text()));
    LaunchResult result;
    if (m_clickOpens) result = OpenPick();
    m_clickOpens = true;
    return result;
}

LaunchResult DocPicker::DblClick() { return OpenPick(); }

LaunchResult DocPicker::LaunchCurDoc() {
    if (m_pick.kind == PickKind::Page) return m_launcher.EnterOnRecordedPage(m_pick.target);
    if (m_pick.kind != PickKind::Text) return OpenPick();
    return m_launcher.LaunchCurDoc(m_pick.text);
}

void DocPicker::DeleteSelectedNodes() {
    CategoryTree& tree = m_trees.TVDocs();
    std::vector<TreeNode*> selected = tree.SelectedNodes();
    // A node whose ancestor goes as well leaves with it.
    auto hasSelectedAncestor = [&](const TreeNode* node) {
        for (const TreeNode* p = node->Parent(); p != nullptr; p = p->Parent()) {
            if (p->IsSelected()) return true;
        }
        return false;
    };
    std::vector<TreeNode*> roots;
    for (TreeNode* node : selected) {
        if (!hasSelectedAncestor(node)) roots.push_back(node);
    }
    for (TreeNode* node : roots) tree.Remove(node);
}

}  // namespace tk
