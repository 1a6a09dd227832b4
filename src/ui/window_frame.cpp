#include "ui/window_frame.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "ui/artwork.h"
#include "ui/style.h"

namespace tk {

namespace {

enum Strip { kTop, kBottom, kLeftEdge, kRightEdge };

// A decorative piece; the middle ones are one pixel wide or high and stretch (width or
// height 0).
struct PieceRow {
    Strip strip;
    const char* name;
    const char* picture;
    int width, height;
};

constexpr PieceRow kPieces[] = {
    {kTop, "Image3", "frame_top_left.png", 14, 13},
    {kTop, "ImgCenter", "frame_top_center.png", 0, 13},
    {kTop, "ImgTopRight", "frame_top_right.png", 11, 13},
    {kBottom, "Image6", "frame_bottom_left.png", 14, 10},
    {kBottom, "Image4", "frame_bottom_center.png", 0, 10},
    {kBottom, "Image5", "frame_bottom_right.png", 11, 10},
    {kLeftEdge, "ImgLeft", "frame_left.png", 10, 0},
    {kRightEdge, "ImgRight", "frame_right.png", 3, 0},
};

QLabel* Piece(const PieceRow& entry, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(entry.name));
    label->setPixmap(Artwork(QString::fromLatin1(entry.picture), parent->devicePixelRatioF()));
    label->setScaledContents(true);
    // Pure decoration: nothing for a screen reader to say.
    label->setAccessibleName(QString());
    if (entry.width > 0) label->setFixedWidth(entry.width);
    if (entry.height > 0) label->setFixedHeight(entry.height);
    return label;
}

QWidget* StripPanel(const char* name, int height, QWidget* window) {
    auto* panel = new QWidget(window);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFixedHeight(height);
    Paint(panel, kPanel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    return panel;
}

}  // namespace

QWidget* BuildWindowFrame(QWidget* window) {
    auto* grid = new QGridLayout(window);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    QWidget* top = StripPanel("PnlTop", 13, window);
    QWidget* bottom = StripPanel("PnlBottom", 10, window);
    auto* content = new QWidget(window);
    content->setObjectName(QStringLiteral("ScrollBox1"));
    Paint(content, kBackground);

    grid->addWidget(top, 0, 0, 1, 3);
    grid->addWidget(content, 1, 1);
    grid->addWidget(bottom, 2, 0, 1, 3);
    for (const PieceRow& entry : kPieces) {
        switch (entry.strip) {
            case kTop:
            case kBottom: {
                QWidget* panel = entry.strip == kTop ? top : bottom;
                static_cast<QHBoxLayout*>(panel->layout())->addWidget(Piece(entry, panel), entry.width == 0 ? 1 : 0);
                break;
            }
            case kLeftEdge: grid->addWidget(Piece(entry, window), 1, 0); break;
            case kRightEdge: grid->addWidget(Piece(entry, window), 1, 2); break;
        }
    }
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    return content;
}

}  // namespace tk
