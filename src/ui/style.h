#pragma once

#include "controller/forms.h"
#include <QColor>
#include <QFont>
#include <QWidget>

namespace tk {

// The window's colours and its one typeface, shared by every page.
inline const QColor kBackground(245, 250, 254);
inline const QColor kPanel(245, 254, 250);

inline QFont SongFont(int pixels) {
    QFont font(QString::fromUtf8(forms::kTextFace));
    font.setPixelSize(pixels);
    return font;
}

inline void Paint(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Base, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

}  // namespace tk
