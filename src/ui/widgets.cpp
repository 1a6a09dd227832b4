#include "ui/widgets.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/artwork.h"

namespace tk {

TPictureButton::TPictureButton(const QString& objectName, const QString& picture, QWidget* parent)
    : QAbstractButton(parent) {
    setObjectName(objectName);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    m_pictureName = picture;
}

const QPixmap& TPictureButton::Picture() const {
    if (!m_picture) {
        m_picture = m_pictureName.isEmpty() ? QPixmap() : Artwork(m_pictureName, devicePixelRatioF());
    }
    return *m_picture;
}

QSize TPictureButton::sizeHint() const {
    if (m_picture) {
        return m_picture->isNull() ? QSize(57, 26) : m_picture->deviceIndependentSize().toSize();
    }
    const QSize size = m_pictureName.isEmpty() ? QSize() : ArtworkSize(m_pictureName);
    return size.isValid() ? size : QSize(57, 26);
}

void TPictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (const QPixmap& picture = Picture(); !picture.isNull()) p.drawPixmap(QPoint(0, 0), picture);
    if (m_hover || isDown()) {
        p.setPen(isDown() ? QColor(96, 128, 168) : QColor(140, 170, 205));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TPictureButton::enterEvent(QEnterEvent* event) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TPictureButton::leaveEvent(QEvent* event) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

TShownPicture::TShownPicture(const QString& picture, QWidget* parent)
    : QLabel(parent), m_picture(picture) {}

void TShownPicture::showEvent(QShowEvent* event) {
    if (!m_loaded) {
        m_loaded = true;
        setPixmap(Artwork(m_picture, devicePixelRatioF()));
    }
    QLabel::showEvent(event);
}

void TClickImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

// The segments of the tab-strip picture, left to right.
static constexpr int kTabEdges[] = {0, 60, 120, 186, 246, 306, 370};

class TPageControl::Strip : public QWidget {
public:
    explicit Strip(TPageControl* owner) : QWidget(owner), m_owner(owner) {
        setFixedHeight(kStripHeight);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        // TVAllDocsDrawTab: the whole picture at the top left stands in for the captions.
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        if (m_owner->m_tabBitmap.isNull()) return;
        p.drawPixmap(QPoint(0, 0), m_owner->m_tabBitmap);
        const int active = m_owner->m_active;
        if (active >= 0 && active < 6 && !m_owner->m_activeBitmap.isNull()) {
            // The chosen tab's columns come from the picture that draws every tab chosen.
            const QRect r = TabRect(active);
            const qreal ratio = m_owner->m_activeBitmap.devicePixelRatio();
            const QRect source(QPointF(r.topLeft()) .toPoint() * ratio, r.size() * ratio);
            p.drawPixmap(r, m_owner->m_activeBitmap, source);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const int x = event->position().toPoint().x();
        for (int i = 0; i < m_owner->PageCount() && i < 6; ++i) {
            if (TabRect(i).contains(x, 1)) {
                if (i != m_owner->m_active) {
                    m_owner->SetActivePageIndex(i);
                    emit m_owner->Change();
                }
                return;
            }
        }
    }

private:
    TPageControl* m_owner;
};

TPageControl::TPageControl(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_strip = new Strip(this);
    m_stack = new QStackedWidget(this);
    m_empty = new QWidget(m_stack);
    m_stack->addWidget(m_empty);
    layout->addWidget(m_strip);
    layout->addWidget(m_stack, 1);
}

QRect TPageControl::TabRect(int index) {
    if (index < 0 || index >= 6) return {};
    return QRect(kTabEdges[index], 0, kTabEdges[index + 1] - kTabEdges[index], kStripHeight);
}

void TPageControl::AddPage(QWidget* page) {
    m_pages.push_back(page);
    m_stack->addWidget(page);
}

void TPageControl::SetActivePageIndex(int index) {
    m_active = (index >= 0 && index < m_pages.size()) ? index : -1;
    m_stack->setCurrentWidget(m_active >= 0 ? m_pages[m_active] : m_empty);
    m_strip->update();
}

void TPageControl::SetTabBitmap(const QPixmap& bitmap, const QPixmap& active) {
    m_tabBitmap = bitmap;
    m_activeBitmap = active;
    m_strip->update();
}

}  // namespace tk
