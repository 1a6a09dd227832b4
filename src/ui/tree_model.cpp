#include "ui/tree_model.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPixmap>

#include "ui/lazy_icon.h"

#include <optional>

namespace tk {

namespace {

QIcon BuiltInIcon(int index) {
    // The strip holds the eleven pictures side by side, 16 px each (32 px in the @2x copy); it
    // is decoded when the first of them is drawn, at the density drawn.
    static std::optional<QPixmap> strips[2];
    static const QVector<QIcon> icons = [] {
        QVector<QIcon> made;
        for (int i = 0; i < ImageList::kBuiltInCount; ++i) {
            made.push_back(QIcon(new LazyIconEngine({16}, {16, 32}, [i](int side) {
                const bool big = side == 32;
                std::optional<QPixmap>& strip = strips[big ? 1 : 0];
                if (!strip) {
                    strip = QPixmap(big ? QStringLiteral(":/imagelist@2x.png") : QStringLiteral(":/imagelist.png"));
                }
                return strip->isNull() ? QPixmap() : strip->copy(i * side, 0, side, side);
            })));
        }
        return made;
    }();
    return icons.value(index);
}

}  // namespace

ImageListIcons::ImageListIcons(ImageList& images, QObject* parent)
    : QObject(parent), m_images(images) {
    for (int i = 0; i < images.Count(); ++i) {
        const auto& icon = images.At(i);
        m_icons.push_back(icon ? IconFromFileIcon(*icon) : BuiltInIcon(i));
    }
    images.SetListener(this);
}

ImageListIcons::~ImageListIcons() { m_images.SetListener(nullptr); }

QIcon ImageListIcons::Icon(int index) const {
    if (index < 0 || index >= m_icons.size()) return {};
    return m_icons[index];
}

void ImageListIcons::ImageInserted(int index) {
    const auto& icon = m_images.At(index);
    m_icons.insert(index, icon ? IconFromFileIcon(*icon) : QIcon());
}

QIcon ImageListIcons::IconFromFileIcon(const FileIcon& icon) {
    if (!icon.argb.empty() && icon.width > 0 && icon.height > 0 &&
        icon.argb.size() >= static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height)) {
        QImage image(reinterpret_cast<const uchar*>(icon.argb.data()), icon.width, icon.height,
                     QImage::Format_ARGB32);
        return QIcon(QPixmap::fromImage(image.copy()));
    }
    if (!icon.filePath.empty()) {
        const QString path = QString::fromStdString(icon.filePath);
        if (QFile::exists(path)) {
            QIcon fileIcon(path);
            if (!fileIcon.isNull()) return fileIcon;
        }
    }
    if (!icon.themeName.empty()) {
        // Many programs share one themed icon; look each name up once.
        static QHash<QString, QIcon> themed;
        const QString name = QString::fromStdString(icon.themeName);
        auto it = themed.find(name);
        if (it == themed.end()) it = themed.insert(name, QIcon::fromTheme(name));
        if (!it->isNull()) return *it;
    }
    // No theme on this desktop: the built-in program picture.
    return BuiltInIcon(4);
}

CategoryTreeModel::CategoryTreeModel(CategoryTree& tree, const ImageListIcons& icons,
                                     QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree), m_icons(icons) {
    m_tree.SetListener(this);
}

CategoryTreeModel::~CategoryTreeModel() { m_tree.SetListener(nullptr); }

TreeNode* CategoryTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex CategoryTreeModel::IndexOf(const TreeNode* node) const {
    if (node == nullptr) return {};
    return createIndex(node->Row(), 0, const_cast<TreeNode*>(node));
}

QModelIndex CategoryTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    const TreeNode* parentNode = NodeOf(parent);
    TreeNode* child = parentNode ? parentNode->Child(row) : m_tree.Top(row);
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex CategoryTreeModel::parent(const QModelIndex& child) const {
    const TreeNode* node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int CategoryTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const TreeNode* node = NodeOf(parent);
    return node ? node->ChildCount() : m_tree.TopCount();
}

int CategoryTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CategoryTreeModel::data(const QModelIndex& index, int role) const {
    const TreeNode* node = NodeOf(index);
    if (node == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromUtf8(node->Text().data(), static_cast<qsizetype>(node->Text().size()));
        case Qt::DecorationRole:
            return m_icons.Icon(node->ImageIndex());
        case Qt::UserRole:
            return node->Data().Index;
        default:
            return {};
    }
}

void CategoryTreeModel::NodeAboutToBeInserted(const TreeNode* parent, int row) {
    beginInsertRows(IndexOf(parent), row, row);
}
void CategoryTreeModel::NodeInserted(const TreeNode*, int) { endInsertRows(); }
void CategoryTreeModel::NodeAboutToBeRemoved(const TreeNode* parent, int row) {
    beginRemoveRows(IndexOf(parent), row, row);
}
void CategoryTreeModel::NodeRemoved(const TreeNode*, int) { endRemoveRows(); }
void CategoryTreeModel::AboutToReset() { beginResetModel(); }
void CategoryTreeModel::Reset() { endResetModel(); }
void CategoryTreeModel::MakeVisible(const TreeNode* node) { emit MakeVisibleRequested(IndexOf(node)); }
void CategoryTreeModel::NodeChanged(const TreeNode* node) {
    const QModelIndex index = IndexOf(node);
    emit dataChanged(index, index, {Qt::DecorationRole});
}

}  // namespace tk
