// The form rows both windows draw: faults a row can bring in that no window shows until a
// user clicks the control, or a screen reader reaches it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "controller/forms.h"
#include "fakes.h"
#include "test_history.h"
#ifndef _WIN32
#include "platform/linux/shell/folder_places.h"
#endif

namespace {

using namespace tk::forms;
using tk::kPageCount;

// A special folder this desktop has: on Linux, one the backend's table knows.
bool Opens(int csidl) {
#ifdef _WIN32
    return csidl >= 0;
#else
    return tk::ResolveSpecialFolder(csidl).has_value();
#endif
}

bool Chinese(std::string_view text) {
    // U+4E00..U+9FFF: the lead bytes E4..E9.
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0xE4 && byte <= 0xE9;
    });
}

struct Place {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Place&) const = default;
};
bool Inside(const Place& in, const Place& out) {
    return in.left >= out.left && in.top >= out.top && in.left + in.width <= out.left + out.width &&
           in.top + in.height <= out.top + out.height;
}
bool Overlap(const Place& a, const Place& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

struct Control {
    const char* name;
    const char* words;  // what the user reads, or a screen reader says for a picture; or none
    int page = -1;      // the page it lies on; -1 for a page, a tree or a menu
    Place place = {};   // on its page
    Place within = {};  // the picture or group box it must lie inside, if any
};

// Every control of the forms, placed on its page.
std::vector<Control> AllControls() {
    std::vector<Control> all;
    for (const PageRow& page : kPages) {
        all.push_back({page.sheet, page.caption});
        if (page.tree != nullptr) all.push_back({page.tree, nullptr});
    }
    const PictureRow& p = kSystemPicture;
    const Place picture{p.left, p.top, p.width, p.height};
    all.push_back({p.name, nullptr, kSystemPage, picture});
    for (const SystemButtonRow& b : kSystemButtons) {
        all.push_back({b.name, b.label, kSystemPage, {b.left, b.top, b.width, b.height}, picture});
    }
    all.push_back({kMoreMenuName, nullptr});
    for (const SubmenuRow& submenu : kMoreSubmenus) all.push_back({submenu.name, submenu.caption});
    for (const MoreItemRow& item : kMoreItems) all.push_back({item.name, item.caption});
    auto add = [&all](const char* name, const char* words, Parent parent, Place place) {
        const Point at = OnPage(parent, place.left, place.top);
        const GroupRow* group = parent == Parent::Sheet ? nullptr : &kGroups[static_cast<int>(parent) - 1];
        all.push_back({name, words, kSettingsPage, {at.x, at.y, place.width, place.height},
                       group ? Place{group->left, group->top, group->width, group->height} : Place{}});
    };
    for (const GroupRow& g : kGroups) add(g.name, g.caption, Parent::Sheet, {g.left, g.top, g.width, g.height});
    for (const BoxRow& b : kBoxes) add(b.name, b.caption, b.parent, {b.left, b.top, 17, 17});  // the tick
    for (const PictureButtonRow& b : kSettingsButtons) {
        add(b.name, b.label, b.parent, {b.left, b.top, b.width, b.height});
    }
    for (const PlacedRow* r : {&kCheckTimeLabelRow, &kCheckTimeBarRow}) {
        add(r->name, r->label, r->parent, {r->left, r->top, r->width, r->height});
    }
    return all;
}

TEST(FormsTest, EveryControlHasItsOwnNameChineseWordsAndAPlaceNoOtherCovers) {
    const std::vector<Control> all = AllControls();
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Control& c = all[i];
        EXPECT_TRUE(names.insert(c.name).second) << "two controls are called " << c.name;
        // "Cookies" is the one word users know in English.
        EXPECT_TRUE(!c.words || Chinese(c.words) || std::string_view(c.words) == "Cookies") << c.name;
        EXPECT_TRUE(c.within.width == 0 || Inside(c.place, c.within)) << c.name;
        for (std::size_t j = i + 1; j < all.size(); ++j) {
            const Control& d = all[j];
            // A button lies on the page's picture, a box in its group.
            if (c.page < 0 || d.page != c.page || d.within == c.place || c.within == d.place) continue;
            EXPECT_FALSE(Overlap(c.place, d.place)) << c.name << " lies on " << d.name;
        }
    }
}

TEST(FormsTest, EveryButtonAndEnabledItemOpensSomethingThisDesktopHas) {
    int moreButtons = 0;
    for (const SystemButtonRow& button : kSystemButtons) {
        const int target = button.target;
        moreButtons += target == kMoreFolders;
        EXPECT_TRUE(target == kTaskManager || target == kSystemDirectory || target == kMoreFolders ||
                    Opens(target))
            << button.name;
    }
    EXPECT_EQ(moreButtons, 1);
    std::vector<int> itemsPerSubmenu(std::size(kMoreSubmenus));
    for (const MoreItemRow& item : kMoreItems) {
        ASSERT_TRUE(item.submenu >= 0 && item.submenu < static_cast<int>(itemsPerSubmenu.size())) << item.name;
        ++itemsPerSubmenu[static_cast<std::size_t>(item.submenu)];
        if (ItemEnabled(item)) {
            EXPECT_TRUE(item.target == kSystemDirectory || Opens(item.target)) << item.name;
        }
    }
    EXPECT_EQ(std::count(itemsPerSubmenu.begin(), itemsPerSubmenu.end(), 0), 0) << "an empty submenu";
}

TEST(FormsTest, PagesAgreeWithTheHistoryTreesAndOnlyTreesOpenOnADoubleClick) {
    tk::PosixPathDialect dialect{"/home/u"};
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::test::TestHistory history(dialect, files, icons);
    for (int page = -1; page <= kPageCount; ++page) {
        SCOPED_TRACE(page);
        const tk::CategoryTree* tree = history.TreeOfPage(page);
        EXPECT_EQ(tree != nullptr, page >= 0 && page < kTreePageCount);
        if (page >= 0 && page < kPageCount) {
            EXPECT_EQ(kPages[page].index, page);
            EXPECT_LT(kTabEdges[page], kTabEdges[page + 1]);
            EXPECT_EQ(tree ? tree->Name() : "", kPages[page].tree ? kPages[page].tree : "");
        }
        // 软件 opens at the first click; a page without a tree has nothing to open.
        EXPECT_EQ(DoubleClickOpens(page), tree != nullptr && page != 1);
    }
    // Each box the settings load and save, and each action, belongs to one control.
    using tk::SettingsBox;
    for (SettingsBox box : {SettingsBox::AutoRunDocs, SettingsBox::Refresh, SettingsBox::QueryAutoRunDoc}) {
        EXPECT_EQ(std::count_if(std::begin(kBoxes), std::end(kBoxes), [box](auto& r) { return r.box == box; }), 1);
    }
    std::set<Action> actions;
    for (const BoxRow& b : kBoxes) EXPECT_TRUE(b.action == Action::None || actions.insert(b.action).second);
    for (const PictureButtonRow& b : kSettingsButtons) EXPECT_TRUE(actions.insert(b.action).second) << b.name;
    EXPECT_GE(BoxIndex(Action::AutoRun), 0);
}

}  // namespace
