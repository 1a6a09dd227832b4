#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "history/ini_file.h"
#include "base/text.h"

using tk::IniFile;
using tk::TextEncoding;

namespace {

std::string ReadFixture(const std::string& name) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

IniFile Parse(std::string_view bytes) {
    IniFile ini("/nonexistent/defualt.ini", TextEncoding::Utf8);
    ini.LoadFromBytes(bytes);
    return ini;
}

}  // namespace

TEST(IniFile, ReadsAsThePrivateProfileCallsDo) {
    IniFile ini = Parse(
        "; comment\n[Default]\n  Width  =  640  \nwidth=1\nname=\"quoted \"\nother='x'\n"
        "hex=0x1F\nneg=-12\nbad=12abc\nhuge=99999999999\nempty=\n[DEFAULT]\nwidth=2\n"
        "[ spaced ]\nk=v\n");
    EXPECT_EQ(ini.ReadInteger("default", "WIDTH", 0), 640);  // first section, first key
    EXPECT_EQ(ini.ReadString("default", "name", ""), "quoted ");
    EXPECT_EQ(ini.ReadString("default", "other", ""), "x");
    EXPECT_EQ(ini.ReadInteger("default", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("default", "neg", 0), -12);
    EXPECT_EQ(ini.ReadInteger("default", "bad", 7), 7);
    EXPECT_EQ(ini.ReadInteger("default", "huge", 7), 7);
    EXPECT_EQ(ini.ReadInteger("default", "empty", 7), 7);
    EXPECT_EQ(ini.ReadInteger("default", "missing", 7), 7);
    EXPECT_TRUE(ini.ReadBool("default", "hex", false));
    EXPECT_FALSE(ini.ReadBool("default", "bad", false));
    EXPECT_EQ(ini.ReadString("Spaced", "K", ""), "v");
    EXPECT_EQ(ini.ReadInteger("nosuch", "width", 5), 5);
}

TEST(IniFile, WritesInPlaceAndKeepsForeignLines) {
    const std::string original =
        "; mine\r\n[default]\r\nwidth=1\r\n\r\n[display]\r\npath0=x\r\ndisplay0=y\r\n\r\n"
        "[docs]\r\npath0=old\r\n";
    IniFile ini = Parse(original);
    EXPECT_EQ(ini.Serialize(), original);
    ini.WriteInteger("DEFAULT", "Width", 500);
    ini.WriteInteger("default", "height", 480);
    ini.EraseSection("docs");
    ini.WriteString("docs", "path0", "new");
    EXPECT_EQ(ini.Serialize(),
              "; mine\r\n[default]\r\nWidth=500\r\nheight=480\r\n\r\n[display]\r\npath0=x\r\n"
              "display0=y\r\n\r\n[docs]\r\npath0=new\r\n");
    // A value cannot break out of its line and plant keys of its own.
    ini.WriteString("docs", "path1", "a\r\n[default]\nwidth=0");
    EXPECT_EQ(ini.ReadInteger("default", "width", -1), 500);
    EXPECT_EQ(ini.ReadString("docs", "path1", ""), "a  [default] width=0");
}

// Erasing a section before the ones after it were ever read must not lose or shift them.
TEST(IniFile, SectionsReadAfterAnEraseAreIntact) {
    std::string docs = "[docs]\n";
    for (int i = 0; i < 500; ++i) docs += "path" + std::to_string(i) + "=x\n";
    const std::string original = "[default]\nwidth=1\n" + docs + "[display]\npath0=文档\n" +
                                 "[last]\nk=v\r\nno end";
    IniFile ini = Parse(original);
    EXPECT_EQ(ini.ReadInteger("default", "width", 0), 1);
    ini.EraseSection("docs");
    EXPECT_EQ(ini.ReadString("last", "k", ""), "v");
    EXPECT_EQ(ini.ReadString("display", "path0", ""), "文档");
    EXPECT_EQ(ini.Serialize(), "[default]\nwidth=1\n[display]\npath0=文档\n[last]\nk=v\r\nno end");
}

TEST(IniFile, GbkFileFromTheWindowsProgramRoundTrips) {
    const std::string bytes = ReadFixture("windows_gbk.ini");
    ASSERT_FALSE(bytes.empty());
    IniFile ini = Parse(bytes);
    EXPECT_EQ(ini.Encoding(), TextEncoding::Gb18030);
    EXPECT_EQ(ini.LineEnding(), "\r\n");
    EXPECT_EQ(ini.ReadString("docs", "path1", ""), "file:///D:/资料/报告");
    EXPECT_EQ(ini.ReadString("display", "display0", ""), "文档");
    EXPECT_EQ(ini.Serialize(), bytes);
    ini.WriteString("docs", "name9", "中文😀");
    IniFile again = Parse(ini.Serialize());
    EXPECT_EQ(again.ReadString("docs", "name9", ""), "中文😀");
    EXPECT_NE(ini.Serialize().find("name9=\xD6\xD0\xCE\xC4"), std::string::npos);
}

TEST(IniFile, GbkBytesAreNeverTakenForSyntax) {
    // 0x81 0x5D is a GBK character whose second byte is ']'; 0x81 0x5B holds '['.
    IniFile ini = Parse("[docs]\r\nname0=\x81\x5D\x81\x5B\xD6\xD0\r\n[a\x81\x5D]\r\nk=1\r\n");
    EXPECT_EQ(ini.ReadString("docs", "name0", ""), "乚乕中");
    EXPECT_EQ(ini.ReadInteger("a乚", "k", 0), 1);
}

TEST(IniFile, DamagedInputLoadsWhatItCan) {
    std::string garbage;
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) garbage.push_back(static_cast<char>(rng()));
    std::string file = garbage + "\n[default]\nwidth=7\n" + std::string(1 << 20, 'x') +
                       "\n" + std::string("a\0b=c\n", 6);
    for (int i = 0; i < 10000; ++i) file += "width=" + std::to_string(i) + "\n";
    IniFile ini = Parse(file);
    EXPECT_EQ(ini.ReadInteger("default", "width", 0), 7);
    EXPECT_EQ(ini.Serialize(), file);  // nothing is lost on the way through

    // Mixed encodings: the file reads as GBK, whose lines keep their Chinese; the stray UTF-8
    // line reads as something, and every byte still goes back out unchanged.
    const std::string mixedBytes = "[docs]\nname0=中文\nname1=\xD6\xD0\xCE\xC4\nname2=C:\\\xD0\xB4\n";
    IniFile mixed = Parse(mixedBytes);
    EXPECT_EQ(mixed.Encoding(), TextEncoding::Gb18030);
    EXPECT_EQ(mixed.ReadString("docs", "name1", ""), "中文");
    EXPECT_EQ(mixed.ReadString("docs", "name2", ""), "C:\\写");  // D0 B4 is also valid UTF-8
    EXPECT_TRUE(tk::IsValidUtf8(mixed.ReadString("docs", "name0", "")));
    EXPECT_EQ(mixed.Serialize(), mixedBytes);
}

TEST(IniFile, EncodingOfNewAndAsciiFiles) {
    IniFile fresh("/x", TextEncoding::Utf8);
    fresh.LoadFromBytes("");
    fresh.WriteString("docs", "name0", "中文");
#ifdef _WIN32
    // A new file takes the system's line ending.
    EXPECT_EQ(fresh.Serialize(), "[docs]\r\nname0=中文\r\n");
#else
    EXPECT_EQ(fresh.Serialize(), "[docs]\nname0=中文\n");
#endif
    IniFile bom = Parse("\xEF\xBB\xBF[a]\nk=1");
    bom.WriteString("a", "j", "2");
    EXPECT_EQ(bom.Serialize(), "\xEF\xBB\xBF[a]\nk=1\nj=2\n");
}

// The file ends without a line end; whatever the writer appends after it starts a line of its
// own, on disk and when read back, whatever that last line holds.
TEST(IniFile, ASectionAppendedAfterAnOpenLastLineStaysItsOwn) {
    struct Case {
        std::string file;
        std::string section, key, value;  // what the last line must still read as
    };
    const Case cases[] = {
        {"[default]\nwidth=640", "default", "width", "640"},
        {"[default]\r\nwidth=640\r\n[empty]", "default", "width", "640"},
        {"[default]\nwidth=640\n; last words", "default", "width", "640"},
        {"[default]\nwidth=640\n   ", "default", "width", "640"},
        {"[display]\r\ndisplay0=\xCE\xC4\xB5\xB5", "display", "display0", "文档"},
    };
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tk-ini-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "defualt.ini").string();
    for (const Case& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.file;
        IniFile ini(path);
        ASSERT_TRUE(ini.Load().ok);
        ini.WriteString("docs", "path0", "中文");
        ini.WriteInteger("docs", "count", 1);
        ASSERT_TRUE(ini.Flush().ok);

        IniFile again(path);
        ASSERT_TRUE(again.Load().ok);
        EXPECT_EQ(again.ReadString(c.section, c.key, "?"), c.value) << c.file;
        EXPECT_EQ(again.ReadString("docs", "path0", "?"), "中文") << c.file;
        EXPECT_EQ(again.ReadInteger("docs", "count", 0), 1) << c.file;
        // What was there keeps its bytes; the file's own line end comes between.
        const std::string written = again.Serialize();
        EXPECT_EQ(written.substr(0, c.file.size()), c.file);
        EXPECT_EQ(written.substr(c.file.size(), again.LineEnding().size() + 1),
                  again.LineEnding() + "[")
            << c.file;
    }
    std::filesystem::remove_all(dir);
}
