#include <gtest/gtest.h>

#include "base/codec.h"
#include "desktop/path_dialect.h"
#include "base/text.h"

using namespace tk;

TEST(Text, TrimAndCase) {
    EXPECT_EQ(Trim(std::string("\x01\t  a b \x1f\n", 10)), "a b");
    EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
    EXPECT_EQ(UpperAscii("abc中文xyz"), "ABC中文XYZ");
    EXPECT_EQ(LowerAscii("RES://Ä"), "res://Ä");
    EXPECT_EQ(FromPosition("file:///C:/x", 9), "C:/x");
    EXPECT_EQ(FromPosition("abc", 9), "");
}

TEST(Text, Utf8CutsNeverSplitACharacter) {
    const std::string s = "ab中文";  // 2 + 3 + 3 bytes
    EXPECT_EQ(TruncateUtf8(s, 4), "ab");
    EXPECT_EQ(TruncateUtf8(s, 5), "ab中");
    EXPECT_EQ(TruncateUtf8(s, 100), s);
    EXPECT_TRUE(IsValidUtf8(s));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(SanitizeUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
}

TEST(Codec, GbkRoundTripsAndBeyondGbk) {
    const std::string gbk = "\xD6\xD0\xCE\xC4";  // 中文 in GBK
    DecodeResult d = DecodeText(gbk, TextEncoding::Gb18030);
    EXPECT_TRUE(d.lossless);
    EXPECT_EQ(d.text, "中文");
    EXPECT_EQ(EncodeText("中文", TextEncoding::Gb18030), gbk);
    // Characters GBK cannot hold still survive, as four-byte GB18030.
    for (std::string s : {"😀", "𠀀", "€", "\xE2\x82\xAC", "é"}) {
        EXPECT_EQ(DecodeText(EncodeText(s, TextEncoding::Gb18030), TextEncoding::Gb18030).text, s);
    }
    DecodeResult bad = DecodeText("a\x81", TextEncoding::Gb18030);
    EXPECT_FALSE(bad.lossless);
    EXPECT_EQ(bad.text, "a\xEF\xBF\xBD");
}

// A history far longer than any buffer the converter works through: every block boundary
// falls somewhere inside a character, and not one byte may change on the way in or out.
TEST(Codec, LongGbkHistoryRoundTripsByteForByte) {
    // 中文 in GBK, a four-byte GB18030 emoji, and ASCII of odd lengths to move the boundaries.
    const std::string gbkUnit = "path=\xD6\xD0\xCE\xC4\x94\x39\xFC\x36x\r\n";
    const std::string utf8Unit = "path=中文😀x\r\n";
    for (const int repeats : {1, 700, 3001}) {
        std::string gbk;
        std::string utf8;
        for (int i = 0; i < repeats; ++i) {
            gbk += gbkUnit + std::string(static_cast<std::size_t>(i % 3), 'a');
            utf8 += utf8Unit + std::string(static_cast<std::size_t>(i % 3), 'a');
        }
        const DecodeResult decoded = DecodeText(gbk, TextEncoding::Gb18030);
        EXPECT_TRUE(decoded.lossless) << repeats;
        EXPECT_TRUE(decoded.text == utf8) << repeats << " lines decode differently";
        EXPECT_TRUE(EncodeText(utf8, TextEncoding::Gb18030) == gbk)
            << repeats << " lines encode differently";
    }
}

TEST(PathDialect, WindowsRules) {
    WindowsPathDialect w;
    EXPECT_EQ(w.FolderLocalPath("file:///C:/Program Files/Tools"), "C:\\Program Files\\Tools");
    EXPECT_EQ(w.FolderGroupName("file:///C:/Program Files/Tools/a.txt"), "C:\\Program Files");
    EXPECT_EQ(w.FolderChildText("file:///C:/Temp", "C:\\Temp"), "");
    EXPECT_EQ(w.FolderChildText("file:///C:/Temp/", "C:\\Temp"), "C:\\Temp\\");
    EXPECT_TRUE(w.IsLocalPath("D:\\x"));
    EXPECT_EQ(w.LocalPathToLocation("D:\\x"), "file:///D:\\x");
    EXPECT_EQ(w.FileNamePart("C:\\Windows\\notepad.exe"), "notepad.exe");
    EXPECT_EQ(w.FileNamePart("C:notepad.exe"), "notepad.exe");
    EXPECT_EQ(w.Extension("C:\\a.b\\file"), "");
    EXPECT_EQ(w.Extension("C:\\a\\file.TXT"), ".TXT");
    EXPECT_TRUE(w.NeedsNoWebPrefix("mailto:x"));
}

TEST(PathDialect, PosixRules) {
    PosixPathDialect p("/home/u/");
    EXPECT_EQ(p.FolderGroupName("file:///home/u/Data/Reports"), "/home/u/Data");
    EXPECT_EQ(p.FolderLocalPath("file:///home/u/Data/Reports"), "/home/u/Data/Reports");
    EXPECT_EQ(p.FolderChildText("file:///home/u/Data/Reports", "/home/u/Data"), "/home/u/Data/Reports");
    EXPECT_EQ(p.FolderChildText("file:///home/u/Data", "/home/u/Data"), "");
    EXPECT_EQ(p.FolderGroupName("file:///home/u"), "/home/u");
    EXPECT_EQ(p.FolderGroupName("file:///home/user2/x"), "/home");  // not inside home
    EXPECT_EQ(p.FolderGroupName("file:///tmp/x/y"), "/tmp");
    EXPECT_EQ(p.FolderGroupName("file:///"), "/");
    EXPECT_EQ(p.FolderLocalPath("file:////a//b"), "/a/b");
    EXPECT_EQ(p.LocalPathToLocation("/home/u/a.txt"), "file:///home/u/a.txt");
    EXPECT_EQ(p.FileNamePart("/usr/bin/xterm"), "xterm");
    EXPECT_EQ(p.Extension("/a.d/file"), "");
    EXPECT_EQ(p.Extension("/a/file.tar.gz"), ".gz");
    EXPECT_TRUE(p.NeedsNoWebPrefix("/tmp"));
    EXPECT_FALSE(p.NeedsNoWebPrefix("www.a.com"));
}
