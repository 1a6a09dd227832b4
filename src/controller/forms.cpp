#include "controller/forms.h"

namespace tk::forms {

bool DoubleClickOpens(int page) { return page >= 0 && page < kPageCount && kPages[page].doubleClickOpens; }

Point MoreMenuOffset() {
    for (const SystemButtonRow& button : kSystemButtons) {
        // The window's place plus the button's on its page, lower by about a button.
        if (button.target == kMoreFolders) return {button.left, button.top + 30};
    }
    return {0, 0};
}

int BoxIndex(SettingsBox box) {
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        if (kBoxes[i].box == box) return static_cast<int>(i);
    }
    return -1;
}

int BoxIndex(Action action) {
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        if (action != Action::None && kBoxes[i].action == action) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace tk::forms
