#pragma once

#include <QIconEngine>
#include <QList>
#include <QMap>
#include <QPixmap>

#include <functional>

namespace tk {

// An icon whose pictures are decoded when first drawn. A QIcon built with addFile or
// addPixmap decodes every picture at once, which the start of the program cannot afford for
// pictures that are drawn later or never.
class LazyIconEngine : public QIconEngine {
public:
    // The picture drawn for a side of exactly that many device pixels, or a null pixmap.
    using Loader = std::function<QPixmap(int devicePixels)>;

    // logicalSides: the sizes offered; deviceSides: the pictures the loader can give,
    // smallest first.
    LazyIconEngine(QList<int> logicalSides, QList<int> deviceSides, Loader loader);

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;

private:
    // A picture of side devicePixels, scaled down from the nearest bigger one.
    QPixmap Picture(int devicePixels);

    QList<int> m_logicalSides;
    QList<int> m_deviceSides;
    Loader m_loader;
    static constexpr int kKeptSide = 64;
    QMap<int, QPixmap> m_decoded;  // by device side; a failed load is kept as null
};

}  // namespace tk
