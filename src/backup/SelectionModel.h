#pragma once
// What the build wizard gathers before a build: the four source grids, the build grid merged from them, the two
// selection totals, the current patterns and the comments. The wizard form shows these grids; everything that
// decides what goes into a package lives here so that tests and the command-line program can drive it.

#include "SelectionGrid.h"
#include "sets/Patterns.h"
#include "utility/CancelToken.h"
#include "utility/FolderTree.h"
#include "utility/Result.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <deque>
#include <optional>
#include <vector>

class AppState;

/// One entry of the build list: a build-grid row's path and its two pattern texts.
struct BuildEntry {
    QString path;
    QString include;
    QString exclude;
    bool isFolder() const { return path.endsWith(u'/'); }
    bool operator==(const BuildEntry&) const = default;
};
using BuildList = QVector<BuildEntry>;

/// A selected file, folder or other entry that did not go into the package (or the count), other than a locked
/// file, with the reason.
struct LeftOutFile {
    QString path;
    QString reason;
    bool operator==(const LeftOutFile&) const = default;
};

/// The number of files of a scan that pass the patterns, and their byte total; unread names what the scan could
/// not read (see unreadReason), whose files are missing from the count.
struct FolderCount {
    qint64 files = 0;
    qint64 bytes = 0;
    QVector<LeftOutFile> unread;
};

/// The filter test of one scanned record: folders and the program's own work files never pass; a file passes when
/// its full path passes the patterns.
bool scanSelects(const FolderRecord& record, const CurrentPatterns& patterns);
/// What the build can store and the totals count: a record that passes scanSelects and whose status could be read
/// and that has contents (not a pipe, socket or device).
bool scanTakes(const FolderRecord& record, const CurrentPatterns& patterns);
/// Why a scanned record the selection needs could not be read: a folder that could not be opened (whatever it
/// holds is missing from the scan) or a file passing scanSelects whose status could not be read; "" otherwise.
QString unreadReason(const FolderRecord& record, const CurrentPatterns& patterns);
/// Counts the records of a scan that pass the filter test, and names those unreadReason gives a reason for.
FolderCount countScan(const std::vector<FolderRecord>& records, const CurrentPatterns& patterns);
/// Scans a folder synchronously and counts it; a missing folder counts 0.
/// The files below a folder that the patterns take; stops early (with what was counted) once cancel is set.
FolderCount countFolder(const QString& folderPath, const CurrentPatterns& patterns, const CancelToken& cancel);
/// The folder of a chosen file: the text before its last "/".
QString folderOfPath(const QString& path);
/// The package comment a refresh of the build grid leaves: the set comment, "*Comment*" when that is empty, and
/// the comment the main window handed over instead whenever there is one.
QString packageCommentFor(const QString& setComment, const QString& handedComment);

/// The caption the sets tab shows while the folder rows of a loaded set are counted.
inline const QString kRefreshingFolderTotals = QStringLiteral("Refreshing folder totals");
/// Why Build and "Save backup set" refuse while folder totals are still being counted: they would use counts of 0.
inline const QString kCountsPendingMessage =
    QStringLiteral("Folder totals are still being counted. Please wait until they are shown, then try again.");

class SelectionModel : public QObject {
    Q_OBJECT
  public:
    explicit SelectionModel(AppState& state, QObject* parent = nullptr);

    SelectionGrid folders{GridKind::Folders}; ///< vbalGrid2
    SelectionGrid files{GridKind::Files};     ///< vbalGrid3
    SelectionGrid sets{GridKind::Sets};       ///< vbalGrid5
    SelectionGrid search{GridKind::Search};   ///< vbalGrid6, filled by the wizard's search
    SelectionGrid build{GridKind::Build};     ///< vbalGrid4

    /// The patterns new folder rows are counted with and whose texts they carry.
    CurrentPatterns patterns;
    QString setComment;     ///< the comment lines of the loaded backup set (Text4)
    QString packageComment; ///< the comment the package will get (Text3)
    QString handedComment;  ///< the comment of the open package, handed over by the main window in update mode
    /// The user has typed into the package comment (or confirmed one): a refresh of the build grid keeps it.
    bool commentTyped = false;
    /// The caller's cancel token for the counts made on the calling thread (addFolder, loadBackupSet); read only.
    const CancelToken* countCancel = nullptr;
    /// False: folder rows are added without counting their files (their counts read 0), for a build whose own
    /// scan counts them, so that no folder is listed twice.
    bool countFolders = true;
    qint64 selectedFiles = 0;
    qint64 selectedBytes = 0;

    /// Reads the current patterns back from the settings store (wizard load, Select Folders tab).
    void reloadPatterns();

    /// Add folder, synchronously: appends a counted folder row and refreshes the summary. A path that does not
    /// exist adds nothing and gives false.
    bool addFolder(const QString& path);
    /// Appends the row of a folder counted elsewhere (the wizard counts off the window thread) and refreshes the
    /// summary; the row shows the texts of rowPatterns, the patterns it was counted with.
    void addCountedFolder(const QString& folder, const CurrentPatterns& rowPatterns, const FolderCount& count);
    /// Remove folder: removes the first folder row with this path (case ignored) and refreshes the summary.
    void removeFolder(const QString& path);
    /// Add files: one row per path (count 1, the file's length), then the summary; the folder of the last path
    /// is stored in Options00 (unless rememberFolder is false: callers without a file dialog). Paths that do not
    /// exist are left out. Returns how many rows were added.
    int addFiles(const QStringList& paths, bool rememberFolder = true);

    /// Load backup set rows, both passes synchronously. Fails (nothing loaded) when the working copy cannot be
    /// made.
    Status loadBackupSet(const QString& setPath);
    /// One folder row of a loaded set still to be counted, with the row's own patterns.
    struct SetRowCount {
        QString folder;
        CurrentPatterns patterns;
        quint64 rowId = 0; ///< the sets-grid row to fill
    };
    /// The first pass now; the folder rows wait for their counts, which the caller runs one at a time off the
    /// window thread (startNextSetRow, setRowFinished): setRowCounted() per row,
    /// statusCaption(kRefreshingFolderTotals) at the start and statusCaption("") at the end.
    Status startLoadBackupSet(const QString& setPath);
    /// The next folder row to count, when none runs; it is running from now on.
    std::optional<SetRowCount> startNextSetRow();
    /// The running count of a set row has ended: the row is filled unless cancelScans dropped it meanwhile.
    void setRowFinished(const FolderCount& count);

    /// True while a set row is counted or waits for its count.
    bool isScanning() const;
    /// Drops the waiting set rows and the running one; the rows they would have changed stay as they are. True
    /// when a count runs, which the caller then cancels (its end will change nothing).
    bool cancelScans();

    /// Rebuilds the build grid from the four source grids, recomputes the selection totals, sets the package
    /// comment (unless the user typed one) and empties the Work folder.
    void refreshBuildGrid();
    /// Rebuilds only the build grid and the selection totals: a folder count has arrived since the last refresh
    /// (the comment and the Work folder are left alone). Emits buildGridChanged().
    void refreshBuildRows();
    /// The build list: every build-grid row but the summary, in grid order.
    BuildList fillBuildList() const;

  signals:
    void setRowCounted(int row);
    void statusCaption(const QString& caption);
    /// The build grid and the selection totals were rebuilt because a count arrived.
    void buildGridChanged();

  private:
    Status loadFirstPass(const QString& setPath, QVector<quint64>& folderRows);
    SelectionRow folderRow(const QString& path, const CurrentPatterns& rowPatterns, const FolderCount& count) const;

    AppState& m_state;
    std::deque<SetRowCount> m_setRows;
    std::optional<SetRowCount> m_runningSetRow;
    bool m_runningDropped = false; ///< cancelScans came while it ran: its count is thrown away
};
