#include "BackupSetFile.h"

#include "app/StartUp.h"
#include "utility/FileCipher.h"
#include "utility/FileOps.h"
#include "utility/ScratchFolder.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

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

// A path field that starts with this character is percent-encoded; a full path starts with "/", so no plain
// path is ever taken for an encoded one.
constexpr char16_t kEncodedPath = u'%';

QString percent(QChar c) {
    QString out;
    for (const char byte : QString(c).toUtf8())
        out += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
    return out;
}

// The path as it goes into the file. An ordinary path is written as it is (blanks before it dropped, as for
// every field). A path holding a TAB, CR or LF, or ending in blanks, would be cut or trimmed by the layout: it
// is written as "%" followed by the path with "%", TAB, CR, LF and its trailing blanks percent-encoded.
QString pathField(const QString& path) {
    QString p = path;
    while (!p.isEmpty() && TextUtil::isBlank(p.front()))
        p.remove(0, 1);
    const bool special = p.startsWith(kEncodedPath) || p.contains(u'\t') || p.contains(u'\r') || p.contains(u'\n') ||
                         (!p.isEmpty() && TextUtil::isBlank(p.back()));
    if (!special) return p;
    qsizetype trailing = p.size();
    while (trailing > 0 && TextUtil::isBlank(p[trailing - 1]))
        --trailing;
    QString out(kEncodedPath);
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p[i];
        if (c == kEncodedPath || c == u'\t' || c == u'\r' || c == u'\n' || i >= trailing)
            out += percent(c);
        else
            out += c;
    }
    return out;
}

// Undoes pathField; false for an encoded field that is not well formed.
bool readPathField(const QString& field, QString& path) {
    if (!field.startsWith(kEncodedPath)) {
        path = field;
        return true;
    }
    static const QRegularExpression wellFormed(QStringLiteral("\\A(?:[^%]|%[0-9A-Fa-f]{2})*\\z"));
    const QString body = field.mid(1);
    if (!wellFormed.match(body).hasMatch()) return false;
    const QByteArray bytes = QByteArray::fromPercentEncoding(body.toUtf8());
    path = QString::fromUtf8(bytes);
    return path.toUtf8() == bytes; // not valid text otherwise
}

bool isCount(const QString& field) {
    static const QRegularExpression grouped(QStringLiteral("\\A(?:|[0-9][0-9,]*)\\z"));
    return grouped.match(field).hasMatch();
}

// What is wrong with one row line, or "".
QString rowProblem(const QString& line, const SelectionRow& row, bool pathReadable) {
    const qsizetype tabs = line.count(u'\t');
    if (tabs != 4) return QStringLiteral("has %1 fields instead of 5").arg(tabs + 1);
    if (!pathReadable) return QStringLiteral("holds a path that cannot be decoded");
    if (row.path.isEmpty()) return QStringLiteral("has no path");
    if (!row.path.startsWith(u'/')) return QStringLiteral("holds no full path");
    if (!isCount(row.files) || !isCount(row.size)) return QStringLiteral("holds counts that are not numbers");
    return {};
}

} // namespace

QByteArray formatSetFile(const BackupSet& set) {
    const QString comment = oneLine(set.comment);
    QString text = comment.startsWith(kCommentMarker, Qt::CaseInsensitive) ? comment : kCommentMarker + comment;
    QByteArray out = text.toUtf8() + kLineEnd;
    for (const SelectionRow& row : set.rows) {
        if (row.isTotal()) continue;
        const QStringList fields{pathField(row.path), TextUtil::trimBlanks(row.files), TextUtil::trimBlanks(row.size),
                                 TextUtil::trimBlanks(row.include), TextUtil::trimBlanks(row.exclude)};
        out += fields.join(u'\t').toUtf8() + kLineEnd;
    }
    return out;
}

// The set is enciphered in memory and written to a work file beside the target, which takes the target's place
// only once it is complete and on disk. A reader therefore always finds either the old set or the new one, whole
// and enciphered, the plain form never reaches the disk, and a failure at any step leaves the old file as it was.
Status writeSetFile(const QString& path, const BackupSet& set) {
    QByteArray bytes = formatSetFile(set);
    cipherBytes(bytes, kSetCipherKey);
    Result<WorkFile> work = WorkFile::beside(path);
    if (!work) return Status::failure(work.message());
    if (Status written = work.value().write(bytes); !written) return written;
    return work.value().commit();
}

Status clearWorkFolder(const QString& appFolder) {
    QString app = appFolder;
    while (app.size() > 1 && app.endsWith(u'/'))
        app.chop(1);
    if (const QString why = emptyScratchFolder(app, QStringLiteral("Work")); !why.isEmpty())
        return Status::failure(why);
    return Status::success();
}

Result<QString> makeWorkingCopy(const QString& setPath, const QString& appFolder, const QString& workName) {
    const QString work = TextUtil::withSlash(appFolder) + QStringLiteral("Work/");
    // Only one set is ever in plain form: the previous reader's copy goes first. The folder has to be the
    // program's own; a link there is neither followed nor emptied.
    if (Status cleared = clearWorkFolder(appFolder); !cleared) return cleared;
    if (Status made = ScratchFolder::prepare(work); !made) return made;
    const QString workFile = work + workName;
    if (QFileInfo(workFile).exists() || QFileInfo(workFile).isSymLink())
        return Result<QString>::failure(QStringLiteral("%1 is in the way of the working copy.").arg(workFile));
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
    const QByteArray bytes = file.readAll();
    const QStringList lines = splitLines(bytes);
    // The writer always starts with the comment line and ends every line; a file that does not is not a set as
    // it was written (a damaged copy, a wrong key, a file cut short).
    if (bytes.isEmpty())
        contents.problems << QStringLiteral("it is empty");
    else if (!isCommentLine(lines.first()))
        contents.problems << QStringLiteral("it does not begin with its comment line");
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
        contents.problems << QStringLiteral("line %1 is cut short").arg(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        // Any line may be a comment line, not only the first.
        if (isCommentLine(line)) {
            contents.comments << (line.size() > kCommentMarker.size() ? line.mid(kCommentMarker.size()) : line);
            continue;
        }
        SelectionRow row = splitRowLine(line);
        QString path;
        const bool pathReadable = readPathField(row.path, path);
        if (pathReadable) row.path = path;
        if (const QString why = rowProblem(line, row, pathReadable); !why.isEmpty())
            contents.problems << QStringLiteral("line %1 %2").arg(i + 1).arg(why);
        contents.rows << row;
    }
    return contents;
}

QString damagedSetMessage(const QString& setPath, const QStringList& problems) {
    QStringList shown = problems.mid(0, 3);
    if (problems.size() > shown.size()) shown << QStringLiteral("%1 more").arg(problems.size() - shown.size());
    return QStringLiteral("Backup set %1 is damaged (%2); it was not used.")
        .arg(QFileInfo(setPath).fileName(), shown.join(QStringLiteral("; ")));
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
    return SelectionRow{TextUtil::trimBlanks(fields[0]), TextUtil::trimBlanks(fields[1]),
                        TextUtil::trimBlanks(fields[2]), TextUtil::trimBlanks(fields[3]),
                        TextUtil::trimBlanks(fields[4])};
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
    if (!entries.isEmpty()) clearWorkFolder(appFolder);
    return sets;
}
