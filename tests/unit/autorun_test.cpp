#include "desktop/autorun.h"

#include <gtest/gtest.h>

#include "controller_fakes.h"

using namespace tk;

namespace {

using FakeStore = tk::test::FakeAutoRunStore;

TEST(AutoRunTest, RegisteredMeansPresentAndNotBlank) {
    FakeStore store;
    EXPECT_FALSE(IsAutoRun(store, "TarvoKelmora"));
    for (const char* blank : {"", " ", " \t\r\n "}) {
        store.entries["TarvoKelmora"] = blank;
        EXPECT_FALSE(IsAutoRun(store, "TarvoKelmora")) << '"' << blank << '"';
    }
    store.entries["TarvoKelmora"] = " /opt/tk ";
    EXPECT_TRUE(IsAutoRun(store, "TarvoKelmora"));
    EXPECT_FALSE(IsAutoRun(store, "Other"));
}

TEST(AutoRunTest, SetAutoRunAnswersWithWhatTheStoreHoldsAfterwards) {
    FakeStore store;
    EXPECT_TRUE(SetAutoRun(store, "TK", "/opt/tk", true));
    EXPECT_EQ(store.entries["TK"], "/opt/tk");

    store.refuseWrites = true;
    EXPECT_TRUE(SetAutoRun(store, "TK", "/opt/tk", true)) << "already holds exactly that";
    EXPECT_FALSE(SetAutoRun(store, "TK", "/home/u/tk", true)) << "still names the old copy";
    store.entries.clear();
    EXPECT_FALSE(SetAutoRun(store, "TK", "/opt/tk", true));

    store.refuseWrites = false;
    store.keptInstead = "/opt/t";  // a store that truncates
    EXPECT_FALSE(SetAutoRun(store, "TK", "/opt/tk", true));
    store.keptInstead.reset();
    EXPECT_FALSE(SetAutoRun(store, "TK", "  ", true)) << "a blank registration registers nothing";

    store.refuseRemoves = true;
    store.entries["TK"] = "/opt/tk";
    EXPECT_FALSE(SetAutoRun(store, "TK", "/opt/tk", false));
    store.entries["TK"] = " ";
    EXPECT_TRUE(SetAutoRun(store, "TK", "/opt/tk", false)) << "blank counts as unregistered";
    store.entries.clear();
    EXPECT_TRUE(SetAutoRun(store, "TK", "/opt/tk", false));
}

TEST(AutoRunTest, TheBoxShowsTheRealStateWhenAClickDoesNotTake) {
    FakeStore store;
    EXPECT_TRUE(MnAutoRunClickResult(store, true, "/opt/tk"));
    EXPECT_EQ(store.entries[kAutoRunName], "/opt/tk");
    EXPECT_FALSE(MnAutoRunClickResult(store, false, "/opt/tk"));
    EXPECT_TRUE(store.entries.empty());

    store.refuseWrites = true;
    store.refuseRemoves = true;
    EXPECT_FALSE(MnAutoRunClickResult(store, true, "/opt/tk"));
    store.entries[kAutoRunName] = "/old/place/tk";
    // Another copy still starts at log-on: that is what the box must say.
    EXPECT_TRUE(MnAutoRunClickResult(store, true, "/opt/tk"));
    EXPECT_TRUE(MnAutoRunClickResult(store, false, "/opt/tk"));
}

}  // namespace
