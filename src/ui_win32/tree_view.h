#pragma once

#include <cstddef>
#include <unordered_set>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "history/category_tree.h"
#include "history/image_list.h"

namespace tk {

// ImageList1 as the tree views see it: the built-in strip, then each program icon as the core
// adds it. The core inserts at a position and renumbers; the control only appends, so a table
// maps the core's numbers to the control's.
class TreeImages final : public ImageListListener {
public:
    // Pictures `side` pixels square: 16 at 96 DPI, scaled with the window.
    TreeImages(ImageList& images, int side);
    ~TreeImages() override;
    TreeImages(const TreeImages&) = delete;
    TreeImages& operator=(const TreeImages&) = delete;

    HIMAGELIST Handle() const { return m_list; }
    // The control's image for the core's number; the first built-in one when unknown.
    int Physical(int index) const;
    // Every picture made again at another size; the trees must be given the new Handle().
    void SetSide(int side);
    void ImageInserted(int index) override;

private:
    int Append(const std::optional<FileIcon>& icon);
    ImageList& m_images;
    HIMAGELIST m_list = nullptr;
    int m_side = 16;
    std::vector<int> m_physical;
};

// Node -> item, for every node shown: a flat table of pairs, since a long history shows tens of
// thousands of nodes and a node-based map spends a block of its own on each.
class TreeItemTable {
public:
    HTREEITEM Find(const TreeNode* node) const;
    void Put(const TreeNode* node, HTREEITEM item);
    void Erase(const TreeNode* node);
    void Clear();
    std::size_t Size() const { return m_used; }
    template <typename F>
    void ForEach(F&& f) const {
        for (const Slot& slot : m_slots) {
            if (slot.node != nullptr && slot.node != Gone()) f(slot.node, slot.item);
        }
    }

private:
    struct Slot {
        const TreeNode* node = nullptr;
        HTREEITEM item = nullptr;
    };
    static const TreeNode* Gone() { return reinterpret_cast<const TreeNode*>(alignof(TreeNode)); }
    std::size_t SlotOf(const TreeNode* node) const;
    void Grow();
    std::vector<Slot> m_slots;  // a power of two long, or empty
    std::size_t m_used = 0;
    std::size_t m_gone = 0;
};

// One category tree shown in a tree-view control: the control follows the core's changes.
// Items carry their node in lParam; images are asked for when drawn, so a renumbering in the
// image list never leaves an item with a stale picture.
class TreeViewAdapter final : public TreeListener {
public:
    TreeViewAdapter(HWND control, CategoryTree& tree, const TreeImages& images);
    ~TreeViewAdapter() override;
    TreeViewAdapter(const TreeViewAdapter&) = delete;
    TreeViewAdapter& operator=(const TreeViewAdapter&) = delete;

    HWND Control() const { return m_control; }
    CategoryTree& Tree() { return m_tree; }
    static TreeNode* NodeOf(HWND control, HTREEITEM item);
    HTREEITEM ItemOf(const TreeNode* node) const;
    // The control asks for an item's picture (TVN_GETDISPINFOW).
    void FillDisplayInfo(NMTVDISPINFOW& info) const;
    // The control's selection becomes the core's: every marked item is selected, the
    // control's own selection is the current node.
    void SyncSelection();
    // Ctrl and Shift clicks, which the control does not know: Ctrl marks or unmarks `item`,
    // Shift marks every visible item from the current one to `item`. The focus stays.
    void ExtendSelection(HTREEITEM item, bool range);
    // A plain click: only the control's own selection stays marked.
    void ClearMarks();
    void ExpandAll(bool expand);
    // A group's children are put in the control when it first opens (TVN_ITEMEXPANDINGW).
    void Expanding(HTREEITEM item);
    void Expand(const TreeNode* node, bool expand);

    void NodeAboutToBeInserted(const TreeNode*, int) override {}
    void NodeInserted(const TreeNode* parent, int row) override;
    void NodeAboutToBeRemoved(const TreeNode* parent, int row) override;
    void NodeRemoved(const TreeNode* parent, int row) override;
    void AboutToReset() override;
    void Reset() override;
    void MakeVisible(const TreeNode* node) override;

private:
    void InsertNode(const TreeNode* node);
    void Fill(const TreeNode* node);
    // The control asks again whether the node has children.
    void RefreshButton(const TreeNode* node);
    void Forget(const TreeNode* node);

    HWND m_control;
    CategoryTree& m_tree;
    const TreeImages& m_images;
    TreeItemTable m_items;
    std::unordered_set<const TreeNode*> m_filled;  // the groups whose children are in
};

}  // namespace tk
