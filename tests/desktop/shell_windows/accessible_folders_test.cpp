// What file managers' windows answer on the accessibility bus, read without a desktop.
#include "platform/linux/shell_windows/accessible_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tk {
namespace {

GVariant* Parse(const char* type, const char* text) {
    return g_variant_ref_sink(g_variant_parse(G_VARIANT_TYPE(type), text, nullptr, nullptr, nullptr));
}

TEST(AccessibleFolders, WidgetsNameTheFolderOnlyWhenTheyAgree) {
    const std::string dir = "中文 目录 #1 50%";
    // As Caja 1.26 shows /tmp/a - b/<dir>: buttons leaf first, root last, laid out root left.
    const std::vector<PathButton> caja = {
        {dir, 478, true}, {"a - b", 415, false}, {"tmp", 283, false}, {"/", 222, false}};
    struct Case {
        const char* what;
        FolderWidgets widgets;
        std::optional<std::string> folder;
    };
    const std::vector<Case> cases = {
        {"entry agreeing with the checked button", {"x", {{"/tmp/a - b/" + dir + "/", true}}, {caja}},
         "/tmp/a - b/" + dir},
        {"entry agreeing with the title, no path bar", {dir, {{"/tmp/a - b/" + dir, true}}, {}},
         "/tmp/a - b/" + dir},
        {"half-typed entry: the path bar holds", {dir, {{"/tmp/a"}}, {caja}}, "/tmp/a - b/" + dir},
        {"entry that is no path", {"a", {{"a"}}, {}}, std::nullopt},
        // As Thunar 4.18 shows its location entry: the title adds the program's name; the
        // root's title is no folder's name; while the user types, the text completes to some
        // other folder.
        {"entry agreeing with a title of name and program", {dir + " - Thunar", {{"/tmp/" + dir + "/", true}}, {}},
         "/tmp/" + dir},
        {"entry of the root, nobody typing", {"File System - Thunar", {{"/"}}, {}}, "/"},
        {"entry being typed into", {dir + " - Thunar", {{"/usr/", true}}, {}}, std::nullopt},
        // As Nemo 5.6 and Thunar's buttons show /tmp/a - b/<dir>: the root a nameless icon, a
        // row of nameless view toggles before the bar.
        {"nameless root",
         {dir, {}, {{{"", 4, true}, {"", 44, false}},
                    {{dir, 370, true}, {"a - b", 288, false}, {"tmp", 181, false}, {"", 148, false}}}},
         "/tmp/a - b/" + dir},
        // Below home, or deep down, the buttons above home or scrolled off are out of sight and
        // placed nowhere; the title says "Home" for home.
        {"buttons out of sight, in tree order",
         {"y", {}, {{{"y", 292, true}, {"文档 x", 229, false}, {"home", 148, false}, {"u", {}, false},
                     {"tmp", {}, false}, {"", {}, false}}}},
         "/tmp/u/home/文档 x/y"},
        {"places against the tree order",
         {"y", {}, {{{"y", 200, true}, {"x", 100, false}, {"w", 300, false}, {"", {}, false}}}}, std::nullopt},
        {"home in an entry titled otherwise", {"Home", {{"/tmp/u/home"}}, {{{"", 4, true}}}}, "/tmp/u/home"},
        {"root alone, titled", {"/", {}, {{{"", 148, true}}}}, "/"},
        {"root alone, untitled", {"File System - Thunar", {}, {{{"", 179, true}}}}, "/"},
        // Two panes: the title names the active one's folder.
        {"second pane",
         {"b", {}, {{{"", 0, false}, {"a", 9, true}}, {{"", 0, false}, {"b", 9, true}}}}, "/b"},
        // After going up, the deeper button stays; the checked one is the folder.
        {"up from a subfolder",
         {"", {}, {{{"sub", 600, false}, {dir, 478, true}, {"a - b", 415, false}, {"/", 222, false}}}},
         "/a - b/" + dir},
        {"root checked", {"", {}, {{{"tmp", 283, false}, {"/", 222, true}}}}, "/"},
        {"right to left", {"", {}, {{{"/", 900, false}, {"tmp", 800, false}, {"x", 700, true}}}}, "/tmp/x"},
        {"no root button (scrolled out)", {"", {}, {{{"a", 10, false}, {"b", 20, true}}}}, std::nullopt},
        {"two checked", {"", {}, {{{"/", 0, true}, {"b", 20, true}}}}, std::nullopt},
        {"name with a separator", {"", {}, {{{"/", 0, false}, {"a/b", 20, true}}}}, std::nullopt},
        {"parent name", {"", {}, {{{"/", 0, false}, {"..", 20, true}}}}, std::nullopt},
        // Toolbar toggles with none checked are no path bar; one that is follows the real one.
        {"first readable bar wins",
         {"", {}, {{{"Menu", 5, true}}, {{"/", 0, false}, {"tmp", 9, true}}}}, "/tmp"},
        {"nothing", {}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(FolderShown(c.widgets), c.folder) << c.what;
}

TEST(AccessibleFolders, RepliesAreReadOnlyInTheirOwnShape) {
    GVariant* children = Parse("(a(so))", "([(':1.5', objectpath '/a/1'), ('', '/a/2'), ('org.x', '/a/3')],)");
    EXPECT_EQ(AccessibleChildren(children, 8), (std::vector<AccessibleRef>{{":1.5", "/a/1"}, {"org.x", "/a/3"}}));
    EXPECT_EQ(AccessibleChildren(children, 1).size(), 1u);
    g_variant_unref(children);

    GVariant* role = Parse("(u)", "(uint32 62,)");
    EXPECT_EQ(AccessibleRole(role), 62u);
    EXPECT_TRUE(AccessibleChildren(role, 8).empty());
    EXPECT_FALSE(AccessibleLeft(role));
    EXPECT_FALSE(AccessibleString(role, 100));
    g_variant_unref(role);

    // Checked is bit 4; states past the words sent are off.
    GVariant* states = Parse("(au)", "([uint32 16, 0],)");
    EXPECT_TRUE(AccessibleHasState(states, atspi::kStateChecked));
    EXPECT_FALSE(AccessibleHasState(states, 25));
    EXPECT_FALSE(AccessibleHasState(states, 200));
    g_variant_unref(states);

    GVariant* extents = Parse("((iiii))", "((-40, 2, 30, 20),)");
    EXPECT_EQ(AccessibleLeft(extents), -40);
    g_variant_unref(extents);
    GVariant* nowhere = Parse("((iiii))", "((-2147483648, -2147483648, 1, 1),)");
    EXPECT_FALSE(AccessibleLeft(nowhere));
    g_variant_unref(nowhere);

    GVariant* name = Parse("(v)", "(<'中文'>,)");
    EXPECT_EQ(AccessibleString(name, 100), "中文");
    EXPECT_FALSE(AccessibleString(name, 3));
    g_variant_unref(name);
    GVariant* number = Parse("(v)", "(<5>,)");
    EXPECT_FALSE(AccessibleString(number, 100));
    g_variant_unref(number);
    GVariant* text = Parse("(s)", "('/tmp/x',)");
    EXPECT_EQ(AccessibleString(text, 100), "/tmp/x");
    g_variant_unref(text);
    EXPECT_FALSE(AccessibleRole(nullptr));
}

}  // namespace
}  // namespace tk
