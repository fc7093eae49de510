#include "SetSaving.h"

#include "app/AppState.h"
#include "utility/SystemError.h"
#include "utility/TextUtil.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// Linux takes file names of up to 255 bytes (NAME_MAX); the name is stored as UTF-8.
constexpr qsizetype kMaxNameBytes = 255;

QString shownName(const QString& name) {
    return name.size() > 60 ? name.left(57) + QStringLiteral("...") : name;
}

} // namespace

QString setsFolderOf(const AppState& state) {
    const QString folder = state.path(Option::SetsFolder);
    return folder.isEmpty() ? TextUtil::withSlash(OptionKeys::defaultFor(Option::SetsFolder, state.folders)) : folder;
}

QString acceptedSetName(const QString& typed) {
    return setFileName(TextUtil::trimBlanks(typed));
}

QString setNameProblem(const QString& name) {
    QString why;
    if (name.contains(u'/'))
        why = QStringLiteral("a name cannot hold \"/\"");
    else if (name.contains(QChar(0)))
        why = QStringLiteral("a name cannot hold a NUL character");
    else if (name.toUtf8().size() > kMaxNameBytes)
        why = QStringLiteral("a name can be at most %1 bytes long").arg(kMaxNameBytes);
    if (why.isEmpty()) return {};
    return QStringLiteral("The backup set name \"%1\" cannot be used: %2.").arg(shownName(name), why);
}

QString saveSetRefusal(const QString& comment, const QVector<SelectionRow>& buildRows) {
    if (comment.isEmpty()) return QStringLiteral("Please enter backup set comments first");
    if (std::all_of(buildRows.begin(), buildRows.end(), [](const SelectionRow& row) { return row.isTotal(); }))
        return QStringLiteral("Please select files to save as backup sets");
    return {};
}

Status saveBackupSet(const SetSaveChoice& choice, const QVector<SelectionRow>& buildRows) {
    const qsizetype slash = choice.path.lastIndexOf(u'/');
    const QString name = acceptedSetName(choice.path.mid(slash + 1));
    if (const QString why = setNameProblem(name); !why.isEmpty()) return Status::failure(why);
    return writeSetFile(choice.path.left(slash + 1) + name, BackupSet{choice.comment, buildRows});
}

Status deleteSetFile(const QString& path) {
    // unlink, not QFile::remove: a set that is a link loses the link, never the file it points to.
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) return Status::success();
    const QString why = SystemError::lastErrorText();
    return Status::failure(
        QStringLiteral("Backup set %1 could not be deleted: %2").arg(QFileInfo(path).fileName(), why));
}
