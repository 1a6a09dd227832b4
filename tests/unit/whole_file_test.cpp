// Reading a file whole, and making folders: what a reader is handed in place of a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/folders.h"
#include "base/whole_file.h"

using namespace tk;
namespace fs = std::filesystem;

namespace {

class WholeFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("tk-whole-" + std::to_string(std::random_device()()));
        fs::create_directories(m_root);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (m_root / name).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    // The outcome of one read: "ok", "missing" or the problem, with the bytes when ok.
    struct Read {
        FileResult result;
        bool missing = false;
        std::string bytes;
    };
    static Read ReadUpTo(const std::string& path, std::uint64_t cap) {
        Read r;
        r.bytes = "left over";
        r.result = ReadWholeFile(path, r.bytes, r.missing, cap);
        return r;
    }
    fs::path m_root;
};

}  // namespace

TEST_F(WholeFile, TakesRegularFilesUpToTheCapOnly) {
    const std::string text("line\0with a NUL\n", 16);
    Read exact = ReadUpTo(Write("exact", text), text.size());
    EXPECT_TRUE(exact.result.ok) << exact.result.error;
    EXPECT_EQ(exact.bytes, text);

    Read empty = ReadUpTo(Write("empty", ""), 0);
    EXPECT_TRUE(empty.result.ok && !empty.missing);
    EXPECT_TRUE(empty.bytes.empty());

    Read over = ReadUpTo(Write("over", text), text.size() - 1);
    EXPECT_FALSE(over.result.ok);
    EXPECT_EQ(over.result.problem, FileProblem::TooLarge);
    EXPECT_TRUE(over.bytes.empty());

#ifndef _WIN32
    // Files whose size says nothing: read until the cap, then refused.
    Read proc = ReadUpTo("/proc/self/status", 8);
    EXPECT_EQ(proc.result.problem, FileProblem::TooLarge);
    EXPECT_TRUE(ReadUpTo("/proc/self/status", 1u << 20).result.ok);
#endif
}

TEST_F(WholeFile, TellsMissingFromUnreadable) {
    Read none = ReadUpTo((m_root / "none").string(), 100);
    EXPECT_TRUE(none.result.ok && none.missing && none.bytes.empty());
    // A file where a folder should be.
    const std::string file = Write("file", "x");
    EXPECT_TRUE(ReadUpTo(file + "/below", 100).missing);

    Read folder = ReadUpTo(m_root.string(), 100);
    EXPECT_EQ(folder.result.problem, FileProblem::NotRegular);
    EXPECT_FALSE(folder.missing);
#ifndef _WIN32
    // A FIFO with no writer: refused at once instead of waited on.
    const std::string fifo = (m_root / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadUpTo(fifo, 100).result.problem, FileProblem::NotRegular);
    // Through a link the target is what counts.
    fs::create_symlink(file, m_root / "link");
    EXPECT_EQ(ReadUpTo((m_root / "link").string(), 100).bytes, "x");
#endif
}

// The stamp of what was read is the stamp the file has until it changes: a cache keyed on it
// never serves an old reading of a rewritten file.
TEST_F(WholeFile, StampsFollowTheFileRead) {
    const std::string path = Write("session", "first");
    std::string bytes;
    bool missing = false;
    FileStamp read;
    ASSERT_TRUE(ReadWholeFile(path, bytes, missing, 100, &read).ok);
    EXPECT_EQ(StampOfFile(path), read);
    EXPECT_EQ(read.size, 5);

    Write("session", "second");
    const std::optional<FileStamp> rewritten = StampOfFile(path);
    ASSERT_TRUE(rewritten.has_value());
    EXPECT_NE(*rewritten, read);
    EXPECT_EQ(StampOfFile((m_root / "none").string()), std::nullopt);
}

TEST_F(WholeFile, FoldersAreMadeWithTheirParentsAndPrivate) {
    const fs::path deep = m_root / "a" / "b" / "c";
    EXPECT_TRUE(MakeDirectories(deep.string()));
#ifndef _WIN32
    EXPECT_EQ(fs::status(deep).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
    EXPECT_TRUE(MakeDirectories(deep.string()));  // already there
    Write("plain", "x");
    EXPECT_FALSE(MakeDirectories((m_root / "plain" / "below").string()));
}
