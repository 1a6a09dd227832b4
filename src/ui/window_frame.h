#pragma once

#include <QWidget>

namespace tk {

// Lays the window's decorative frame around its content: the top and bottom strips (PnlTop,
// PnlBottom) and the two edges, every piece a row of the table in window_frame.cpp. Returns
// the content area, ScrollBox1.
QWidget* BuildWindowFrame(QWidget* window);

}  // namespace tk
