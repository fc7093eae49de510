#include "PackageIndex.h"

#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"

#include <QFile>
#include <algorithm>

namespace PackageIndex {

QString indexPath(const QString& appFolder) {
    return TextUtil::withSlash(appFolder) + kFileName;
}

QByteArray format(const QVector<PackageRow>& rows) {
    QByteArray plain;
    for (const PackageRow& row : rows) {
        const QString path = row.path.trimmed();
        if (path.contains(u'\r') || path.contains(u'\n')) continue;
        plain += NativePath::encode(path);
        plain += "\r\n";
    }
    return plain;
}

QStringList parse(const QByteArray& plain) {
    QStringList paths;
    for (QByteArray bytes : plain.split('\n')) {
        if (bytes.endsWith('\r')) bytes.chop(1);
        const QString line = NativePath::decode(bytes).trimmed();
        if (line.isEmpty() || !line.startsWith(u'/') || line.contains(QChar(0))) continue; // cannot be a path
        paths << line;
    }
    return paths;
}

QVector<PackageRow> load(const QString& appFolder) {
    const QString index = indexPath(appFolder);
    if (!FileOps::regularFileSize(index)) return {};
    const Result<QString> copy = makeWorkingCopy(index, appFolder, kWorkName);
    if (!copy) return {};
    QFile file(copy.value());
    const QByteArray plain = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    clearWorkFolder(appFolder);

    QVector<PackageRow> rows;
    for (const QString& path : parse(plain))
        if (const std::optional<qint64> size = FileOps::regularFileSize(path)) rows.append({path, *size});
    sortRows(rows);
    return rows;
}

Status save(const QString& appFolder, const QVector<PackageRow>& rows) {
    QByteArray bytes = format(rows);
    cipherBytes(bytes, kSetCipherKey);
    Result<WorkFile> work = WorkFile::beside(indexPath(appFolder));
    if (!work) return Status::failure(work.message());
    if (Status written = work.value().write(bytes); !written) return written;
    return work.value().commit();
}

} // namespace PackageIndex

void sortRows(QVector<PackageRow>& rows, PackageSort by, bool ascending) {
    const auto byPath = [](const PackageRow& a, const PackageRow& b) {
        const int folded = a.path.compare(b.path, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.path < b.path;
    };
    const auto less = [&](const PackageRow& a, const PackageRow& b) {
        if (by == PackageSort::Size && a.size != b.size) return a.size < b.size;
        return byPath(a, b);
    };
    if (ascending)
        std::stable_sort(rows.begin(), rows.end(), less);
    else
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const PackageRow& a, const PackageRow& b) { return less(b, a); });
}
