#pragma once
// Include and exclude patterns: the ten stored patterns, the ten current values a folder scan tests against,
// the rule that loads them from a row's pattern texts, and the whole-path wildcard match.

#include <QString>
#include <array>

class CRegSettings;

constexpr int kPatternSlots = 5;

/// Whole-text, case-insensitive wildcard match: "*" any run (also across "/"), "?" one character, "#" one digit,
/// "[list]" / "[!list]" one character in / not in the list (ranges allowed). An unbalanced "[" matches itself.
bool wildcardMatch(const QString& pattern, const QString& text);

class CurrentPatterns {
  public:
    std::array<QString, kPatternSlots> include;
    std::array<QString, kPatternSlots> exclude;

    /// The ten stored patterns, with the readers' defaults (or the pattern dialog's).
    static CurrentPatterns fromSettings(const CRegSettings& settings, bool forPatternDialog = false);
    /// Stores the ten texts exactly as given (pattern dialog close).
    void store(CRegSettings& settings) const;

    /// Empties all ten and fills them from a row's texts, words taken from the right, at most five each.
    void loadRowPatterns(const QString& includeText, const QString& excludeText);
    /// The non-empty values joined with two blanks, trimmed ("*.tmp  *.swp  system.dat").
    QString includeText() const;
    QString excludeText() const;

    /// True when at least one non-empty include matches the full path and no non-empty exclude does.
    bool takesFile(const QString& fullPath) const;
};
