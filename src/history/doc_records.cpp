#include "history/doc_records.h"

#include <algorithm>
#include <exception>

#include "base/text.h"

namespace tk {

const TMyDoc* DocRecords::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return &m_docs[static_cast<std::size_t>(index)];
}

void DocRecords::RemoveListener(RecordsListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void DocRecords::NoteChange() {
    if (m_loading > 0) return;
    ++m_changes;
    if (m_onChange) m_onChange();
}

void DocRecords::SetSelectedFlag(int index, bool selected) {
    if (index < 0 || index >= Count()) return;
    auto& flag = m_docs[static_cast<std::size_t>(index)].Selected;
    if (flag == (selected ? 1 : 0)) return;
    flag = selected ? 1 : 0;
    Tell([index](RecordsListener& l) { l.RecordMarked(index); });
    NoteChange();
}

void DocRecords::FillDocFilters() { m_filters.assign(10, "logon.scr"); }

bool DocRecords::IsFilteredDoc(std::string_view location) const {
    if (ContainsIgnoringAsciiCase(location, "res://")) return true;
    for (const auto& filter : m_filters) {
        const std::string f = Trim(LowerAscii(filter));
        if (!f.empty() && ContainsIgnoringAsciiCase(location, f)) return true;
    }
    return false;
}

bool DocRecords::DocExists(std::string_view text) const { return m_locations.Contains(TrimView(text)); }

bool DocRecords::DocGroupExists(std::string_view name) const {
    return m_nameCount.find(TrimView(name)) != m_nameCount.end();
}

std::string DocRecords::GetDocGroupName(std::string_view location) const {
    const std::string_view loc = TrimView(location);
    if (Contains(loc, "file:///")) return m_dialect.FolderGroupName(loc);
    const std::size_t scheme = loc.find("://");
    if (scheme == std::string_view::npos) return {};
    const std::string_view rest = loc.substr(scheme + 3);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return {};
    return std::string(rest.substr(0, slash));
}

void DocRecords::IndexDoc(int index) {
    m_locations.Insert(index);
    ++m_nameCount[Trim(m_docs[static_cast<std::size_t>(index)].Name)];
}

void DocRecords::UnindexDoc(int index) {
    m_locations.Erase(index);
    auto it = m_nameCount.find(TrimView(m_docs[static_cast<std::size_t>(index)].Name));
    if (it != m_nameCount.end() && --it->second == 0) m_nameCount.erase(it);
}

std::optional<int> DocRecords::AddDoc(std::string_view location, std::string_view title,
                                      bool isExplicit, bool selected, const PathAnswers* answers) {
    std::string loc = Trim(location);
    std::string ttl = Trim(title);
    if (loc.empty() || ttl.empty()) return std::nullopt;
    // Trimmed again once the blanks are put back: a fresh load reads it trimmed.
    loc = Trim(ReplaceAll(loc, "%20", " "));
    if (loc.empty()) return std::nullopt;
    if (IsFilteredDoc(loc) || DocExists(loc)) return std::nullopt;
    std::string name = Trim(GetDocGroupName(loc));
    if (!isExplicit && name.empty()) return std::nullopt;

    const bool newGroup = isExplicit || !DocGroupExists(name);
    TMyDoc doc;
    const bool folder = Contains(loc, "file:///");
    doc.DocType = folder ? kDocTypeFolder : (isExplicit ? kDocTypeProgram : kDocTypeWebPage);
    doc.Title = folder ? m_dialect.FolderLocalPath(loc) : std::move(ttl);
    // An entry with no title is never written: it would show until the next start, then be gone.
    if (TrimView(doc.Title).empty()) return std::nullopt;
    doc.Location = std::move(loc);
    doc.Name = std::move(name);
    doc.Selected = selected ? 1 : 0;
    m_docs.push_back(std::move(doc));
    const int index = Count() - 1;
    IndexDoc(index);
    Tell([&](RecordsListener& l) { l.RecordAdded(index, newGroup, isExplicit, answers); });
    NoteChange();
    return index;
}

std::optional<int> DocRecords::AddDroppedDoc(std::string_view name) {
    std::string t = Trim(name);
    if (m_dialect.IsLocalPath(t)) {
        t = m_dialect.LocalPathToLocation(t);
    } else if (!Contains(t, "http://")) {
        t = "http://" + t;
    }
    return AddDoc(t, t, false, false);
}

void DocRecords::LoadStored(std::vector<StoredDoc> docs, const PathAnswers* answers) {
    ++m_loading;
    struct LoadEnds {
        int& loading;
        ~LoadEnds() { --loading; }
    } loadEnds{m_loading};
    // Make room once instead of growing the indexes step by step.
    const std::size_t expected = m_docs.size() + docs.size();
    m_docs.reserve(expected);
    m_locations.Reserve(expected);
    m_nameCount.reserve(expected);
    for (std::size_t k = 0; k < docs.size(); ++k) {
        StoredDoc& stored = docs[k];
        if (DocExists(Trim(stored.title))) continue;
        // One entry that cannot be taken (an icon backend that throws, say) is skipped whole;
        // the rest of the history still loads.
        const int before = Count();
        try {
            AddDoc(stored.location, stored.title, stored.docType == kDocTypeProgram,
                   stored.selected, answers);
        } catch (const std::exception& e) {
            m_diagnostics.Warning("history entry " + std::to_string(k) + " skipped", e.what());
            if (Count() > before) DeleteSelectDocs(Count() - 1);
        }
        // Each stored text goes as soon as it is taken: the load never holds the history twice.
        stored = StoredDoc{};
    }
}

void DocRecords::DeleteSelectDocs(int index) {
    if (index < 0 || index >= Count()) return;
    Tell([index](RecordsListener& l) { l.RecordRemoving(index); });
    UnindexDoc(index);
    m_docs.erase(m_docs.begin() + index);
    m_locations.ShiftAbove(index);
    ++m_changes;
    Tell([index](RecordsListener& l) { l.RecordRemoved(index); });
}

void DocRecords::DeleteAllDocs() {
    m_docs.clear();
    m_locations.Clear();
    m_nameCount.clear();
    ++m_changes;
    Tell([](RecordsListener& l) { l.RecordsCleared(); });
}

}  // namespace tk
