#pragma once
// The build wizard: four tabs that gather folders, files, backup sets and search results, and a fifth that merges
// them into the build grid and builds a new zip package or updates the open one. The selection itself and every
// decision about it live in the core (SelectionModel, FolderTicks, FolderTreeModel, WizardForm); the window
// arranges them, counts ticked folders off the window thread and hands the build to BuildRunner.

#include "backup/BuildJob.h"
#include "backup/FolderTicks.h"
#include "backup/SelectionModel.h"

#include "app/ui/JobRunner.h"

#include "utility/CancelToken.h"

#include <QWidget>
#include <array>
#include <memory>

class AppState;
class BuildRunner;
class SearchRunner;
class FolderTreeModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTreeView;
class SelectionTableModel;

class fKovra : public QWidget {
    Q_OBJECT
  public:
    /// The tabs in order.
    enum Tab { FoldersTab, FilesTab, SetsTab, SearchTab, BuildTab };

    /// packagePath is the package the main window shows: an update works on it, and it is shown again when the
    /// wizard closes without building. comment is the package comment the main window hands
    /// over ("" when building). folderRoots are the folders under the tree's "Desktop" (this machine's when
    /// empty).
    fKovra(AppState& state, BuildMode mode, const QString& packagePath = {}, const QString& comment = {},
           QWidget* parent = nullptr, const QStringList& folderRoots = {});
    ~fKovra() override;

    BuildMode mode() const { return m_mode; }
    SelectionModel& selection() { return m_selection; }
    FolderTreeModel& folderTree() { return *m_treeModel; }
    QTreeView* folderTreeView() const { return m_tree; }
    QTabWidget* tabs() const { return m_tabs; }
    /// The file search behind btnSearch (tests choose its drives).
    SearchRunner& searchRunner() { return *m_search; }
    /// True while a ticked folder or a folder row of a loaded set is counted or waits for its count.
    bool counting() const { return m_ticks.busy() || m_selection.isScanning(); }
    /// Takes paths chosen outside the wizard (dropped on the main window): files join the Files tab as its
    /// button adds them, folders are ticked in the tree; the tab showing them comes to the front.
    void addPicked(const QStringList& paths);
    /// Shows every grid as the selection now is, after it was changed from outside the window.
    void reloadGrids();
    /// True from Build until the build's result has been shown.
    bool building() const { return m_buildRunner != nullptr; }
    /// The package the main window shows after the wizard: the last one built, else the one it showed before.
    QString resultPackage() const { return m_resultPackage; }

  signals:
    /// Every count of ticked folders has ended and the folder grid shows them.
    void folderCountsDone();
    /// A build or update has ended (the result dialog or message has been shown).
    void buildEnded(const BuildResult& result);
    /// The window has closed; resultPackage() says what the main window should show.
    void closed(const QString& resultPackage);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct GridPane {
        SelectionGrid* grid = nullptr;
        SelectionTableModel* model = nullptr;
        QTableView* view = nullptr;
        int sortColumn = -1;
        bool ascending = true;
    };

    void buildForm();
    QWidget* buildFoldersTab();
    QWidget* buildFilesTab();
    QWidget* buildSetsTab();
    QWidget* buildSearchTab();
    QWidget* buildBuildTab();
    QTableView* makeGrid(GridKind kind, SelectionGrid& grid, const char* name, QWidget* parent);
    void load();

    void tabChanged(int index);
    void folderTicked(const QString& folder, bool ticked);
    /// Starts the next count when none runs: a ticked folder first, else a folder row of the loaded set.
    void startNextCount();
    /// Counts folder on the count runner with the wizard's token, then hands the count to done.
    void runCount(const QString& folder, const CurrentPatterns& patterns, std::function<void(const FolderCount&)> done);
    void addFiles();
    void removeSelected(GridKind kind);
    void clearGrid(GridKind kind);
    /// The package comment the user typed or confirmed: shown, and kept over later refreshes of the build grid.
    void keepComment(const QString& comment);
    void clearBuildGrid();
    void browseTargetFolder();
    void editPatterns();
    void selectBackupSet();
    /// Build and Save use the counts: while some are still coming they say so and do nothing (true).
    bool refuseWhileCounting();
    void saveBackupSetFile();
    void search();
    void build();
    void sortGrid(GridKind kind, int column);
    void reloadGrid(GridKind kind);
    GridPane& pane(GridKind kind) { return m_panes[size_t(kind)]; }

    AppState& m_state;
    const BuildMode m_mode;
    const QString m_packagePath;
    QString m_resultPackage;
    SelectionModel m_selection;
    FolderTicks m_ticks{m_selection};
    /// The wizard's own token for the folder counts (ticked folders and a loaded set's folder rows); declared before
    /// the runner, which waits for a count still running when the window goes.
    CancelToken m_countCancel;
    JobRunner m_countRunner;
    /// The build under way, else null.
    std::unique_ptr<BuildRunner> m_buildRunner;
    /// The file search of the Search tab; it fills the search grid when it ends.
    std::unique_ptr<SearchRunner> m_search;

    std::array<GridPane, 5> m_panes;
    FolderTreeModel* m_treeModel = nullptr;
    QTreeView* m_tree = nullptr;
    QTabWidget* m_tabs = nullptr;
    QWidget* m_targetPanel = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QLineEdit* m_text4 = nullptr;
    QLabel* m_refreshing = nullptr;
    QPushButton* m_btnBuild = nullptr;
};
