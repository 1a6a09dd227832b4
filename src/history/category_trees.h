#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "history/category_tree.h"
#include "history/doc_records.h"
#include "history/image_list.h"

namespace tk {

// The four category trees (全部, 软件, 文件夹, 网页) and their pictures, fed by the records'
// changes: a record added gets its nodes, a record removed loses them, and the trees stay as
// a fresh load of the same records would build them.
class CategoryTrees : public RecordsListener {
public:
    CategoryTrees(const DocRecords& records, const FileSystem& files, FileIcons& icons);
    CategoryTrees(const CategoryTrees&) = delete;
    CategoryTrees& operator=(const CategoryTrees&) = delete;

    CategoryTree& TVDocs() { return m_tvDocs; }
    CategoryTree& TVApp() { return m_tvApp; }
    CategoryTree& TVPath() { return m_tvPath; }
    CategoryTree& TVDoc() { return m_tvDoc; }
    const CategoryTree& TVDocs() const { return m_tvDocs; }
    // The tree of a page of TVAllDocs: 0 TVDocs, 1 TVApp, 2 TVPath, 3 TVDoc; none for others.
    CategoryTree* TreeOfPage(int page);
    ImageList& Images() { return m_images; }
    int LastImageIndex() const { return m_lastImageIndex; }
    // The first node in tree order carrying `text`, compared as the group names are.
    TreeNode* FindNodeByText(CategoryTree& tree, std::string_view text, bool makeVisible);

    // The text of the child node a record gets under its group; empty: none.
    static std::string ChildTextOf(const TMyDoc& doc, const PathDialect& dialect);

    // A late answer for a program whose picture waited for it.
    void ResolveLateImage(const std::string& path, bool exists);
    bool HasLateImages() const { return !m_lateImages.empty(); }
    // How many removals had to rebuild the trees whole (the rare tangled groups).
    int Rebuilds() const { return m_rebuilds; }

    // ---- RecordsListener
    void RecordAdded(int index, bool newGroup, bool isExplicit, const PathAnswers* answers) override;
    void RecordRemoving(int index) override;
    void RecordRemoved(int index) override;
    void RecordsCleared() override;

private:
    // The picture of a program entry; nothing when its icon could not be taken.
    std::optional<int> GetDocImageIndex(const std::string& location, std::string_view title,
                                        const PathAnswers* answers);
    std::optional<int> ProgramImageIndex(const std::string& path, std::string_view title);
    std::string ChildText(const TMyDoc& doc) const { return ChildTextOf(doc, m_records.Dialect()); }
    // Takes the nodes of a record out; false when the trees are too tangled for that and must
    // be built again whole.
    bool RemoveNodesOf(int index);
    void ClearTrees();
    void Rebuild();

    const DocRecords& m_records;
    const FileSystem& m_files;
    FileIcons& m_icons;
    ImageList m_images;
    int m_lastImageIndex = 10;
    CategoryTree m_tvDocs{"TVDocs"};
    CategoryTree m_tvApp{"TVApp"};
    CategoryTree m_tvPath{"TVPath"};
    CategoryTree m_tvDoc{"TVDoc"};
    std::vector<std::string> m_lateImages;  // program locations waiting for their answer
    bool m_rebuildPending = false;
    std::unordered_map<std::string, bool> m_shownPrograms;  // for a rebuild: location -> found
    int m_rebuilds = 0;
    // Records named as programs that turned out folders: they head nodes of their own, which a
    // fresh load of the records (where they are folders) would not, so a removal rebuilds.
    int m_namedFolders = 0;
};

}  // namespace tk
