#pragma once
#include <QByteArray>
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
/// A name or message made safe to show on one line: control characters, bidi controls (such as the right-to-left
/// override that makes "invoice\u202etxt.exe" read as "invoiceexe.txt"), line and paragraph separators and lone
/// surrogates become visible escapes (\n, \t, \r, \xHH, \uHHHH), and the backslash itself is doubled, so every
/// escape reads back to exactly one character. The window, which no program reads back, leaves backslashes as
/// they are (doubleBackslash false).
QString visibleText(const QString& text, bool doubleBackslash = true);
/// visibleText(text) in UTF-8, appended to out; a name with nothing to escape is copied without a new string.
void appendVisibleText(QByteArray& out, const QString& text);
} // namespace TextUtil
