// The GLib helpers: the key-file reader on the files the backend reads, and GLib's own log
// reaching the program's diagnostics sink.
#include "platform/linux/glib/glib_log.h"
#include "platform/linux/glib/key_file.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <glib.h>

#include "base/diagnostics.h"
#include "recorded_diagnostics.h"

using namespace tk;

namespace {

TEST(KeyFile, ReadsEntriesAsTheDesktopDoes) {
    glib::KeyFile keys;
    ASSERT_TRUE(keys.Load("# comment\r\n[Desktop Entry]\r\nType = Application \r\n"
                          "Exec=/opt/old\nExec[de]=/x\nExec=\"/a b\" %U\n"
                          "Name=a\\sb\\\\\n[Desktop Action New]\nExec=/bin/other\n"));
    EXPECT_EQ(keys.Groups(), (std::vector<std::string>{"Desktop Entry", "Desktop Action New"}));
    EXPECT_TRUE(keys.HasGroup("Desktop Entry"));
    EXPECT_FALSE(keys.HasGroup("Desktop"));
    EXPECT_EQ(keys.RawValue("Desktop Entry", "Type"), "Application ");  // trailing blanks kept
    EXPECT_EQ(keys.RawValue("Desktop Entry", "Exec"), "\"/a b\" %U");  // the later one
    EXPECT_EQ(keys.RawValue("Desktop Entry", "Name"), "a\\sb\\\\");
    EXPECT_EQ(keys.StringValue("Desktop Entry", "Name"), "a b\\");
    EXPECT_EQ(keys.RawValue("Desktop Entry", "Hidden"), std::nullopt);
    EXPECT_EQ(keys.RawValue("Desktop Action New", "Exec"), "/bin/other");

    // Broken escapes and other encodings: the raw text only.
    ASSERT_TRUE(keys.Load("[G]\nExec=\"\\$\"\nPath=a\xff\n"));
    EXPECT_EQ(keys.RawValue("G", "Exec"), "\"\\$\"");
    EXPECT_EQ(keys.StringValue("G", "Exec"), std::nullopt);
    EXPECT_EQ(keys.StringValue("G", "Path"), std::nullopt);
    EXPECT_EQ(keys.RawValue("G", "Path"), "a\xff");
}

TEST(KeyFile, RefusesWhatIsNoKeyFileAndForgetsTheLastOne) {
    glib::KeyFile keys;
    ASSERT_TRUE(keys.Load("[G]\nK=v\n"));
    for (const std::string& text : {std::string("K=v\n[G]\n"), std::string("[G]\nno pair\n"),
                                   std::string("\x7f"
                                               "ELF\0\1\n",
                                               7)}) {
        EXPECT_FALSE(keys.Load(text)) << text;
        EXPECT_FALSE(keys.HasGroup("G"));
    }
    EXPECT_TRUE(keys.Load(""));
    EXPECT_TRUE(keys.Groups().empty());
}

// While a route lives GLib's log reaches its sink; a newer route takes it over and hands it
// back as it ends; with none left, GLib writes as it always would.
TEST(GlibLog, ReachesTheSinkOfTheNewestRouteWhileItLives) {
    test::RecordedDiagnostics outer;
    test::RecordedDiagnostics inner;
    {
        glib::LogRoute first(outer);
        g_log("Tk-Test", G_LOG_LEVEL_WARNING, "warned %d", 1);
        {
            glib::LogRoute second(inner);
            g_log("Tk-Test", G_LOG_LEVEL_CRITICAL, "critical");
            g_log(nullptr, G_LOG_LEVEL_MESSAGE, "no domain");
            g_log_set_debug_enabled(FALSE);
            g_log("Tk-Test", G_LOG_LEVEL_DEBUG, "dropped");
            g_log_set_debug_enabled(TRUE);
            g_log("Tk-Test", G_LOG_LEVEL_DEBUG, "debug");
            g_log_set_debug_enabled(FALSE);
        }
        g_log("Tk-Test", G_LOG_LEVEL_MESSAGE, "back");
    }
    g_log("Tk-Test", G_LOG_LEVEL_MESSAGE, "to GLib's own writer");

    using Line = test::RecordedDiagnostics::Line;
    EXPECT_EQ(outer.Lines(), (std::vector<Line>{{Severity::Warning, "Tk-Test", "warned 1"},
                                                {Severity::Warning, "Tk-Test", "back"}}));
    EXPECT_EQ(inner.Lines(), (std::vector<Line>{{Severity::Warning, "Tk-Test", "critical"},
                                                {Severity::Warning, "glib", "no domain"},
                                                {Severity::Info, "Tk-Test", "debug"}}));
}

}  // namespace
