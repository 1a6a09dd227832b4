#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/path_dialect.h"
#include "history/category_tree.h"
#include "history/doc.h"
#include "history/image_list.h"
#include "history/ini_file.h"
#include "history/settings.h"

// The history's registration, removal, load and save done the plain way: every duplicate,
// group and node search walks everything, every time. TestHistory answers the same questions
// from its indexes; the unit tests, the fuzzer and the history benchmark hold it to this.
// Same member names as TestHistory, so one piece of test code drives either.
namespace tk::test {

// First node in tree order whose text equals `text` (ignoring ASCII case unless `exactCase`),
// found by visiting every node; no index.
inline TreeNode* FindNodeByTextLinear(const CategoryTree& tree, std::string_view text,
                                      bool exactCase = false) {
    const std::string key = exactCase ? std::string(text) : UpperAscii(text);
    auto visit = [&](const auto& self, TreeNode* node) -> TreeNode* {
        if ((exactCase ? node->Text() : UpperAscii(node->Text())) == key) return node;
        for (int row = 0; row < node->ChildCount(); ++row) {
            if (TreeNode* found = self(self, node->Child(row))) return found;
        }
        return nullptr;
    };
    for (int row = 0; row < tree.TopCount(); ++row) {
        if (TreeNode* found = visit(visit, tree.Top(row))) return found;
    }
    return nullptr;
}

class LinearHistoryReference {
public:
    LinearHistoryReference(const PathDialect& dialect, const FileSystem& files, FileIcons& icons)
        : m_dialect(dialect), m_files(files), m_icons(icons) {}
    LinearHistoryReference(const LinearHistoryReference&) = delete;
    LinearHistoryReference& operator=(const LinearHistoryReference&) = delete;

    const std::vector<TMyDoc>& DocHistory() const { return m_docs; }
    ImageList& Images() { return m_images; }
    int LastImageIndex() const { return m_lastImageIndex; }
    void FillDocFilters() { m_filters.assign(10, "logon.scr"); }

    CategoryTree* TreeOfPage(int page) {
        return page >= 0 && page < 4 ? &m_trees[static_cast<std::size_t>(page)] : nullptr;
    }
    // The tree cannot be asked for its listener; the reference keeps it to show found nodes.
    void SetTreeListener(int page, TreeListener* listener) {
        m_listeners[static_cast<std::size_t>(page)] = listener;
        TreeOfPage(page)->SetListener(listener);
    }

    bool IsFilteredDoc(std::string_view location) const {
        if (ContainsIgnoringAsciiCase(location, "res://")) return true;
        for (const auto& filter : m_filters) {
            const std::string f = Trim(LowerAscii(filter));
            if (!f.empty() && ContainsIgnoringAsciiCase(location, f)) return true;
        }
        return false;
    }
    bool DocExists(std::string_view text) const {
        for (const auto& doc : m_docs) {
            if (TrimView(doc.Location) == TrimView(text)) return true;
        }
        return false;
    }
    bool DocGroupExists(std::string_view name) const {
        for (const auto& doc : m_docs) {
            if (TrimView(doc.Name) == TrimView(name)) return true;
        }
        return false;
    }
    TreeNode* FindNodeByText(CategoryTree& tree, std::string_view text, bool makeVisible) {
        TreeNode* found = FindNodeByTextLinear(tree, text, !m_dialect.GroupNamesIgnoreCase());
        if (found != nullptr && makeVisible) {
            for (std::size_t page = 0; page < m_trees.size(); ++page) {
                if (&m_trees[page] == &tree && m_listeners[page]) m_listeners[page]->MakeVisible(found);
            }
        }
        return found;
    }

    void AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                bool selected) {
        std::string loc = Trim(location);
        const std::string ttl = Trim(title);
        if (loc.empty() || ttl.empty()) return;
        loc = Trim(ReplaceAll(loc, "%20", " "));
        if (loc.empty()) return;
        if (IsFilteredDoc(loc) || DocExists(loc)) return;
        const std::string name = Trim(GroupName(loc));
        if (!isExplicit && name.empty()) return;

        const int n = static_cast<int>(m_docs.size());
        const bool newGroup = isExplicit || !DocGroupExists(name);
        const bool folder = Contains(loc, "file:///");
        const int type = folder ? kDocTypeFolder : (isExplicit ? kDocTypeProgram : kDocTypeWebPage);
        if (folder && TrimView(m_dialect.FolderLocalPath(loc)).empty()) return;
        m_docs.push_back(TMyDoc{name, loc, folder ? m_dialect.FolderLocalPath(loc) : ttl,
                                static_cast<std::uint8_t>(selected ? 1 : 0), type});

        CategoryTree& all = m_trees[0];
        CategoryTree& category = m_trees[type == kDocTypeWebPage   ? 3
                                         : type == kDocTypeProgram ? 1
                                                                   : 2];
        TreeNode* allGroup = nullptr;
        TreeNode* categoryGroup = nullptr;
        if (newGroup) {
            int image = type == kDocTypeWebPage ? kImageWebPage : kImageFolder;
            if (type == kDocTypeProgram) {
                const std::optional<int> programImage = ProgramImage(loc, ttl);
                if (!programImage) return;
                image = *programImage;
            }
            const std::string& text = name.empty() ? ttl : name;
            allGroup = all.AddFirst(text, image, n);
            categoryGroup = category.AddFirst(text, image, n);
        } else {
            allGroup = FindNodeByText(all, name, true);
            TreeNode* webGroup = FindNodeByText(m_trees[3], name, true);
            TreeNode* folderGroup = FindNodeByText(m_trees[2], name, true);
            categoryGroup = type == kDocTypeWebPage ? webGroup : folderGroup;
        }
        if (isExplicit) return;

        std::string child;
        if (type == kDocTypeFolder) {
            child = m_dialect.FolderChildText(loc, name);
        } else {
            const std::string_view rest = std::string_view(loc).substr(loc.find("://") + 3);
            if (rest == name || rest == name + "/") return;
            // file://server/share, with or without a last "/": the share is the server's root.
            if (LowerAscii(loc.substr(0, loc.find("://"))) == "file") {
                std::vector<std::string> parts;
                for (std::string_view left = rest; !left.empty();) {
                    const std::size_t slash = left.find('/');
                    parts.emplace_back(left.substr(0, slash));
                    left = slash == std::string_view::npos ? std::string_view() : left.substr(slash + 1);
                }
                if (parts.size() == 2 && !parts[0].empty() && !Trim(parts[1]).empty()) return;
            }
            child = Trim(rest);
        }
        if (child.empty()) return;
        const int image = type == kDocTypeWebPage ? kImageWebPage : kImageFolder;
        all.AddChildLast(allGroup, child, image, n);
        category.AddChildLast(categoryGroup, child, image, n);
    }

    std::string CurDocText;
    void AddCurDoc() {
        std::string t = Trim(CurDocText);
        if (m_dialect.IsLocalPath(t)) {
            t = m_dialect.LocalPathToLocation(t);
        } else if (!Contains(t, "http://")) {
            t = "http://" + t;
        }
        AddDoc(t, t, false, false);
    }

    // Removal registers the rest again from scratch, each entry as it stands (no filter now
    // turns one away); the reference keeps no file open.
    void DeleteSelectDocs(int index) {
        if (index < 0 || index >= static_cast<int>(m_docs.size())) return;
        std::vector<TMyDoc> rest = m_docs;
        rest.erase(rest.begin() + index);
        DeleteAllDocs();
        const std::vector<std::string> filters = std::move(m_filters);
        m_filters.clear();
        for (const auto& doc : rest) {
            AddDoc(doc.Location, doc.Title, doc.DocType == kDocTypeProgram, doc.Selected != 0);
        }
        m_filters = filters;
        // The entries stay as they were recorded, blanks and all; only the trees are new.
        if (m_docs.size() == rest.size()) m_docs = std::move(rest);
    }
    void DeleteAllDocs() {
        m_lastImageIndex = kLastBuiltInImage;
        for (CategoryTree& tree : m_trees) tree.Clear();
        m_docs.clear();
    }
    void DeleteSelectedOfPage(int page) {
        CategoryTree* tree = TreeOfPage(page);
        if (tree == nullptr || tree->Current() == nullptr) return;
        DeleteSelectDocs(tree->Current()->Data().Index);
    }

    // ---- the settings file, without a window: the [docs] section only
    void SetSettingsPaths(std::string loadPath, std::string savePath) {
        m_loadPath = std::move(loadPath);
        m_savePath = std::move(savePath);
    }
    void LoadSettings() {
        IniFile ini(m_loadPath);
        m_lastError = ini.Load().error;
        for (CategoryTree& tree : m_trees) tree.Clear();
        const IniFile::SectionReader docs = ini.ReadSection(kSectionDocs);
        for (int k = 0;; ++k) {
            const std::string* storedTitle = docs.Find("name" + std::to_string(k));
            const std::string title = storedTitle ? Trim(*storedTitle) : std::string();
            if (title.empty()) break;
            if (DocExists(title)) continue;
            const int docType = docs.Integer("doctype" + std::to_string(k), kDocTypeWebPage);
            const bool selected = docs.Integer("selected" + std::to_string(k), 0) != 0;
            const std::string* location = docs.Find("path" + std::to_string(k));
            AddDoc(location ? *location : std::string(), *storedTitle,
                   docType == kDocTypeProgram, selected);
        }
    }
    bool SaveSettings() {
        for (TreeNode* node : m_trees[0].SelectedNodes()) {
            m_docs[static_cast<std::size_t>(node->Data().Index)].Selected = 1;
        }
        IniFile ini(m_savePath.empty() ? m_loadPath : m_savePath);
        ini.Load();
        ini.EraseSection(kSectionDocs);
        int k = 0;
        for (const auto& doc : m_docs) {
            if (TrimView(doc.Title).empty()) continue;
            const std::string n = std::to_string(k++);
            ini.WriteString(kSectionDocs, "path" + n, doc.Location);
            ini.WriteString(kSectionDocs, "name" + n, doc.Title);
            ini.WriteInteger(kSectionDocs, "doctype" + n, doc.DocType);
            ini.WriteInteger(kSectionDocs, "selected" + n, doc.Selected);
        }
        const FileResult result = ini.Flush();
        m_lastError = result.error;
        return result.ok;
    }
    const std::string& LastError() const { return m_lastError; }

private:
    static constexpr int kImageFolder = 0;
    static constexpr int kImageDocument = 1;
    static constexpr int kImageWebPage = 2;
    static constexpr int kImageNetwork = 5;
    static constexpr int kImageComputer = 6;
    static constexpr int kImageMyDocuments = 8;
    static constexpr int kImageDesktop = 9;
    static constexpr int kLastBuiltInImage = 10;

    std::string GroupName(std::string_view location) const {
        const std::string_view loc = TrimView(location);
        if (Contains(loc, "file:///")) return m_dialect.FolderGroupName(loc);
        const std::size_t scheme = loc.find("://");
        if (scheme == std::string_view::npos) return {};
        const std::string_view rest = loc.substr(scheme + 3);
        const std::size_t slash = rest.find('/');
        return slash == std::string_view::npos ? std::string() : std::string(rest.substr(0, slash));
    }

    std::optional<int> ProgramImage(const std::string& path, std::string_view title) {
        if (!m_files.FileExists(path)) return kImageDocument;
        if (title == "我的电脑") return kImageComputer;
        if (title == "桌面") return kImageDesktop;
        if (title == "网上邻居" || title == "控制面板") return kImageNetwork;
        if (title == "我的文档") return kImageMyDocuments;
        std::optional<FileIcon> icon = m_icons.IconOf(path);
        if (m_lastImageIndex == 0) m_lastImageIndex = kLastBuiltInImage;
        if (!icon || !m_images.Insert(m_lastImageIndex + 1, std::move(*icon))) return std::nullopt;
        return ++m_lastImageIndex;
    }

    const PathDialect& m_dialect;
    const FileSystem& m_files;
    FileIcons& m_icons;
    std::vector<TMyDoc> m_docs;
    std::vector<std::string> m_filters;
    ImageList m_images;
    int m_lastImageIndex = kLastBuiltInImage;
    // TVDocs, TVApp, TVPath, TVDoc: the pages' order.
    std::array<CategoryTree, 4> m_trees{CategoryTree("TVDocs"), CategoryTree("TVApp"),
                                        CategoryTree("TVPath"), CategoryTree("TVDoc")};
    std::array<TreeListener*, 4> m_listeners{};
    std::string m_loadPath;
    std::string m_savePath;
    std::string m_lastError;
};

}  // namespace tk::test
