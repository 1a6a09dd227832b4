#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QStackedWidget>
#include <QVector>
#include <QWidget>
#include <optional>

namespace tk {

// A tool tip that shows `text` as it is: Qt reads a tool tip that looks like markup as rich
// text, and a path or a window title is written by strangers.
QString PlainToolTip(const QString& text);

// A flat button whose face is a picture; a thin frame shows while the mouse is over it. The
// picture is decoded when the button is first painted, so buttons on pages nobody opened cost
// nothing at start.
class TPictureButton : public QAbstractButton {
    Q_OBJECT
public:
    TPictureButton(const QString& objectName, const QString& picture, QWidget* parent);
    const QPixmap& Picture() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_pictureName;
    mutable std::optional<QPixmap> m_picture;  // decoded on first use
    bool m_hover = false;
};

// A picture decoded the first time it is shown: a page the user never opens costs nothing.
class TShownPicture : public QLabel {
    Q_OBJECT
public:
    TShownPicture(const QString& picture, QWidget* parent);
    bool Loaded() const { return m_loaded; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_picture;
    bool m_loaded = false;
};

// A picture that reports clicks.
class TClickImage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The page control: a strip drawn from one picture in place of the tab captions, over a stack
// of pages. "No active page" is a state of its own (an empty page shows).
class TPageControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 24;
    explicit TPageControl(QWidget* parent = nullptr);

    void AddPage(QWidget* page);
    int PageCount() const { return m_pages.size(); }
    QWidget* Page(int index) const { return m_pages.value(index); }
    int ActivePageIndex() const { return m_active; }
    // Changes the page without the change event; -1 or out of range shows no page.
    void SetActivePageIndex(int index);
    // The strip, and the same strip with every tab drawn as the chosen one.
    void SetTabBitmap(const QPixmap& bitmap, const QPixmap& active = {});
    const QPixmap& TabBitmap() const { return m_tabBitmap; }
    // The strip's segment of a page, in strip coordinates.
    static QRect TabRect(int index);
    // What a screen reader calls a tab: the caption its picture shows.
    static QString TabName(int index);

    // The strip of tabs, one picture; keyboard and screen readers see six page tabs.
    class Strip;

signals:
    // The user picked another page.
    void Change();
    // Another page shows, whoever chose it; -1: none.
    void PageShown(int index);

private:
    Strip* m_strip;
    QStackedWidget* m_stack;
    QWidget* m_empty;
    QVector<QWidget*> m_pages;
    int m_active = -1;
    QPixmap m_tabBitmap;
    QPixmap m_activeBitmap;
};

}  // namespace tk
