#pragma once

#include <QPoint>
#include <QWidget>

class QMenu;

namespace tk {

// 系统: fifteen picture buttons over the page picture, and the menu of further special
// folders behind 更多.... Each button and menu item is a row of controller/forms.h.
class TSystemPage : public QWidget {
    Q_OBJECT
public:
    explicit TSystemPage(QWidget* parent = nullptr);
    // Opens PmMoreSpecialDir at a screen position.
    void PopupMoreMenu(const QPoint& globalPos);
    QMenu* MoreMenu() const { return m_more; }

signals:
    // A button or 更多 item: its row's target (forms::kSystemButtons, forms::kMoreItems).
    void TargetClicked(int target);

private:
    void BuildMoreMenu();
    QMenu* m_more = nullptr;
};

}  // namespace tk
