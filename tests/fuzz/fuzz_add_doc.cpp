// Registration, removal and the category trees under arbitrary sequences of operations. The
// history and a plain reference take the same operations side by side: the history answers its
// duplicate, group and node searches from its indexes, the reference walks everything every
// time. They must never disagree, and the trees must stay well formed.
//
// Input: one byte of set-up (bit 0: POSIX rather than Windows paths; bit 1: fill the filter
// list first), then operations, each an opcode byte and its arguments. Texts are built from
// a small alphabet of fragments that the rules look for, plus runs of raw bytes.
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "base/text.h"
#include "test_history.h"
#include "linear_history_reference.h"

using tk::CategoryTree;
using tk::test::TestHistory;
using tk::TreeNode;
using tk::fuzz::ByteReader;
using tk::fuzz::Require;
using tk::test::FindNodeByTextLinear;
using tk::test::LinearHistoryReference;

namespace {

// Enough for every state a few hundred entries reach; longer runs only cost the linear
// reference its quadratic time and the fuzzer its speed.
constexpr std::size_t kMaxInputBytes = 1024;
constexpr int kMaxOperations = 256;
constexpr int kMaxNodesCrossChecked = 64;

constexpr std::string_view kFragments[] = {
    "http://",   "https://", "file:///C:/", "file:///home/u/",
    "file:///",  "file://",  "%20",         "res://",
    "logon.scr", "\\",       "/",           ":\\",
    "C:",        ":",        " ",           "\t",
    ".",         "a",        "B",           "www.a.com",
    "WWW.A.com", "x.html",   "home",        "u",
    "Data",      "/tmp",     "D:\\",        "edit.exe",
    ".EXE",      "!",        "%2",          "0",
    "中文",      "我的电脑",
};
constexpr std::size_t kFragmentCount = std::size(kFragments);

// A program exists when its path ends in ".exe"; the rule keeps no state, so both histories see
// the same disk whatever order they ask in.
class FuzzFileSystem final : public tk::FileSystem {
public:
    bool FileExists(const std::string& path) const override {
        return path.size() >= 4 && tk::LowerAscii(path.substr(path.size() - 4)) == ".exe";
    }
    bool DirectoryExists(const std::string&) const override { return false; }
};

// No icon can be taken for a path with a "!": that reaches the entry left without nodes.
class FuzzFileIcons final : public tk::FileIcons {
public:
    std::optional<tk::FileIcon> IconOf(const std::string& path) override {
        if (tk::Contains(path, "!")) return std::nullopt;
        tk::FileIcon icon;
        icon.filePath = path;
        return icon;
    }
};

// Rows from the top down to `node`, e.g. "2/0"; "-" for no node.
std::string PathOf(const TreeNode* node) {
    if (node == nullptr) return "-";
    std::string path;
    for (; node != nullptr; node = node->Parent()) {
        path = std::to_string(node->Row()) + (path.empty() ? "" : "/") + path;
    }
    return path;
}

// Writes every change a tree reports into a log, so two histories' reports can be compared.
class RecordingListener final : public tk::TreeListener {
public:
    RecordingListener(std::string_view tree, std::string& log) : m_tree(tree), m_log(log) {}
    void NodeAboutToBeInserted(const TreeNode* parent, int row) override {
        Note("+? ", parent, row);
    }
    void NodeInserted(const TreeNode* parent, int row) override { Note("+ ", parent, row); }
    void NodeAboutToBeRemoved(const TreeNode* parent, int row) override {
        Note("-? ", parent, row);
    }
    void NodeRemoved(const TreeNode* parent, int row) override { Note("- ", parent, row); }
    void AboutToReset() override { m_log += m_tree + " reset?\n"; }
    void Reset() override { m_log += m_tree + " reset\n"; }
    void MakeVisible(const TreeNode* node) override {
        m_log += m_tree + " show " + PathOf(node) + " " + std::string(node->Text()) + "\n";
    }

private:
    void Note(const char* what, const TreeNode* parent, int row) {
        m_log += m_tree + " " + what + PathOf(parent) + " " + std::to_string(row) + "\n";
    }
    std::string m_tree;
    std::string& m_log;
};

void Listen(TestHistory& core, int page, tk::TreeListener* listener) {
    core.TreeOfPage(page)->SetListener(listener);
}
void Listen(LinearHistoryReference& core, int page, tk::TreeListener* listener) {
    core.SetTreeListener(page, listener);
}

template <typename Core>
struct History {
    History(const tk::PathDialect& dialect, const tk::FileSystem& files, tk::FileIcons& icons)
        : core(dialect, files, icons) {
        for (int page = 0; page < 4; ++page) Listen(core, page, &listeners[page]);
    }
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    std::string log;
    std::array<RecordingListener, 4> listeners{
        RecordingListener("TVDocs", log), RecordingListener("TVApp", log),
        RecordingListener("TVPath", log), RecordingListener("TVDoc", log)};
    Core core;  // after the listeners, so it goes first
};
using Indexed = History<TestHistory>;
using Linear = History<LinearHistoryReference>;

// A text from fragments and raw bytes; up to nine pieces.
std::string MakeText(ByteReader& in) {
    std::string text;
    const int pieces = in.Byte() % 10;
    for (int i = 0; i < pieces; ++i) {
        const std::size_t pick = in.Byte() % (kFragmentCount + 1);
        if (pick < kFragmentCount)
            text += kFragments[pick];
        else
            text += in.Bytes(in.Byte() % 8);
    }
    return text;
}

// The `k`-th node in tree order (k taken modulo the node count), or none in an empty tree.
TreeNode* NthNode(const CategoryTree& tree, int k) {
    if (tree.Count() == 0) return nullptr;
    int left = k % tree.Count();
    auto walk = [&](const auto& self, TreeNode* node) -> TreeNode* {
        if (left-- == 0) return node;
        for (int row = 0; row < node->ChildCount(); ++row) {
            if (TreeNode* found = self(self, node->Child(row))) return found;
        }
        return nullptr;
    };
    for (int row = 0; row < tree.TopCount(); ++row) {
        if (TreeNode* found = walk(walk, tree.Top(row))) return found;
    }
    return nullptr;
}

// "text [image] #index" indented by depth, in tree order; checks the links on the way.
// A node's picture: a built-in one by its number, a program's icon by the file it came from
// (numbers of icons differ between a removal and a fresh registration; pictures must not).
std::string Picture(const TreeNode* node, const tk::ImageList& images) {
    const int image = node->ImageIndex();
    if (image < tk::ImageList::kBuiltInCount) return std::to_string(image);
    Require(image < images.Count() && images.At(image).has_value(), "a node's icon is in the list");
    return images.At(image)->filePath;
}

void DumpNode(const TreeNode* node, const TreeNode* parent, int row, int depth, int docCount,
              const tk::ImageList& images, std::vector<std::string>& out) {
    Require(node != nullptr, "every row below the count holds a node");
    Require(node->Parent() == parent, "a node knows its parent");
    Require(node->Row() == row, "a node knows its row");
    Require(node->Data().Index >= 0 && node->Data().Index < docCount,
            "a node names an existing history entry");
    Require(node->SelectedIndex() == node->ImageIndex(), "selected image equals the image");
    out.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + std::string(node->Text()) + " [" +
                  Picture(node, images) + "] #" + std::to_string(node->Data().Index));
    for (int r = 0; r < node->ChildCount(); ++r) {
        DumpNode(node->Child(r), node, r, depth + 1, docCount, images, out);
    }
    Require(node->Child(node->ChildCount()) == nullptr, "no node past the last row");
}

std::vector<std::string> Dump(const CategoryTree& tree, int docCount, const tk::ImageList& images) {
    std::vector<std::string> out;
    for (int r = 0; r < tree.TopCount(); ++r) DumpNode(tree.Top(r), nullptr, r, 0, docCount, images, out);
    Require(static_cast<int>(out.size()) == tree.Count(), "the node count matches the nodes");
    return out;
}

// The indexed searches of one history agree with plain walks over the same data.
void CrossCheckIndexes(TestHistory& core) {
    for (const auto& doc : core.DocHistory()) {
        Require(core.DocExists(doc.Location), "every recorded location exists");
        Require(core.DocGroupExists(doc.Name), "every recorded group exists");
    }
    for (int page = 0; page < 4; ++page) {
        CategoryTree& tree = *core.TreeOfPage(page);
        for (int k = 0; k < tree.Count() && k < kMaxNodesCrossChecked; ++k) {
            const std::string text(NthNode(tree, k)->Text());
            for (const std::string& probe : {text, tk::LowerAscii(text), tk::UpperAscii(text)}) {
                for (bool exactCase : {false, true}) {
                    Require(tree.FindNodeByText(probe, false, exactCase) ==
                                FindNodeByTextLinear(tree, probe, exactCase),
                            "indexed node search finds the first match in tree order");
                }
            }
        }
    }
}

// The indexes' cross-check walks the tree for every node it probes: it runs once, at the end.
void CompareAll(Indexed& indexed, Linear& linear, bool crossCheck = false) {
    TestHistory& a = indexed.core;
    LinearHistoryReference& b = linear.core;
    Require(a.DocHistory() == b.DocHistory(), "both histories hold the same entries");
    const int docCount = static_cast<int>(a.DocHistory().size());
    for (int page = 0; page < 4; ++page) {
        const auto shown = Dump(*a.TreeOfPage(page), docCount, a.Images());
        const auto expected = Dump(*b.TreeOfPage(page), docCount, b.Images());
        if (shown != expected) {
            // Both trees side by side: a bare "they differ" leaves the hunt to a debugger.
            std::fprintf(stderr, "tree %d, history:\n", page);
            for (const auto& line : shown) std::fprintf(stderr, "  %s\n", line.c_str());
            std::fprintf(stderr, "reference:\n");
            for (const auto& line : expected) std::fprintf(stderr, "  %s\n", line.c_str());
        }
        Require(shown == expected, "both histories show the same trees, with the same pictures");
    }
    if (crossCheck) CrossCheckIndexes(a);
}

// Cheap agreement after every operation; the full comparison runs before anything that wipes
// the evidence and at the end.
void CompareStep(Indexed& indexed, Linear& linear) {
    Require(indexed.log == linear.log, "both histories report the same tree changes");
    indexed.log.clear();
    linear.log.clear();
    Require(indexed.core.DocHistory().size() == linear.core.DocHistory().size(),
            "both histories hold as many entries");
    for (int page = 0; page < 4; ++page) {
        Require(indexed.core.TreeOfPage(page)->Count() == linear.core.TreeOfPage(page)->Count(),
                "both trees hold as many nodes");
    }
}

void Probe(ByteReader& in, Indexed& indexed, Linear& linear) {
    const std::uint8_t how = in.Byte();
    std::string text;
    if (how & 1) {
        // A node's own text, maybe in other letter case: the searches should find something.
        const TreeNode* node = NthNode(*indexed.core.TreeOfPage(how >> 2 & 3), in.Byte());
        if (node != nullptr) text = (how & 2) ? tk::LowerAscii(node->Text()) : std::string(node->Text());
    } else {
        text = MakeText(in);
    }
    TestHistory& a = indexed.core;
    LinearHistoryReference& b = linear.core;
    Require(a.DocExists(text) == b.DocExists(text), "duplicate tests agree");
    Require(a.DocGroupExists(text) == b.DocGroupExists(text), "group tests agree");
    for (int page = 0; page < 4; ++page) {
        CategoryTree& tree = *a.TreeOfPage(page);
        const TreeNode* found = a.FindNodeByText(tree, text, false);
        Require(found == FindNodeByTextLinear(tree, text, !a.Dialect().GroupNamesIgnoreCase()),
                "node searches agree");
        Require(PathOf(found) == PathOf(b.FindNodeByText(*b.TreeOfPage(page), text, false)),
                "both histories find the same node");
    }
}

}  // namespace

// Each run makes and frees thousands of small strings: shorter allocation stacks and a smaller
// quarantine keep the run fast and its memory small; a use after free is still caught within
// the run that made it.
extern "C" const char* __asan_default_options() { return "malloc_context_size=8:quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInputBytes) return 0;
    ByteReader in(data, size);
    const std::uint8_t setup = in.Byte();
    static const tk::WindowsPathDialect kWindows;
    static const tk::PosixPathDialect kPosix("/home/u");
    const tk::PathDialect& dialect =
        (setup & 1) ? static_cast<const tk::PathDialect&>(kPosix) : kWindows;
    // Stateless: made once for the whole run.
    static const FuzzFileSystem files;
    static FuzzFileIcons icons;
    Indexed indexed(dialect, files, icons);
    Linear linear(dialect, files, icons);
    // Runs one operation on the history and on the reference alike.
    auto both = [&](auto&& operation) {
        operation(indexed.core);
        operation(linear.core);
    };
    if (setup & 2) {
        both([](auto& core) { core.FillDocFilters(); });
    }

    bool edited = false;  // the Delete key hid nodes
    for (int op = 0; op < kMaxOperations && !in.Empty(); ++op) {
        switch (in.Byte() % 16) {
            case 7:
            case 8: {
                const std::string text = MakeText(in);
                indexed.core.records().AddDroppedDoc(text);
                linear.core.CurDocText = text;
                linear.core.AddCurDoc();
                break;
            }
            case 9: {
                // A removal takes out its own nodes and keeps what the Delete key hid hidden;
                // the reference registers the rest again, which shows those again.
                if (edited) break;
                // Mostly valid indexes, and one past either end.
                const int count = static_cast<int>(indexed.core.DocHistory().size());
                const int index = in.Byte() % (count + 2) - 1;
                CompareAll(indexed, linear);
                both([&](auto& core) { core.DeleteSelectDocs(index); });
                CompareAll(indexed, linear);
                indexed.log.clear();  // the same trees, reached by other steps
                linear.log.clear();
                break;
            }
            case 10: {
                CompareAll(indexed, linear);
                both([](auto& core) { core.DeleteAllDocs(); });
                break;
            }
            case 11: {
                // The Delete key's removal of nodes from one tree, leaving the history alone.
                const std::uint8_t page = in.Byte() % 4;
                const std::uint8_t k = in.Byte();
                both([&](auto& core) {
                    CategoryTree& tree = *core.TreeOfPage(page);
                    tree.Remove(NthNode(tree, k));
                });
                edited = true;
                break;
            }
            case 12: {
                if (edited) break;
                // The pop-up menu's removal of the shown tree's current node; pages 4 to 6 have
                // no tree.
                const int page = in.Byte() % 7;
                const std::uint8_t k = in.Byte();
                CompareAll(indexed, linear);
                both([&](auto& core) {
                    CategoryTree* tree = core.TreeOfPage(page);
                    if (tree != nullptr) tree->SetCurrent(NthNode(*tree, k));
                    core.DeleteSelectedOfPage(page);
                });
                CompareAll(indexed, linear);
                indexed.log.clear();
                linear.log.clear();
                break;
            }
            case 13:
            case 14:
                Probe(in, indexed, linear);
                break;
            case 15:
                both([](auto& core) { core.FillDocFilters(); });
                break;
            default: {  // opcodes 0 to 6: registration, the commonest operation
                const std::uint8_t flags = in.Byte();
                const std::string location = MakeText(in);
                const std::string title = (flags & 4) ? location : MakeText(in);
                // The program names only executables explicitly, never a folder address.
                const bool isExplicit = (flags & 1) != 0 && !tk::Contains(location, "file:///");
                const bool selected = (flags & 2) != 0;
                both([&](auto& core) { core.AddDoc(location, title, isExplicit, selected); });
                break;
            }
        }
        CompareStep(indexed, linear);
    }
    CompareAll(indexed, linear, true);
    return 0;
}
