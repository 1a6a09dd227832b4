#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "base/worker_thread.h"
#include "history/doc_records.h"
#include "history/ini_file.h"
#include "history/settings.h"

namespace tk {

// What the file holds: the settings and the stored history, in the file's order.
struct LoadedHistory {
    Settings settings;
    std::vector<StoredDoc> docs;
};

// The history file, defualt.ini: read once at start, written whole at every save (the slow
// half on the save writer), backed up before this run's first write. Takes and returns values;
// keeps, between saves, the history section's text in pieces so a save rebuilds only the
// pieces whose records changed (it listens to the records for that).
class HistoryFile : public RecordsListener {
public:
    // Reads from `loadPath`, writes to `savePath` (they differ only while a per-user copy is
    // being seeded from a read-only install).
    HistoryFile(std::string loadPath, std::string savePath);
    HistoryFile(const HistoryFile&) = delete;
    HistoryFile& operator=(const HistoryFile&) = delete;

    // Reads the file (once; later calls give what is left of the first reading: the settings).
    LoadedHistory Load();
    // The program locations among stored entries, as registration will see them, each once.
    static std::vector<std::string> ProgramPaths(const std::vector<StoredDoc>& docs);
    // The history section's text is built now, so no later save builds it all on the caller's
    // thread.
    void PrepareSave(const DocRecords& records);

    // Writes the settings and the records; false when the file could not be written (or, with
    // a save writer, could not be handed to it: its outcome then goes to the OnSaved callback).
    bool Save(const Settings& settings, const DocRecords& records);
    // Where the slow half of a save runs (encoding and writing); none: at once, in the caller.
    void SetSaveWriter(JobRunner* writer) { m_writer = writer; }
    // Told the outcome of every write of the file, on the thread that wrote it.
    void SetOnSaved(std::function<void(const FileResult&)> onSaved) { m_onSaved = std::move(onSaved); }
    const std::function<void(const FileResult&)>& OnSaved() const { return m_onSaved; }

    // The file was there but could not be read whole: this run never writes it.
    bool WriteRefused() const { return m_readFailure.has_value(); }
    // Why, when WriteRefused.
    const FileResult* ReadFailure() const { return m_readFailure ? &*m_readFailure : nullptr; }
    const std::string& LoadPath() const { return m_loadPath; }
    const std::string& LastError() const { return m_lastError; }
    // How the file is written back: its encoding and line ending, as read (once read).
    TextEncoding Encoding() const { return m_ini ? m_ini->Encoding() : SystemEncoding(); }
    std::string LineEnding() const { return m_ini ? m_ini->LineEnding() : std::string("\n"); }

    // ---- RecordsListener: which pieces a save must build again
    void RecordAdded(int index, bool newGroup, bool isExplicit, const PathAnswers* answers) override;
    void RecordMarked(int index) override;
    void RecordRemoving(int index) override;
    void RecordRemoved(int /*index*/) override {}
    void RecordsCleared() override { m_chunks.clear(); }

    // Records a piece holds at most.
    static constexpr int kChunkDocs = 512;

    // Set once this program holds the history's single-instance lock.
    void SetOwnsHistory(bool owns) { m_ownsHistory = owns; }
    // What a save killed half-way left beside the file goes, before anything is written; only
    // with the lock (SetOwnsHistory). Apart from Load, which may run before the lock is held.
    void RemoveKilledSaves();

private:
    void Open();
    std::vector<StoredDoc> ReadStoredDocs() const;
    // The piece holding record `index`, and the first record of that piece.
    std::size_t ChunkOf(int index, int& first) const;
    void BuildChunks(const DocRecords& records);

    std::string m_loadPath;
    std::string m_savePath;
    std::unique_ptr<IniFile> m_ini;
    std::string m_lastError;
    JobRunner* m_writer = nullptr;
    std::function<void(const FileResult&)> m_onSaved;
    std::optional<FileResult> m_readFailure;
    // The history section in pieces of consecutive records. A piece's lines carry no record
    // numbers: those are put in as it is written, so a removal changes one piece, not all
    // that follow.
    struct DocsChunk {
        std::shared_ptr<const std::string> text;  // none: to be built again
        int count = 0;    // records it covers
        int written = 0;  // of them, those with a title (the others are not written)
    };
    std::vector<DocsChunk> m_chunks;
    std::string m_chunksEol;
    // Set while the file found at start still has to be copied aside; shared with the writer.
    std::shared_ptr<std::atomic<bool>> m_backupPending;
    bool m_ownsHistory = false;
};

}  // namespace tk
