// The backend's link helpers on temporary files.
#include "platform/linux/posix/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
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

TEST_F(FilesTest, LinksAndTheRunningExecutable) {
    // Longer than any first guess at a buffer.
    const std::string target = "/nowhere/" + std::string(3000, 'a') + "/b";
    fs::create_symlink(target, m_root / "long");
    EXPECT_EQ(ReadLink((m_root / "long").string()), target);
    EXPECT_EQ(ReadLink(Write("plain", "x")), std::nullopt);
    EXPECT_EQ(ReadLink((m_root / "none").string()), std::nullopt);

    EXPECT_EQ(RunningExecutablePath(), fs::canonical("/proc/self/exe").string());
}

}  // namespace
