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
        {"entry agreeing with the checked button", {"x", {"/tmp/a - b/" + dir + "/"}, {caja}},
         "/tmp/a - b/" + dir},
        {"entry agreeing with the title, no path bar", {dir, {"/tmp/a - b/" + dir}, {}},
         "/tmp/a - b/" + dir},
        {"half-typed entry: the path bar holds", {dir, {"/tmp/a"}, {caja}}, "/tmp/a - b/" + dir},
        {"entry that is no path", {"a", {"a"}, {}}, std::nullopt},
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
