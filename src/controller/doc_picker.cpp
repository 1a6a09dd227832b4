#include "controller/doc_picker.h"

#include "base/text.h"

namespace tk {

DocPicker::DocPicker(const DocRecords& records, CategoryTrees& trees, Launcher& launcher)
    : m_records(records), m_trees(trees), m_launcher(launcher) {}

const TMyDoc* DocPicker::DocOf(const TreeNode* node) const {
    if (node == nullptr) return nullptr;
    return m_records.At(node->Data().Index);
}

std::string DocPicker::WithRecordedScheme(const TreeNode* node, std::string text) const {
    const TMyDoc* doc = DocOf(node);
    if (doc == nullptr || doc->DocType != kDocTypeWebPage || Contains(text, "://")) return text;
    const std::size_t scheme = doc->Location.find("://");
    if (scheme == std::string::npos) return text;
    const std::string prefix = LowerAscii(doc->Location.substr(0, scheme));
    if (prefix == "http") return text;
    return doc->Location.substr(0, scheme + 3) + text;
}

void DocPicker::Pick(const TreeNode* node, std::string text) {
    m_curDocText = std::move(text);
    m_curKind = PickKind::Text;
    m_curTarget.clear();
    const TMyDoc* doc = DocOf(node);
    if (doc == nullptr) return;
    if (doc->DocType == kDocTypeProgram) {
        m_curKind = PickKind::Program;
        m_curTarget = doc->Location;
    } else if (doc->DocType == kDocTypeWebPage) {
        // The node shows the address without its scheme; that text could name anything
        // (`mailto:...`), so a page opens from its record, a group as its host's address.
        m_curKind = PickKind::Page;
        const std::string location = Trim(doc->Location);
        if (node->Parent() != nullptr) {
            m_curTarget = location;
        } else {
            const std::size_t scheme = location.find("://");
            m_curTarget = scheme == std::string::npos
                              ? location
                              : location.substr(0, scheme + 3) + Trim(doc->Name);
        }
    }
}

LaunchResult DocPicker::OpenPick() {
    switch (m_curKind) {
        case PickKind::Page: return m_launcher.OpenRecordedPage(m_curTarget);
        case PickKind::Program: return m_launcher.RunRecordedProgram(m_curTarget);
        case PickKind::Text: break;
    }
    return m_launcher.LaunchDoc(m_curDocText, m_curDocText);
}

LaunchResult DocPicker::DocsTreeClick(bool mayOpen) {
    const TreeNode* node = m_trees.TVDocs().Current();
    const TMyDoc* doc = DocOf(node);
    if (node == nullptr || doc == nullptr) return {};
    std::string text = doc->DocType == kDocTypeProgram ? Trim(doc->Location) : Trim(node->Text());
    if (text.empty()) return {};
    Pick(node, WithRecordedScheme(node, text));
    Hint(m_curDocText);
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
    Hint(m_curDocText);
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
    Pick(node, WithRecordedScheme(node, node->Text()));
    LaunchResult result;
    if (m_clickOpens) result = OpenPick();
    m_clickOpens = true;
    return result;
}

LaunchResult DocPicker::DblClick() { return OpenPick(); }

LaunchResult DocPicker::LaunchCurDoc() {
    if (m_curKind != PickKind::Text) return OpenPick();
    return m_launcher.LaunchCurDoc(m_curDocText);
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
