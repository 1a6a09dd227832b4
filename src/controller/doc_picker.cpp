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

LaunchResult DocPicker::DocsTreeClick() {
    const TreeNode* node = m_trees.TVDocs().Current();
    const TMyDoc* doc = DocOf(node);
    if (node == nullptr || doc == nullptr) return {};
    std::string text = doc->DocType == kDocTypeProgram ? Trim(doc->Location) : Trim(node->Text());
    if (text.empty()) return {};
    text = WithRecordedScheme(node, text);
    m_curDocText = text;
    Hint(text);
    LaunchResult result;
    if (m_clickOpens) result = m_launcher.LaunchDoc(text, text);
    m_clickOpens = true;
    return result;
}

LaunchResult DocPicker::TVAppClick() {
    const TMyDoc* doc = DocOf(m_trees.TVApp().Current());
    if (doc == nullptr) return {};
    m_curDocText = doc->Location;
    LaunchResult result = m_launcher.LaunchDoc(m_curDocText, m_curDocText);
    Hint(m_curDocText);
    return result;
}

LaunchResult DocPicker::TVPathClick() {
    const TreeNode* node = m_trees.TVPath().Current();
    if (node == nullptr) return {};
    const std::string text = Trim(node->Text());
    if (text.empty()) return {};
    m_curDocText = text;
    Hint(text);
    LaunchResult result;
    if (m_clickOpens) result = m_launcher.LaunchDoc(text, text);
    m_clickOpens = true;
    return result;
}

LaunchResult DocPicker::TVDocClick() {
    const TreeNode* node = m_trees.TVDoc().Current();
    if (node == nullptr) return {};
    if (TrimView(node->Text()).empty()) return {};
    const std::string text = WithRecordedScheme(node, node->Text());
    m_curDocText = text;
    LaunchResult result;
    if (m_clickOpens) result = m_launcher.LaunchDoc(text, text);
    m_clickOpens = true;
    return result;
}

LaunchResult DocPicker::DblClick() {
    const std::string text = m_curDocText;
    return m_launcher.LaunchDoc(text, text);
}

LaunchResult DocPicker::LaunchCurDoc() { return m_launcher.LaunchCurDoc(m_curDocText); }

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
