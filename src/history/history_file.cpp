// The history's file: reading it at start, and writing it (the slow half on the save writer).
#include "history/history.h"

#include <unordered_set>

#include "base/atomic_file.h"
#include "base/diagnostics.h"
#include "base/memory.h"
#include "base/text.h"
#include "base/whole_file.h"

namespace tk {

namespace {

// Everything a save needs, taken on the caller's thread so that the writer touches nothing the
// caller goes on changing.
struct SaveJob {
    std::string path;
    std::string head;  // every section but the history, as it will be written
    bool headEndsOpen = false;
    std::string eol;
    std::vector<std::shared_ptr<const std::string>> docs;  // its lines in UTF-8, to be encoded
    int docCount = 0;
    TextEncoding encoding = TextEncoding::Utf8;
    std::shared_ptr<std::atomic<bool>> backupPending;
};

// Keeps the file as it was before this run's first write beside it, private to its owner.
FileResult BackUp(const std::string& path) {
    std::string bytes;
    bool missing = false;
    FileResult r = ReadWholeFile(path, bytes, missing, IniFile::kMaxFileBytes);
    if (!r.ok) return {false, "backup: " + r.error, r.problem};
    if (missing) return {true, {}};
    AtomicWriteOptions options;
    options.keepMode = false;
    r = WriteFileAtomically(path + ".bak", bytes, options);
    if (!r.ok) r.error = "backup: " + r.error;
    return r;
}

FileResult RunSave(SaveJob& job) {
    if (job.backupPending && job.backupPending->load()) {
        FileResult r = BackUp(job.path);
        if (!r.ok) return r;
        job.backupPending->store(false);
        ReleaseFreeMemory();  // the copy held the whole file once; its room goes back now
    }
    // Written piece by piece, each chunk encoded on its own (they end at line ends): a long
    // history is never copied whole in memory to be saved.
    return WriteFileAtomically(job.path, [&job](const ByteSink& sink) {
        if (!sink(job.head)) return false;
        if (job.docCount == 0) return true;
        if (job.headEndsOpen && !sink(job.eol)) return false;
        if (!sink(EncodeText("[" + std::string(kSectionDocs) + "]" + job.eol, job.encoding))) return false;
        for (const auto& chunk : job.docs) {
            const bool asIs = job.encoding == TextEncoding::Utf8 && IsValidUtf8(*chunk);
            if (!(asIs ? sink(*chunk) : sink(EncodeText(*chunk, job.encoding)))) return false;
        }
        return true;
    });
}

// A value must stay on its line (see the INI writer).
void AppendLine(std::string& out, std::string_view key, int k, std::string_view value,
                std::string_view eol) {
    out.append(key);
    out.append(std::to_string(k));
    out.push_back('=');
    const std::size_t at = out.size();
    out.append(value);
    for (std::size_t i = at; i < out.size(); ++i) {
        if (out[i] == '\r' || out[i] == '\n' || out[i] == '\0') out[i] = ' ';
    }
    out.append(eol);
}

}  // namespace

namespace {

// The record number of a key such as "name12" with the given prefix, spelt as the writer spells
// it; false for any other key.
bool RecordNumber(std::string_view key, std::string_view prefix, int& number) {
    if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix) return false;
    const std::string_view digits = key.substr(prefix.size());
    if (digits.size() > 9 || (digits.size() > 1 && digits.front() == '0')) return false;
    int n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    number = n;
    return true;
}

}  // namespace

HistoryCore::StoredRecords HistoryCore::ReadStoredRecords() const {
    StoredRecords records;
    if (!m_ini) return records;
    m_ini->ForEachKey(kSectionDocs, [&records](std::string_view key, std::string_view value) {
        int k = 0;
        if (RecordNumber(key, "name", k)) {
            StoredRecord& r = records[k];
            if (!r.title) r.title = std::string(value);
        } else if (RecordNumber(key, "path", k)) {
            StoredRecord& r = records[k];
            if (!r.location) r.location = std::string(value);
        } else if (RecordNumber(key, "doctype", k)) {
            StoredRecord& r = records[k];
            if (!r.typeSeen) r.docType = IniFile::ParseInteger(value).value_or(kDocTypeWebPage);
            r.typeSeen = true;
        } else if (RecordNumber(key, "selected", k)) {
            StoredRecord& r = records[k];
            if (!r.selectedSeen) r.selected = IniFile::ParseInteger(value).value_or(0);
            r.selectedSeen = true;
        }
    });
    return records;
}

std::vector<std::string> HistoryCore::StoredProgramPaths() const {
    std::vector<std::string> paths;
    if (!m_ini) return paths;
    if (!m_storedRecords) m_storedRecords = ReadStoredRecords();
    const StoredRecords& records = *m_storedRecords;
    std::unordered_set<std::string> seen;
    for (int k = 0;; ++k) {
        const auto it = records.find(k);
        if (it == records.end() || !it->second.title || TrimView(*it->second.title).empty()) break;
        if (it->second.docType != kDocTypeProgram || !it->second.location) continue;
        // As AddDoc will see it.
        std::string path = ReplaceAll(Trim(*it->second.location), "%20", " ");
        if (!path.empty() && seen.insert(path).second) paths.push_back(std::move(path));
    }
    return paths;
}


void HistoryCore::SetSettingsPaths(std::string loadPath, std::string savePath) {
    m_loadPath = std::move(loadPath);
    m_savePath = std::move(savePath);
}

void HistoryCore::DirtyDoc(std::size_t index) {
    const std::size_t chunk = index / kChunkDocs;
    if (chunk < m_chunks.size()) m_chunks[chunk].text.reset();
}

int HistoryCore::DocsSectionChunks(std::string_view eol,
                                   std::vector<std::shared_ptr<const std::string>>& out) {
    if (eol != m_chunksEol) {
        m_chunks.clear();
        m_chunksEol = std::string(eol);
    }
    m_chunks.resize((m_docs.size() + kChunkDocs - 1) / kChunkDocs);
    out.clear();
    out.reserve(m_chunks.size());
    int k = 0;  // records without a title are not written, and do not count
    for (std::size_t c = 0; c < m_chunks.size(); ++c) {
        DocsChunk& chunk = m_chunks[c];
        if (!chunk.text || chunk.firstKey != k) {
            auto text = std::make_shared<std::string>();
            const std::size_t end = std::min(m_docs.size(), (c + 1) * kChunkDocs);
            int key = k;
            for (std::size_t i = c * kChunkDocs; i < end; ++i) {
                const TMyDoc& doc = m_docs[i];
                if (TrimView(doc.Title).empty()) continue;
                AppendLine(*text, "path", key, doc.Location, eol);
                AppendLine(*text, "name", key, doc.Title, eol);
                AppendLine(*text, "doctype", key, std::to_string(doc.DocType), eol);
                AppendLine(*text, "selected", key, std::to_string(doc.Selected), eol);
                ++key;
            }
            text->shrink_to_fit();  // kept until its records change: no slack from growing
            chunk.text = std::move(text);
            chunk.firstKey = k;
            chunk.written = key - k;
        }
        k += chunk.written;
        out.push_back(chunk.text);
    }
    return k;
}

bool HistoryCore::WriteHistoryFile() {
    if (!m_ini) return false;
    if (m_readFailure) {
        m_lastError = "not written, it could not be read: " + m_readFailure->error;
        return false;
    }
    // The history section is always the file's last, rewritten whole from DocHistory.
    m_ini->EraseSection(kSectionDocs);
    m_storedRecords.reset();
    SaveJob job;
    job.path = m_ini->Path();
    job.head = m_ini->Serialize(&job.headEndsOpen);
    job.eol = m_ini->LineEnding();
    job.docCount = DocsSectionChunks(job.eol, job.docs);
    job.encoding = m_ini->Encoding();
    job.backupPending = m_backupPending;
    if (m_writer == nullptr) {
        const FileResult r = RunSave(job);
        m_lastError = r.error;
        if (m_onSaved) m_onSaved(r);
        return r.ok;
    }
    m_lastError.clear();
    m_writer->Submit([job = std::move(job), onSaved = m_onSaved]() mutable {
        const FileResult r = RunSave(job);
        if (onSaved) onSaved(r);
    });
    return true;
}


void HistoryCore::LoadIni(const std::string& path) {
    const std::string savePath = m_savePath.empty() ? m_loadPath : m_savePath;
    // What a save killed half-way left behind goes before anything else is written.
    RemoveStaleTemporaries(savePath);
    m_storedRecords.reset();
    m_ini = std::make_unique<IniFile>(path);
    FileResult r = m_ini->Load();
    m_lastError = r.error;
    m_ini->SetPath(savePath);
    if (!r.ok && path == savePath) {
        // Whatever is there was not read whole: it stays exactly as it is.
        m_readFailure = r;
    } else if (r.ok && path == savePath && m_ini->Existed()) {
        m_backupPending = std::make_shared<std::atomic<bool>>(true);
    }
}

void HistoryCore::LoadSettings(bool withHistory) {
    if (!m_ini) LoadIni(m_loadPath);
    const IniFile& ini = *m_ini;
    const std::string_view d = kSectionDefault;
    if (m_window) {
        m_window->SetBoxChecked(SettingsBox::AutoRunDocs, ini.ReadBool(d, "RunSelectDoc", false));
        m_window->SetBoxChecked(SettingsBox::Refresh, ini.ReadBool(d, "CbRefresh", true));
        m_window->SetBoxChecked(SettingsBox::QueryAutoRunDoc,
                                ini.ReadBool(d, "QueryAutoRunDoc", false));
        m_window->SetActivePageIndex(ini.ReadInteger(d, "ActivePageIndex", 0));
        const auto interval =
            static_cast<std::uint32_t>(ini.ReadInteger(d, "CheckDocInterval", kDefaultCheckInterval));
        m_window->SetSweepInterval(interval);
        m_window->SetCheckTimePosition(ClampCheckTime(interval / 1000u));
    }
    m_savedWidth = ini.ReadInteger(d, "width", 500);
    m_savedHeight = ini.ReadInteger(d, "height", 380);
    if (m_window) {
        // The stored size is remembered but the window always opens at 500 x 480.
        if (m_savedWidth > 0) m_window->SetWindowWidth(500);
        if (m_savedHeight > 0) m_window->SetWindowHeight(480);
    }
    if (withHistory) LoadStoredHistory();
}

void HistoryCore::LoadStoredHistory() {
    if (!m_ini) return;
    ++m_quiet;
    struct Loud {
        int& quiet;
        ~Loud() { --quiet; }
    } loud{m_quiet};
    m_tvDocs.Clear();
    m_tvApp.Clear();
    m_tvPath.Clear();
    m_tvDoc.Clear();
    StoredRecords records = m_storedRecords ? std::move(*m_storedRecords) : ReadStoredRecords();
    m_storedRecords.reset();
    // Make room once instead of growing the indexes step by step.
    const std::size_t expected = m_docs.size() + records.size();
    m_docs.reserve(expected);
    m_locationCount.reserve(expected);
    m_nameCount.reserve(expected);
    m_tvDocs.Reserve(expected * 2);
    for (int k = 0;; ++k) {
        const auto it = records.find(k);
        if (it == records.end() || !it->second.title) break;
        const StoredRecord& record = it->second;
        const std::string* storedTitle = &*record.title;
        const std::string title = Trim(*storedTitle);
        if (title.empty()) break;
        if (DocExists(title)) continue;
        const int docType = record.docType;
        const bool selected = record.selected != 0;
        const std::string* location = record.location ? &*record.location : nullptr;
        // One entry that cannot be taken (an icon backend that throws, say) is skipped whole;
        // the rest of the history still loads.
        const std::size_t before = m_docs.size();
        try {
            AddDoc(location ? *location : std::string(), *storedTitle,
                   docType == kDocTypeProgram, selected);
        } catch (const std::exception& e) {
            ReportWarning("history entry " + std::to_string(k) + " skipped", e.what());
            if (m_docs.size() > before) {
                DirtyDoc(m_docs.size() - 1);
                UnindexDoc(m_docs.back());
                m_docs.pop_back();
            }
        }
    }
    // Every write of the history rewrites its section from DocHistory, so the lines read here
    // are not needed again; dropping them halves what a large history costs in memory.
    m_ini->EraseSection(kSectionDocs);
    // The section's text is built now, with the load, so that no later save has to build it
    // all on the window's thread.
    std::vector<std::shared_ptr<const std::string>> warm;
    DocsSectionChunks(m_ini->LineEnding(), warm);
}

void HistoryCore::MarkSelectedDocs() {
    for (TreeNode* node : m_tvDocs.SelectedNodes()) SetSelectedFlag(node->Data().Index, true);
}

bool HistoryCore::SaveSettings() {
    ++m_quiet;  // the marks taken now go out with this very save
    MarkSelectedDocs();
    --m_quiet;
    if (!m_ini) LoadIni(m_savePath.empty() ? m_loadPath : m_savePath);
    IniFile& ini = *m_ini;
    const std::string_view d = kSectionDefault;
    if (m_window) {
        ini.WriteBool(d, "RunSelectDoc", m_window->BoxChecked(SettingsBox::AutoRunDocs));
        ini.WriteBool(d, "CbRefresh", m_window->BoxChecked(SettingsBox::Refresh));
        ini.WriteBool(d, "QueryAutoRunDoc", m_window->BoxChecked(SettingsBox::QueryAutoRunDoc));
        ini.WriteInteger(d, "ActivePageIndex", m_window->ActivePageIndex());
        ini.WriteInteger(d, "CheckDocInterval", static_cast<std::int32_t>(m_window->SweepInterval()));
        if (m_window->WindowWidth() > 0) m_savedWidth = m_window->WindowWidth();
        if (m_window->WindowHeight() > 0) m_savedHeight = m_window->WindowHeight();
        ini.WriteInteger(d, "width", m_savedWidth);
        ini.WriteInteger(d, "height", m_savedHeight);
    }
    return WriteHistoryFile();
}


}  // namespace tk
