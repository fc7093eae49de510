#pragma once
#include <QString>

namespace TextUtil {
/// A blank, a tab or a NUL character: what trimBlanks removes.
inline bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == QChar(0);
}
/// Removes leading and trailing blanks, tabs and NUL characters.
QString trimBlanks(const QString& text);
/// Formats a whole number as "###,##0": digits grouped by thousands with ",", "0" for zero, "-" for negatives.
QString formatGrouped(qint64 value);
/// Parses a "###,##0" text back to a number (commas ignored); ok is false for anything else.
qint64 parseGrouped(const QString& text, bool* ok = nullptr);
/// A folder path with one trailing "/" added when it has none; an empty path (no folder) stays empty.
QString withSlash(const QString& folder);
} // namespace TextUtil
