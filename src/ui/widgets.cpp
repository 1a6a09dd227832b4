#include "ui/widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <algorithm>
#include <array>
#include <QPainter>
#include <QVBoxLayout>

#include "controller/forms.h"
#include "ui/artwork.h"

namespace tk {

// "<qt>" makes the tip rich text whatever follows, so the escaped text shows as written.
QString PlainToolTip(const QString& text) {
    return text.isEmpty() ? text : QStringLiteral("<qt>") + text.toHtmlEscaped();
}

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

// One tab per page, each a segment of the strip picture.
using forms::kTabEdges;
static constexpr int kTabCount = kPageCount;

class TPageControl::Strip : public QWidget {
public:
    explicit Strip(TPageControl* owner) : QWidget(owner), m_owner(owner) {
        setFixedHeight(kStripHeight);
        setCursor(Qt::PointingHandCursor);
        // A click focuses the strip, as it does a tab control; Left and Right then turn pages.
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(QString::fromUtf8(forms::kTabStripName));
    }
    int Count() const { return std::min<int>(m_owner->PageCount(), kTabCount); }
    int Active() const { return m_owner->m_active; }
    // The user picks a tab: the page changes and says so.
    void Pick(int index) {
        if (index < 0 || index >= Count() || index == m_owner->m_active) return;
        m_owner->SetActivePageIndex(index);
        emit m_owner->Change();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        // TVAllDocsDrawTab: the whole picture at the top left stands in for the captions.
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        if (m_owner->m_tabBitmap.isNull()) return;
        p.drawPixmap(QPoint(0, 0), m_owner->m_tabBitmap);
        const int active = m_owner->m_active;
        if (active >= 0 && active < kTabCount && !m_owner->m_activeBitmap.isNull()) {
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
        for (int i = 0; i < Count(); ++i) {
            if (TabRect(i).contains(x, 1)) {
                Pick(i);
                return;
            }
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int active = m_owner->m_active;
        if (event->key() == Qt::Key_Left) {
            Pick(active < 0 ? 0 : active - 1);
        } else if (event->key() == Qt::Key_Right) {
            Pick(active + 1);
        } else {
            QWidget::keyPressEvent(event);
        }
    }

private:
    TPageControl* m_owner;
};

namespace {

// One tab of the strip for assistive technology: a page tab with its caption, selected when
// its page shows, pressed to show it.
class TabAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabAccessible(TPageControl::Strip* strip, int index) : m_strip(strip), m_index(index) {}
    bool isValid() const override { return m_strip != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_strip ? m_strip->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return m_strip ? QAccessible::queryAccessibleInterface(m_strip.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? TPageControl::TabName(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_strip) return {};
        const QRect local = TPageControl::TabRect(m_index);
        return QRect(m_strip->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_strip) return s;
        s.selectable = true;
        s.focusable = true;
        if (!m_strip->isVisible()) s.invisible = true;
        if (m_strip->Active() == m_index) {
            s.selected = true;
            if (m_strip->hasFocus()) s.focused = true;
        }
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && m_strip) m_strip->Pick(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TPageControl::Strip> m_strip;
    int m_index;
};

// The strip as a page-tab list whose children are its tabs.
class StripAccessible final : public QAccessibleWidget {
public:
    explicit StripAccessible(TPageControl::Strip* strip)
        : QAccessibleWidget(strip, QAccessible::PageTabList), m_strip(strip) {}
    ~StripAccessible() override {
        for (QAccessible::Id id : m_tabs) {
            if (id != 0) QAccessible::deleteAccessibleInterface(id);
        }
    }
    int childCount() const override { return m_strip->Count(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        QAccessible::Id& id = m_tabs[static_cast<std::size_t>(index)];
        if (id == 0) id = QAccessible::registerAccessibleInterface(new TabAccessible(m_strip, index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* tab) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (m_tabs[static_cast<std::size_t>(i)] != 0 && child(i) == tab) return i;
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = m_strip->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < childCount(); ++i) {
            if (TPageControl::TabRect(i).contains(local)) return child(i);
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return m_strip->hasFocus() ? child(m_strip->Active()) : nullptr;
    }

private:
    TPageControl::Strip* m_strip;
    mutable std::array<QAccessible::Id, kTabCount> m_tabs{};
};

QAccessibleInterface* StripAccessibleFactory(const QString&, QObject* object) {
    if (auto* strip = dynamic_cast<TPageControl::Strip*>(object)) return new StripAccessible(strip);
    return nullptr;
}

}  // namespace

QString TPageControl::TabName(int index) {
    return index >= 0 && index < kTabCount ? QString::fromUtf8(forms::kPages[index].caption) : QString();
}

TPageControl::TPageControl(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(StripAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
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
    if (index < 0 || index >= kTabCount) return {};
    return QRect(kTabEdges[index], 0, kTabEdges[index + 1] - kTabEdges[index], kStripHeight);
}

void TPageControl::AddPage(QWidget* page) {
    m_pages.push_back(page);
    m_stack->addWidget(page);
}

void TPageControl::SetActivePageIndex(int index) {
    const int before = m_active;
    m_active = (index >= 0 && index < m_pages.size()) ? index : -1;
    m_stack->setCurrentWidget(m_active >= 0 ? m_pages[m_active] : m_empty);
    m_strip->update();
    if (QAccessible::isActive() && m_active >= 0) {
        // The chosen tab changes for a screen reader too.
        QAccessibleEvent selection(m_strip, QAccessible::Selection);
        selection.setChild(m_active);
        QAccessible::updateAccessibility(&selection);
        if (m_strip->hasFocus()) {
            QAccessibleEvent focus(m_strip, QAccessible::Focus);
            focus.setChild(m_active);
            QAccessible::updateAccessibility(&focus);
        }
    }
    if (m_active != before) emit PageShown(m_active);
}

void TPageControl::SetTabBitmap(const QPixmap& bitmap, const QPixmap& active) {
    m_tabBitmap = bitmap;
    m_activeBitmap = active;
    m_strip->update();
}

}  // namespace tk
