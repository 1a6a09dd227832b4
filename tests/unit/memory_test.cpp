// Letting go of a hidden window's font pages: only mappings whose pages are the file's own.
#include <gtest/gtest.h>

#include <string>

#include "base/memory.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#endif

using namespace tk;

TEST(FontPages, OnlyPrivateReadOnlyFontFilesCount) {
    const struct {
        const char* line;
        bool releasable;
    } cases[] = {
        {"7f00a000-7f00c000 r--p 00000000 fe:00 1234   /usr/share/fonts/truetype/arphic/uming.ttc", true},
        {"7f00a000-7f00c000 r--p 00001000 08:01 99 /home/u/.fonts/Some Face.OTF", true},
        {"7f00a000-7f00c000 r--p 00000000 fe:00 1234 /usr/share/fonts/x/face.woff", true},
        // Written copies of a private mapping would be lost; shared ones are the file itself.
        {"7f00a000-7f00c000 rw-p 00000000 fe:00 1234 /usr/share/fonts/face.ttf", false},
        {"7f00a000-7f00c000 r--s 00000000 fe:00 1234 /usr/share/fonts/face.ttf", false},
        {"7f00a000-7f00c000 r-xp 00000000 fe:00 1234 /usr/share/fonts/face.ttf", false},
        // Libraries' read-only parts hold relocated data: never.
        {"7f00a000-7f00c000 r--p 00000000 fe:00 1234 /usr/lib/x86_64-linux-gnu/libQt6Gui.so.6", false},
        {"7f00a000-7f00c000 r--p 00000000 fe:00 1234 /opt/fonts.ttf/libface.so", false},
        {"7f00a000-7f00c000 r--p 00000000 00:00 0 ", false},
        {"7f00a000-7f00c000 r--p 00000000 00:00 0 [anon].ttf", false},
        {"7f00a000-7f00c000 r--p 00000000 fe:00 1234 /tmp/face.ttf (deleted)", false},
        {"7f00c000-7f00a000 r--p 00000000 fe:00 1234 /usr/share/fonts/face.ttf", false},
        {"zz-7f00c000 r--p 00000000 fe:00 1234 /usr/share/fonts/face.ttf", false},
        {"", false},
        {"7f00a000-7f00c000", false},
    };
    for (const auto& c : cases) {
        std::size_t start = 0;
        std::size_t end = 0;
        EXPECT_EQ(IsReleasableFontMapping(c.line, start, end), c.releasable) << c.line;
        if (c.releasable) {
            EXPECT_EQ(start, 0x7f00a000u);
            EXPECT_EQ(end, 0x7f00c000u);
        }
    }
}

#if defined(__linux__)
namespace {

// Resident KiB of the mapping that starts at `address`, from the kernel's own account.
long ResidentKiB(const void* address) {
    std::ifstream smaps("/proc/self/smaps");
    char head[32];
    std::snprintf(head, sizeof head, "%lx-", reinterpret_cast<unsigned long>(address));
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        if (line.find('-') != std::string::npos && line.find(' ') > line.find('-') &&
            line.find(':') > line.find(' ')) {
            inside = line.rfind(head, 0) == 0;
        } else if (inside && line.rfind("Rss:", 0) == 0) {
            return std::stol(line.substr(4));
        }
    }
    return -1;
}

}  // namespace

TEST(FontPages, ReleasedPagesComeBackAndWrittenOnesStay) {
    const std::string path = ::testing::TempDir() + "tk-face-" + std::to_string(::getpid()) + ".ttf";
    const std::size_t size = 512 * 1024;
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 4096);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto* face = static_cast<const char*>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    // A private writable mapping of the same file: its changed page must survive.
    auto* patched = static_cast<char*>(::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0));
    ::close(fd);
    ASSERT_NE(face, MAP_FAILED);
    ASSERT_NE(patched, MAP_FAILED);
    long sum = 0;
    for (std::size_t i = 0; i < size; i += 4096) sum += face[i];
    patched[4096] = 'X';
    EXPECT_GT(ResidentKiB(face), 0) << sum;

    EXPECT_GE(ReleaseFontPages(), size);
    EXPECT_EQ(ResidentKiB(face), 0);
    EXPECT_EQ(std::string(face, size), bytes);  // read again from the file
    EXPECT_EQ(patched[4096], 'X');
    ::munmap(const_cast<char*>(face), size);
    ::munmap(patched, size);
    ::unlink(path.c_str());
}
#endif
