#include "TextUtil.h"

namespace TextUtil {

QString trimBlanks(const QString& text) {
    qsizetype start = 0, end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QString formatGrouped(qint64 value) {
    const bool negative = value < 0;
    // Work on the magnitude as unsigned so the smallest qint64 is formatted too.
    quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    QString digits = QString::number(magnitude);
    QString out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += u',';
        out += digits[i];
    }
    return negative ? u'-' + out : out;
}

qint64 parseGrouped(const QString& text, bool* ok) {
    QString plain = trimBlanks(text);
    plain.remove(u',');
    bool good = false;
    qint64 value = plain.toLongLong(&good);
    if (ok) *ok = good;
    return good ? value : 0;
}

QString withSlash(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace TextUtil
