#include "TextUtil.h"

namespace TextUtil {

namespace {
// Characters that would move the cursor, start a new line or turn the text's direction on a terminal.
bool isBidiControl(char16_t c) {
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}
} // namespace

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

QString visibleText(const QString& text, bool doubleBackslash) {
    QString out;
    out.reserve(text.size());
    const auto hex = [&out](uint value, int digits, char kind) {
        out += u'\\';
        out += QLatin1Char(kind);
        out += QString::number(value, 16).rightJustified(digits, u'0');
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out += text.at(i);
            out += text.at(++i);
        } else if (c == u'\\' && doubleBackslash) {
            out += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) {
            hex(c, 2, 'x');
        } else if (c >= 0xdc80 && c <= 0xdcff) {
            // A byte of a file name that is not UTF-8, carried as a lone surrogate (see NativePath).
            hex(c - 0xdc00, 2, 'x');
        } else if (isBidiControl(c) || c == 0x2028 || c == 0x2029 || QChar::isSurrogate(c)) {
            hex(c, 4, 'u');
        } else {
            out += text.at(i);
        }
    }
    return out;
}

void appendVisibleText(QByteArray& out, const QString& text) {
    // Most names are printable ASCII without a backslash: those are copied as they are.
    const char16_t* chars = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (chars[i] < 0x20 || chars[i] > 0x7e || chars[i] == u'\\') {
            out += visibleText(text).toUtf8();
            return;
        }
    }
    const qsizetype start = out.size();
    out.resize(start + n);
    char* p = out.data() + start;
    for (qsizetype i = 0; i < n; ++i)
        p[i] = char(chars[i]);
}

} // namespace TextUtil
