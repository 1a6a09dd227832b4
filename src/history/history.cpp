#include "history/history.h"

#include <exception>

namespace tk {

namespace {

// What the file stores of the settings: start at log-on is the desktop's to keep.
bool SameStored(Settings a, const Settings& b) {
    a.autoRun = b.autoRun;
    return a == b;
}

std::unique_ptr<HistoryFile> MakeFile(const HistoryOptions& options) {
    std::unique_ptr<HistoryFile> file = options.reading ? options.reading->TakeFile() : nullptr;
    if (!file) {
        file = std::make_unique<HistoryFile>(options.loadPath,
                                             options.savePath.empty() ? options.loadPath : options.savePath);
    }
    file->SetSaveWriter(options.saveWriter);
    file->SetOwnsHistory(options.ownsHistory);
    return file;
}

}  // namespace

HistoryReading::HistoryReading(std::string loadPath, std::string savePath)
    : m_file(std::make_unique<HistoryFile>(loadPath, savePath.empty() ? loadPath : savePath)) {
    m_loaded = std::async(std::launch::async, [file = m_file.get()] { return file->Load(); });
}

HistoryReading::~HistoryReading() {
    if (m_loaded.valid()) m_loaded.wait();
}

History::History(HistoryOptions options, const PathDialect& dialect, const FileSystem& files, FileIcons& icons,
                 Diagnostics& diagnostics, TimerFactory* timers)
    : m_options(std::move(options)),
      m_diagnostics(diagnostics),
      m_timers(timers),
      m_files(&files),
      m_records(dialect, diagnostics),
      m_file(MakeFile(m_options)) {
    if (m_options.reading) m_reading = m_options.reading->TakeLoaded();
    m_options.reading = nullptr;
    m_trees.emplace(m_records, files, icons);
    // The trees and the file's pieces follow the records, in that order.
    m_records.AddListener(&*m_trees);
    m_records.AddListener(m_file.get());
    m_records.SetOnChange([this] { ScheduleSave(); });
    if (m_timers != nullptr) {
        m_timerSave = m_timers->MakeTimer("TimerSave", kSaveDelayMs, true, [this] { (void)SaveNow(false); });
        // Runs on the writer's thread: only the report is made there, the rest on the caller's.
        m_file->SetOnSaved([this](const FileResult& result) {
            if (result.ok) return;
            m_diagnostics.Warning("saving", result.error);
            m_timers->Post([this, result] {
                SaveFailed("历史记录未能保存到“" + m_file->LoadPath() + "”：" + result.error);
            });
        });
    }
}

History::History(HistoryOptions options, const PathDialect& dialect, Diagnostics& diagnostics)
    : m_options(std::move(options)),
      m_diagnostics(diagnostics),
      m_timers(nullptr),
      m_records(dialect, diagnostics),
      m_file(MakeFile(m_options)) {
}

History::~History() {
    if (m_reading.valid()) m_reading.wait();
    // Nothing the writer still holds may report to a history that is gone.
    WaitForSave();
    m_file->SetOnSaved(nullptr);
    m_records.SetOnChange(nullptr);
}

// ---- reading -----------------------------------------------------------------------------

Settings History::Open() {
    LoadedHistory loaded = m_reading.valid() ? m_reading.get() : m_file->Load();
    // What a save killed half-way left behind goes before anything else is written.
    m_file->RemoveKilledSaves();
    if (!m_file->LastError().empty()) m_diagnostics.Warning("settings file", m_file->LastError());
    if (m_file->WriteRefused()) m_diagnostics.Warning("settings file", "not written in this run: " + m_file->LoadPath());
    m_pending = std::move(loaded.docs);
    m_settings = loaded.settings;
    return loaded.settings;
}

void History::SetPaths(std::string loadPath, std::string savePath) {
    if (m_reading.valid()) m_reading.wait();
    WaitForSave();
    m_options.loadPath = std::move(loadPath);
    m_options.savePath = std::move(savePath);
    auto file = MakeFile(m_options);
    file->SetOnSaved(m_file->OnSaved());
    if (m_trees) {
        m_records.RemoveListener(m_file.get());
        m_records.AddListener(file.get());
    }
    m_file = std::move(file);
}

void History::SetSaveWriter(JobRunner* writer) {
    WaitForSave();
    m_options.saveWriter = writer;
    m_file->SetSaveWriter(writer);
}

void History::Load() {
    if (!m_pending) return;
    std::vector<StoredDoc> docs = std::move(*m_pending);
    m_pending.reset();
    LoadDocs(std::move(docs));
}

void History::LoadDocs(std::vector<StoredDoc> docs) {
    if (!m_trees) {
        m_records.LoadStored(std::move(docs), nullptr);
        return;
    }
    // The windows see the loaded trees whole, once: a node at a time, a long history costs
    // some tree controls a redraw of everything before it for every node.
    for (int page = 0; page < 4; ++page) m_trees->TreeOfPage(page)->BeginBatch();
    try {
        if (m_options.probeThreads <= 0) {
            m_records.LoadStored(std::move(docs), nullptr);
        } else {
            // Whether each program's file is there is asked on threads of their own: a path on
            // a hung mount costs its own entry a late picture, not the window its load.
            m_probe = std::make_unique<PathProbe>(
                [files = m_files](const std::string& path) { return files->FileExists(path); },
                m_options.probeThreads);
            m_probe->Start(HistoryFile::ProgramPaths(docs), [this] {
                if (m_timers) m_timers->Post([this] { ApplyLateAnswers(); });
            });
            m_probe->WaitFor(kProbeWait);
            const PathAnswers answers = [probe = m_probe.get()](const std::string& path) {
                return probe->Answer(path);
            };
            m_records.LoadStored(std::move(docs), &answers);
        }
    } catch (const std::exception& e) {
        m_diagnostics.Warning("history", e.what());
    }
    // The filters come after the stored history, which only meets the resource test.
    m_records.FillDocFilters();
    for (int page = 0; page < 4; ++page) m_trees->TreeOfPage(page)->EndBatch();
    m_file->PrepareSave(m_records);
    ApplyLateAnswers();
}

void History::ApplyLateAnswers() {
    if (!m_probe || !m_trees) return;
    for (const auto& [path, exists] : m_probe->TakeLateAnswers()) m_trees->ResolveLateImage(path, exists);
    // Nothing waits any more: the probe and any thread stuck in it are let go.
    if (!m_trees->HasLateImages()) m_probe.reset();
}

// ---- saving --------------------------------------------------------------------------------

void History::SetSettings(const Settings& settings, bool asSaved) {
    m_settings = settings;
    if (asSaved) m_savedSettings = settings;
    // Nothing before the window's start is a change: loading is not one.
    else if (m_savedSettings && !SameStored(m_settings, *m_savedSettings)) ScheduleSave();
}

void History::SetTimedSaves(bool on) {
    m_timedSaves = on;
    if (!on && m_timerSave) m_timerSave->SetEnabled(false);
}

void History::ScheduleSave() {
    if (!m_timerSave || !m_timedSaves || m_closed || m_marking || m_file->WriteRefused()) return;
    // Started once per burst: later changes ride along instead of pushing the save away.
    m_timerSave->SetEnabled(true);
}

std::vector<int> History::MarkSelected() {
    std::vector<int> marked;
    if (!m_trees) return marked;
    m_marking = true;
    for (TreeNode* node : m_trees->TVDocs().SelectedNodes()) {
        const int index = node->Data().Index;
        const TMyDoc* doc = m_records.At(index);
        if (doc == nullptr || doc->Selected != 0) continue;
        m_records.SetSelectedFlag(index, true);
        marked.push_back(index);
    }
    m_marking = false;
    return marked;
}

FileResult History::SaveNow(bool last) {
    if (m_closed || ReadOnly()) return {false, "not saved: the history is closed or only read"};
    if (m_options.loadPath.empty()) return {false, "not saved: the history has no file"};
    Load();  // a history not read yet must not be written as empty
    if (m_timerSave) m_timerSave->SetEnabled(false);
    try {
        if (last) MarkSelected();
        m_savedSettings = m_settings;
        if (m_file->Save(m_settings, m_records)) return {true, {}};
        if (!m_file->WriteRefused()) {
            m_diagnostics.Warning("saving", m_file->LastError());
            SaveFailed("历史记录未能保存：" + m_file->LastError());
        }
        return {false, m_file->LastError()};
    } catch (const std::exception& e) {
        m_diagnostics.Warning("saving", e.what());
        return {false, e.what()};
    }
}

void History::SaveFailed(const std::string& text) {
    if (m_onSaveFailed) m_onSaveFailed(text);
}

void History::Close() {
    if (m_closed) return;
    (void)SaveNow(true);
    m_closed = true;
    if (m_timerSave) m_timerSave->SetEnabled(false);
    // The program ends after this: whatever the writer holds reaches the disk first.
    WaitForSave();
}

std::vector<int> History::SaveMarkedAndWait() {
    if (m_closed || ReadOnly()) return {};
    Load();
    const std::vector<int> marked = MarkSelected();
    (void)SaveNow(false);
    WaitForSave();
    return marked;
}

void History::Unmark(const std::vector<int>& indexes) {
    for (int index : indexes) m_records.SetSelectedFlag(index, false);
}

bool History::WaitForSave() {
    if (m_options.saveWriter == nullptr) return true;
    if (m_saveStuck) return false;
    if (m_options.saveWriter->FlushFor(kCloseSaveWait)) return true;
    m_saveStuck = true;
    m_diagnostics.Warning("saving",
                          "历史文件 10 秒内没有写完，不再等待；磁盘上仍是上次保存的完整文件。"
                          "The history was not written within 10 s (a hung disk?): not waiting "
                          "any longer; the file on disk is still the last complete save.");
    return false;
}

// ---- removal -------------------------------------------------------------------------------

void History::Remove(int index) {
    Load();
    m_records.DeleteSelectDocs(index);
    (void)SaveNow(false);
}

void History::RemoveAll() {
    Load();
    m_records.DeleteAllDocs();
    (void)SaveNow(false);
}

}  // namespace tk
