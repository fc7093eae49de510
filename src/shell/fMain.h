#pragma once
// The main window: the button row, the entry grid of the open zip package, the status line and the five pop-up
// menus. The window owns the zip layer's current package; everything it shows is computed by the core
// (EntryList, EntryFields, RecentList, WindowPlacement), the window only arranges it.

#include "utility/FileOps.h"
#include "zip/ZipPackage.h"

#include <QMainWindow>
#include <QModelIndex>
#include <memory>

class AppState;
class EntryCommands;
class EntryTableModel;
class FileTypeIcons;
class MenuIcons;
class PackageDrops;
class fKovra;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class StatusLine;

class fMain : public QMainWindow {
    Q_OBJECT
  public:
    /// The smallest normal size the window is given when it closes, so a placement stored after a user shrank
    /// the window to nothing still opens a usable window next time.
    static constexpr int kMinimumWidth = 569;
    static constexpr int kMinimumHeight = 393;
    /// The number of recent-list items in the "Favorites" menu (item 10 is "Exit").
    static constexpr int kFavoriteItems = 9;

    /// Runs the load step: placement, start-up of the application folder (the working folder now), grid,
    /// menus and recent list.
    explicit fMain(AppState& state, QWidget* parent = nullptr);
    ~fMain() override;

    // --- commands ---
    /// btnOpen: asks for a package with the file dialog, then opens it. Cancelling changes nothing.
    void browseForPackage();
    /// The open routine with the file dialog skipped (recent list, command line, reloads). False on failure,
    /// which the error dialog has already reported.
    bool openPackage(const QString& path);
    /// btnClose: empties the grid and the status line and closes the package.
    void closePackage();
    /// btnFind: shows the find dialog modally and opens the package picked there.
    void findPackages();
    /// A "Favorites" item, 1 to 10.
    void openFavorite(int item);
    /// btnBuild: forgets the open package and opens the build wizard for a new package.
    void buildNewPackage();
    /// btnUpdate: the checks (a package is open, it is not spanned), then the "Quick" menu below the button.
    void updatePackage();
    /// "Quick" item 1, "Update Zip Package": opens the build wizard to update the open package.
    void updateWithWizard();
    /// "Quick" item 2, "Quick Update": finds the package's backup set, shows the quick update dialog modally and
    /// then reloads the package.
    void quickUpdate();
    /// Options item 2: the self-extracting package maker on the open package, then the splitter when the maker
    /// handed its program over.
    void makeSelfExtracting();
    /// Options item 3: the splitter on the open package.
    void splitPackage();
    /// Options item "Test zip package" and Ctrl+T: every entry of the open package read back and checked.
    void testPackage();
    /// True when the open package's file is no longer the one that was opened (rewritten or replaced since).
    bool packageChangedOnDisk() const;
    /// After an entry was deleted: its row leaves the grid and the totals are those of the package now.
    void entryDeleted(const QString& name, const QString& folderPath);
    EntryCommands& entryCommands() { return *m_entryCommands; }
    /// Options item 1: the folder settings dialog.
    void showFolderSettings();
    /// Help item 2: the about box.
    void showAbout();
    /// Help item 3: the application folder's Readme.txt in the file viewer program (Options04).
    void showReadme();
    /// A header click on grid column 1 to 7: ascending first, then toggling.
    void sortByColumn(int column);

    // --- what the window shows and holds (shared with the other commands) ---
    AppState& state() { return m_state; }
    ZipPackage& package() { return m_package; }
    const EntryTableModel& entryModel() const { return *m_model; }
    QTableView* grid() const { return m_grid; }
    FileTypeIcons& fileTypeIcons() { return *m_fileIcons; }
    /// Full path of the current zip package; "" when none. Keeps the path of a package that failed to open.
    QString currentPackage() const { return m_currentPackage; }
    QString packageFileName() const;
    QString packageComment() const { return m_comment; }
    qint64 totalFiles() const { return m_totalFiles; }
    qint64 totalBytes() const { return m_totalBytes; }
    /// "0" until the delete dialog's "don't show" is ticked for the open package; every open resets it. The value
    /// lives in the shared state, as deleting a backup set asks the same question.
    QString deleteConfirmation() const;
    void setDeleteConfirmation(const QString& value);

    /// The whole status text; the status line shows it on one line, cut to fit, with the whole text as tooltip.
    QString statusText() const;
    /// details, when given, is shown in the status line's tooltip below the text.
    void setStatusText(const QString& text, const QString& details = {});
    /// The sorted column (1 to 7, 0 when unsorted) and its direction.
    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }

  signals:
    /// The build wizard has closed and the window shows what it left (the package built or updated).
    void wizardClosed();
    /// The build wizard has opened (before it shows): a caller may hand it a selection.
    void wizardOpened(fKovra* wizard);
    /// Every change of the status line, in order (a long open passes through several texts).
    void statusTextChanged(const QString& text);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildForm();
    void load();
    void setUpGridColumns();
    void setUpMenus();
    void refreshFavorites();
    void clearGrid();
    void resetSort();
    void showMenuBelow(QMenu* menu, QPushButton* button);
    void showEntryMenu(const QPoint& pos);
    void onSelectionChanged();
    void extractThisFile();
    void extractAllFiles();
    void extractSelectedFiles(const QModelIndexList& rows);
    void showExtractDialog();
    void openWizard(bool updating, const QString& comment);
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, const QString& iconKey);

    AppState& m_state;
    ZipPackage m_package;

    std::unique_ptr<MenuIcons> m_menuIcons;
    std::unique_ptr<EntryCommands> m_entryCommands;
    std::unique_ptr<PackageDrops> m_drops;
    std::optional<FileOps::FileStamp> m_openedStamp;
    std::unique_ptr<FileTypeIcons> m_fileIcons;
    EntryTableModel* m_model = nullptr;
    QTableView* m_grid = nullptr;
    StatusLine* m_status = nullptr;

    QPushButton* m_btnOpen = nullptr;
    QPushButton* m_btnBuild = nullptr;
    QPushButton* m_btnUpdate = nullptr;
    QPushButton* m_btnRecent = nullptr;
    QPushButton* m_btnFind = nullptr;
    QPushButton* m_btnOptions = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QPushButton* m_btnClose = nullptr;
    QPushButton* m_btnExit = nullptr;

    QMenu* m_mnuFavorites = nullptr;
    QMenu* m_mnuZipOptions = nullptr;
    QMenu* m_mnuOptions = nullptr;
    QMenu* m_mnuHelpAll = nullptr;
    QMenu* m_mnuQuicks = nullptr;
    QList<QAction*> m_favorites; ///< mnufav1 to mnufav10

    QString m_currentPackage;
    QString m_comment;
    qint64 m_totalFiles = 0;
    qint64 m_totalBytes = 0;
    int m_sortColumn = 0;
    bool m_sortAscending = true;
};
