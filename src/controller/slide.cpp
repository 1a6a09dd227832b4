#include "controller/slide.h"

namespace tk {

SlideController::Action SlideController::Toggle(bool visible) {
    if (m_sliding) return Action::None;
    m_sliding = true;
    if (visible) {
        m_caption = "打开Kelmora";
        return Action::StartHide;
    }
    m_caption = "隐藏Kelmora";
    return Action::StartShow;
}

bool SlideController::ShowStep(int left, int screenWidth, int windowWidth, int& nextLeft) {
    if (left > screenWidth - windowWidth - 20) {
        nextLeft = left - kStep;
        return true;
    }
    nextLeft = left;
    m_sliding = false;
    return false;
}

bool SlideController::HideStep(int left, int screenWidth, int& nextLeft) {
    if (left < screenWidth) {
        nextLeft = left + kStep;
        return true;
    }
    nextLeft = left;
    m_sliding = false;
    return false;
}

}  // namespace tk
