#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "history/history.h"
#include "recorded_diagnostics.h"

namespace tk::test {

// A History as the tests hold one, with the names the tests have always used. Its paths are
// set before the file is read (SetSettingsPaths, then LoadSettings).
struct TestHistory {
    TestHistory(const PathDialect& dialect, const FileSystem& files, FileIcons& icons)
        : history(HistoryOptions{}, dialect, files, icons, diagnostics, nullptr) {}
    TestHistory(const TestHistory&) = delete;
    TestHistory& operator=(const TestHistory&) = delete;

    RecordedDiagnostics diagnostics;  // what the history reported
    History history;
    Settings settings;

    DocRecords& records() { return history.Records(); }
    const DocRecords& records() const { return history.Records(); }
    CategoryTrees& trees() { return history.Trees(); }
    const CategoryTrees& trees() const { return history.Trees(); }
    const HistoryFile& file() const { return history.File(); }

    void SetSettingsPaths(const std::string& load, const std::string& save) { history.SetPaths(load, save); }
    // Reads the file: its settings into `settings`, its history into the records().
    void LoadSettings(bool withHistory = true) {
        settings = history.Open();
        if (withHistory) history.Load();
    }
    void LoadStoredHistory() { history.Load(); }
    bool SaveSettings() {
        history.SetSettings(settings);
        return history.Save().ok;
    }
    const std::string& LastError() const { return history.File().LastError(); }
    void SetSaveWriter(JobRunner* writer) { history.SetSaveWriter(writer); }
    // A removal reaches the disk at once, as the program has it.
    void DeleteSelectDocs(int index) { history.Remove(index); }
    void DeleteAllDocs() { history.RemoveAll(); }

    // ---- the records and trees by their old names
    const std::vector<TMyDoc>& DocHistory() const { return records().DocHistory(); }
    std::optional<int> AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                              bool selected) {
        return records().AddDoc(location, title, isExplicit, selected);
    }
    bool DocExists(std::string_view text) const { return records().DocExists(text); }
    bool DocGroupExists(std::string_view name) const { return records().DocGroupExists(name); }
    const PathDialect& Dialect() const { return records().Dialect(); }
    TreeNode* FindNodeByText(CategoryTree& tree, std::string_view text, bool makeVisible) {
        return trees().FindNodeByText(tree, text, makeVisible);
    }
    // The pop-up menu's removal: the shown tree's current node's entry.
    void DeleteSelectedOfPage(int page) {
        CategoryTree* tree = TreeOfPage(page);
        if (tree != nullptr && tree->Current() != nullptr) DeleteSelectDocs(tree->Current()->Data().Index);
    }
    std::string GetDocGroupName(std::string_view location) const { return records().GetDocGroupName(location); }
    void FillDocFilters() { records().FillDocFilters(); }
    CategoryTree& TVDocs() { return trees().TVDocs(); }
    CategoryTree& TVApp() { return trees().TVApp(); }
    CategoryTree& TVPath() { return trees().TVPath(); }
    CategoryTree& TVDoc() { return trees().TVDoc(); }
    CategoryTree* TreeOfPage(int page) { return trees().TreeOfPage(page); }
    int LastImageIndex() const { return trees().LastImageIndex(); }
    ImageList& Images() { return trees().Images(); }
};

}  // namespace tk::test
