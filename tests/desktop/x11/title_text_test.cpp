#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/text.h"
#include "platform/linux/x11/compound_text.h"
#include "platform/linux/x11/x11_window_system.h"

extern char** environ;

using namespace tk;

namespace {
const std::string kBad = "\xEF\xBF\xBD";
}

// Byte strings as Xlib stored them for titles given to xterm in a UTF-8 locale.
TEST(CompoundText, DecodesWhatXlibWrites) {
    // JIS X 0208 for the first two characters, GB 2312 for the rest, both in GL.
    EXPECT_EQ(DecodeCompoundText("\x1b$(BCfJ8\x1b$(A1jLb"), "中文标题");
    // ISO 8859 right halves: Greek, Latin-1, Cyrillic.
    EXPECT_EQ(DecodeCompoundText("\x1b-F\xd9mega \x1b-A\xfc \x1b-L\xbf\xe0\xd8\xd2\xd5\xe2"),
              "Ωmega ü Привет");
    // Characters of no registered set travel in UTF-8 segments.
    EXPECT_EQ(DecodeCompoundText("\x1b%G\xd7\x90\x1b%@ \x1b%G\xe0\xb8\x81\x1b%@ "
                                 "\x1b%G\xea\x99\xae\x1b%@ \x1b%G\xf0\x9f\x99\x82\x1b%@"),
              "א ก ꙮ 🙂");
    // KS C 5601, JIS X 0208, then JIS X 0201 katakana in GR.
    EXPECT_EQ(DecodeCompoundText("\x1b$(CGQ19>n\x1b(B \x1b$(B%+%?%+%J\x1b(B \x1b)I\xb6\xc0"),
              "한국어 カタカナ ｶﾀ");
}

TEST(CompoundText, OtherDesignationsAndSegments) {
    EXPECT_EQ(DecodeCompoundText("caf\xe9"), "café");  // GR starts as Latin-1
    EXPECT_EQ(DecodeCompoundText("\x1b$)A\xd6\xd0\xce\xc4!"), "中文!");
    EXPECT_EQ(DecodeCompoundText("\x1b(J\\~"), "¥‾");
    EXPECT_EQ(DecodeCompoundText("a\tb\nc"), "a\tb\nc");
    EXPECT_EQ(DecodeCompoundText("\x9b"
                                 "2]abc\x9b]"),
              "abc");
    const std::string big5 = std::string("\x1b%/2\x80\x8b") + "big5-0\x02\xa4\xa4\xa4\xe5" + "x";
    EXPECT_EQ(DecodeCompoundText(big5), "中文x");
}

TEST(CompoundText, WhatCannotBeMappedBecomesReplacementCharacters) {
    EXPECT_EQ(DecodeCompoundText("\x1b$(Z!!!!\x1b(Ba"), kBad + kBad + "a");  // unknown 94^2 set
    EXPECT_EQ(DecodeCompoundText("\x1b-Z\xa1"), kBad);                       // unknown 96 set
    EXPECT_EQ(DecodeCompoundText("\x1b$(A1jL"), "标" + kBad);                // half a character
    EXPECT_EQ(DecodeCompoundText(std::string("\x1b%/2\x80\x8b") + "nosuch-0\x02xy" + "z"),
              kBad + "z");
    EXPECT_EQ(DecodeCompoundText("\x1b%/2\x80\xff"
                                 "ab"),
              kBad);  // longer than the text
    EXPECT_EQ(DecodeCompoundText("a\x1b"), "a" + kBad);
    EXPECT_EQ(DecodeCompoundText("a\x85"
                                 "b"),
              "a" + kBad + "b");
    EXPECT_EQ(DecodeCompoundText("\x1b%G\xff\x1b%@ok"), kBad + "ok");
    EXPECT_EQ(DecodeCompoundText("\x1b%Gé"), "é");  // never closed
}

TEST(CompoundText, ArbitraryBytesAlwaysGiveValidUtf8) {
    std::mt19937 random(2024);
    const std::string pieces[] = {"\x1b", "$", "(",    ")",    "-",    "%",    "/", "G", "@",
                                  "A",    "B", "\x9b", "\x02", "\x80", "\xa1", "]", "1", "a"};
    for (int round = 0; round < 3000; ++round) {
        std::string input;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            if (random() % 2) {
                input += pieces[random() % std::size(pieces)];
            } else {
                input.push_back(static_cast<char>(random() % 256));
            }
        }
        ASSERT_TRUE(IsValidUtf8(DecodeCompoundText(input))) << testing::PrintToString(input);
    }
    EXPECT_EQ(Latin1ToUtf8("\xe9\xff\x41"), "éÿA");
}

TEST(ProcessExecutable, FollowsTheProcessAndItsFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tk-exe-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path copy = dir / "sleeper (deleted)";  // a real file may carry the marker's text
    fs::copy_file("/bin/sleep", copy, fs::copy_options::overwrite_existing);
    const std::string path = fs::canonical(copy).string();

    pid_t pid = -1;
    char arg0[] = "sleeper";
    char arg1[] = "60";
    char* argv[] = {arg0, arg1, nullptr};
    ASSERT_EQ(::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);

    EXPECT_EQ(ProcessExecutable(pid), path);
    fs::remove(copy);
    EXPECT_EQ(ProcessExecutable(pid), std::nullopt);  // still running, but its file is gone
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(ProcessExecutable(pid), std::nullopt);  // exited
    fs::remove_all(dir);

    for (std::int64_t bad : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 40}) {
        EXPECT_EQ(ProcessExecutable(bad), std::nullopt);
    }
    EXPECT_EQ(ProcessExecutable(::getpid()), fs::canonical("/proc/self/exe").string());
}
