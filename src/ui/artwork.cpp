#include "ui/artwork.h"

#include <QFileInfo>
#include <QImageReader>

namespace tk {

QPixmap Artwork(const QString& name, qreal devicePixelRatio) {
    if (devicePixelRatio > 1.0) {
        const QFileInfo info(name);
        const QString suffix = info.suffix().isEmpty() ? QStringLiteral("png") : info.suffix();
        // The tab strip is a .bmp at 1x and a .png at 2x.
        for (const QString& ext : {suffix, QStringLiteral("png")}) {
            QPixmap big(QStringLiteral(":/") + info.completeBaseName() + QStringLiteral("@2x.") + ext);
            if (!big.isNull()) {
                big.setDevicePixelRatio(2.0);
                return big;
            }
        }
    }
    return QPixmap(QStringLiteral(":/") + name);
}

QSize ArtworkSize(const QString& name) {
    return QImageReader(QStringLiteral(":/") + name).size();
}

}  // namespace tk
