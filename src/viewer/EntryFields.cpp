#include "EntryFields.h"

#include "utility/TextUtil.h"

#include <cmath>
#include <string>

namespace EntryFields {

namespace {
QString twoDigits(int v) {
    return QString::number(v).rightJustified(2, u'0');
}

} // namespace

QString modifiedText(quint16 dosDate, quint16 dosTime) {
    const int year = 1980 + (dosDate >> 9);
    const int month = (dosDate >> 5) & 0x0f;
    const int day = dosDate & 0x1f;
    const int hour = dosTime >> 11;
    const int minute = (dosTime >> 5) & 0x3f;
    const int second = (dosTime & 0x1f) * 2;
    return QString::number(year) + u'/' + twoDigits(month) + u'/' + twoDigits(day) + QStringLiteral("  ") +
           twoDigits(hour) + u':' + twoDigits(minute) + u':' + twoDigits(second);
}

QString sizeText(qint64 bytes) {
    return TextUtil::formatGrouped(bytes);
}

qint64 ratioPercent(qint64 size, qint64 zipped) {
    if (size <= 0) return 0;
    // Halves round away from zero; a ratio that rounds to nothing reads "0%", never "-0%".
    const double ratio = 100.0 - double(zipped) * 100.0 / double(size);
    return qint64(std::round(ratio));
}

QString ratioText(qint64 size, qint64 zipped) {
    return TextUtil::formatGrouped(ratioPercent(size, zipped)) + u'%';
}

QString packageFileName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString openedStatusText(const QString& fileName, qint64 files, qint64 bytes, const QString& comment) {
    return QStringLiteral("  (") + fileName + QStringLiteral(")") + QStringLiteral("  Files = ") +
           TextUtil::formatGrouped(files) + QStringLiteral("  Bytes = ") + TextUtil::formatGrouped(bytes) +
           QStringLiteral("  Comments = ") + comment;
}

QString buildingStatusText(const QString& fileName) {
    return QStringLiteral("  Building zip package index entries for (") + fileName + QStringLiteral(")");
}

QString sortingStatusText(const QString& fileName) {
    return QStringLiteral("  Sorting index entries for (") + fileName + QStringLiteral(")");
}

QString sortedStatusText(const QString& fileName) {
    return QStringLiteral("  Sort for (") + fileName + QStringLiteral(") completed");
}

QString selectionStatusText(const QString& name) {
    return QStringLiteral("  ") + name + QStringLiteral(" selected, right-click for commands");
}

namespace {
void appendTwoDigits(char*& p, int v) {
    if (v >= 100) { // not from DOS fields, whose parts have at most two digits; kept exact all the same
        const std::string text = std::to_string(v);
        for (char c : text)
            *p++ = c;
        return;
    }
    *p++ = char('0' + v / 10);
    *p++ = char('0' + v % 10);
}
} // namespace

void appendModifiedText(QByteArray& out, quint16 dosDate, quint16 dosTime) {
    char text[32];
    char* p = text;
    const int year = 1980 + (dosDate >> 9);
    *p++ = char('0' + year / 1000);
    *p++ = char('0' + year / 100 % 10);
    *p++ = char('0' + year / 10 % 10);
    *p++ = char('0' + year % 10);
    *p++ = '/';
    appendTwoDigits(p, (dosDate >> 5) & 0x0f);
    *p++ = '/';
    appendTwoDigits(p, dosDate & 0x1f);
    *p++ = ' ';
    *p++ = ' ';
    appendTwoDigits(p, dosTime >> 11);
    *p++ = ':';
    appendTwoDigits(p, (dosTime >> 5) & 0x3f);
    *p++ = ':';
    appendTwoDigits(p, (dosTime & 0x1f) * 2);
    out.append(text, p - text);
}

void appendSizeText(QByteArray& out, qint64 bytes) {
    char digits[24];
    int n = 0;
    quint64 magnitude = bytes < 0 ? quint64(0) - quint64(bytes) : quint64(bytes);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    char text[32];
    char* p = text;
    if (bytes < 0) *p++ = '-';
    for (int i = n; i-- > 0;) {
        *p++ = digits[i];
        if (i > 0 && i % 3 == 0) *p++ = ',';
    }
    out.append(text, p - text);
}

void appendRatioText(QByteArray& out, qint64 size, qint64 zipped) {
    appendSizeText(out, ratioPercent(size, zipped));
    out.append('%');
}
} // namespace EntryFields
