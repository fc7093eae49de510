#include "FolderTreeModel.h"

#include "finding/FixedDrives.h"
#include "utility/TextUtil.h"

#include <QDir>

struct FolderTreeModel::Node {
    QString caption;
    QString path; ///< ends with "/"; "" for the desktop
    Node* parent = nullptr;
    int row = 0;
    bool read = false; ///< the subfolders have been read
    bool ticked = false;
    std::vector<std::unique_ptr<Node>> children;

    Node* add(const QString& childCaption, const QString& childPath) {
        auto child = std::make_unique<Node>();
        child->caption = childCaption;
        child->path = childPath;
        child->parent = this;
        child->row = int(children.size());
        children.push_back(std::move(child));
        return children.back().get();
    }
};

FolderTreeModel::FolderTreeModel(const QStringList& roots, QObject* parent)
    : QAbstractItemModel(parent), m_desktop(std::make_unique<Node>()) {
    m_desktop->caption = kRootCaption;
    m_desktop->read = true;
    for (const QString& root : roots) {
        const QString path = TextUtil::withSlash(root);
        m_desktop->add(path.size() > 1 ? path.chopped(1) : path, path);
    }
}

FolderTreeModel::~FolderTreeModel() = default;

QStringList FolderTreeModel::desktopFolders() {
    QStringList folders{TextUtil::withSlash(QDir::homePath())};
    for (const QString& root : FixedDrives::roots()) {
        const QString path = TextUtil::withSlash(root);
        if (!folders.contains(path)) folders << path;
    }
    return folders;
}

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOfNode(const Node* node) const {
    if (!node) return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 ? createIndex(0, 0, m_desktop.get()) : QModelIndex();
    const Node* node = nodeOf(parent);
    if (row >= int(node->children.size())) return {};
    return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const Node* node = nodeOf(child);
    return node ? indexOfNode(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return 1;
    return int(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return true;
    const Node* node = nodeOf(parent);
    // Until a folder is opened it may have subfolders; reading every folder only to draw its arrow would cost a
    // listing per visible folder.
    return !node->read || !node->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    return node && !node->read;
}

void FolderTreeModel::readChildren(Node* node) {
    if (node->read) return;
    node->read = true;
    const QStringList names = QDir(node->path)
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                                             QDir::Name | QDir::IgnoreCase);
    if (names.isEmpty()) {
        // The arrow goes: there is nothing to open.
        const QModelIndex index = indexOfNode(node);
        emit dataChanged(index, index);
        return;
    }
    beginInsertRows(indexOfNode(node), 0, int(names.size()) - 1);
    for (const QString& name : names)
        node->add(name, node->path + name + u'/');
    endInsertRows();
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    if (Node* node = nodeOf(parent)) readChildren(node);
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = nodeOf(index);
    if (!node) return {};
    const bool desktop = node == m_desktop.get();
    switch (role) {
    case Qt::DisplayRole:
        return node->caption;
    case Qt::ToolTipRole:
        return desktop ? QVariant() : QVariant(node->path);
    case Qt::CheckStateRole:
        return desktop ? QVariant() : QVariant(node->ticked ? Qt::Checked : Qt::Unchecked);
    case Qt::DecorationRole:
        return m_icon ? m_icon(desktop) : QVariant();
    default:
        return {};
    }
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    Node* node = nodeOf(index);
    if (!node || node == m_desktop.get() || role != Qt::CheckStateRole) return false;
    const bool ticked = value.toInt() == Qt::Checked;
    if (ticked == node->ticked) return true;
    node->ticked = ticked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit tickChanged(node->path, ticked);
    return true;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    const Node* node = nodeOf(index);
    if (!node) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (node != m_desktop.get()) f |= Qt::ItemIsUserCheckable;
    return f;
}

QString FolderTreeModel::pathOf(const QModelIndex& index) const {
    const Node* node = nodeOf(index);
    return node ? node->path : QString();
}

QModelIndex FolderTreeModel::indexOf(const QString& folder) {
    const QString path = TextUtil::withSlash(folder);
    // The deepest root that holds the folder: home before "/" for a folder in the home folder.
    Node* node = nullptr;
    for (const auto& root : m_desktop->children)
        if (path.startsWith(root->path) && (!node || root->path.size() > node->path.size())) node = root.get();
    while (node && node->path != path) {
        readChildren(node);
        Node* next = nullptr;
        for (const auto& child : node->children)
            if (path.startsWith(child->path)) next = child.get();
        node = next;
    }
    return indexOfNode(node);
}

QStringList FolderTreeModel::tickedFolders() const {
    QStringList out;
    std::vector<const Node*> stack{m_desktop.get()};
    while (!stack.empty()) {
        const Node* node = stack.back();
        stack.pop_back();
        if (node->ticked) out << node->path;
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back(it->get());
    }
    return out;
}

void FolderTreeModel::clearTicks() {
    std::vector<Node*> stack{m_desktop.get()};
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node->ticked) {
            node->ticked = false;
            const QModelIndex index = indexOfNode(node);
            emit dataChanged(index, index, {Qt::CheckStateRole});
        }
        for (const auto& child : node->children)
            stack.push_back(child.get());
    }
}
