#include "history/history_file.h"

#include <unordered_map>
#include <unordered_set>

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
    std::vector<std::shared_ptr<const std::string>> docs;  // its lines in UTF-8, unnumbered
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
    // Nothing the user made lives there: whatever stands in its place is replaced.
    options.followOwnLink = false;
    r = WriteFileAtomically(path + ".bak", bytes, options);
    if (!r.ok) r.error = "backup: " + r.error;
    return r;
}

// A piece holds each record on one line, its values apart by NULs (a written value holds
// none): location, title (empty when it is the location, as it mostly is), type, mark. The
// file's four lines a record, with their numbers from `key` on, are made from it as it is
// written, so the piece kept between saves is a third of the text it stands for.
constexpr char kField = '\0';

void AppendRecord(std::string& out, const TMyDoc& doc) {
    const std::string location = IniFile::SingleLineValue(doc.Location);
    const std::string title = IniFile::SingleLineValue(doc.Title);
    out.append(location);
    out.push_back(kField);
    if (title != location) out.append(title);
    out.push_back(kField);
    out.append(std::to_string(doc.DocType));
    out.push_back(kField);
    out.append(std::to_string(doc.Selected));
    out.push_back('\n');
}

std::string PieceLines(const std::string& piece, int& key, std::string_view eol) {
    std::string out;
    out.reserve(piece.size() * 3);
    std::size_t pos = 0;
    while (pos < piece.size()) {
        std::size_t end = piece.find('\n', pos);
        if (end == std::string::npos) end = piece.size();
        std::string_view fields[4];
        std::string_view rest(piece.data() + pos, end - pos);
        for (int f = 0; f < 4; ++f) {
            const std::size_t at = f < 3 ? rest.find(kField) : std::string_view::npos;
            fields[f] = rest.substr(0, at);
            rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
        }
        const std::string number = std::to_string(key++);
        const std::string_view title = fields[1].empty() ? fields[0] : fields[1];
        for (const auto& [name, value] : {std::pair<std::string_view, std::string_view>{"path", fields[0]},
                                          {"name", title}, {"doctype", fields[2]}, {"selected", fields[3]}}) {
            out.append(name);
            out.append(number);
            out.push_back('=');
            out.append(value);
            out.append(eol);
        }
        pos = end + 1;
    }
    return out;
}

FileResult RunSave(SaveJob& job) {
    if (job.backupPending && job.backupPending->load()) {
        FileResult r = BackUp(job.path);
        if (!r.ok) return r;
        job.backupPending->store(false);
        ReleaseFreeMemory();  // the copy held the whole file once; its room goes back now
    }
    // Written piece by piece, each encoded on its own (they end at line ends): a long history
    // is never copied whole in memory to be saved.
    return WriteFileAtomically(job.path, [&job](const ByteSink& sink) {
        if (!sink(job.head)) return false;
        if (job.docCount == 0) return true;
        if (job.headEndsOpen && !sink(job.eol)) return false;
        if (!sink(EncodeText("[" + std::string(kSectionDocs) + "]" + job.eol, job.encoding))) return false;
        int key = 0;
        for (const auto& piece : job.docs) {
            const std::string text = PieceLines(*piece, key, job.eol);
            const bool asIs = job.encoding == TextEncoding::Utf8 && IsValidUtf8(text);
            if (!(asIs ? sink(text) : sink(EncodeText(text, job.encoding)))) return false;
        }
        return true;
    });
}


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

HistoryFile::HistoryFile(std::string loadPath, std::string savePath)
    : m_loadPath(std::move(loadPath)), m_savePath(std::move(savePath)) {
    if (m_savePath.empty()) m_savePath = m_loadPath;
}

void HistoryFile::RemoveKilledSaves() {
    // Only by the one instance of this history, or it could take another's save from under it.
    if (m_ownsHistory) RemoveStaleTemporaries(m_savePath);
}

void HistoryFile::Open() {
    m_ini = std::make_unique<IniFile>(m_loadPath);
    const FileResult r = m_ini->Load();
    m_lastError = r.error;
    m_ini->SetPath(m_savePath);
    if (!r.ok && m_loadPath == m_savePath) {
        // Whatever is there was not read whole: it stays exactly as it is.
        m_readFailure = r;
    } else if (r.ok && m_loadPath == m_savePath && m_ini->Existed()) {
        m_backupPending = std::make_shared<std::atomic<bool>>(true);
    }
}

std::vector<StoredDoc> HistoryFile::ReadStoredDocs() const {
    // Of each key the first in the file counts.
    struct Stored {
        std::optional<std::string> title, location;
        std::int32_t docType = kDocTypeWebPage;
        std::int32_t selected = 0;
        bool typeSeen = false, selectedSeen = false;
    };
    std::unordered_map<int, Stored> records;
    m_ini->ForEachKey(kSectionDocs, [&records](std::string_view key, std::string_view value) {
        int k = 0;
        if (RecordNumber(key, "name", k)) {
            Stored& r = records[k];
            if (!r.title) r.title = std::string(value);
        } else if (RecordNumber(key, "path", k)) {
            Stored& r = records[k];
            if (!r.location) r.location = std::string(value);
        } else if (RecordNumber(key, "doctype", k)) {
            Stored& r = records[k];
            if (!r.typeSeen) r.docType = IniFile::ParseInteger(value).value_or(kDocTypeWebPage);
            r.typeSeen = true;
        } else if (RecordNumber(key, "selected", k)) {
            Stored& r = records[k];
            if (!r.selectedSeen) r.selected = IniFile::ParseInteger(value).value_or(0);
            r.selectedSeen = true;
        }
    });
    // The history runs from record 0 up to the first one missing or without a title.
    std::vector<StoredDoc> docs;
    for (int k = 0;; ++k) {
        const auto it = records.find(k);
        if (it == records.end() || !it->second.title || TrimView(*it->second.title).empty()) break;
        Stored& r = it->second;
        docs.push_back({std::move(*r.title), r.location ? std::move(*r.location) : std::string(),
                        r.docType, r.selected != 0});
    }
    return docs;
}

LoadedHistory HistoryFile::Load() {
    LoadedHistory loaded;
    const bool first = !m_ini;
    if (first) Open();
    const IniFile& ini = *m_ini;
    const std::string_view d = kSectionDefault;
    Settings& s = loaded.settings;
    for (const SettingsItem& item : kSettingsItems) {
        const std::int64_t fallback = item.Default();
        item.set(s, item.isBool ? ini.ReadBool(d, item.key, fallback != 0)
                                : ini.ReadInteger(d, item.key, static_cast<std::int32_t>(fallback)));
    }
    if (first) {
        loaded.docs = ReadStoredDocs();
        // Every save rewrites the section from the records: the lines read here are not needed
        // again, and dropping them halves what a large history costs in memory.
        m_ini->EraseSection(kSectionDocs);
    }
    return loaded;
}

std::vector<std::string> HistoryFile::ProgramPaths(const std::vector<StoredDoc>& docs) {
    std::vector<std::string> paths;
    std::unordered_set<std::string> seen;
    for (const StoredDoc& doc : docs) {
        if (doc.docType != kDocTypeProgram) continue;
        // As registration will see it.
        std::string path = Trim(ReplaceAll(Trim(doc.location), "%20", " "));
        if (!path.empty() && seen.insert(path).second) paths.push_back(std::move(path));
    }
    return paths;
}

// ---- the pieces ------------------------------------------------------------------------------

std::size_t HistoryFile::ChunkOf(int index, int& first) const {
    first = 0;
    for (std::size_t c = 0; c < m_chunks.size(); ++c) {
        if (index < first + m_chunks[c].count) return c;
        first += m_chunks[c].count;
    }
    return m_chunks.size();
}

void HistoryFile::RecordAdded(int index, bool, bool, const PathAnswers*) {
    int first = 0;
    ChunkOf(index, first);
    if (first != index) {  // not the next record: the pieces no longer match, start over
        m_chunks.clear();
        return;
    }
    if (m_chunks.empty() || m_chunks.back().count >= kChunkDocs) m_chunks.emplace_back();
    ++m_chunks.back().count;
    m_chunks.back().text.reset();
}

void HistoryFile::RecordMarked(int index) {
    int first = 0;
    const std::size_t c = ChunkOf(index, first);
    if (c < m_chunks.size()) m_chunks[c].text.reset();
}

void HistoryFile::RecordRemoving(int index) {
    int first = 0;
    const std::size_t c = ChunkOf(index, first);
    if (c >= m_chunks.size()) return;
    m_chunks[c].text.reset();
    if (--m_chunks[c].count == 0) m_chunks.erase(m_chunks.begin() + static_cast<std::ptrdiff_t>(c));
}

void HistoryFile::BuildChunks(const DocRecords& records) {
    const std::string& eol = m_ini->LineEnding();
    int covered = 0;
    for (const DocsChunk& chunk : m_chunks) covered += chunk.count;
    if (eol != m_chunksEol || covered != records.Count()) {
        // Pieces that do not cover the records exactly are built again from scratch.
        m_chunks.clear();
        m_chunksEol = eol;
        for (int left = records.Count(); left > 0; left -= kChunkDocs) {
            m_chunks.push_back({nullptr, std::min(left, kChunkDocs), 0});
        }
    }
    const auto& docs = records.DocHistory();
    std::size_t at = 0;
    for (DocsChunk& chunk : m_chunks) {
        if (!chunk.text) {
            auto text = std::make_shared<std::string>();
            chunk.written = 0;
            for (std::size_t i = at; i < at + static_cast<std::size_t>(chunk.count); ++i) {
                const TMyDoc& doc = docs[i];
                if (TrimView(doc.Title).empty()) continue;
                AppendRecord(*text, doc);
                ++chunk.written;
            }
            text->shrink_to_fit();  // kept until its records change: no slack from growing
            chunk.text = std::move(text);
        }
        at += static_cast<std::size_t>(chunk.count);
    }
}

void HistoryFile::PrepareSave(const DocRecords& records) {
    if (m_ini) BuildChunks(records);
}

bool HistoryFile::Save(const Settings& settings, const DocRecords& records) {
    if (!m_ini) Open();
    if (m_readFailure) {
        m_lastError = "not written, it could not be read: " + m_readFailure->error;
        return false;
    }
    IniFile& ini = *m_ini;
    const std::string_view d = kSectionDefault;
    for (const SettingsItem& item : kSettingsItems) {
        if (item.isBool) ini.WriteBool(d, item.key, item.get(settings) != 0);
        else ini.WriteInteger(d, item.key, static_cast<std::int32_t>(item.get(settings)));
    }
    // The history section is always the file's last, rewritten whole from the records.
    ini.EraseSection(kSectionDocs);
    BuildChunks(records);
    SaveJob job;
    job.path = ini.Path();
    job.head = ini.Serialize(&job.headEndsOpen);
    job.eol = ini.LineEnding();
    for (const DocsChunk& chunk : m_chunks) {
        job.docs.push_back(chunk.text);
        job.docCount += chunk.written;
    }
    job.encoding = ini.Encoding();
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

}  // namespace tk
