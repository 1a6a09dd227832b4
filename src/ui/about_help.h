#pragma once

#include <QWidget>
#include <functional>

#include "ui/widgets.h"

namespace tk {

// The picture windows share one frame: strips and edges drawn from the dialog artwork around
// a content widget.
class TFramedWindow : public QWidget {
    Q_OBJECT
public:
    TFramedWindow(const QString& objectName, const QString& caption, QSize size, QWidget* parent);
    QWidget* Content() const { return m_content; }

private:
    QWidget* m_content;
};

// "关于...": the about picture, a link area over its web-address line and a close button.
class TFrmVersion : public TFramedWindow {
    Q_OBJECT
public:
    // `openSite` opens the maker's web site.
    explicit TFrmVersion(std::function<void()> openSite);

private:
    void Label1Click();
    void SpeedButton1Click() { hide(); }

    std::function<void()> m_openSite;
};

// "TarvoKelmora-帮助文档": the help picture in a scrolling box and a close button.
class TFrmHelp : public TFramedWindow {
    Q_OBJECT
public:
    explicit TFrmHelp(QWidget* owner);

private:
    void SpeedButton1Click() { hide(); }
};

}  // namespace tk
