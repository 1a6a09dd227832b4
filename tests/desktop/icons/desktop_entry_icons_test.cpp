#include "platform/linux/icons/desktop_entry_icons.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace tk;
namespace fs = std::filesystem;

namespace {

class DesktopEntryIconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-icons-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "user/applications");
        fs::create_directories(m_root / "system/applications/vendor");
        fs::create_directories(m_root / "bin");
        m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        // Entries may name their program bare; it is then looked up on PATH.
        ::setenv("PATH", ((m_root / "bin").string() + ":" + m_oldPath).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", m_oldPath.c_str(), 1);
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::string Program(const std::string& name) {
        const fs::path path = m_root / "bin" / name;
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    void Entry(const std::string& where, const std::string& body) {
        std::ofstream(m_root / where) << "[Desktop Entry]\nType=Application\nName=X\n" << body;
    }
    // The folders as a package manager leaves them: last changed long ago, so any change a
    // test makes later gives them a new time however fast it follows.
    void AgeFolders() {
        for (const char* f :
             {"user/applications", "system/applications", "system/applications/vendor"}) {
            const timespec old[2] = {{1000, 0}, {1000, 0}};
            ::utimensat(AT_FDCWD, (m_root / f).c_str(), old, 0);
        }
    }
    DesktopEntryIcons Icons() {
        return DesktopEntryIcons({(m_root / "user").string(), (m_root / "system").string()});
    }
    static std::string Theme(const std::optional<FileIcon>& icon) {
        return icon ? icon->themeName : "<none>";
    }

    fs::path m_root;
    std::string m_oldPath;
};

TEST_F(DesktopEntryIconsTest, FindsTheEntryThatStartsTheProgram) {
    const std::string plain = Program("tk-plain");
    const std::string wrapped = Program("tk-wrapped");
    const std::string shadowed = Program("tk-shadowed");
    const std::string hidden = Program("tk-hidden");
    fs::create_symlink(plain, m_root / "bin/tk-plain-link");
    Entry("system/applications/plain.desktop", "Exec=tk-plain %U\nIcon=tk-plain-icon\n");
    // Started through env: only TryExec says which program it is.
    Entry("system/applications/vendor/wrapped.desktop",
          "Exec=env TK=1 " + wrapped + "\nTryExec=" + wrapped +
              "\nIcon=" + (m_root / "wrapped.png").string() + "\n");
    // The user's entry of the same id wins; a hidden one hides the system's.
    Entry("system/applications/shadowed.desktop", "Exec=" + shadowed + "\nIcon=system-icon\n");
    Entry("user/applications/shadowed.desktop", "Exec=" + shadowed + "\nIcon=user-icon\n");
    Entry("system/applications/hidden.desktop", "Exec=" + hidden + "\nIcon=hidden-icon\n");
    Entry("user/applications/hidden.desktop", "Hidden=true\n");
    // An entry of a program that is not installed, and one that is not an entry at all.
    Entry("system/applications/missing.desktop", "Exec=tk-not-installed\nIcon=missing-icon\n");
    std::ofstream(m_root / "system/applications/broken.desktop") << "\xff\xfe\x00garbage";

    DesktopEntryIcons icons = Icons();
    EXPECT_EQ(Theme(icons.IconOf(plain)), "tk-plain-icon");
    EXPECT_EQ(Theme(icons.IconOf((m_root / "bin/tk-plain-link").string())), "tk-plain-icon");
    EXPECT_EQ(Theme(icons.IconOf((m_root / "bin/../bin/tk-plain").string())), "tk-plain-icon");
    const auto file = icons.IconOf(wrapped);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->filePath, (m_root / "wrapped.png").string());
    EXPECT_EQ(file->themeName, "");
    EXPECT_EQ(Theme(icons.IconOf("/usr/bin/env")), DesktopEntryIcons::kGenericIconName);
    EXPECT_EQ(Theme(icons.IconOf(shadowed)), "user-icon");
    EXPECT_EQ(Theme(icons.IconOf(hidden)), DesktopEntryIcons::kGenericIconName);
}

TEST_F(DesktopEntryIconsTest, OddPathsGetTheGenericIconOrNothing) {
    Entry("system/applications/plain.desktop", "Exec=/bin/true\nIcon=true-icon\n");
    DesktopEntryIcons icons = Icons();
    const std::string generic = DesktopEntryIcons::kGenericIconName;
    EXPECT_EQ(Theme(icons.IconOf(Program("tk-unknown"))), generic);
    EXPECT_EQ(Theme(icons.IconOf(Program("tk-\xff\xfe-bad-utf8"))), generic);
    EXPECT_EQ(Theme(icons.IconOf((m_root / "no such file").string())), generic);
    EXPECT_EQ(Theme(icons.IconOf(std::string(100000, '/') + "x")), generic);
    EXPECT_EQ(Theme(icons.IconOf(std::string(5000, 'a'))), generic);
    EXPECT_EQ(Theme(icons.IconOf("")), "<none>");
    EXPECT_EQ(Theme(icons.IconOf(std::string("/bin/true\0/x", 12))), "<none>");
    EXPECT_EQ(Theme(icons.IconOf("/bin/true")), "true-icon");
    // A program recorded as its entry shows the entry's icon; a file that is no entry, the
    // generic one.
    EXPECT_EQ(Theme(icons.IconOf((m_root / "system/applications/plain.desktop").string())),
              "true-icon");
    std::ofstream(m_root / "broken.desktop") << "\xff garbage";
    EXPECT_EQ(Theme(icons.IconOf((m_root / "broken.desktop").string())), generic);
}

TEST_F(DesktopEntryIconsTest, ReadsEntriesAgainOnlyAfterTheirFoldersChange) {
    const std::string early = Program("tk-early");
    const std::string late = Program("tk-late");
    Entry("system/applications/early.desktop", "Exec=" + early + "\nIcon=early-icon\n");
    AgeFolders();
    DesktopEntryIcons icons = Icons();
    EXPECT_EQ(Theme(icons.IconOf(late)), DesktopEntryIcons::kGenericIconName);

    // Rewritten in place, the folder keeps its time: the reading from before still holds.
    Entry("system/applications/early.desktop", "Exec=" + early + "\nIcon=edited-icon\n");
    EXPECT_EQ(Theme(icons.IconOf(late)), DesktopEntryIcons::kGenericIconName);
    EXPECT_EQ(Theme(icons.IconOf(early)), "early-icon");

    // A program installed later, with its entry in a subfolder.
    Entry("system/applications/vendor/late.desktop", "Exec=" + late + "\nIcon=late-icon\n");
    EXPECT_EQ(Theme(icons.IconOf(late)), "late-icon");
    EXPECT_EQ(Theme(icons.IconOf(early)), "edited-icon");

    // A user folder that did not exist at the first reading.
    fs::remove_all(m_root / "user");
    DesktopEntryIcons fresh = Icons();
    EXPECT_EQ(Theme(fresh.IconOf(late)), "late-icon");
    fs::create_directories(m_root / "user/applications");
    const std::string mine = Program("tk-mine");
    Entry("user/applications/mine.desktop", "Exec=" + mine + "\nIcon=mine-icon\n");
    EXPECT_EQ(Theme(fresh.IconOf(mine)), "mine-icon");
}

}  // namespace
