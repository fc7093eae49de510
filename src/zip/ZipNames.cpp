// Splitting stored names into the parts the file list shows, and deciding which names are safe to extract.

#include "ZipDetail.h"
#include "utility/WorkFile.h"

#include <QStringList>
#include <algorithm>

namespace zipdetail {

NameParts splitStoredName(const QString& storedName) {
    NameParts parts;
    const qsizetype slash = storedName.lastIndexOf(u'/');
    parts.folderPath = slash < 0 ? QString() : storedName.left(slash + 1);
    parts.name = slash < 0 ? storedName : storedName.mid(slash + 1);
    const qsizetype dot = parts.name.lastIndexOf(u'.');
    if (dot >= 0) parts.extension = parts.name.mid(dot + 1);
    return parts;
}

bool nameStoredAsBytes(const QString& storedName) {
    if (NativePath::hasRawBytes(storedName)) return true;
    return std::any_of(storedName.begin(), storedName.end(),
                       [](QChar c) { return c.unicode() < 32 && c != u'\t' && c != u'\n' && c != u'\r'; });
}

QString unsafeNameReason(const QString& storedName, bool isSymLink) {
    // A link could point anywhere, and a later entry written "through" it would land outside the target.
    if (isSymLink) return QStringLiteral("symbolic links are not extracted");
    if (storedName.isEmpty()) return QStringLiteral("empty name");
    if (storedName.startsWith(u'/')) return QStringLiteral("absolute path");
    // A backslash is an ordinary character in a file name here (files named so are backed up too), so it is
    // kept as it is: it separates nothing on this system and cannot climb out of the target.
    if (storedName.size() >= 2 && storedName[1] == u':' && storedName[0].isLetter())
        return QStringLiteral("drive letter in name");
    const QStringList parts = storedName.split(u'/');
    for (const QString& part : parts) {
        if (part == QLatin1String("..")) return QStringLiteral("name climbs out of the folder (..)");
        // The program's own work files and rebuild journals are swept and carried out by later runs: a package
        // must never plant one.
        if (WorkFiles::isWorkFileName(part)) return QStringLiteral("name of a work file of this program");
    }
    // A file named "." (or "x/.") would replace the folder itself.
    if (!storedName.endsWith(u'/') && parts.last() == QLatin1String(".")) return QStringLiteral("invalid file name");
    return {};
}

} // namespace zipdetail
