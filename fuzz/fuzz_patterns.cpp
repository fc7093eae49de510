// The wildcard matcher with a pattern and a path taken from the input (split at the first NUL), and the row
// pattern loader with the same texts as include and exclude lists.
#include "FuzzSupport.h"
#include "sets/Patterns.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QString pattern = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString path = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));

    const bool matched = wildcardMatch(pattern, path);
    const auto ascii = [](const QString& text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
    };
    const auto holds = [&](QStringView chars) {
        return std::any_of(pattern.begin(), pattern.end(), [&](QChar c) { return chars.contains(c); });
    };
    // The match ignores case (compared for ASCII paths, and without "[...]" lists whose ranges change with case).
    if (ascii(path) && !holds(u"[") &&
        (wildcardMatch(pattern, path.toUpper()) != matched || wildcardMatch(pattern, path.toLower()) != matched))
        fuzz::fail("case changes the match");
    // A pattern without wildcard characters matches itself.
    if (!holds(u"*?#[") && !wildcardMatch(pattern, pattern)) fuzz::fail("a plain pattern does not match itself");

    CurrentPatterns patterns;
    patterns.loadRowPatterns(pattern, path);
    (void)patterns.includeText();
    (void)patterns.excludeText();
    (void)patterns.takesFile(path);
    (void)patterns.takesFile(pattern);
    return 0;
}
