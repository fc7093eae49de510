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

FolderCount countFolder(const QString& folderPath, const CurrentPatterns& patterns, const CancelToken& cancel) {
    std::vector<FolderRecord> records;
    listFolderTree(folderPath, records, cancel);
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
    const CancelToken never;
    const FolderCount count =
        countFolders ? countFolder(folder, patterns, countCancel ? *countCancel : never) : FolderCount{};
    folders.appendRow(folderRow(folder, patterns, count));
    folders.refreshSummary();
    return true;
}

void SelectionModel::addCountedFolder(const QString& folder, const CurrentPatterns& rowPatterns,
                                      const FolderCount& count) {
    folders.appendRow(folderRow(folder, rowPatterns, count));
    folders.refreshSummary();
    refreshBuildRows();
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
    if (!countFolders) {
        for (const quint64 id : folderRows)
            if (const int index = sets.indexOfId(id); index >= 0) sets.setCounts(index, 0, 0);
        return first;
    }
    emit statusCaption(kRefreshingFolderTotals);
    const CancelToken never;
    for (const quint64 id : folderRows) {
        const int index = sets.indexOfId(id);
        if (index < 0) continue;
        // Each folder row is counted with its own patterns, not the ones of the Select Folders tab.
        CurrentPatterns rowPatterns;
        rowPatterns.loadRowPatterns(sets.row(index).include, sets.row(index).exclude);
        const FolderCount count = countFolder(sets.row(index).path, rowPatterns, countCancel ? *countCancel : never);
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
    for (const quint64 id : folderRows) {
        const int index = sets.indexOfId(id);
        CurrentPatterns rowPatterns;
        rowPatterns.loadRowPatterns(sets.row(index).include, sets.row(index).exclude);
        m_setRows.push_back({sets.row(index).path, rowPatterns, id});
    }
    return first;
}

std::optional<SelectionModel::SetRowCount> SelectionModel::startNextSetRow() {
    if (m_runningSetRow || m_setRows.empty()) return std::nullopt;
    m_runningSetRow = std::move(m_setRows.front());
    m_setRows.pop_front();
    m_runningDropped = false;
    return m_runningSetRow;
}

void SelectionModel::setRowFinished(const FolderCount& count) {
    if (!m_runningSetRow) return;
    const SetRowCount done = std::move(*m_runningSetRow);
    m_runningSetRow.reset();
    if (m_runningDropped) return;
    // The user may have removed the row meanwhile; then there is nothing to fill.
    const int index = sets.indexOfId(done.rowId);
    if (index >= 0) {
        sets.setCounts(index, count.files, count.bytes);
        emit setRowCounted(index);
    }
    if (m_setRows.empty()) {
        sets.refreshSummary();
        emit statusCaption(QString());
    }
    // The build grid shown meanwhile takes the new counts, and with it the totals of the 2 GB check and the progress.
    refreshBuildRows();
}

bool SelectionModel::isScanning() const {
    return m_runningSetRow.has_value() || !m_setRows.empty();
}

bool SelectionModel::cancelScans() {
    const bool running = m_runningSetRow && !m_runningDropped;
    const bool dropped = running || !m_setRows.empty();
    m_setRows.clear();
    if (running) m_runningDropped = true;
    if (dropped) emit statusCaption(QString());
    return running;
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
