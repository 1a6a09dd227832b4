#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "history/category_trees.h"
#include "history/doc_records.h"
#include "history/history_file.h"
#include "recorded_diagnostics.h"

namespace tk::test {

// The history's three parts wired as the controller wires them (the trees, then the file's
// pieces, follow the records), with the few steps the controller adds around them.
struct TestHistory {
    TestHistory(const PathDialect& dialect, const FileSystem& files, FileIcons& icons)
        : records(dialect, diagnostics), trees(records, files, icons) {
        records.AddListener(&trees);
    }
    ~TestHistory() {
        if (file) records.RemoveListener(file.get());
    }
    TestHistory(const TestHistory&) = delete;
    TestHistory& operator=(const TestHistory&) = delete;

    RecordedDiagnostics diagnostics;  // what the history reported (first: the records report to it)
    DocRecords records;
    CategoryTrees trees;
    std::unique_ptr<HistoryFile> file;
    Settings settings;
    std::vector<StoredDoc> pending;  // read, not registered yet

    void SetSettingsPaths(const std::string& load, const std::string& save) {
        if (file) records.RemoveListener(file.get());
        file = std::make_unique<HistoryFile>(load, save);
        records.AddListener(file.get());
    }
    // Reads the file: its settings into `settings`, its history into the records.
    void LoadSettings(bool withHistory = true) {
        LoadedHistory loaded = file->Load();
        settings = loaded.settings;
        pending = std::move(loaded.docs);
        if (withHistory) LoadStoredHistory();
    }
    std::vector<std::string> StoredProgramPaths() const { return HistoryFile::ProgramPaths(pending); }
    void LoadStoredHistory() { LoadStored(std::move(pending)); }
    void LoadStored(std::vector<StoredDoc> docs, const PathAnswers* answers = nullptr) {
        records.LoadStored(std::move(docs), answers);
        records.FillDocFilters();
        file->Warm(records);
    }
    bool SaveSettings() { return file->Save(settings, records); }
    const std::string& LastError() const { return file->LastError(); }
    void SetSaveWriter(JobRunner* writer) { file->SetSaveWriter(writer); }
    // A removal reaches the disk at once, as the controller has it.
    void DeleteSelectDocs(int index) {
        records.DeleteSelectDocs(index);
        if (file) SaveSettings();
    }
    void DeleteAllDocs() {
        records.DeleteAllDocs();
        if (file) SaveSettings();
    }

    // ---- the records and trees by their old names
    const std::vector<TMyDoc>& DocHistory() const { return records.DocHistory(); }
    std::optional<int> AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                              bool selected) {
        return records.AddDoc(location, title, isExplicit, selected);
    }
    bool DocExists(std::string_view text) const { return records.DocExists(text); }
    bool DocGroupExists(std::string_view name) const { return records.DocGroupExists(name); }
    const PathDialect& Dialect() const { return records.Dialect(); }
    TreeNode* FindNodeByText(CategoryTree& tree, std::string_view text, bool makeVisible) {
        return trees.FindNodeByText(tree, text, makeVisible);
    }
    // The pop-up menu's removal: the shown tree's current node's entry.
    void DeleteSelectedOfPage(int page) {
        CategoryTree* tree = TreeOfPage(page);
        if (tree != nullptr && tree->Current() != nullptr) DeleteSelectDocs(tree->Current()->Data().Index);
    }
    std::string GetDocGroupName(std::string_view location) const { return records.GetDocGroupName(location); }
    void FillDocFilters() { records.FillDocFilters(); }
    CategoryTree& TVDocs() { return trees.TVDocs(); }
    CategoryTree& TVApp() { return trees.TVApp(); }
    CategoryTree& TVPath() { return trees.TVPath(); }
    CategoryTree& TVDoc() { return trees.TVDoc(); }
    CategoryTree* TreeOfPage(int page) { return trees.TreeOfPage(page); }
    int LastImageIndex() const { return trees.LastImageIndex(); }
    ImageList& Images() { return trees.Images(); }
};

}  // namespace tk::test
