// The form rows both windows draw: faults a row can bring in that no window shows until a
// user clicks the control, or a screen reader reaches it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "controller/forms.h"
#include "fakes.h"
#include "history/history.h"
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
    const char* name;
    int left, top, width, height;
};
bool Inside(const Place& in, const Place& out) {
    return in.left >= out.left && in.top >= out.top && in.left + in.width <= out.left + out.width &&
           in.top + in.height <= out.top + out.height;
}
bool Overlap(const Place& a, const Place& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height && b.top < a.top + a.height;
}

TEST(FormsTest, NamesAreUniqueAndEveryControlHasWordsForTheUser) {
    std::set<std::string_view> names;
    std::vector<std::pair<const char*, const char*>> words;  // name, what the user reads or hears
    auto add = [&](const char* name, const char* text) {
        EXPECT_TRUE(names.insert(name).second) << "two controls are called " << name;
        if (text != nullptr) words.emplace_back(name, text);
    };
    for (const PageRow& page : kPages) {
        add(page.sheet, page.caption);
        if (page.tree != nullptr) add(page.tree, nullptr);
    }
    add(kSystemPicture.name, nullptr);
    for (const SystemButtonRow& button : kSystemButtons) add(button.name, button.label);
    add(kMoreMenuName, nullptr);
    for (const SubmenuRow& submenu : kMoreSubmenus) add(submenu.name, submenu.caption);
    for (const GroupRow& group : kGroups) add(group.name, group.caption);
    for (const BoxRow& box : kBoxes) add(box.name, box.caption);
    for (const PictureButtonRow& button : kSettingsButtons) add(button.name, button.label);
    add(kCheckTimeLabelRow.name, nullptr);
    add(kCheckTimeBarRow.name, kCheckTimeBarRow.label);
    for (const auto& [name, text] : words) EXPECT_TRUE(Chinese(text)) << name << ": " << text;
    // Menu items show their caption; "Cookies" is what users call them.
    for (const MoreItemRow& item : kMoreItems) {
        add(item.name, nullptr);
        EXPECT_STRNE(item.caption, "") << item.name;
    }
}

TEST(FormsTest, EveryButtonAndEnabledItemOpensSomethingThisDesktopHas) {
    int moreButtons = 0;
    for (const SystemButtonRow& button : kSystemButtons) {
        const int target = button.target;
        moreButtons += target == kMoreFolders;
        EXPECT_TRUE(target == kTaskManager || target == kSystemDirectory || target == kMoreFolders || Opens(target))
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

TEST(FormsTest, ControlsLieInsideTheirPictureOrGroupAndNeverOnEachOther) {
    const Place picture{kSystemPicture.name, kSystemPicture.left, kSystemPicture.top, kSystemPicture.width,
                        kSystemPicture.height};
    std::vector<Place> system, settings;
    for (const SystemButtonRow& b : kSystemButtons) system.push_back({b.name, b.left, b.top, b.width, b.height});
    for (const Place& button : system) EXPECT_TRUE(Inside(button, picture)) << button.name;
    auto place = [&settings](const char* name, Parent parent, int left, int top, int width, int height) {
        const Point at = OnPage(parent, left, top);
        const Place control{name, at.x, at.y, width, height};
        for (std::size_t i = 0; i < std::size(kGroups); ++i) {
            const GroupRow& g = kGroups[i];
            const Place group{g.name, g.left, g.top, g.width, g.height};
            const bool within = static_cast<int>(parent) == static_cast<int>(i) + 1;
            EXPECT_EQ(within ? Inside(control, group) : Overlap(control, group), within) << name << " on " << g.name;
        }
        settings.push_back(control);
    };
    for (const BoxRow& b : kBoxes) place(b.name, b.parent, b.left, b.top, 17, 17);  // the tick box
    for (const PictureButtonRow& b : kSettingsButtons) place(b.name, b.parent, b.left, b.top, b.width, b.height);
    for (const PlacedRow* r : {&kCheckTimeLabelRow, &kCheckTimeBarRow}) {
        place(r->name, r->parent, r->left, r->top, r->width, r->height);
    }
    for (const auto* controls : {&system, &settings}) {
        for (std::size_t i = 0; i < controls->size(); ++i) {
            for (std::size_t j = i + 1; j < controls->size(); ++j) {
                const Place &a = (*controls)[i], &b = (*controls)[j];
                EXPECT_FALSE(Overlap(a, b)) << a.name << " lies on " << b.name;
            }
        }
    }
}

TEST(FormsTest, PagesAgreeWithTheHistoryTreesAndOnlyTreesOpenOnADoubleClick) {
    tk::PosixPathDialect dialect{"/home/u"};
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::HistoryCore history(dialect, files, icons);
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
        EXPECT_EQ(std::count_if(std::begin(kBoxes), std::end(kBoxes), [box](const BoxRow& r) { return r.box == box; }),
                  1);
    }
    std::set<SettingsAction> actions;
    for (const BoxRow& b : kBoxes) EXPECT_TRUE(b.action == SettingsAction::None || actions.insert(b.action).second);
    for (const PictureButtonRow& b : kSettingsButtons) EXPECT_TRUE(actions.insert(b.action).second) << b.name;
    EXPECT_GE(BoxIndex(SettingsAction::AutoRun), 0);
}

}  // namespace
