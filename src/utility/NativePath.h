#pragma once
// File names on Linux are bytes, and most of them are UTF-8 text; a name that is not (an old Latin-1 "café", a
// name from a foreign disk) must still be backed up and named again byte for byte. The program keeps paths as
// QString, so such a name is carried in it with each byte that is not part of valid UTF-8 held as one lone
// surrogate, U+DC80 + byte (the same escape Python uses for such names). A valid name never contains a lone
// surrogate, so the escape is exact both ways. Header-only: the zip layer uses it as well.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace NativePath {

namespace detail {
// The length of the valid UTF-8 sequence starting at s[i], or 0 when there is none (overlong forms, surrogates
// and values above U+10FFFF are not valid).
inline int validSequence(const unsigned char* s, qsizetype i, qsizetype n) {
    const unsigned char c = s[i];
    if (c < 0x80) return 1;
    int length = 0;
    char32_t value = 0;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2, value = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3, value = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4, value = c & 0x07;
    else
        return 0;
    if (i + length > n) return 0;
    for (int k = 1; k < length; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (s[i + k] & 0x3F);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF))) return 0;
    if (value >= 0xD800 && value <= 0xDFFF) return 0;
    return length;
}
inline bool isEscape(char16_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}
} // namespace detail

/// A name or path as the file system gives it, made into text with the escape for bytes that are not UTF-8.
inline QString decode(QByteArrayView bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    QString text;
    text.reserve(n);
    qsizetype run = 0; // start of the valid stretch not yet appended
    for (qsizetype i = 0; i < n;) {
        const int length = detail::validSequence(s, i, n);
        if (length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(bytes.data() + run, i - run);
        text += QChar(char16_t(0xDC00 + s[i]));
        run = ++i;
    }
    text += QString::fromUtf8(bytes.data() + run, n - run);
    return text;
}

/// The bytes a path made by decode() (or any text) names on disk.
inline QByteArray encode(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!detail::isEscape(text[i].unicode())) continue;
        bytes += text.mid(run, i - run).toUtf8();
        bytes += char(text[i].unicode() - 0xDC00);
        run = i + 1;
    }
    bytes += text.mid(run).toUtf8();
    return bytes;
}

/// True when the text holds bytes that are not UTF-8 (it came from such a name).
inline bool hasRawBytes(QStringView text) {
    for (const QChar c : text)
        if (detail::isEscape(c.unicode())) return true;
    return false;
}

/// The text to show for a path: each byte that is not UTF-8 appears as a visible "\xE9".
inline QString display(QStringView text) {
    if (!hasRawBytes(text)) return text.toString();
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (detail::isEscape(c.unicode()))
            shown += QStringLiteral("\\x") + QString::number(c.unicode() - 0xDC00, 16).toUpper();
        else
            shown += c;
    }
    return shown;
}

} // namespace NativePath
