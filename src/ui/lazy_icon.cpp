#include "ui/lazy_icon.h"

#include <QLibraryInfo>
#include <QPainter>
#include <QVersionNumber>

#include <algorithm>
#include <utility>

namespace tk {

LazyIconEngine::LazyIconEngine(QList<int> logicalSides, QList<int> deviceSides, Loader loader)
    : m_logicalSides(std::move(logicalSides)),
      m_deviceSides(std::move(deviceSides)),
      m_loader(std::move(loader)) {
    std::sort(m_logicalSides.begin(), m_logicalSides.end());
    std::sort(m_deviceSides.begin(), m_deviceSides.end());
}

QSize LazyIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    if (m_logicalSides.isEmpty()) return {};
    // Pictures are scaled down, never up, and stay square.
    const int biggest = m_logicalSides.last();
    const int side = size.isValid() ? std::min({size.width(), size.height(), biggest}) : biggest;
    return {side, side};
}

QList<QSize> LazyIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    QList<QSize> sizes;
    for (int side : m_logicalSides) sizes.append(QSize(side, side));
    return sizes;
}

QPixmap LazyIconEngine::Picture(int devicePixels) {
    if (devicePixels <= 0 || m_deviceSides.isEmpty()) return {};
    const auto bigger = std::lower_bound(m_deviceSides.begin(), m_deviceSides.end(), devicePixels);
    const int source = bigger == m_deviceSides.end() ? m_deviceSides.last() : *bigger;
    auto it = m_decoded.find(source);
    QPixmap picture;
    if (it != m_decoded.end()) {
        picture = *it;
    } else {
        picture = m_loader(source);
        // The small sides are drawn again and again (the tray, the title bar); the large ones
        // only when the window manager asks once, and are not worth their memory after.
        if (source <= kKeptSide) m_decoded.insert(source, picture);
    }
    if (picture.isNull() || source == devicePixels) return picture;
    return picture.scaled(devicePixels, devicePixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QPixmap LazyIconEngine::pixmap(const QSize& size, QIcon::Mode, QIcon::State) {
    const QSize actual = actualSize(size, QIcon::Normal, QIcon::Off);
    return Picture(actual.width());
}

QPixmap LazyIconEngine::scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) {
    // Up to Qt 6.7 QIcon hands the size here in device pixels, from 6.8 on in logical ones.
    static const bool logical = QLibraryInfo::version() >= QVersionNumber(6, 8);
    const int side = std::min(size.width(), size.height());
    QPixmap picture = Picture(logical ? qRound(side * std::max<qreal>(scale, 1.0)) : side);
    picture.setDevicePixelRatio(std::max<qreal>(scale, 1.0));
    return picture;
}

void LazyIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) {
    const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const int side = std::min(rect.width(), rect.height());
    QPixmap picture = Picture(qRound(side * std::max<qreal>(scale, 1.0)));
    if (picture.isNull()) return;
    picture.setDevicePixelRatio(std::max<qreal>(scale, 1.0));
    const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2,
                       side, side);
    painter->drawPixmap(square, picture);
}

QIconEngine* LazyIconEngine::clone() const { return new LazyIconEngine(*this); }

QString LazyIconEngine::key() const { return QStringLiteral("TkLazyIcon"); }

}  // namespace tk
