#include "ui/pages/tree_page.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include "controller/forms.h"
#include "ui/style.h"

namespace tk {

using forms::PageRow;

TTreePage::TTreePage(int page, CategoryTree& tree, const ImageListIcons& icons, QWidget* parent)
    : QWidget(parent), m_page(page) {
    const PageRow& entry = forms::kPages[page];
    setObjectName(QString::fromLatin1(entry.sheet));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QString::fromLatin1(entry.tree));
    m_tree->setAccessibleName(QString::fromUtf8(entry.caption));
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setIndentation(19);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setUniformRowHeights(true);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setFont(SongFont(13));
    m_tree->setToolTip(QString::fromUtf8(forms::kTreeHint));
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette pal = m_tree->palette();
    pal.setColor(QPalette::Base, kBackground);
    // The selection stays visible when the tree loses the focus.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    m_tree->setPalette(pal);
    m_model = new CategoryTreeModel(tree, icons, this);
    m_tree->setModel(m_model);
    layout->addWidget(m_tree);

    connect(m_model, &CategoryTreeModel::MakeVisibleRequested, this, [this](const QModelIndex& index) {
        // A hidden tree scrolls when it is next shown: scrolling it now would lay it out again
        // for every registration of a load.
        if (m_tree->isVisible()) m_tree->scrollTo(index);
        else m_pendingScroll = index;
    });
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        emit MenuRequested(m_tree->viewport()->mapToGlobal(pos));
    });
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TTreePage::SyncSelection);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [&tree](const QModelIndex& current) { tree.SetCurrent(CategoryTreeModel::NodeOf(current)); });
    if (entry.expandCounts) {
        connect(m_tree, &QTreeView::expanded, this, &TTreePage::ExpandedOrCollapsed);
        connect(m_tree, &QTreeView::collapsed, this, &TTreePage::ExpandedOrCollapsed);
    }
    if (!entry.pickOnPress) {
        connect(m_tree, &QTreeView::clicked, this, [this] { emit Picked(m_page, true); });
    }
    // A double-click anywhere in the tree opens the last pick, on a row or beside the rows:
    // the viewport's filter sees both, QTreeView::doubleClicked only the first.
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    if (entry.pickOnPress || entry.hintAndKeys) m_tree->setMouseTracking(true);
}

void TTreePage::SyncSelection() {
    CategoryTree& core = m_model->Tree();
    core.ClearSelection();
    for (const QModelIndex& index : m_tree->selectionModel()->selectedIndexes()) {
        core.SetSelected(CategoryTreeModel::NodeOf(index), true);
    }
}

void TTreePage::MouseMove(const QPoint& pos) {
    const QModelIndex node = m_tree->indexAt(pos);
    if (node == m_hintNode) return;
    QToolTip::hideText();
    // Only a position on an item's icon or label makes it the hint node.
    if (node.isValid() && m_tree->visualRect(node).contains(pos)) {
        m_hintNode = node;
        m_tree->setToolTip(QString::fromUtf8(forms::kTreeHint));
    }
}

// A press picks the node it lands on; the tree moves its selection while handling the press,
// so the pick runs right after. A press on a group's expand arrow picks that group and opens
// nothing: it only shows or hides the group. Any other press beside the items picks at once.
bool TTreePage::MousePress(QMouseEvent* mouse) {
    if (mouse->buttons() != mouse->button()) return false;
    const bool plainLeft = mouse->button() == Qt::LeftButton &&
                           (mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
    if (!plainLeft) return false;
    const QPoint pos = mouse->position().toPoint();
    const QModelIndex at = m_tree->indexAt(pos);
    const QRect rect = at.isValid() ? m_tree->visualRect(at) : QRect();
    if (rect.contains(pos)) {
        QMetaObject::invokeMethod(this, [this] { emit Picked(m_page, true); }, Qt::QueuedConnection);
    } else if (at.isValid() && m_model->hasChildren(at) && pos.x() < rect.left() &&
               pos.x() >= rect.left() - m_tree->indentation()) {
        // The tree leaves its selection alone on an arrow: the group is made the pick here.
        m_tree->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
        emit Picked(m_page, false);
    } else {
        emit Picked(m_page, true);
    }
    return false;
}

bool TTreePage::eventFilter(QObject* watched, QEvent* event) {
    const PageRow& entry = forms::kPages[m_page];
    if (watched == m_tree->viewport()) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
            type == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // The right button only opens the menu (its own context-menu event): it moves
            // neither the selection nor the focused node, so the menu acts on the selection.
            if (mouse->button() == Qt::RightButton) return true;
            if (type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton &&
                entry.doubleClickOpens) {
                emit Opened(m_page);
            }
        }
        if (event->type() == QEvent::MouseMove && entry.hintAndKeys) {
            MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::MouseButtonPress && entry.pickOnPress) {
            MousePress(static_cast<QMouseEvent*>(event));
        }
    } else if (watched == m_tree) {
        if (event->type() == QEvent::Show && m_pendingScroll.isValid()) {
            m_tree->scrollTo(m_pendingScroll);
            m_pendingScroll = QPersistentModelIndex();
        } else if (event->type() == QEvent::KeyPress && entry.hintAndKeys) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                emit KeyPressed(TreeKey::Enter);
                return true;
            }
            if (key == Qt::Key_Delete) {
                emit KeyPressed(TreeKey::Delete);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tk
