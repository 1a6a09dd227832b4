#include "history/category_trees.h"

#include <algorithm>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "base/text.h"

namespace tk {

namespace {

constexpr int kImageFolder = 0;
constexpr int kImageDocument = 1;
constexpr int kImageWebPage = 2;
constexpr int kImageNetwork = 5;
constexpr int kImageComputer = 6;
constexpr int kImageMyDocuments = 8;
constexpr int kImageDesktop = 9;
constexpr int kLastBuiltInImage = 10;
// Below this many nodes a second thread costs more than it saves.
constexpr int kParallelShift = 20000;

}  // namespace

CategoryTrees::CategoryTrees(const DocRecords& records, const FileSystem& files, FileIcons& icons)
    : m_records(records), m_files(files), m_icons(icons) {}

CategoryTree* CategoryTrees::TreeOfPage(int page) {
    switch (page) {
        case 0: return &m_tvDocs;
        case 1: return &m_tvApp;
        case 2: return &m_tvPath;
        case 3: return &m_tvDoc;
        default: return nullptr;
    }
}

TreeNode* CategoryTrees::FindNodeByText(CategoryTree& tree, std::string_view text,
                                        bool makeVisible) {
    // The join agrees with DocGroupExists wherever names differing in case are different.
    return tree.FindNodeByText(text, makeVisible, !m_records.Dialect().GroupNamesIgnoreCase());
}

std::optional<int> CategoryTrees::GetDocImageIndex(const std::string& path, std::string_view title,
                                                   const PathAnswers* answers) {
    if (answers != nullptr && *answers) {
        const std::optional<bool> answer = (*answers)(path);
        if (!answer) {
            // Shown as a document until ResolveLateImage.
            m_lateImages.push_back(path);
            return kImageDocument;
        }
        if (!*answer) return kImageDocument;
    } else if (!m_files.FileExists(path)) {
        return kImageDocument;
    }
    return ProgramImageIndex(path, title);
}

std::optional<int> CategoryTrees::ProgramImageIndex(const std::string& path, std::string_view title) {
    if (title == "我的电脑") return kImageComputer;
    if (title == "桌面") return kImageDesktop;
    if (title == "网上邻居") return kImageNetwork;
    if (title == "控制面板") return kImageNetwork;
    if (title == "我的文档") return kImageMyDocuments;
    std::optional<FileIcon> icon = m_icons.IconOf(path);
    if (m_lastImageIndex == 0) m_lastImageIndex = kLastBuiltInImage;
    // Only an icon that went in takes a place: the next one must land right after the end.
    if (!icon || !m_images.Insert(m_lastImageIndex + 1, std::move(*icon))) return std::nullopt;
    return ++m_lastImageIndex;
}

void CategoryTrees::ResolveLateImage(const std::string& path, bool exists) {
    const auto late = std::find(m_lateImages.begin(), m_lateImages.end(), path);
    if (late == m_lateImages.end()) return;
    m_lateImages.erase(late);
    if (!exists) return;  // it already shows as a document
    const auto& docs = m_records.DocHistory();
    for (std::size_t i = 0; i < docs.size(); ++i) {
        const TMyDoc& doc = docs[i];
        if (doc.DocType != kDocTypeProgram || TrimView(doc.Location) != path) continue;
        // An icon that cannot be taken leaves the document picture: the entry stays in view.
        const std::optional<int> image = ProgramImageIndex(path, Trim(doc.Title));
        if (!image) continue;
        for (CategoryTree* tree : {&m_tvDocs, &m_tvApp}) {
            for (int row = 0; row < tree->TopCount(); ++row) {
                TreeNode* node = tree->Top(row);
                if (node->Data().Index == static_cast<int>(i)) tree->SetImage(node, *image);
            }
        }
    }
}

namespace {

// A network share's own folder (file://server/share) is to its server what a site's root page
// is to its host: the group says it all, a child would only repeat it.
bool IsShareOfServer(std::string_view scheme, std::string_view rest) {
    if (LowerAscii(scheme) != "file") return false;
    const std::size_t share = rest.find('/');
    if (share == std::string_view::npos || share == 0) return false;
    std::string_view below = rest.substr(share + 1);
    if (below.ends_with('/')) below.remove_suffix(1);
    return !TrimView(below).empty() && below.find('/') == std::string_view::npos;
}

}  // namespace

std::string CategoryTrees::ChildTextOf(const TMyDoc& doc, const PathDialect& dialect) {
    const std::string& loc = doc.Location;
    if (doc.DocType == kDocTypeFolder) return dialect.FolderChildText(loc, doc.Name);
    // Any scheme, not only "http://": otherwise every later page of a secure site would be
    // recorded and never shown.
    const std::size_t scheme = loc.find("://");
    if (scheme == std::string::npos) return {};
    const std::string_view rest = std::string_view(loc).substr(scheme + 3);
    if (rest == doc.Name || rest == doc.Name + "/") return {};
    if (IsShareOfServer(loc.substr(0, scheme), rest)) return {};
    return Trim(rest);
}

void CategoryTrees::RecordAdded(int n, bool newGroup, bool isExplicit, const PathAnswers* answers) {
    const TMyDoc& doc = *m_records.At(n);
    const int type = doc.DocType;
    const std::string& name = doc.Name;
    CategoryTree& category = type == kDocTypeWebPage   ? m_tvDoc
                             : type == kDocTypeProgram ? m_tvApp
                                                       : m_tvPath;
    TreeNode* docsGroup = nullptr;
    TreeNode* webGroup = nullptr;
    TreeNode* folderGroup = nullptr;
    if (newGroup) {
        const std::string& text = name.empty() ? doc.Title : name;
        int image = type == kDocTypeWebPage ? kImageWebPage : kImageFolder;
        if (type == kDocTypeProgram) {
            const std::optional<int> programImage = GetDocImageIndex(doc.Location, doc.Title, answers);
            if (!programImage) return;  // the entry stays, without nodes
            image = *programImage;
        }
        docsGroup = m_tvDocs.AddFirst(text, image, n);
        TreeNode* categoryNode = category.AddFirst(text, image, n);
        (type == kDocTypeWebPage ? webGroup : folderGroup) = categoryNode;
    } else {
        docsGroup = FindNodeByText(m_tvDocs, name, true);
        webGroup = FindNodeByText(m_tvDoc, name, true);
        folderGroup = FindNodeByText(m_tvPath, name, true);
    }
    if (isExplicit) {
        if (type != kDocTypeProgram) ++m_namedFolders;
        return;  // programs never get child nodes
    }
    const std::string child = ChildText(doc);
    if (child.empty()) return;
    const int image = type == kDocTypeWebPage ? kImageWebPage : kImageFolder;
    m_tvDocs.AddChildLast(docsGroup, child, image, n);
    category.AddChildLast(type == kDocTypeWebPage ? webGroup : folderGroup, child, image, n);
}

// A removal takes out only the record's own nodes; where the record headed a group that
// later records joined, the first of them heads it now and the group moves to where that
// record would have put it. What a fresh load would build otherwise (names shared across
// kinds, nodes of the same text) is built again whole.
bool CategoryTrees::RemoveNodesOf(int r) {
    if (m_namedFolders > 0) return false;
    const TMyDoc& doc = *m_records.At(r);
    const std::string name = Trim(doc.Name);
    struct Found {
        CategoryTree* tree;
        std::vector<TreeNode*> heads, children;
    };
    // Its nodes carry its group's text or its child text: found through the trees' indexes.
    const std::string groupText = name.empty() ? doc.Title : doc.Name;
    const std::string childText = doc.DocType == kDocTypeProgram ? std::string() : ChildText(doc);
    std::vector<Found> found;
    for (CategoryTree* tree : {&m_tvDocs, &m_tvApp, &m_tvPath, &m_tvDoc}) {
        Found f{tree, {}, {}};
        std::vector<TreeNode*> nodes = tree->FindByTextAndIndex(groupText, r);
        if (!childText.empty() && childText != groupText) {
            const std::vector<TreeNode*> more = tree->FindByTextAndIndex(childText, r);
            nodes.insert(nodes.end(), more.begin(), more.end());
        }
        for (TreeNode* node : nodes) (node->Parent() == nullptr ? f.heads : f.children).push_back(node);
        if (!f.heads.empty() || !f.children.empty()) found.push_back(std::move(f));
    }
    // It heads a group when it is a program or the first of its name; otherwise a node of its
    // at the top is a child that found no group to go under.
    const auto& all = m_records.DocHistory();
    bool heads = doc.DocType == kDocTypeProgram;
    if (!heads) {
        heads = true;
        for (int i = 0; i < r && heads; ++i) heads = TrimView(all[static_cast<std::size_t>(i)].Name) != name;
    }
    if (!heads) {
        for (Found& f : found) {
            f.children.insert(f.children.end(), f.heads.begin(), f.heads.end());
            f.heads.clear();
        }
    }
    // The record that heads the group after this one: the next of the same name.
    int successor = -1;
    bool sameKind = true;
    if (heads && !name.empty()) {
        const auto& docs = m_records.DocHistory();
        for (std::size_t i = static_cast<std::size_t>(r) + 1; i < docs.size(); ++i) {
            if (TrimView(docs[i].Name) != name) continue;
            // Every program heads a node of its own (or none, without an icon): never a
            // program's node handed on.
            if (doc.DocType == kDocTypeProgram && docs[i].DocType == kDocTypeProgram) continue;
            if (successor < 0) successor = static_cast<int>(i);
            sameKind = sameKind && docs[i].DocType == doc.DocType;
        }
    }
    if (!sameKind) return false;
    const bool exact = !m_records.Dialect().GroupNamesIgnoreCase();
    for (const Found& f : found) {
        for (TreeNode* child : f.children) {
            if (child->ChildCount() > 0) return false;
        }
        for (TreeNode* head : f.heads) {
            int others = 0;
            for (int row = 0; row < head->ChildCount(); ++row) {
                if (head->Child(row)->Data().Index != r) ++others;
            }
            if (others > 0 && successor < 0) return false;
            if (successor >= 0 && f.tree->CountByText(head->Text(), exact) > 1) return false;
        }
    }
    for (const Found& f : found) {
        for (TreeNode* child : f.children) {
            if (child->Parent() == nullptr || child->Parent()->Data().Index != r || !heads) f.tree->Remove(child);
        }
        for (TreeNode* head : f.heads) {
            if (successor < 0) {
                f.tree->Remove(head);
                continue;
            }
            for (int row = head->ChildCount() - 1; row >= 0; --row) {
                if (head->Child(row)->Data().Index == r) f.tree->Remove(head->Child(row));
            }
            f.tree->SetIndex(head, successor);
            // Newer groups stand first: it goes after those headed by records after its own.
            int row = head->Row();
            while (row > 0 && f.tree->Top(row - 1)->Data().Index < successor) --row;
            if (row != head->Row()) f.tree->MoveTop(head, row);
        }
    }
    return true;
}

void CategoryTrees::RecordRemoving(int index) {
    m_rebuildPending = !RemoveNodesOf(index);
    if (!m_rebuildPending) return;
    // Each shown program's file counts as it was found when it came in, so a rebuild never
    // waits on a hung mount.
    m_shownPrograms.clear();
    for (const CategoryTree* tree : {&m_tvApp, &m_tvDocs}) {
        for (int row = 0; row < tree->TopCount(); ++row) {
            const TreeNode* node = tree->Top(row);
            const TMyDoc* doc = m_records.At(node->Data().Index);
            if (doc == nullptr || doc->DocType != kDocTypeProgram) continue;
            // Keyed as stored: a location the rebuild spells otherwise is asked again.
            m_shownPrograms.emplace(doc->Location, node->ImageIndex() != kImageDocument);
        }
    }
}

void CategoryTrees::RecordRemoved(int index) {
    if (m_rebuildPending) {
        m_rebuildPending = false;
        ++m_rebuilds;
        Rebuild();
        return;
    }
    // Every node is visited: 全部 holds as many as the other three together, so it is walked on
    // a second thread meanwhile (a long history's removal is held by this walk).
    if (m_tvDocs.Count() < kParallelShift) {
        for (CategoryTree* tree : {&m_tvDocs, &m_tvApp, &m_tvPath, &m_tvDoc}) tree->ShiftIndexesAbove(index);
        return;
    }
    std::thread all([this, index] { m_tvDocs.ShiftIndexesAbove(index); });
    for (CategoryTree* tree : {&m_tvApp, &m_tvPath, &m_tvDoc}) tree->ShiftIndexesAbove(index);
    all.join();
}

void CategoryTrees::ClearTrees() {
    m_lastImageIndex = kLastBuiltInImage;
    m_namedFolders = 0;
    m_tvDocs.Clear();
    m_tvApp.Clear();
    m_tvPath.Clear();
    m_tvDoc.Clear();
}

void CategoryTrees::RecordsCleared() {
    ClearTrees();
    m_lateImages.clear();
}

void CategoryTrees::Rebuild() {
    // The disk is asked only about programs no tree showed; answers still out stay out.
    const std::unordered_map<std::string, bool> shown = std::move(m_shownPrograms);
    m_shownPrograms.clear();
    const std::vector<std::string> late = std::move(m_lateImages);
    m_lateImages.clear();
    const PathAnswers answers = [&](const std::string& path) -> std::optional<bool> {
        if (std::find(late.begin(), late.end(), path) != late.end()) return std::nullopt;
        const auto it = shown.find(path);
        return it != shown.end() ? it->second : m_files.FileExists(path);
    };
    ClearTrees();
    std::unordered_set<std::string_view> names;
    const auto& docs = m_records.DocHistory();
    for (std::size_t i = 0; i < docs.size(); ++i) {
        const bool isExplicit = docs[i].DocType == kDocTypeProgram;
        const bool newGroup = names.insert(TrimView(docs[i].Name)).second || isExplicit;
        RecordAdded(static_cast<int>(i), newGroup, isExplicit, &answers);
    }
}

}  // namespace tk
