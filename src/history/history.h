#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/worker_thread.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "history/category_tree.h"
#include "history/doc.h"
#include "history/image_list.h"
#include "history/ini_file.h"
#include "desktop/path_dialect.h"
#include "history/settings.h"

namespace tk {

// The document history: DocHistory, the four category trees, the image numbering, the filter
// list, registration, removal and the settings file. Owned by the main window.
class HistoryCore {
public:
    HistoryCore(const PathDialect& dialect, const FileSystem& files, FileIcons& icons);
    HistoryCore(const HistoryCore&) = delete;
    HistoryCore& operator=(const HistoryCore&) = delete;

    const PathDialect& Dialect() const { return m_dialect; }
    const FileSystem& Files() const { return m_files; }

    // ---- records and classification
    const std::vector<TMyDoc>& DocHistory() const { return m_docs; }
    void SetSelectedFlag(int index, bool selected);
    std::vector<std::string>& DocFilters() { return m_filters; }
    // Fills DocFilters with its ten texts; done after the history load.
    void FillDocFilters();
    bool IsFilteredDoc(std::string_view location) const;
    bool DocExists(std::string_view text) const;
    bool DocGroupExists(std::string_view name) const;
    std::string GetDocGroupName(std::string_view location) const;
    // Image of an explicitly registered entry; nothing when the icon could not be taken.
    std::optional<int> GetDocImageIndex(std::string_view location, std::string_view title);
    int LastImageIndex() const { return m_lastImageIndex; }
    // Whether a file is there, as asked off the window's thread; nothing: not known yet.
    using PathAnswers = std::function<std::optional<bool>(const std::string&)>;
    // While set, programs take their pictures from these answers instead of asking the file
    // system here: a path on a hung mount must not freeze the window. An entry whose answer is
    // not known yet shows as a document until ResolveLateImage.
    // (Set for the lifetime of a ScopedPathAnswers, which then puts back what was set before.)
    class ScopedPathAnswers {
    public:
        ScopedPathAnswers(HistoryCore& history, PathAnswers answers)
            : m_history(history), m_before(std::exchange(history.m_pathAnswers, std::move(answers))) {}
        ~ScopedPathAnswers() { m_history.m_pathAnswers = std::move(m_before); }
        ScopedPathAnswers(const ScopedPathAnswers&) = delete;
        ScopedPathAnswers& operator=(const ScopedPathAnswers&) = delete;

    private:
        HistoryCore& m_history;
        PathAnswers m_before;
    };
    // The program locations LoadStoredHistory will ask about, each once.
    std::vector<std::string> StoredProgramPaths() const;
    // A late answer for a program whose picture waited for it.
    void ResolveLateImage(const std::string& path, bool exists);
    bool HasLateImages() const { return !m_lateImages.empty(); }
    ImageList& Images() { return m_images; }

    // ---- registration and trees
    void AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                bool selected);
    std::string CurDocText;
    void AddCurDoc();
    CategoryTree& TVDocs() { return m_tvDocs; }
    CategoryTree& TVApp() { return m_tvApp; }
    CategoryTree& TVPath() { return m_tvPath; }
    CategoryTree& TVDoc() { return m_tvDoc; }
    // The tree of a page of TVAllDocs: 0 TVDocs, 1 TVApp, 2 TVPath, 3 TVDoc; none for others.
    CategoryTree* TreeOfPage(int page);
    TreeNode* FindNodeByText(CategoryTree& tree, std::string_view text, bool makeVisible);

    // ---- removal
    // The window whose sweep timer the removals switch and whose settings load and save use.
    void SetWindow(SettingsWindow* window) { m_window = window; }
    void DeleteSelectDocs(int index);
    // Removes every document (BtnDeleteAllDocsClick's work).
    void DeleteAllDocs();
    // Removes the document of the shown tree's current node (MnDeleteSelectedClick's work).
    void DeleteSelectedOfPage(int page);

    // ---- settings file
    // Where the file is read from and written to (they differ only while a per-user copy is
    // being seeded from a read-only install).
    void SetSettingsPaths(std::string loadPath, std::string savePath);
    IniFile* Ini() { return m_ini.get(); }
    // Reads the file and applies the settings; with `withHistory`, registers the stored
    // history too (otherwise LoadStoredHistory does that later).
    void LoadSettings(bool withHistory = true);
    void LoadStoredHistory();
    // Writes settings and history; false when the file could not be written (or, with a save
    // writer, could not be handed to it: its outcome then goes to the OnSaved callback).
    bool SaveSettings();
    void MarkSelectedDocs();
    int SavedWidth() const { return m_savedWidth; }
    int SavedHeight() const { return m_savedHeight; }
    const std::string& LastError() const { return m_lastError; }

    // ---- keeping the file safe
    // Grows by one with every change a save would write: a record added or removed, a mark set.
    std::uint64_t ChangeCount() const { return m_changes; }
    // Called after each such change.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }
    // Where the slow half of a save runs (encoding and writing); none: at once, in the caller.
    void SetSaveWriter(JobRunner* writer) { m_writer = writer; }
    // Told the outcome of every write of the file, on the thread that wrote it.
    void SetOnSaved(std::function<void(const FileResult&)> onSaved) { m_onSaved = std::move(onSaved); }
    // The file was there but could not be read whole: this run never writes it.
    bool WriteRefused() const { return m_readFailure.has_value(); }
    // Why, when WriteRefused.
    const FileResult* ReadFailure() const { return m_readFailure ? &*m_readFailure : nullptr; }
    // The file the history is read from.
    const std::string& LoadPath() const { return m_loadPath; }

private:
    void ClearAll();
    void LoadIni(const std::string& path);
    // The history as stored, by record number; of each key the first in the file counts.
    struct StoredRecord {
        std::optional<std::string> title;
        std::optional<std::string> location;
        std::int32_t docType = kDocTypeWebPage;
        std::int32_t selected = 0;
        bool typeSeen = false;
        bool selectedSeen = false;
    };
    using StoredRecords = std::unordered_map<int, StoredRecord>;
    StoredRecords ReadStoredRecords() const;
    bool WriteHistoryFile();
    // The history section's lines, in pieces of kChunkDocs records; only the pieces whose
    // records changed since the last save are built again. Returns how many records it holds.
    int DocsSectionChunks(std::string_view eol, std::vector<std::shared_ptr<const std::string>>& out);
    void DirtyDoc(std::size_t index);
    void IndexDoc(const TMyDoc& doc);
    void UnindexDoc(const TMyDoc& doc);
    void NoteChange();
    std::optional<int> ProgramImageIndex(const std::string& path, std::string_view title);

    const PathDialect& m_dialect;
    const FileSystem& m_files;
    FileIcons& m_icons;
    SettingsWindow* m_window = nullptr;

    std::vector<TMyDoc> m_docs;
    // Looked up by string_view without building a string for every test.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    using TextCount = std::unordered_map<std::string, int, TextHash, std::equal_to<>>;
    TextCount m_locationCount;  // trimmed Location -> entries
    TextCount m_nameCount;      // trimmed Name -> entries
    std::vector<std::string> m_filters;
    ImageList m_images;
    int m_lastImageIndex = 10;
    CategoryTree m_tvDocs{"TVDocs"};
    CategoryTree m_tvApp{"TVApp"};
    CategoryTree m_tvPath{"TVPath"};
    CategoryTree m_tvDoc{"TVDoc"};

    std::string m_loadPath;
    std::string m_savePath;
    std::unique_ptr<IniFile> m_ini;
    int m_savedWidth = 500;
    int m_savedHeight = 380;
    std::string m_lastError;

    PathAnswers m_pathAnswers;
    // Read once for StoredProgramPaths and taken by LoadStoredHistory, which comes right after.
    mutable std::optional<StoredRecords> m_storedRecords;
    std::vector<std::string> m_lateImages;  // program locations waiting for their answer

    std::uint64_t m_changes = 0;
    int m_quiet = 0;  // >0 while records are rebuilt, loaded or saved: no change to report
    std::function<void()> m_onChange;
    JobRunner* m_writer = nullptr;
    std::function<void(const FileResult&)> m_onSaved;
    std::optional<FileResult> m_readFailure;
    // The history section as last built, kept so that a save rebuilds only what changed: a
    // long history is not written out again on the window's thread for every new record.
    static constexpr std::size_t kChunkDocs = 512;
    struct DocsChunk {
        std::shared_ptr<const std::string> text;  // none: to be built again
        int firstKey = -1;
        int written = 0;
    };
    std::vector<DocsChunk> m_chunks;
    std::string m_chunksEol;
    // Set while the file found at start still has to be copied aside; shared with the writer.
    std::shared_ptr<std::atomic<bool>> m_backupPending;
};

}  // namespace tk
