#include "history/category_tree.h"

#include <algorithm>


namespace tk {

TreeNode* TreeNode::Child(int row) const {
    if (row < 0 || row >= ChildCount()) return nullptr;
    return (*m_children)[static_cast<std::size_t>(row)];
}

void TreeNode::ShrinkChildren() {
    if (!m_children) return;
    m_children->shrink_to_fit();
    m_children->ForEach([](TreeNode& child) { child.ShrinkChildren(); });
}

int TreeNode::Row() const {
    if (m_parent == nullptr) return 0;
    return static_cast<int>(m_order - m_parent->m_firstChildOrder);
}

namespace {

unsigned char UpperByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

}  // namespace

std::size_t CategoryTree::CaseHash::operator()(std::string_view text) const noexcept {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a over the upper-cased bytes
    for (const char c : text) {
        h ^= UpperByte(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

bool CategoryTree::CaseEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperByte(a[i]) != UpperByte(b[i])) return false;
    }
    return true;
}

void CategoryTree::NodeTable::Rehash(std::size_t size) {
    std::vector<TreeNode*> old = std::move(table);
    table.assign(size, nullptr);
    used = gone = 0;
    for (TreeNode* node : old) {
        if (node != nullptr && node != Gone()) Insert(node);
    }
}

void CategoryTree::NodeTable::Insert(TreeNode* node) {
    // At most half full, removed slots counted: probes stay short. A table that grows doubles
    // (a quarter full after), rather than quadruple: it holds a pointer for every node.
    if ((used + gone + 1) * 2 > table.size()) {
        std::size_t size = 16;
        while (size < (used + 1) * 2 + 2) size *= 2;
        Rehash(size);
    }
    const std::size_t mask = table.size() - 1;
    for (std::size_t at = CaseHash{}(node->Text()) & mask;; at = (at + 1) & mask) {
        if (table[at] == nullptr || table[at] == Gone()) {
            if (table[at] == Gone()) --gone;
            table[at] = node;
            ++used;
            return;
        }
    }
}

void CategoryTree::NodeTable::Erase(TreeNode* node) {
    if (table.empty()) return;
    const std::size_t mask = table.size() - 1;
    for (std::size_t at = CaseHash{}(node->Text()) & mask; table[at] != nullptr; at = (at + 1) & mask) {
        if (table[at] == node) {
            table[at] = Gone();
            --used;
            ++gone;
            return;
        }
    }
}

void CategoryTree::Reserve(std::size_t nodes) {
    std::size_t size = 16;
    while (size < nodes * 2 + 2) size *= 2;
    if (size > m_byKey.table.size()) m_byKey.Rehash(size);
}

CategoryTree::CategoryTree(std::string name) : m_name(std::move(name)) { m_root.m_isRoot = true; }

CategoryTree::~CategoryTree() = default;

TreeNode* CategoryTree::AddFirst(std::string_view text, int image, int index) {
    return Insert(&m_root, true, text, image, index);
}

TreeNode* CategoryTree::AddLast(std::string_view text, int image, int index) {
    return Insert(&m_root, false, text, image, index);
}

TreeNode* CategoryTree::AddChildLast(TreeNode* parent, std::string_view text, int image,
                                     int index) {
    return Insert(parent == nullptr ? &m_root : parent, false, text, image, index);
}

TreeNode* CategoryTree::Insert(TreeNode* parent, bool atFront, std::string_view text, int image,
                               int index) {
    std::unique_ptr<TreeNode> node(new (TreeNode::TextRoom{text.size()}) TreeNode());
    std::copy(text.begin(), text.end(), reinterpret_cast<char*>(node.get() + 1));
    node->m_textSize = static_cast<std::uint32_t>(text.size());
    node->m_image = image;
    node->m_data.Index = index;
    node->m_parent = parent;
    const TreeNode* listenerParent = parent == &m_root ? nullptr : parent;
    const int row = atFront ? 0 : parent->ChildCount();
    if (m_listener) m_listener->NodeAboutToBeInserted(listenerParent, row);
    TreeNode* raw = node.get();
    if (atFront) {
        raw->m_order = --parent->m_firstChildOrder;
        parent->MutableChildren().push_front(std::move(node));
    } else {
        raw->m_order = parent->m_firstChildOrder + static_cast<std::int32_t>(parent->ChildCount());
        parent->MutableChildren().push_back(std::move(node));
    }
    m_byKey.Insert(raw);
    ++m_count;
    if (m_listener) m_listener->NodeInserted(listenerParent, row);
    return raw;
}

void CategoryTree::Unindex(TreeNode* node) {
    node->ChildList().ForEach([this](TreeNode& child) { Unindex(&child); });
    m_byKey.Erase(node);
    if (m_current == node) m_current = nullptr;
    --m_count;
}

void CategoryTree::SetImage(TreeNode* node, int image) {
    if (node == nullptr || node->m_image == image) return;
    node->m_image = image;
    if (m_listener) m_listener->NodeChanged(node);
}

void CategoryTree::Remove(TreeNode* node) {
    if (node == nullptr || node == &m_root) return;
    TreeNode* parent = node->m_parent;
    const int row = node->Row();
    const TreeNode* listenerParent = parent == &m_root ? nullptr : parent;
    if (m_listener) m_listener->NodeAboutToBeRemoved(listenerParent, row);
    Unindex(node);
    TreeNode::Children& siblings = parent->MutableChildren();
    siblings.erase(static_cast<std::size_t>(row));
    for (std::size_t i = static_cast<std::size_t>(row); i < siblings.size(); ++i) {
        --siblings[i]->m_order;
    }
    if (m_listener) m_listener->NodeRemoved(listenerParent, row);
}

void CategoryTree::MoveTop(TreeNode* node, int row) {
    if (node == nullptr || node->m_parent != &m_root) return;
    const int from = node->Row();
    if (m_listener) m_listener->NodeAboutToBeRemoved(nullptr, from);
    TreeNode::Children& tops = m_root.MutableChildren();
    std::unique_ptr<TreeNode> owned = tops.take(static_cast<std::size_t>(from));
    if (m_listener) m_listener->NodeRemoved(nullptr, from);
    row = std::clamp(row, 0, static_cast<int>(tops.size()));
    if (m_listener) m_listener->NodeAboutToBeInserted(nullptr, row);
    tops.insert(static_cast<std::size_t>(row), std::move(owned));
    // Rows are counted from the first one's order: renumber the stretch that moved.
    const std::size_t low = static_cast<std::size_t>(std::min(from, row));
    const std::size_t high = static_cast<std::size_t>(std::max(from, row));
    for (std::size_t i = low; i <= high && i < tops.size(); ++i) {
        tops[i]->m_order = m_root.m_firstChildOrder + static_cast<std::int32_t>(i);
    }
    if (m_listener) m_listener->NodeInserted(nullptr, row);
}

std::vector<TreeNode*> CategoryTree::FindByTextAndIndex(std::string_view text, int index) const {
    std::vector<TreeNode*> found;
    m_byKey.ForEachMatch(text, [&](TreeNode* node) {
        if (node->m_data.Index == index) found.push_back(node);
    });
    return found;
}

int CategoryTree::CountByText(std::string_view text, bool exactCase) const {
    int count = 0;
    m_byKey.ForEachMatch(text, [&](TreeNode* node) {
        if (!exactCase || node->Text() == text) ++count;
    });
    return count;
}

void CategoryTree::ShiftIndexesAbove(int index) {
    ForEach([index](const TreeNode& n) {
        int& i = const_cast<TreeNode&>(n).m_data.Index;
        if (i > index) --i;
    });
}

void CategoryTree::BeginBatch() {
    if (m_batch++ > 0) return;
    if (m_listener) m_listener->AboutToReset();
    m_heldListener = m_listener;
    m_listener = nullptr;
}

void CategoryTree::EndBatch() {
    if (m_batch == 0 || --m_batch > 0) return;
    m_listener = m_heldListener;
    m_heldListener = nullptr;
    // A batch is a long load: the lists it grew keep no spare room for the rest of the run.
    m_root.ShrinkChildren();
    if (m_listener) m_listener->Reset();
}

void CategoryTree::Clear() {
    if (m_listener) m_listener->AboutToReset();
    m_root.m_children.reset();
    m_root.m_firstChildOrder = 0;
    m_byKey.Clear();
    m_count = 0;
    m_current = nullptr;
    if (m_listener) m_listener->Reset();
}

bool CategoryTree::Before(const TreeNode* a, const TreeNode* b) const {
    auto path = [](const TreeNode* n) {
        std::vector<int> rows;
        for (; n != nullptr; n = n->Parent()) rows.push_back(n->Row());
        std::reverse(rows.begin(), rows.end());
        return rows;
    };
    return path(a) < path(b);  // an ancestor's path is a prefix and sorts first
}

TreeNode* CategoryTree::FindNodeByText(std::string_view text, bool makeVisible, bool exactCase) {
    if (m_count == 0) return nullptr;
    TreeNode* best = nullptr;
    m_byKey.ForEachMatch(text, [&](TreeNode* node) {
        if (exactCase && node->Text() != text) return;
        if (best == nullptr || Before(node, best)) best = node;
    });
    if (best != nullptr && makeVisible && m_listener) m_listener->MakeVisible(best);
    return best;
}

void CategoryTree::SetSelected(TreeNode* node, bool selected) {
    if (node != nullptr) node->m_selected = selected;
}

void CategoryTree::ClearSelection() {
    ForEach([](const TreeNode& n) { const_cast<TreeNode&>(n).m_selected = false; });
}

std::vector<TreeNode*> CategoryTree::SelectedNodes() const {
    std::vector<TreeNode*> out;
    ForEach([&](const TreeNode& n) {
        if (n.m_selected) out.push_back(const_cast<TreeNode*>(&n));
    });
    return out;
}

}  // namespace tk
