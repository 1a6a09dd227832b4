#include "ui_win32/tree_view.h"

#include <cstdint>

#include "base/wide_text.h"
#include "ui_win32/artwork.h"
#include "ui_win32/dpi.h"

namespace tk {

TreeImages::TreeImages(ImageList& images, int side) : m_images(images) {
    SetSide(side);
    images.SetListener(this);
}

void TreeImages::SetSide(int side) {
    if (m_list) ::ImageList_Destroy(m_list);
    m_side = side > 0 ? side : 16;
    m_list = ::ImageList_Create(m_side, m_side, ILC_COLOR32, 32, 32);
    m_physical.clear();
    for (int i = 0; i < m_images.Count(); ++i) m_physical.push_back(Append(m_images.At(i)));
}

TreeImages::~TreeImages() {
    m_images.SetListener(nullptr);
    if (m_list) ::ImageList_Destroy(m_list);
}

int TreeImages::Physical(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_physical.size()) return 0;
    return m_physical[static_cast<std::size_t>(index)];
}

void TreeImages::ImageInserted(int index) {
    const int made = Append(m_images.At(index));
    m_physical.insert(m_physical.begin() + index, made);
}

int TreeImages::Append(const std::optional<FileIcon>& icon) {
    HBITMAP bitmap = nullptr;
    if (icon && icon->width > 0 && icon->height > 0 &&
        icon->argb.size() >= static_cast<std::size_t>(icon->width) * static_cast<std::size_t>(icon->height)) {
        bitmap = BitmapFromArgb(icon->argb.data(), icon->width, icon->height);
        if (bitmap && (icon->width != m_side || icon->height != m_side)) {
            // The list holds squares of one size: an icon of another is scaled into one.
            Picture source{bitmap, icon->width, icon->height};
            std::vector<std::uint32_t> blank(static_cast<std::size_t>(m_side * m_side), 0);
            HBITMAP small = BitmapFromArgb(blank.data(), m_side, m_side);
            HDC screen = ::GetDC(nullptr);
            HDC dc = ::CreateCompatibleDC(screen);
            HGDIOBJ old = ::SelectObject(dc, small);
            const RECT dest{0, 0, m_side, m_side};
            DrawPicture(dc, source, dest);
            ::SelectObject(dc, old);
            ::DeleteDC(dc);
            ::ReleaseDC(nullptr, screen);
            ::DeleteObject(bitmap);
            bitmap = small;
        }
    } else if (!icon) {
        // A built-in picture: its 16-pixel column of the strip, drawn from the strip at the
        // list's scale.
        const int builtIn = ImageList_GetImageCount(m_list);
        const int dpi = ::MulDiv(m_side, kBaseDpi, 16);
        const Picture& strip = Artwork("imagelist.png", dpi);
        std::vector<std::uint32_t> blank(static_cast<std::size_t>(m_side * m_side), 0);
        bitmap = BitmapFromArgb(blank.data(), m_side, m_side);
        if (strip && bitmap) {
            HDC screen = ::GetDC(nullptr);
            HDC dc = ::CreateCompatibleDC(screen);
            HGDIOBJ old = ::SelectObject(dc, bitmap);
            const RECT dest{0, 0, m_side, m_side};
            const RECT source{Scaled(builtIn * 16, dpi), 0, Scaled(builtIn * 16 + 16, dpi), Scaled(16, dpi)};
            DrawPicture(dc, strip, dest, &source);
            ::SelectObject(dc, old);
            ::DeleteDC(dc);
            ::ReleaseDC(nullptr, screen);
        }
    }
    if (bitmap == nullptr) {
        std::vector<std::uint32_t> blank(static_cast<std::size_t>(m_side * m_side), 0);
        bitmap = BitmapFromArgb(blank.data(), m_side, m_side);
    }
    const int index = ::ImageList_Add(m_list, bitmap, nullptr);
    ::DeleteObject(bitmap);
    return index < 0 ? 0 : index;
}

// ---- node -> item

std::size_t TreeItemTable::SlotOf(const TreeNode* node) const {
    // Nodes are heap blocks: the low bits say nothing, a multiplicative hash spreads the rest.
    const auto key = reinterpret_cast<std::uintptr_t>(node) >> 4;
    return static_cast<std::size_t>(key * 0x9E3779B97F4A7C15ull) & (m_slots.size() - 1);
}

HTREEITEM TreeItemTable::Find(const TreeNode* node) const {
    if (m_slots.empty() || node == nullptr) return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = SlotOf(node); m_slots[at].node != nullptr; at = (at + 1) & mask) {
        if (m_slots[at].node == node) return m_slots[at].item;
    }
    return nullptr;
}

void TreeItemTable::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    std::size_t size = 64;
    while (size < (m_used + 1) * 2 + 2) size *= 2;
    m_slots.assign(size, Slot{});
    m_used = m_gone = 0;
    for (const Slot& slot : old) {
        if (slot.node != nullptr && slot.node != Gone()) Put(slot.node, slot.item);
    }
}

void TreeItemTable::Put(const TreeNode* node, HTREEITEM item) {
    if (node == nullptr) return;
    if ((m_used + m_gone + 1) * 2 > m_slots.size()) Grow();
    const std::size_t mask = m_slots.size() - 1;
    std::size_t free = m_slots.size();
    for (std::size_t at = SlotOf(node);; at = (at + 1) & mask) {
        Slot& slot = m_slots[at];
        if (slot.node == node) {
            slot.item = item;
            return;
        }
        if (slot.node == Gone() && free == m_slots.size()) free = at;
        if (slot.node == nullptr) {
            if (free == m_slots.size()) free = at;
            break;
        }
    }
    if (m_slots[free].node == Gone()) --m_gone;
    m_slots[free] = {node, item};
    ++m_used;
}

void TreeItemTable::Erase(const TreeNode* node) {
    if (m_slots.empty() || node == nullptr) return;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = SlotOf(node); m_slots[at].node != nullptr; at = (at + 1) & mask) {
        if (m_slots[at].node == node) {
            m_slots[at] = {Gone(), nullptr};
            --m_used;
            ++m_gone;
            return;
        }
    }
}

void TreeItemTable::Clear() {
    m_slots.clear();
    m_used = m_gone = 0;
}

// ---- the adapter

TreeViewAdapter::TreeViewAdapter(HWND control, CategoryTree& tree, const TreeImages& images)
    : m_control(control), m_tree(tree), m_images(images) {
    TreeView_SetImageList(m_control, images.Handle(), TVSIL_NORMAL);
    m_tree.SetListener(this);
    Reset();
}

TreeViewAdapter::~TreeViewAdapter() { m_tree.SetListener(nullptr); }

TreeNode* TreeViewAdapter::NodeOf(HWND control, HTREEITEM item) {
    if (item == nullptr) return nullptr;
    TVITEMW tv{};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!TreeView_GetItem(control, &tv)) return nullptr;
    return reinterpret_cast<TreeNode*>(tv.lParam);
}

HTREEITEM TreeViewAdapter::ItemOf(const TreeNode* node) const {
    return m_items.Find(node);
}

void TreeViewAdapter::FillDisplayInfo(NMTVDISPINFOW& info) const {
    const auto* node = reinterpret_cast<const TreeNode*>(info.item.lParam);
    if (node == nullptr) return;
    const int image = m_images.Physical(node->ImageIndex());
    if (info.item.mask & TVIF_IMAGE) info.item.iImage = image;
    if (info.item.mask & TVIF_SELECTEDIMAGE) info.item.iSelectedImage = image;
    if (info.item.mask & TVIF_CHILDREN) info.item.cChildren = node->ChildCount() > 0 ? 1 : 0;
}

void TreeViewAdapter::Fill(const TreeNode* node) {
    if (node == nullptr || node->ChildCount() == 0 || m_filled.contains(node) || ItemOf(node) == nullptr) return;
    m_filled.insert(node);
    for (int i = 0; i < node->ChildCount(); ++i) InsertNode(node->Child(i));
}

void TreeViewAdapter::Expanding(HTREEITEM item) { Fill(NodeOf(m_control, item)); }

void TreeViewAdapter::Expand(const TreeNode* node, bool expand) {
    if (expand) Fill(node);
    if (HTREEITEM item = ItemOf(node)) TreeView_Expand(m_control, item, expand ? TVE_EXPAND : TVE_COLLAPSE);
}

void TreeViewAdapter::RefreshButton(const TreeNode* node) {
    HTREEITEM item = node != nullptr ? ItemOf(node) : nullptr;
    if (item == nullptr) return;
    TVITEMW tv{};
    tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = item;
    tv.cChildren = I_CHILDRENCALLBACK;
    TreeView_SetItem(m_control, &tv);
}

void TreeViewAdapter::InsertNode(const TreeNode* node) {
    const TreeNode* parent = node->Parent();
    const int row = node->Row();
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? ItemOf(parent) : TVI_ROOT;
    if (parent && insert.hParent == nullptr) return;
    if (row == 0) {
        insert.hInsertAfter = TVI_FIRST;
    } else {
        const TreeNode* before = parent ? parent->Child(row - 1) : m_tree.Top(row - 1);
        HTREEITEM after = ItemOf(before);
        insert.hInsertAfter = after ? after : TVI_LAST;
    }
    // The text goes in with the item: asked for when drawn instead, the control (Wine's at
    // least) keeps a path-sized buffer of its own for every item, and lays out far slower.
    const std::wstring text = Utf8ToWide(node->Text());
    // A group's children go into the control when it is first opened: a long history has
    // tens of thousands of them, each an item the control keeps with a copy of its text.
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    insert.item.iImage = I_IMAGECALLBACK;
    insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.cChildren = I_CHILDRENCALLBACK;
    HTREEITEM item = TreeView_InsertItem(m_control, &insert);
    if (item == nullptr) return;
    m_items.Put(node, item);
    if (m_filled.contains(node)) {
        for (int i = 0; i < node->ChildCount(); ++i) InsertNode(node->Child(i));
    }
}

void TreeViewAdapter::NodeInserted(const TreeNode* parent, int row) {
    const TreeNode* node = parent ? parent->Child(row) : m_tree.Top(row);
    if (node == nullptr) return;
    if (parent != nullptr && !m_filled.contains(parent)) {
        RefreshButton(parent);  // it may have had no button
        return;
    }
    InsertNode(node);
}

void TreeViewAdapter::NodeRemoved(const TreeNode* parent, int) { RefreshButton(parent); }

void TreeViewAdapter::Forget(const TreeNode* node) {
    m_items.Erase(node);
    m_filled.erase(node);
    for (int i = 0; i < node->ChildCount(); ++i) Forget(node->Child(i));
}

void TreeViewAdapter::NodeAboutToBeRemoved(const TreeNode* parent, int row) {
    const TreeNode* node = parent ? parent->Child(row) : m_tree.Top(row);
    if (node == nullptr) return;
    if (HTREEITEM item = ItemOf(node)) TreeView_DeleteItem(m_control, item);
    Forget(node);
}

void TreeViewAdapter::AboutToReset() {
    TreeView_DeleteAllItems(m_control);
    m_items.Clear();
    m_filled.clear();
}

void TreeViewAdapter::Reset() {
    TreeView_DeleteAllItems(m_control);
    m_items.Clear();
    m_filled.clear();
    ::SendMessageW(m_control, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < m_tree.TopCount(); ++i) InsertNode(m_tree.Top(i));
    ::SendMessageW(m_control, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_control, nullptr, TRUE);
}

void TreeViewAdapter::MakeVisible(const TreeNode* node) {
    if (node == nullptr) return;
    std::vector<const TreeNode*> above;
    for (const TreeNode* up = node->Parent(); up != nullptr; up = up->Parent()) above.push_back(up);
    for (auto it = above.rbegin(); it != above.rend(); ++it) Fill(*it);
    if (HTREEITEM item = ItemOf(node)) TreeView_EnsureVisible(m_control, item);
}

void TreeViewAdapter::SyncSelection() {
    HTREEITEM selected = TreeView_GetSelection(m_control);
    m_tree.ClearSelection();
    // In tree order, as the core lists its selection.
    m_tree.ForEach([this](TreeNode& node) {
        HTREEITEM item = ItemOf(&node);
        if (item && (TreeView_GetItemState(m_control, item, TVIS_SELECTED) & TVIS_SELECTED)) m_tree.SetSelected(&node, true);
    });
    m_tree.SetCurrent(NodeOf(m_control, selected));
}

void TreeViewAdapter::ExtendSelection(HTREEITEM item, bool range) {
    if (item == nullptr) return;
    HTREEITEM anchor = TreeView_GetSelection(m_control);
    if (!range || anchor == nullptr) {
        const bool marked = TreeView_GetItemState(m_control, item, TVIS_SELECTED) & TVIS_SELECTED;
        TreeView_SetItemState(m_control, item, marked ? 0 : TVIS_SELECTED, TVIS_SELECTED);
    } else {
        // Walk the visible items once: marking starts at whichever end comes first and stops
        // at the other.
        int ends = 0;
        for (HTREEITEM at = TreeView_GetRoot(m_control); at; at = TreeView_GetNextVisible(m_control, at)) {
            if (at == anchor || at == item) ends += anchor == item ? 2 : 1;
            if (ends > 0) TreeView_SetItemState(m_control, at, TVIS_SELECTED, TVIS_SELECTED);
            if (ends >= 2) break;
        }
    }
    SyncSelection();
}

void TreeViewAdapter::ClearMarks() {
    HTREEITEM selected = TreeView_GetSelection(m_control);
    m_items.ForEach([&](const TreeNode*, HTREEITEM item) {
        if (item != selected) TreeView_SetItemState(m_control, item, 0, TVIS_SELECTED);
    });
}

void TreeViewAdapter::ExpandAll(bool expand) {
    m_tree.ForEach([&](const TreeNode& node) {
        if (node.ChildCount() > 0) Expand(&node, expand);
    });
}

}  // namespace tk
