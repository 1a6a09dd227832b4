#pragma once

#include <QPixmap>
#include <QString>

namespace tk {

// A picture of the program's own artwork by resource name ("system.png"), taking the @2x copy
// on a high-density screen. A missing picture gives a null pixmap, nothing worse.
QPixmap Artwork(const QString& name, qreal devicePixelRatio);

}  // namespace tk
