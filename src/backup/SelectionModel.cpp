#include "SelectionModel.h"

#include "app/AppState.h"
#include "utility/FileOps.h"
#include "utility/SystemError.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"

#include <QFileInfo>

bool scanSelects(const FolderRecord& record, const CurrentPatterns& patterns) {
    if (record.isFolder || WorkFiles::isWorkFileName(QStringView(record.path).mid(record.path.lastIndexOf(u'/') + 1)))
        return false;
    return patterns.takesFile(record.path);
}

bool scanTakes(const FolderRecord& record, const CurrentPatterns& patterns) {
    return !record.error && !record.isSpecial && scanSelects(record, patterns);
}

QString unreadReason(const FolderRecord& record, const CurrentPatterns& patterns) {
    if (!record.error) return {};
    if (record.isFolder)
        return QStringLiteral("the folder could not be opened: ") + SystemError::errorText(record.error);
    if (!scanSelects(record, patterns)) return {};
    return QStringLiteral("its status could not be read: ") + SystemError::errorText(record.error);
}

FolderCount countScan(const std::vector<FolderRecord>& records, const CurrentPatterns& patterns) {
    FolderCount count;
    for (const FolderRecord& record : records) {
        if (const QString why = unreadReason(record, patterns); !why.isEmpty()) {
            count.unread.append({record.path, why});
            continue;
        }
        if (!scanTakes(record, patterns)) continue;
        ++count.files;
        count.bytes += record.size;
    }
    return count;
}

FolderCount countFolder(const QString& folderPath, const CurrentPatterns& patterns, const CancelToken* cancel) {
    std::vector<FolderRecord> records;
    const CancelToken never;
    listFolderTree(folderPath, records, cancel ? *cancel : never);
    return countScan(records, patterns);
}

QString folderOfPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QString packageCommentFor(const QString& setComment, const QString& handedComment) {
    QString comment = setComment;
    if (comment.isEmpty()) comment = kCommentMarker;
    if (!handedComment.isEmpty()) comment = handedComment;
    return comment;
}

SelectionModel::SelectionModel(AppState& state, QObject* parent) : QObject(parent), m_state(state) {
    reloadPatterns();
    connect(&m_lister, &FolderLister::finished, this, &SelectionModel::onScanFinished);
}

SelectionModel::~SelectionModel() {
    cancelScans();
}

void SelectionModel::reloadPatterns() {
    patterns = CurrentPatterns::fromSettings(m_state.settings);
}

SelectionRow SelectionModel::folderRow(const QString& path, const CurrentPatterns& rowPatterns,
                                       const FolderCount& count) const {
    SelectionRow row;
    row.path = path;
    row.files = TextUtil::formatGrouped(count.files);
    row.size = TextUtil::formatGrouped(count.bytes);
    row.include = rowPatterns.includeText();
    row.exclude = rowPatterns.excludeText();
    return row;
}

bool SelectionModel::addFolder(const QString& path) {
    const QString folder = TextUtil::withSlash(path);
    if (!FileOps::exists(folder)) return false;
    folders.appendRow(folderRow(folder, patterns, countFolder(folder, patterns, countCancel)));
    folders.refreshSummary();
    return true;
}

void SelectionModel::addCountedFolder(const QString& folder, const CurrentPatterns& rowPatterns,
                                      const FolderCount& count) {
    folders.appendRow(folderRow(folder, rowPatterns, count));
    folders.refreshSummary();
    refreshBuildRows();
}

bool SelectionModel::startAddFolder(const QString& path) {
    const QString folder = TextUtil::withSlash(path);
    if (!FileOps::exists(folder)) return false;
    // The row carries the patterns in force when the folder was ticked, whatever happens to them while it waits.
    m_queue.push_back({PendingScan::AddFolder, folder, patterns, 0, false, false});
    startNextScan();
    return true;
}

void SelectionModel::removeFolder(const QString& path) {
    for (int i = 0; i < folders.rowCount(); ++i) {
        if (folders.isSummary(i)) continue;
        if (folders.row(i).path.compare(path, Qt::CaseInsensitive) == 0) {
            folders.removeRow(i);
            break;
        }
    }
    folders.refreshSummary();
}

int SelectionModel::addFiles(const QStringList& paths, bool rememberFolder) {
    int added = 0;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists() || info.isDir()) continue;
        SelectionRow row;
        row.path = path;
        row.files = QStringLiteral("1");
        row.size = TextUtil::formatGrouped(info.size());
        files.appendRow(row);
        ++added;
    }
    files.refreshSummary();
    if (rememberFolder && !paths.isEmpty()) m_state.saveText(Option::WizardBrowseFolder, folderOfPath(paths.last()));
    return added;
}

Status SelectionModel::loadFirstPass(const QString& setPath, QVector<quint64>& folderRows) {
    const Result<QString> copy = makeWorkingCopy(setPath, m_state.folders.app);
    if (!copy.ok()) return Status::failure(copy.message());
    const SetContents contents = readRows(copy.value());
    // A damaged set (cut short, not deciphering to a set) would turn into rows such as "/" and a build of the
    // whole disk: nothing of it is used.
    if (!contents.problems.isEmpty()) {
        clearWorkFolder(m_state.folders.app);
        return Status::failure(damagedSetMessage(setPath, contents.problems));
    }
    for (const QString& comment : contents.comments)
        setComment += comment;
    for (SelectionRow row : contents.rows) {
        if (row.isTotal() || !FileOps::exists(row.path)) continue;
        if (row.isFolder()) {
            // Counted in the second pass; until then it stands for nothing and shows that its count is coming.
            row.files = row.size = QStringLiteral("0");
            folderRows.append(sets.appendRow(row, {}, true));
        } else {
            row.files = QStringLiteral("1");
            row.size = TextUtil::formatGrouped(QFileInfo(row.path).size());
            sets.appendRow(row);
        }
    }
    sets.refreshSummary();
    return Status::success();
}

Status SelectionModel::loadBackupSet(const QString& setPath) {
    QVector<quint64> folderRows;
    const Status first = loadFirstPass(setPath, folderRows);
    if (!first) return first;
    if (folderRows.isEmpty()) return first;
    emit statusCaption(kRefreshingFolderTotals);
    for (const quint64 id : folderRows) {
        const int index = sets.indexOfId(id);
        if (index < 0) continue;
        // Each folder row is counted with its own patterns, not the ones of the Select Folders tab.
        CurrentPatterns rowPatterns;
        rowPatterns.loadRowPatterns(sets.row(index).include, sets.row(index).exclude);
        const FolderCount count = countFolder(sets.row(index).path, rowPatterns, countCancel);
        sets.setCounts(index, count.files, count.bytes);
        emit setRowCounted(index);
    }
    sets.refreshSummary();
    emit statusCaption(QString());
    return first;
}

Status SelectionModel::startLoadBackupSet(const QString& setPath) {
    QVector<quint64> folderRows;
    const Status first = loadFirstPass(setPath, folderRows);
    if (!first || folderRows.isEmpty()) return first;
    emit statusCaption(kRefreshingFolderTotals);
    for (qsizetype i = 0; i < folderRows.size(); ++i) {
        const int index = sets.indexOfId(folderRows[i]);
        CurrentPatterns rowPatterns;
        rowPatterns.loadRowPatterns(sets.row(index).include, sets.row(index).exclude);
        m_queue.push_back(
            {PendingScan::SetRow, sets.row(index).path, rowPatterns, folderRows[i], i == folderRows.size() - 1, false});
    }
    startNextScan();
    return first;
}

bool SelectionModel::isScanning() const {
    return m_running.has_value() || !m_queue.empty();
}

void SelectionModel::cancelScans() {
    bool setRowsDropped = false;
    for (const PendingScan& scan : m_queue)
        setRowsDropped |= scan.kind == PendingScan::SetRow;
    m_queue.clear();
    if (m_running) {
        setRowsDropped |= m_running->kind == PendingScan::SetRow;
        m_running->dropped = true; // its end report must change nothing
        m_lister.cancel();
    }
    if (setRowsDropped) emit statusCaption(QString());
}

void SelectionModel::startNextScan() {
    if (m_running || m_queue.empty()) return;
    m_running = std::move(m_queue.front());
    m_queue.pop_front();
    m_lister.start(m_running->path);
}

void SelectionModel::onScanFinished(qint64, bool cancelled) {
    if (!m_running) return;
    const PendingScan scan = std::move(*m_running);
    m_running.reset();
    if (!cancelled && !scan.dropped) {
        const FolderCount count = countScan(m_lister.records(), scan.patterns);
        if (scan.kind == PendingScan::AddFolder) {
            folders.appendRow(folderRow(scan.path, scan.patterns, count));
            folders.refreshSummary();
            emit folderAdded(scan.path);
        } else {
            // The user may have removed the row meanwhile; then there is nothing to fill.
            const int index = sets.indexOfId(scan.rowId);
            if (index >= 0) {
                sets.setCounts(index, count.files, count.bytes);
                emit setRowCounted(index);
            }
            if (scan.lastOfSet) {
                sets.refreshSummary();
                emit statusCaption(QString());
            }
        }
    }
    // The build grid shown meanwhile takes the new counts, and with it the totals of the 2 GB check and the progress.
    if (!cancelled && !scan.dropped) refreshBuildRows();
    if (m_queue.empty()) {
        emit scansFinished();
        return;
    }
    startNextScan();
}

void SelectionModel::refreshBuildGrid() {
    refreshBuildRows();
    if (!commentTyped) packageComment = packageCommentFor(setComment, handedComment);
    clearWorkFolder(m_state.folders.app);
}

void SelectionModel::refreshBuildRows() {
    build.clear();
    selectedFiles = 0;
    selectedBytes = 0;
    for (const SelectionGrid* grid : {&folders, &files, &sets, &search}) {
        for (int i = 0; i < grid->rowCount(); ++i) {
            if (grid->isSummary(i)) continue;
            const SelectionRow& row = grid->row(i);
            build.appendRow(row, {}, grid->isCounting(i));
            selectedFiles += TextUtil::parseGrouped(row.files);
            selectedBytes += TextUtil::parseGrouped(row.size);
        }
    }
    SelectionRow total;
    total.path = kTotalRowPath;
    total.files = TextUtil::formatGrouped(selectedFiles);
    total.size = TextUtil::formatGrouped(selectedBytes);
    build.appendRow(total);
    emit buildGridChanged();
}

BuildList SelectionModel::fillBuildList() const {
    BuildList list;
    for (const SelectionRow& row : build.entries())
        list.append({row.path, row.include, row.exclude});
    return list;
}
