#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "base/path_probe.h"
#include "base/timer.h"
#include "base/worker_thread.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/path_dialect.h"
#include "history/category_trees.h"
#include "history/doc_records.h"
#include "history/history_file.h"
#include "history/settings.h"

namespace tk {

// How long the load waits for the programs' files before it goes on without the late answers.
inline constexpr std::chrono::milliseconds kProbeWait{300};
// How long a closing waits for the last save; a disk that hangs longer is let go.
inline constexpr std::chrono::milliseconds kCloseSaveWait{10000};
// How long after a change the history is saved: one save for a burst of changes.
inline constexpr std::uint32_t kSaveDelayMs = 3000;

// The file read on a thread of its own before the History that takes it exists: the program
// reads its history while its toolkit starts. Reading changes nothing on disk.
class HistoryReading {
public:
    HistoryReading(std::string loadPath, std::string savePath);
    ~HistoryReading();
    HistoryReading(const HistoryReading&) = delete;
    HistoryReading& operator=(const HistoryReading&) = delete;

    // For the History that takes them, once each.
    std::unique_ptr<HistoryFile> TakeFile() { return std::move(m_file); }
    std::future<LoadedHistory> TakeLoaded() { return std::move(m_loaded); }

private:
    std::unique_ptr<HistoryFile> m_file;
    std::future<LoadedHistory> m_loaded;
};

// Where the history lives and how it works beside the caller's thread.
struct HistoryOptions {
    std::string loadPath;
    std::string savePath;  // differs from loadPath only while a per-user copy is seeded
    // Where saves are written, off the caller's thread; none: at once.
    JobRunner* saveWriter = nullptr;
    // Threads that ask, at the load, whether the programs' files are there; none: asked inline.
    int probeThreads = 0;
    // This program holds the history's single-instance lock (its own temporaries may go).
    bool ownsHistory = false;
    // The file as read ahead, for the History to take (its paths are the reading's).
    HistoryReading* reading = nullptr;
};

// The history: its records, the category trees that show them and the file that keeps them,
// with the protocol around the three — reading, the timed save, the start-up marks taken at
// the end, removals that reach the disk at once, the closing save. The window's controller,
// the command line and the tests all hold one of these.
class History {
public:
    // `timers`: the timed save and the late answers of the load; none: neither.
    History(HistoryOptions options, const PathDialect& dialect, const FileSystem& files, FileIcons& icons,
            Diagnostics& diagnostics, TimerFactory* timers);
    // A reader (the command line, a search): the records only, no trees, never written.
    History(HistoryOptions options, const PathDialect& dialect, Diagnostics& diagnostics);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    DocRecords& Records() { return m_records; }
    const DocRecords& Records() const { return m_records; }
    // Not for a reader.
    CategoryTrees& Trees() { return *m_trees; }
    const CategoryTrees& Trees() const { return *m_trees; }
    bool ReadOnly() const { return !m_trees.has_value(); }
    const HistoryFile& File() const { return *m_file; }

    // ---- reading
    // Reads the file (once) and gives its settings; the history waits for Load. A file that
    // is there but cannot be read whole leaves File().ReadFailure() set and is never written.
    Settings Open();
    // Registers what Open read, if not done yet; everything that reads or writes the history
    // calls this first.
    void Load();
    bool Loaded() const { return !m_pending.has_value(); }

    // ---- saving
    // The settings every save writes. A change of what the file stores starts the timed save;
    // `asSaved`: these are what the file holds already (the window's start).
    void SetSettings(const Settings& settings, bool asSaved = false);
    // Whether a change starts the timed save (off until a window shows the history).
    void SetTimedSaves(bool on);
    bool SavePending() const { return m_timerSave && m_timerSave->Enabled(); }
    // Writes settings and records now (with a save writer: hands them to it).
    FileResult Save() { return SaveNow(false); }
    // Later saves write to `loadPath`/`savePath` (a copy elsewhere, as the benchmarks make).
    void SetPaths(std::string loadPath, std::string savePath);
    void SetSaveWriter(JobRunner* writer);
    // The program's last save: the 全部 selection becomes the start-up marks; nothing is saved
    // after it. Waits for the write.
    void Close();
    bool Closed() const { return m_closed; }
    // The session may end: saved as the last save would be and waited for, but not closed.
    // Returns the records whose marks that took, so a refused log-off can hand them back.
    std::vector<int> SaveMarkedAndWait();
    void Unmark(const std::vector<int>& indexes);
    // Waits for the save being written, at most kCloseSaveWait; false (said once) when stuck,
    // which leaves the file it would replace whole.
    bool WaitForSave();
    // Told, on the caller's thread, the text to show when a save failed.
    void SetOnSaveFailed(std::function<void(const std::string&)> onFailed) { m_onSaveFailed = std::move(onFailed); }

    // ---- removal: the rest reaches the disk at once, so a crash after it keeps it
    void Remove(int index);
    void RemoveAll();

private:
    void LoadDocs(std::vector<StoredDoc> docs);
    void ApplyLateAnswers();
    void ScheduleSave();
    FileResult SaveNow(bool last);
    std::vector<int> MarkSelected();
    void SaveFailed(const std::string& text);

    HistoryOptions m_options;
    Diagnostics& m_diagnostics;
    TimerFactory* m_timers;
    const FileSystem* m_files = nullptr;
    DocRecords m_records;
    std::optional<CategoryTrees> m_trees;
    std::unique_ptr<HistoryFile> m_file;
    std::unique_ptr<Timer> m_timerSave;
    std::unique_ptr<PathProbe> m_probe;  // the load's questions, while answers are still out
    std::optional<std::vector<StoredDoc>> m_pending;  // read, not registered yet
    std::future<LoadedHistory> m_reading;  // the reading handed in, until Open takes it
    std::function<void(const std::string&)> m_onSaveFailed;
    Settings m_settings;
    std::optional<Settings> m_savedSettings;  // as last written; none before the window's start
    bool m_timedSaves = false;
    bool m_closed = false;
    bool m_saveStuck = false;
    bool m_marking = false;  // marks taken for a save go out with it
};

}  // namespace tk
