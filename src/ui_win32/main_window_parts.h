#pragma once

// What the main window's three source files share: its controls' numbers and places, and the
// small helpers that make its controls. The rows of its pages, buttons and menus are
// controller/forms.h's, shared with the Linux window.
#include <windows.h>

#include "controller/forms.h"

namespace tk::main_window_parts {
inline constexpr COLORREF kBackgroundColour = RGB(245, 250, 254);
inline constexpr COLORREF kPanelColour = RGB(245, 254, 250);
inline constexpr wchar_t kPageClass[] = L"TkPage";
inline constexpr wchar_t kStripClass[] = L"TkTabStrip";
inline constexpr wchar_t kSplitterClass[] = L"TkSplitter";
inline constexpr wchar_t kOwnerClass[] = L"TkOwner";
inline constexpr int kStripHeight = 24;
inline constexpr int kHintHeight = 19;
inline constexpr int kSplitterHeight = 5;
inline constexpr int kTop = 13, kBottom = 10, kLeft = 10, kRight = 3;

// Menu and control identifiers.
enum : int {
    kActionFirst = 101,          // forms::Action: a menu item's identifier is its action's
    kMoreFirst = 200,            // forms::kMoreItems, in order
    kBoxFirst = 301,             // forms::kBoxes
    kSettingsButtonFirst = 311,  // forms::kSettingsButtons
    kCheckTimeBar = 320, kCheckTimeLabelId,
    kSystemFirst = 401,  // forms::kSystemButtons
    kTreeFirst = 501,
    kHintId = 601,
    kNodeToolFirst = 701,  // 全部's two node tools of the tool tip
};
// The rows' ranges never run into the next range.
static_assert(kActionFirst + static_cast<int>(forms::Action::AboutSite) < kMoreFirst &&
              kMoreFirst + std::size(forms::kMoreItems) <= kBoxFirst &&
              kBoxFirst + std::size(forms::kBoxes) <= kSettingsButtonFirst &&
              kSettingsButtonFirst + std::size(forms::kSettingsButtons) <= kCheckTimeBar &&
              kSystemFirst + std::size(forms::kSystemButtons) <= kTreeFirst);

constexpr int ActionId(forms::Action action) { return kActionFirst + static_cast<int>(action); }

HFONT SongFont(int pixels);
void AddTip(HWND tooltip, HWND owner, HWND control, const char* text);
// A tool of `tooltip` over a rectangle of `owner` (empty at first), numbered `id`.
void AddRectTip(HWND tooltip, HWND owner, UINT id, const char* text);
// The name a screen reader gives a control whose own text it does not read.
void NameForScreenReaders(HWND hwnd, const wchar_t* name);
HWND PictureButton(const char* label, int x, int y, int w, int h, HWND parent, int id);
inline constexpr wchar_t kHotProperty[] = L"TkHot";

}  // namespace tk::main_window_parts
