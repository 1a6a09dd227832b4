#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/diagnostics.h"
#include "base/text.h"
#include "desktop/path_dialect.h"
#include "history/doc.h"
#include "history/record_index.h"

namespace tk {

// Whether a file is there, as asked elsewhere (off the window's thread); nothing: not known
// yet. Registration hands these on to whoever needs the disk, so a path on a hung mount never
// freezes the window.
using PathAnswers = std::function<std::optional<bool>(const std::string&)>;

// A history entry as the file stores it, in the file's order.
struct StoredDoc {
    std::string title;
    std::string location;
    std::int32_t docType = kDocTypeWebPage;
    bool selected = false;
};

// Told about every change of the records, in the order they happen.
class RecordsListener {
public:
    virtual ~RecordsListener() = default;
    // A record came in at `index` (always the end); `newGroup` when it heads a group of its own,
    // `isExplicit` when it was named as it is (a program) rather than found by its address.
    virtual void RecordAdded(int index, bool newGroup, bool isExplicit, const PathAnswers* answers) = 0;
    // A record's start-up mark changed.
    virtual void RecordMarked(int /*index*/) {}
    // The record at `index` is about to go; the records after it then move down by one.
    virtual void RecordRemoving(int index) = 0;
    virtual void RecordRemoved(int index) = 0;
    virtual void RecordsCleared() = 0;
};

// The history's records (DocHistory), their index and the registration rules: which texts are
// taken, how an entry is typed and grouped. Knows nothing of trees, files or windows.
class DocRecords {
public:
    // An entry of the stored history that cannot be taken is reported to `diagnostics`.
    DocRecords(const PathDialect& dialect, Diagnostics& diagnostics)
        : m_dialect(dialect), m_diagnostics(diagnostics) {}
    DocRecords(const DocRecords&) = delete;
    DocRecords& operator=(const DocRecords&) = delete;

    const PathDialect& Dialect() const { return m_dialect; }
    const std::vector<TMyDoc>& DocHistory() const { return m_docs; }
    int Count() const { return static_cast<int>(m_docs.size()); }
    // The record at `index`, or nullptr outside the records.
    const TMyDoc* At(int index) const;

    // Listeners are told in the order they were added.
    void AddListener(RecordsListener* listener) { m_listeners.push_back(listener); }
    void RemoveListener(RecordsListener* listener);

    // ---- registration
    // Takes an entry unless it is filtered, known, or (not explicit) has no group. Returns its
    // index when it was taken.
    std::optional<int> AddDoc(std::string_view location, std::string_view title, bool isExplicit,
                              bool selected, const PathAnswers* answers = nullptr);
    // A name dropped on a tree or typed: a local path becomes its location, anything else an
    // address.
    std::optional<int> AddDroppedDoc(std::string_view name);
    // The stored history, in order; an entry that cannot be taken is skipped, the rest loads.
    void LoadStored(std::vector<StoredDoc> docs, const PathAnswers* answers);
    void SetSelectedFlag(int index, bool selected);

    // ---- classification
    // Fills the filter list with its ten texts; done after the history load.
    void FillDocFilters();
    bool IsFilteredDoc(std::string_view location) const;
    bool DocExists(std::string_view text) const;
    bool DocGroupExists(std::string_view name) const;
    std::string GetDocGroupName(std::string_view location) const;

    // ---- removal
    void DeleteSelectDocs(int index);
    void DeleteAllDocs();

    // ---- keeping the file safe
    // Grows by one with every change a save would write: a record added or removed, a mark set.
    std::uint64_t ChangeCount() const { return m_changes; }
    // Called after each such change (not while the stored history loads).
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

private:
    void IndexDoc(int index);
    void UnindexDoc(int index);
    void NoteChange();
    template <typename F>
    void Tell(F&& f) {
        for (RecordsListener* listener : m_listeners) f(*listener);
    }

    const PathDialect& m_dialect;
    Diagnostics& m_diagnostics;
    std::vector<TMyDoc> m_docs;
    // Looked up by string_view without building a string for every test.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    using TextCount = std::unordered_map<std::string, int, TextHash, std::equal_to<>>;
    RecordIndex m_locations{[this](int n) { return TrimView(m_docs[static_cast<std::size_t>(n)].Location); }};
    TextCount m_nameCount;  // trimmed Name -> entries
    std::vector<std::string> m_filters;
    std::vector<RecordsListener*> m_listeners;
    std::uint64_t m_changes = 0;
    int m_loading = 0;  // >0 while the stored history loads: no change to report
    std::function<void()> m_onChange;
};

}  // namespace tk
