#pragma once
// The wizard's folder tree: a root "Desktop" that holds the user's home folder and the fixed drives' mount roots,
// each folder with a check box. Subfolders are read when a folder is first opened, symbolic links are not shown
// (so the tree never leads out of the folder it shows), and ticking or unticking a folder is reported by
// tickChanged(). The view draws the icons: DecorationRole asks the lookup the window hands in.

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    /// The caption of the tree's root.
    static inline const QString kRootCaption = QStringLiteral("Desktop");

    /// roots: the folders under "Desktop", shown with their full paths.
    explicit FolderTreeModel(const QStringList& roots, QObject* parent = nullptr);
    ~FolderTreeModel() override;
    /// The folders under "Desktop" on this machine: the home folder, then the fixed drives' mount roots, each
    /// ending with "/" and each once.
    static QStringList desktopFolders();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// The folder of a node, ending with "/"; "" for "Desktop".
    QString pathOf(const QModelIndex& index) const;
    /// The node of a folder below one of the roots, reading the folders on the way; invalid when there is none.
    QModelIndex indexOf(const QString& folder);
    /// The ticked folders, in tree order.
    QStringList tickedFolders() const;
    /// Unticks every folder without reporting it: the selection they stood for is gone already.
    void clearTicks();

    /// What DecorationRole shows: lookup(isDesktop).
    void setIconLookup(std::function<QVariant(bool desktop)> lookup) { m_icon = std::move(lookup); }

  signals:
    void tickChanged(const QString& folder, bool ticked);

  private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(const Node* node) const;
    void readChildren(Node* node);

    std::unique_ptr<Node> m_desktop;
    std::function<QVariant(bool)> m_icon;
};
