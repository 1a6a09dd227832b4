#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QVector>

#include "history/category_tree.h"
#include "history/image_list.h"

namespace tk {

// ImageList1 as Qt icons: the eleven built-in pictures, then the program icons the core
// inserts, kept in step with the core's list.
class ImageListIcons : public QObject, public ImageListListener {
    Q_OBJECT
public:
    explicit ImageListIcons(ImageList& images, QObject* parent = nullptr);
    ~ImageListIcons() override;
    QIcon Icon(int index) const;
    int Count() const { return m_icons.size(); }
    void ImageInserted(int index) override;

    static QIcon IconFromFileIcon(const FileIcon& icon);

private:
    ImageList& m_images;
    QVector<QIcon> m_icons;
};

// A core category tree shown to a QTreeView. The core reports every change through the
// listener calls, which become the model's begin/end notifications.
class CategoryTreeModel : public QAbstractItemModel, public TreeListener {
    Q_OBJECT
public:
    CategoryTreeModel(CategoryTree& tree, const ImageListIcons& icons, QObject* parent = nullptr);
    ~CategoryTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // The trees show no header: nothing for a screen reader to read in its place either.
    QVariant headerData(int, Qt::Orientation, int) const override { return {}; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QModelIndex IndexOf(const TreeNode* node) const;
    static TreeNode* NodeOf(const QModelIndex& index);
    CategoryTree& Tree() { return m_tree; }

    void NodeAboutToBeInserted(const TreeNode* parent, int row) override;
    void NodeInserted(const TreeNode* parent, int row) override;
    void NodeAboutToBeRemoved(const TreeNode* parent, int row) override;
    void NodeRemoved(const TreeNode* parent, int row) override;
    void AboutToReset() override;
    void Reset() override;
    void MakeVisible(const TreeNode* node) override;
    void NodeChanged(const TreeNode* node) override;

signals:
    // Expand the node's ancestors and scroll it into view.
    void MakeVisibleRequested(const QModelIndex& index);

private:
    CategoryTree& m_tree;
    const ImageListIcons& m_icons;
};

}  // namespace tk
