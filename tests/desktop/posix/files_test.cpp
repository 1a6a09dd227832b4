// The backend's file helpers on temporary files: what a reader is handed in place of a file.
#include "platform/linux/posix/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace tk;
namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (m_root / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path m_root;
};

TEST_F(FilesTest, CappedReaderTakesRegularFilesUpToTheCapOnly) {
    const std::string text("line\0with a NUL\n", 16);
    const CappedFile exact = ReadWholeFileCapped(Write("exact", text), text.size());
    EXPECT_EQ(exact.status, CappedFile::Status::Ok) << exact.error;
    EXPECT_EQ(exact.bytes, text);
    EXPECT_EQ(exact.info.st_size, static_cast<off_t>(text.size()));

    const CappedFile empty = ReadWholeFileCapped(Write("empty", ""), 0);
    EXPECT_EQ(empty.status, CappedFile::Status::Ok);
    EXPECT_TRUE(empty.bytes.empty());

    const CappedFile over = ReadWholeFileCapped(Write("over", text), text.size() - 1);
    EXPECT_EQ(over.status, CappedFile::Status::Failed);
    EXPECT_TRUE(over.bytes.empty());
    EXPECT_NE(over.error.find("refused"), std::string::npos) << over.error;

    // Files whose size says nothing: read until the cap, then refused.
    const CappedFile proc = ReadWholeFileCapped("/proc/self/status", 8);
    EXPECT_EQ(proc.status, CappedFile::Status::Failed);
    EXPECT_EQ(ReadWholeFileCapped("/proc/self/status", 1u << 20).status, CappedFile::Status::Ok);
}

TEST_F(FilesTest, CappedReaderTellsMissingFromUnreadable) {
    EXPECT_EQ(ReadWholeFileCapped((m_root / "none").string(), 100).status,
              CappedFile::Status::Missing);
    // A file where a folder should be.
    const std::string file = Write("file", "x");
    EXPECT_EQ(ReadWholeFileCapped(file + "/below", 100).status, CappedFile::Status::Missing);

    EXPECT_EQ(ReadWholeFileCapped(m_root.string(), 100).status, CappedFile::Status::Failed);
    // A FIFO with no writer: refused at once instead of waited on.
    const std::string fifo = (m_root / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFileCapped(fifo, 100).status, CappedFile::Status::Failed);
    // Through a link the target is what counts.
    fs::create_symlink(file, m_root / "link");
    EXPECT_EQ(ReadWholeFileCapped((m_root / "link").string(), 100).bytes, "x");
}

TEST_F(FilesTest, LinksAndFoldersAndTheRunningExecutable) {
    // Longer than any first guess at a buffer.
    const std::string target = "/nowhere/" + std::string(3000, 'a') + "/b";
    fs::create_symlink(target, m_root / "long");
    EXPECT_EQ(ReadLink((m_root / "long").string()), target);
    EXPECT_EQ(ReadLink(Write("plain", "x")), std::nullopt);
    EXPECT_EQ(ReadLink((m_root / "none").string()), std::nullopt);

    EXPECT_EQ(RunningExecutablePath(), fs::canonical("/proc/self/exe").string());

    const fs::path deep = m_root / "a" / "b" / "c";
    EXPECT_TRUE(MakeFolders(deep.string()));
    EXPECT_EQ(fs::status(deep).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(MakeFolders(deep.string()));  // already there
    EXPECT_FALSE(MakeFolders((m_root / "plain" / "below").string()));
}

}  // namespace
