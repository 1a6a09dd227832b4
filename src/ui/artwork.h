#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace tk {

// A picture of the program's own artwork by resource name ("system.png"), taking the @2x copy
// on a high-density screen. A missing picture gives a null pixmap, nothing worse.
QPixmap Artwork(const QString& name, qreal devicePixelRatio);

// The picture's size at 1x, read from its header without decoding it; invalid when missing.
QSize ArtworkSize(const QString& name);

}  // namespace tk
