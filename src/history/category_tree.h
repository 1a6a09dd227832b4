#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "history/tree_children.h"

// A category tree as a plain model: nodes with text, image and a history index. A view adapter
// listens to it; the core never sees a widget.
namespace tk {

// The data every node carries: the index of the history entry it stands for.
struct TNodeData {
    int Index = -1;
};

class TreeNode {
public:
    TreeNode() = default;
    TreeNode(const TreeNode&) = delete;  // its text lives past its end: never copied or moved
    TreeNode& operator=(const TreeNode&) = delete;
    std::string_view Text() const { return {reinterpret_cast<const char*>(this + 1), m_textSize}; }
    int ImageIndex() const { return m_image; }
    int SelectedIndex() const { return m_image; }
    const TNodeData& Data() const { return m_data; }
    // The parent node, or nullptr for a top-level node.
    TreeNode* Parent() const { return m_parent != nullptr && !m_parent->m_isRoot ? m_parent : nullptr; }
    int ChildCount() const { return m_children ? static_cast<int>(m_children->size()) : 0; }
    TreeNode* Child(int row) const;
    // Position among the parent's children (or among the top-level nodes).
    int Row() const;
    bool IsSelected() const { return m_selected; }

    // A node and its text are one block, the text right after the node: a long history has tens
    // of thousands of nodes, and a block of its own (or a string object) would cost each of them
    // a heap block's bookkeeping more.
    struct TextRoom {
        std::size_t bytes;
    };
    static void* operator new(std::size_t size, TextRoom room) { return ::operator new(size + room.bytes); }
    static void operator delete(void* block, TextRoom) { ::operator delete(block); }
    static void operator delete(void* block) { ::operator delete(block); }

private:
    friend class CategoryTree;
    TreeNode* m_parent = nullptr;
    using Children = TreeChildren;
    // Most nodes never get a child, so the list comes on demand.
    std::unique_ptr<Children> m_children;
    std::uint32_t m_textSize = 0;
    int m_image = 0;
    TNodeData m_data;
    // Rows are m_order - parent's first order; keeps Row() O(1) with inserts at the front.
    // (32 bits: a node costs less, and two billion inserts at the front of one list are far off.)
    std::int32_t m_order = 0;
    std::int32_t m_firstChildOrder = 0;
    bool m_selected = false;
    bool m_isRoot = false;
    void ShrinkChildren();
    const Children& ChildList() const {
        static const Children kNone;
        return m_children ? *m_children : kNone;
    }
    Children& MutableChildren() {
        if (!m_children) m_children = std::make_unique<Children>();
        return *m_children;
    }
};

// Told about every change so a view can follow; parent nullptr means the top level.
class TreeListener {
public:
    virtual ~TreeListener() = default;
    virtual void NodeAboutToBeInserted(const TreeNode* parent, int row) = 0;
    virtual void NodeInserted(const TreeNode* parent, int row) = 0;
    virtual void NodeAboutToBeRemoved(const TreeNode* parent, int row) = 0;
    virtual void NodeRemoved(const TreeNode* parent, int row) = 0;
    virtual void AboutToReset() = 0;
    virtual void Reset() = 0;
    // Expand the node's ancestors and scroll it into view.
    virtual void MakeVisible(const TreeNode* node) = 0;
    // The node's picture changed (a late answer about its file).
    virtual void NodeChanged(const TreeNode* /*node*/) {}
};

class CategoryTree {
public:
    explicit CategoryTree(std::string name = {});
    ~CategoryTree();
    CategoryTree(const CategoryTree&) = delete;
    CategoryTree& operator=(const CategoryTree&) = delete;

    const std::string& Name() const { return m_name; }
    void SetListener(TreeListener* listener) { (m_batch > 0 ? m_heldListener : m_listener) = listener; }
    // The changes made between these reach the listener as one reset: a long history loads
    // so, and a window draws its tree once instead of once for every node.
    void BeginBatch();
    void EndBatch();

    int TopCount() const { return m_root.ChildCount(); }
    TreeNode* Top(int row) const { return m_root.Child(row); }
    int Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }

    TreeNode* AddFirst(std::string_view text, int image, int index);
    TreeNode* AddLast(std::string_view text, int image, int index);
    TreeNode* AddChildLast(TreeNode* parent, std::string_view text, int image, int index);
    void Remove(TreeNode* node);
    void SetImage(TreeNode* node, int image);
    // Moves a top-level node, children and all, to `row` of the top level as it stands
    // without the node.
    void MoveTop(TreeNode* node, int row);
    // The nodes of history entry `index` whose text is `text` (ignoring ASCII case).
    std::vector<TreeNode*> FindByTextAndIndex(std::string_view text, int index) const;
    // How many nodes carry `text` (ignoring ASCII case, or with `exactCase` byte for byte).
    int CountByText(std::string_view text, bool exactCase) const;
    // Points a node at another history entry; the view shows nothing different.
    void SetIndex(TreeNode* node, int index) {
        if (node != nullptr) node->m_data.Index = index;
    }
    // Every node standing for an entry after `index` now stands one lower: that entry went.
    void ShiftIndexesAbove(int index);
    // Room for about `nodes` nodes in the lookup index, ahead of a large load.
    void Reserve(std::size_t nodes);
    void Clear();

    // First node in tree order whose text equals `text` ignoring ASCII case; with
    // `makeVisible` its ancestors are expanded and it is scrolled into view.
    // `exactCase` matches the text byte for byte instead of ASCII-case-insensitively.
    TreeNode* FindNodeByText(std::string_view text, bool makeVisible, bool exactCase = false);

    // Every node in tree order: a node, then its children, then its next sibling.
    template <typename F>
    void ForEach(F&& f) const {
        Walk(m_root, f);
    }

    // Selection as the view holds it: any number of nodes plus the one with the focus.
    void SetSelected(TreeNode* node, bool selected);
    void ClearSelection();
    void SetCurrent(TreeNode* node) { m_current = node; }
    TreeNode* Current() const { return m_current; }
    std::vector<TreeNode*> SelectedNodes() const;

private:
    template <typename F>
    static void Walk(const TreeNode& parent, F& f) {
        parent.ChildList().ForEach([&f](TreeNode& child) {
            f(child);
            Walk(child, f);
        });
    }
    TreeNode* Insert(TreeNode* parent, bool atFront, std::string_view text, int image, int index);
    void Unindex(TreeNode* node);
    bool Before(const TreeNode* a, const TreeNode* b) const;

    std::string m_name;
    TreeNode m_root;
    int m_count = 0;
    TreeListener* m_listener = nullptr;
    TreeListener* m_heldListener = nullptr;  // while a batch runs
    int m_batch = 0;
    TreeNode* m_current = nullptr;
    // Text, compared ignoring ASCII case -> nodes; the key views the node's own text.
    struct CaseHash {
        std::size_t operator()(std::string_view text) const noexcept;
    };
    struct CaseEqual {
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    // Nodes by their text, compared ignoring ASCII case: a flat table of node pointers, the
    // texts staying in the nodes. One slot a node; nodes of the same text take several.
    struct NodeTable {
        std::vector<TreeNode*> table;  // a power of two long, or empty
        std::size_t used = 0;
        std::size_t gone = 0;
        void Insert(TreeNode* node);
        void Erase(TreeNode* node);
        void Rehash(std::size_t size);
        void Clear() {
            table.clear();
            used = gone = 0;
        }
        // Calls `each` with every node whose text matches.
        template <typename F>
        void ForEachMatch(std::string_view text, F&& each) const {
            if (table.empty()) return;
            const std::size_t mask = table.size() - 1;
            for (std::size_t at = CaseHash{}(text) & mask; table[at] != nullptr; at = (at + 1) & mask) {
                TreeNode* node = table[at];
                if (node != Gone() && CaseEqual{}(node->Text(), text)) each(node);
            }
        }
        static TreeNode* Gone() { return reinterpret_cast<TreeNode*>(alignof(TreeNode)); }
    };
    NodeTable m_byKey;
};

}  // namespace tk
