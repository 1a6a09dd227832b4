#pragma once

#include <string>

namespace tk {

// The main window's slide in from and out to the right edge of the primary screen, and its
// place at start. Plain rules; the window applies them with two 15 ms timers.
class SlideController {
public:
    static constexpr int kStep = 15;
    static constexpr int kIntervalMs = 15;

    enum class Action { None, StartHide, StartShow };

    // Where the window opens at start: 30 from the right, 40 above the bottom.
    static int StartLeft(int screenWidth, int windowWidth) { return screenWidth - windowWidth - 30; }
    static int StartTop(int screenHeight, int windowHeight) { return screenHeight - windowHeight - 40; }

    // ToggleMainWindow's decision. For StartShow the window goes to (ShowLeft, ShowTop) first.
    Action Toggle(bool visible);
    static int ShowLeft(int screenWidth) { return screenWidth; }
    static int ShowTop(int screenHeight, int windowHeight) { return screenHeight - 50 - windowHeight; }

    // One tick of timerShow: the next left edge, or the slide ends (returns false).
    bool ShowStep(int left, int screenWidth, int windowWidth, int& nextLeft);
    // One tick of timerHide: the next left edge, or the window is to be hidden (returns false).
    bool HideStep(int left, int screenWidth, int& nextLeft);

    bool Sliding() const { return m_sliding; }
    // The caption of MnOpenKelmora.
    const std::string& MenuCaption() const { return m_caption; }

private:
    bool m_sliding = false;
    std::string m_caption = "隐藏Kelmora(&S)";
};

}  // namespace tk
