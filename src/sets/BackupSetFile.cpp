#include "BackupSetFile.h"

#include "utility/FileCipher.h"
#include "utility/FileOps.h"
#include "utility/SystemError.h"
#include "utility/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
const QString kWorkFileName = QStringLiteral("Temp.set");

// The comment is one line of the file; a line break typed or pasted into it would turn its second half into a
// row, so breaks become blanks.
QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

bool isCommentLine(const QString& line) {
    return line.size() > 8 && line.startsWith(kCommentMarker, Qt::CaseInsensitive);
}

// Lines end at CR LF, and for files that were not written by us also at a lone LF or CR. Text after the last
// line end is a line of its own; an empty piece after it is not.
QStringList splitLines(const QByteArray& bytes) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        lines << QString::fromUtf8(bytes.constData() + start, i - start);
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines << QString::fromUtf8(bytes.constData() + start, n - start);
    return lines;
}

QString withSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

} // namespace

QByteArray formatSetFile(const BackupSet& set) {
    const QString comment = oneLine(set.comment);
    QString text = comment.startsWith(kCommentMarker, Qt::CaseInsensitive) ? comment : kCommentMarker + comment;
    QByteArray out = text.toUtf8() + kLineEnd;
    for (const SelectionRow& row : set.rows) {
        if (row.isTotal()) continue;
        const QStringList fields{TextUtil::trimBlanks(row.path), TextUtil::trimBlanks(row.files),
                                 TextUtil::trimBlanks(row.size), TextUtil::trimBlanks(row.include),
                                 TextUtil::trimBlanks(row.exclude)};
        out += fields.join(u'\t').toUtf8() + kLineEnd;
    }
    return out;
}

// The plain text never replaces the set in place: it is written to a temporary file in the same folder,
// enciphered there, and only then renamed over the target. A reader therefore always finds either the old set
// or the new one, whole and enciphered, and a failure at any step leaves the old file as it was.
Status writeSetFile(const QString& path, const BackupSet& set) {
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.set-XXXXXX.tmp"));
    temp.setAutoRemove(true); // removes the temporary file on every early return below
    if (!temp.open())
        return Status::failure(QString("Cannot write %1: %2").arg(path, temp.errorString()));
    const QByteArray plain = formatSetFile(set);
    if (temp.write(plain) != plain.size() || !temp.flush()) {
        const QString why = temp.errorString();
        return Status::failure(QString("Cannot write %1: %2").arg(path, why));
    }
    temp.close();
    const QString tempPath = temp.fileName();
    if (Status enciphered = cipherFile(tempPath, kSetCipherKey); !enciphered) return enciphered;
    // rename() replaces an existing set in one step; QFile::rename would refuse to.
    if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return Status::failure(QString("Cannot write %1: %2").arg(path, SystemError::errorText(errno)));
    temp.setAutoRemove(false); // the name now belongs to the set
    return Status::success();
}

Result<QString> makeWorkingCopy(const QString& setPath, const QString& appFolder) {
    const QString work = withSlash(appFolder) + QStringLiteral("Work/");
    // Only one set is ever in plain form: the previous reader's copy goes first.
    FileOps::deleteFilesIn(work);
    if (Status made = FileOps::createFolder(work); !made) return made;
    const QString workFile = work + kWorkFileName;
    if (Status copied = FileOps::copyOver(setPath, workFile); !copied) return copied;
    if (Status deciphered = cipherFile(workFile, kSetCipherKey); !deciphered) {
        QFile::remove(workFile);
        return deciphered;
    }
    return workFile;
}

QString readComment(const QString& workFile) {
    QFile file(workFile);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    QByteArray first = file.readLine();
    // readLine stops at LF only; a CR ends the line as well.
    const qsizetype end = first.indexOf('\r');
    if (end >= 0) first.truncate(end);
    if (first.endsWith('\n')) first.chop(1);
    const QString line = QString::fromUtf8(first);
    // Case matters here, unlike for the rows: "*COMMENT*weekly" is shown as it is.
    if (line.size() > 9 && line.startsWith(kCommentMarker, Qt::CaseSensitive)) return line.mid(kCommentMarker.size());
    return line;
}

SetContents readRows(const QString& workFile) {
    SetContents contents;
    QFile file(workFile);
    if (!file.open(QIODevice::ReadOnly)) return contents;
    const QStringList lines = splitLines(file.readAll());
    for (const QString& line : lines) {
        // Any line may be a comment line, not only the first.
        if (isCommentLine(line))
            contents.comments << (line.size() > kCommentMarker.size() ? line.mid(kCommentMarker.size()) : line);
        else
            contents.rows << splitRowLine(line);
    }
    return contents;
}

SelectionRow splitRowLine(const QString& line) {
    QString fields[5];
    QStringView rest(line);
    // Fields 1 to 4 each end at the next TAB; when there is none the field is empty and the rest is kept, so a
    // short line puts its last text into field 5.
    for (int i = 0; i < 4; ++i) {
        const qsizetype tab = rest.indexOf(u'\t');
        if (tab < 0) continue;
        fields[i] = rest.left(tab).toString();
        rest = rest.sliced(tab + 1);
    }
    const qsizetype tab = rest.indexOf(u'\t');
    fields[4] = (tab < 0 ? rest : rest.left(tab)).toString();
    return SelectionRow{TextUtil::trimBlanks(fields[0]), TextUtil::trimBlanks(fields[1]), TextUtil::trimBlanks(fields[2]),
                        TextUtil::trimBlanks(fields[3]), TextUtil::trimBlanks(fields[4])};
}

QString setFileName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0 && name.mid(dot + 1).compare(QLatin1String("SET"), Qt::CaseInsensitive) == 0) return name;
    return name + QStringLiteral(".set");
}

QString offeredSetName(const QString& packageFileName) {
    // A target typed with its folder still names the set after the file alone.
    const QString name = packageFileName.mid(packageFileName.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0 && name.mid(dot + 1).compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
        return name.left(dot + 1) + QStringLiteral("set");
    return QStringLiteral("Dummy.set");
}

QVector<SetListing> listSets(const QString& setsFolder, const QString& appFolder) {
    QVector<SetListing> sets;
    QDir dir(setsFolder);
    // Name filters of QDir ignore case, so Weekly.SET is listed like Weekly.set. Only regular files (and links
    // to them) qualify: a FIFO named x.set would block the copy for ever.
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*.set")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        const Result<QString> copy = makeWorkingCopy(entry.absoluteFilePath(), appFolder);
        if (!copy) continue;
        sets.append({entry.fileName(), readComment(copy.value()), entry.lastModified()});
    }
    // Listing needs no plain copy afterwards; do not leave the last one lying about.
    if (!entries.isEmpty()) FileOps::deleteFilesIn(withSlash(appFolder) + QStringLiteral("Work/"));
    return sets;
}
