#include "history/history.h"

#include <algorithm>
#include <exception>

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

}  // namespace

HistoryCore::HistoryCore(const PathDialect& dialect, const FileSystem& files, FileIcons& icons)
    : m_dialect(dialect), m_files(files), m_icons(icons) {}

void HistoryCore::SetSelectedFlag(int index, bool selected) {
    if (index >= 0 && index < static_cast<int>(m_docs.size())) {
        auto& flag = m_docs[static_cast<std::size_t>(index)].Selected;
        if (flag == (selected ? 1 : 0)) return;
        flag = selected ? 1 : 0;
        DirtyDoc(static_cast<std::size_t>(index));
        NoteChange();
    }
}

void HistoryCore::NoteChange() {
    if (m_quiet > 0) return;
    ++m_changes;
    if (m_onChange) m_onChange();
}

void HistoryCore::FillDocFilters() { m_filters.assign(10, "logon.scr"); }

bool HistoryCore::IsFilteredDoc(std::string_view location) const {
    if (ContainsIgnoringAsciiCase(location, "res://")) return true;
    for (const auto& filter : m_filters) {
        const std::string f = Trim(LowerAscii(filter));
        if (!f.empty() && ContainsIgnoringAsciiCase(location, f)) return true;
    }
    return false;
}

bool HistoryCore::DocExists(std::string_view text) const {
    return m_locationCount.find(TrimView(text)) != m_locationCount.end();
}

bool HistoryCore::DocGroupExists(std::string_view name) const {
    return m_nameCount.find(TrimView(name)) != m_nameCount.end();
}

std::string HistoryCore::GetDocGroupName(std::string_view location) const {
    const std::string_view loc = TrimView(location);
    if (Contains(loc, "file:///")) return m_dialect.FolderGroupName(loc);
    const std::size_t scheme = loc.find("://");
    if (scheme == std::string_view::npos) return {};
    const std::string_view rest = loc.substr(scheme + 3);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return {};
    return std::string(rest.substr(0, slash));
}

std::optional<int> HistoryCore::GetDocImageIndex(std::string_view location,
                                                 std::string_view title) {
    const std::string path(location);
    if (m_pathAnswers) {
        const std::optional<bool> answer = m_pathAnswers(path);
        if (!answer) {
            m_lateImages.push_back(path);
            return kImageDocument;
        }
        if (!*answer) return kImageDocument;
    } else if (!m_files.FileExists(path)) {
        return kImageDocument;
    }
    return ProgramImageIndex(path, title);
}

std::optional<int> HistoryCore::ProgramImageIndex(const std::string& path, std::string_view title) {
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

void HistoryCore::ResolveLateImage(const std::string& path, bool exists) {
    const auto late = std::find(m_lateImages.begin(), m_lateImages.end(), path);
    if (late == m_lateImages.end()) return;
    m_lateImages.erase(late);
    if (!exists) return;  // it already shows as a document
    for (std::size_t i = 0; i < m_docs.size(); ++i) {
        const TMyDoc& doc = m_docs[i];
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

void HistoryCore::IndexDoc(const TMyDoc& doc) {
    ++m_locationCount[Trim(doc.Location)];
    ++m_nameCount[Trim(doc.Name)];
}

void HistoryCore::UnindexDoc(const TMyDoc& doc) {
    for (auto [index, text] : {std::pair{&m_locationCount, Trim(doc.Location)},
                               std::pair{&m_nameCount, Trim(doc.Name)}}) {
        auto it = index->find(text);
        if (it != index->end() && --it->second == 0) index->erase(it);
    }
}

TreeNode* HistoryCore::FindNodeByText(CategoryTree& tree, std::string_view text,
                                      bool makeVisible) {
    // The join agrees with DocGroupExists wherever names differing in case are different.
    return tree.FindNodeByText(text, makeVisible, !m_dialect.GroupNamesIgnoreCase());
}

CategoryTree* HistoryCore::TreeOfPage(int page) {
    switch (page) {
        case 0: return &m_tvDocs;
        case 1: return &m_tvApp;
        case 2: return &m_tvPath;
        case 3: return &m_tvDoc;
        default: return nullptr;
    }
}

void HistoryCore::AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                         bool selected) {
    std::string loc = Trim(location);
    const std::string ttl = Trim(title);
    if (loc.empty() || ttl.empty()) return;
    loc = ReplaceAll(loc, "%20", " ");
    if (IsFilteredDoc(loc) || DocExists(loc)) return;
    const std::string name = Trim(GetDocGroupName(loc));
    if (!isExplicit && name.empty()) return;

    const int n = static_cast<int>(m_docs.size());
    const bool newGroup = isExplicit || !DocGroupExists(name);
    TMyDoc doc;
    const bool folder = Contains(loc, "file:///");
    doc.DocType = folder ? kDocTypeFolder : (isExplicit ? kDocTypeProgram : kDocTypeWebPage);
    doc.Title = folder ? m_dialect.FolderLocalPath(loc) : ttl;
    doc.Location = loc;
    doc.Name = name;
    doc.Selected = selected ? 1 : 0;
    const int type = doc.DocType;
    m_docs.push_back(std::move(doc));
    DirtyDoc(m_docs.size() - 1);
    IndexDoc(m_docs.back());
    NoteChange();

    CategoryTree& category = type == kDocTypeWebPage   ? m_tvDoc
                             : type == kDocTypeProgram ? m_tvApp
                                                       : m_tvPath;
    TreeNode* docsGroup = nullptr;
    TreeNode* webGroup = nullptr;
    TreeNode* folderGroup = nullptr;
    if (newGroup) {
        const std::string& text = name.empty() ? ttl : name;
        int image = type == kDocTypeWebPage ? kImageWebPage : kImageFolder;
        if (type == kDocTypeProgram) {
            std::optional<int> programImage = GetDocImageIndex(loc, ttl);
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
    if (isExplicit) return;  // programs never get child nodes

    std::string child;
    if (type == kDocTypeFolder) {
        child = m_dialect.FolderChildText(loc, name);
    } else {
        // Any scheme, not only "http://": otherwise every later page of a secure site would be
        // recorded and never shown.
        const std::size_t scheme = loc.find("://");
        const std::string_view rest = std::string_view(loc).substr(scheme + 3);
        if (rest == name || rest == name + "/") return;
        child = Trim(rest);
    }
    if (child.empty()) return;
    const int image = type == kDocTypeWebPage ? kImageWebPage : kImageFolder;
    m_tvDocs.AddChildLast(docsGroup, child, image, n);
    category.AddChildLast(type == kDocTypeWebPage ? webGroup : folderGroup, child, image, n);
}

void HistoryCore::AddCurDoc() {
    std::string t = Trim(CurDocText);
    if (m_dialect.IsLocalPath(t)) {
        t = m_dialect.LocalPathToLocation(t);
    } else if (!Contains(t, "http://")) {
        t = "http://" + t;
    }
    AddDoc(t, t, false, false);
}

void HistoryCore::ClearAll() {
    m_lastImageIndex = kLastBuiltInImage;
    m_tvDocs.Clear();
    m_tvApp.Clear();
    m_tvPath.Clear();
    m_tvDoc.Clear();
    m_docs.clear();
    m_chunks.clear();
    m_locationCount.clear();
    m_nameCount.clear();
    m_lateImages.clear();
}

void HistoryCore::DeleteSelectDocs(int index) {
    if (index < 0 || index >= static_cast<int>(m_docs.size())) return;
    std::vector<TMyDoc> rest;
    rest.reserve(m_docs.size() - 1);
    for (int i = 0; i < static_cast<int>(m_docs.size()); ++i) {
        if (i != index) rest.push_back(m_docs[static_cast<std::size_t>(i)]);
    }
    if (m_window) m_window->SetSweepTimerEnabled(false);
    // The rebuild asks the disk only about programs no tree shows: each shown program's file
    // counts as it was found when it came in, so a removal never waits on a hung mount.
    // Answers still out stay out.
    std::unordered_map<std::string, bool> found;
    for (const CategoryTree* tree : {&m_tvApp, &m_tvDocs}) {
        for (int row = 0; row < tree->TopCount(); ++row) {
            const TreeNode* node = tree->Top(row);
            const int doc = node->Data().Index;
            if (doc < 0 || doc >= static_cast<int>(m_docs.size())) continue;
            const TMyDoc& shown = m_docs[static_cast<std::size_t>(doc)];
            if (shown.DocType != kDocTypeProgram) continue;
            // Keyed as stored: a location the rebuild spells otherwise is asked again.
            found.emplace(shown.Location, node->ImageIndex() != kImageDocument);
        }
    }
    const std::vector<std::string> late = std::move(m_lateImages);
    const ScopedPathAnswers answers(*this, [&](const std::string& path) -> std::optional<bool> {
        if (std::find(late.begin(), late.end(), path) != late.end()) return std::nullopt;
        const auto it = found.find(path);
        return it != found.end() ? it->second : m_files.FileExists(path);
    });
    ClearAll();
    ++m_quiet;
    for (const auto& doc : rest) {
        AddDoc(doc.Location, doc.Title, doc.DocType == kDocTypeProgram, doc.Selected != 0);
    }
    --m_quiet;
    ++m_changes;
    // The rest of the history reaches the disk at once, so a crash after a removal keeps it.
    if (m_ini) WriteHistoryFile();
    if (m_window) m_window->SetSweepTimerEnabled(true);
}

void HistoryCore::DeleteAllDocs() {
    if (m_window) m_window->SetSweepTimerEnabled(false);
    ClearAll();
    ++m_changes;
    if (m_ini) WriteHistoryFile();
    if (m_window) m_window->SetSweepTimerEnabled(true);
}

void HistoryCore::DeleteSelectedOfPage(int page) {
    CategoryTree* tree = TreeOfPage(page);
    if (tree == nullptr || tree->Current() == nullptr) return;
    DeleteSelectDocs(tree->Current()->Data().Index);
}

}  // namespace tk
