#include "Patterns.h"

#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "utility/TextUtil.h"

#include <QList>
#include <QPair>
#include <QStringView>

namespace {

// Case is ignored by folding both sides; ASCII (nearly every path) takes the short way.
inline char16_t fold(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return QChar::toCaseFolded(c);
}

inline bool inRange(char16_t c, char16_t low, char16_t high) {
    if (low > high) return false; // a reversed range such as "z-a" names no character
    if (c >= low && c <= high) return true;
    // "[a-z]" takes "Q" and "[A-Z]" takes "q": try the other cases of the character as well.
    const char16_t lower = QChar::toLower(c);
    const char16_t upper = QChar::toUpper(c);
    return (lower >= low && lower <= high) || (upper >= low && upper <= high);
}

// Where the list that opens at pattern[open] ("[") ends: the index of its "]", or -1 when there is none, in
// which case the "[" is an ordinary character. Inside a list every character but "]" stands for itself.
qsizetype listEnd(QStringView pattern, qsizetype open) {
    qsizetype i = open + 1;
    if (i < pattern.size() && pattern[i] == u'!') ++i;
    for (; i < pattern.size(); ++i)
        if (pattern[i] == u']') return i;
    return -1;
}

// One character against the list between the brackets (without "[", "!" and "]"). A "-" between two characters
// makes a range; a "-" at either end of the list is itself.
bool inList(QStringView list, char16_t c) {
    const char16_t folded = fold(c);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const char16_t first = list[i].unicode();
        if (i + 2 < list.size() && list[i + 1] == u'-') {
            if (inRange(c, first, list[i + 2].unicode())) return true;
            i += 2;
        } else if (fold(first) == folded) {
            return true;
        }
    }
    return false;
}

// Whether the single-character element at pattern[p] takes the character c; next is set to the index after
// the element.
bool elementTakes(QStringView pattern, qsizetype p, char16_t c, qsizetype& next) {
    const char16_t e = pattern[p].unicode();
    next = p + 1;
    switch (e) {
    case u'?':
        return true;
    case u'#':
        return c >= u'0' && c <= u'9';
    case u'[': {
        const qsizetype end = listEnd(pattern, p);
        if (end < 0) return c == u'['; // unbalanced: a plain "["
        next = end + 1;
        const bool negated = pattern[p + 1] == u'!';
        const qsizetype from = p + (negated ? 2 : 1);
        return inList(pattern.sliced(from, end - from), c) != negated;
    }
    default:
        return fold(e) == fold(c);
    }
}

} // namespace

// Every element but "*" takes exactly one character, so a plain backtracking walk is enough: on a mismatch go
// back to the last "*" and let it take one character more. Earlier stars never need to be revisited, because
// the last one can already stretch over anything they could. The walk allocates nothing, which matters when it
// runs for every file of a large tree.
bool wildcardMatch(const QString& pattern, const QString& text) {
    const QStringView pat(pattern);
    const QStringView txt(text);
    qsizetype p = 0, t = 0;
    qsizetype starP = -1, starT = 0;
    while (t < txt.size()) {
        if (p < pat.size()) {
            if (pat[p] == u'*') {
                starP = ++p;
                starT = t;
                continue;
            }
            qsizetype next;
            if (elementTakes(pat, p, txt[t].unicode(), next)) {
                p = next;
                ++t;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP;
        t = ++starT;
    }
    while (p < pat.size() && pat[p] == u'*')
        ++p;
    return p == pat.size();
}

CurrentPatterns CurrentPatterns::fromSettings(const CRegSettings& settings, bool forPatternDialog) {
    CurrentPatterns patterns;
    for (int i = 0; i < kPatternSlots; ++i) {
        patterns.include[i] = settings.GetSetting(kSettingsSection, OptionKeys::patternKey(i + 1),
                                                  OptionKeys::patternDefault(i + 1, forPatternDialog));
        const int n = i + 1 + kPatternSlots;
        patterns.exclude[i] = settings.GetSetting(kSettingsSection, OptionKeys::patternKey(n),
                                                  OptionKeys::patternDefault(n, forPatternDialog));
    }
    return patterns;
}

void CurrentPatterns::store(CRegSettings& settings) const {
    QList<QPair<QString, QString>> values;
    for (int i = 0; i < kPatternSlots; ++i)
        values.append({OptionKeys::patternKey(i + 1), include[i]});
    for (int i = 0; i < kPatternSlots; ++i)
        values.append({OptionKeys::patternKey(i + 1 + kPatternSlots), exclude[i]});
    settings.SaveSettings(kSettingsSection, values);
}

namespace {

// A row's pattern text into five values, words taken from the right: the last word goes into the first value.
// Once all five are filled whatever is left on the left is dropped.
void fillFromText(std::array<QString, kPatternSlots>& values, const QString& text) {
    for (QString& v : values)
        v.clear();
    auto firstEmpty = [&values]() -> QString* {
        for (QString& v : values)
            if (v.isEmpty()) return &v;
        return nullptr;
    };
    QString rest = TextUtil::trimBlanks(text);
    for (;;) {
        const qsizetype space = rest.lastIndexOf(u' ');
        if (space < 0) break;
        QString* slot = firstEmpty();
        if (!slot) return;
        *slot = rest.mid(space + 1);
        rest = TextUtil::trimBlanks(rest.left(space + 1));
    }
    if (QString* slot = firstEmpty()) *slot = rest;
}

QString joinValues(const std::array<QString, kPatternSlots>& values) {
    QStringList used;
    for (const QString& v : values)
        if (!v.isEmpty()) used << v;
    return TextUtil::trimBlanks(used.join(QStringLiteral("  ")));
}

} // namespace

void CurrentPatterns::loadRowPatterns(const QString& includeText, const QString& excludeText) {
    fillFromText(include, includeText);
    fillFromText(exclude, excludeText);
}

QString CurrentPatterns::includeText() const {
    return joinValues(include);
}

QString CurrentPatterns::excludeText() const {
    return joinValues(exclude);
}

bool CurrentPatterns::takesFile(const QString& fullPath) const {
    bool candidate = false;
    for (const QString& p : include)
        if (!p.isEmpty() && wildcardMatch(p, fullPath)) {
            candidate = true;
            break;
        }
    if (!candidate) return false;
    for (const QString& p : exclude)
        if (!p.isEmpty() && wildcardMatch(p, fullPath)) return false;
    return true;
}
