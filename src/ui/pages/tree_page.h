#pragma once

#include <QModelIndex>
#include <QWidget>

#include "controller/app_controller.h"
#include "ui/tree_model.h"

class QTreeView;

namespace tk {

// One category tree page of TVAllDocs, as its row in controller/forms.h describes it. It keeps
// the core tree's selection and current node in step with the view and reports what the user
// does; what that means is the controller's business.
class TTreePage : public QWidget {
    Q_OBJECT
public:
    // `page`: 0 全部, 1 软件, 2 文件夹, 3 网页.
    TTreePage(int page, CategoryTree& tree, const ImageListIcons& icons, QWidget* parent = nullptr);

    int PageIndex() const { return m_page; }
    QTreeView* Tree() const { return m_tree; }
    CategoryTreeModel* Model() const { return m_model; }

signals:
    // A pick: a plain left press on 全部, a click on the others. `mayOpen` is false for a
    // press on a group's expand arrow: that press picks the group and opens nothing.
    void Picked(int page, bool mayOpen);
    void Opened(int page);
    void KeyPressed(TreeKey key);
    void ExpandedOrCollapsed();
    void MenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SyncSelection();
    void MouseMove(const QPoint& pos);
    bool MousePress(QMouseEvent* mouse);

    int m_page;
    QTreeView* m_tree;
    CategoryTreeModel* m_model;
    QPersistentModelIndex m_pendingScroll;
    QModelIndex m_hintNode;
};

}  // namespace tk
