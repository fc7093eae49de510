// The include/exclude rule: the whole-path wildcard match, the filter built on it, the loading of a row's
// pattern texts and the ten stored patterns.
#include "sets/Patterns.h"
#include "TestSupport.h"
#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase {
    const char* pattern;
    const char* text;
    bool expected;
};

void expectMatches(const std::vector<MatchCase>& cases) {
    for (const MatchCase& c : cases) {
        const QString pattern = QString::fromUtf8(c.pattern);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(wildcardMatch(pattern, text), c.expected)
            << "pattern \"" << c.pattern << "\" against \"" << c.text << "\"";
    }
}

// Whole-path match: "*" runs across folders, "?" takes any one character (a "/" too), "#" one digit 0-9, lists
// with ranges and "!" take one character, case is ignored, and an unbalanced "[" is a plain bracket.
TEST(WildcardMatch, Table) {
    // clang-format off
    expectMatches({
        {"*.*", "/data/report.txt", true},
        {"*.*", "/data/README", false}, // no dot anywhere
        {"*.*", "/data.old/README", true}, // the folder's dot is enough
        {"*.tmp", "/a/b.tmp.bak", false}, // the pattern must reach the end of the path
        {"/a", "/a/b", false}, // nor may the path go on after the pattern
        {"a*", "ba", false}, // nor start before it
        {"/home/*.doc", "/home/sub/deeper/x.doc", true}, // "*" runs across folders
        {"*", "", true}, {"", "", true}, {"", "/a", false}, {"**.txt", "a.txt", true},
        {"*.tar.gz", "/x.tar.tar.gz", true}, // needs the star to give back what it took
        {"*a*b*c", "/xaxbxc", true}, {"*a*b*c", "/xaxcxb", false}, {"*a*b*c*", "/cba", false},
        {"system.dat", "/windows/system.dat", false}, // never a file found under a folder
        {"*/system.dat", "/windows/system.dat", true}, {"*/system.dat", "/windows/mysystem.dat", false},
        {"*.TMP", "/a/b.tmp", true}, {"*ÄRGER*", "/x/ärger.txt", true},
        {"?", "", false}, {"?", "ab", false}, {"/a/?.txt", "/a/b.txt", true},
        {"a?b", "a/b", true}, // "?" takes a "/" as well
        {"*?", "", false}, {"/log/file#.log", "/log/file7.log", true}, {"/log/file#.log", "/log/filex.log", false},
        {"/log/file#.log", "/log/file12.log", false}, {"#", "#", false},
        {"#", "٣", false}, // only 0 to 9
        {"[abc]", "B", true}, // case ignored in lists too
        {"[abc]", "d", false}, {"[abc]", "", false},
        {"[abc]", "ab", false}, // a list takes exactly one character
        {"[!abc]", "d", true}, {"[!abc]", "A", false}, {"[!abc]", "", false},
        {"[a-c]x", "bx", true}, {"[a-c]x", "dx", false}, {"[A-C]", "b", true}, {"[!0-9]", "5", false},
        {"[a-cx-z]", "y", true}, {"[a-cx-z]", "m", false}, {"[ä-ö]", "Ö", true},
        {"[z-a]", "m", false}, // a reversed range names nothing
        {"[-a]", "-", true}, // "-" at either end stands for itself
        {"[a-]", "-", true}, {"[a-]", "b", false},
        {"[*]", "*", true}, // wildcards inside a list are plain characters
        {"[*]", "a", false}, {"[?]", "x", false}, {"[#]", "1", false}, {"[[]", "[", true},
        {"[!]", "x", true}, // not in an empty list: any one character
        {"[]", "x", false}, // in an empty list: none
        {"*.[ch]", "/src/main.H", true}, {"*.[ch]", "/src/main.cpp", false}, {"*[!~]", "/a/notes.txt~", false},
        {"*]", "/a]", true}, // a lone "]" is itself
        {"[abc", "[abc", true}, {"[abc", "a", false}, {"a[", "a[", true}, {"*[*", "/a[b", true}, {"*[*", "/ab", false},
        {"[a]*[", "a.txt[", true}, // a closed list before an open one
        {"[a]*[", "a.txt", false},
    });
    // clang-format on
}

TEST(WildcardMatch, LongPathsWithManyStarsFinish) {
    // The walk is linear in the path for a single star and never explodes with several; a path of a few
    // thousand characters against a pattern that fails late is the costly case.
    const QString path = "/" + QString(4000, u'a') + "b";
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*c", path));
    EXPECT_TRUE(wildcardMatch("*a*a*a*a*a*b", path));
}

CurrentPatterns patterns(std::array<QString, 5> include, std::array<QString, 5> exclude) {
    CurrentPatterns p;
    p.include = include;
    p.exclude = exclude;
    return p;
}

TEST(CurrentPatterns, TakesAFileThatAnIncludeAndNoExcludeMatches) {
    const CurrentPatterns defaults = patterns({"*.*"}, {"*.tmp", "*.swp", "system.dat"});
    const CurrentPatterns mixed = patterns({"*.doc", "", "*.xls"}, {"", "*/old/*", "", "", "*~*"});
    const struct {
        CurrentPatterns p;
        const char* path;
        bool taken;
    } cases[] = {// clang-format off
        {defaults, "/data/report.doc", true}, {defaults, "/data/report.tmp", false},
        {defaults, "/data/README", false},
        {defaults, "/windows/system.dat", true}, // "system.dat" is the whole path
        {patterns({}, {}), "", false}, // empty includes take nothing
        // An empty value takes no part: it neither includes the empty path nor excludes it.
        {patterns({"", "*.doc"}, {}), "", false}, {patterns({"*"}, {"", ""}), "", true},
        {mixed, "/work/sums.XLS", true}, {mixed, "/work/plan.txt", false}, {mixed, "/work/old/plan.doc", false},
        {mixed, "/work/plan~1.doc", false}, // every exclude counts
        {patterns({"*.*"}, {"*.TMP"}), "/a/b.tmp", false}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(c.p.takesFile(c.path), c.taken) << c.path;
}

TEST(CurrentPatterns, LoadRowPatternsTakesWordsFromTheRight) {
    const std::pair<const char*, std::array<QString, 5>> cases[] = {
        {"a b c d e", {"e", "d", "c", "b", "a"}},
        {"w1 w2 w3 w4 w5 w6 w7", {"w7", "w6", "w5", "w4", "w3"}},
        {"  *.*  ", {"*.*", "", "", "", ""}},
        {"x     y", {"y", "x", "", "", ""}},
        {"    ", {"", "", "", "", ""}}};
    for (const auto& [text, expected] : cases) {
        CurrentPatterns p = patterns({"old1", "old2", "old3", "old4", "old5"}, {"keep"});
        p.loadRowPatterns(QString::fromUtf8(text), QString());
        EXPECT_EQ(p.include, expected) << text;
        EXPECT_EQ(p.exclude, (std::array<QString, 5>{})) << "excludes are emptied too";
    }
}

TEST(CurrentPatterns, RowTextsLoadBothSidesAndJoinBack) {
    using Five = std::array<QString, 5>;
    CurrentPatterns p;
    p.loadRowPatterns("*.doc  *.xls", "*.tmp  *.swp  system.dat");
    EXPECT_EQ(p.include, (Five{"*.xls", "*.doc", "", "", ""}));
    EXPECT_EQ(p.exclude, (Five{"system.dat", "*.swp", "*.tmp", "", ""}));
    EXPECT_EQ(patterns({}, {"*.tmp", "*.swp", "system.dat"}).excludeText(), "*.tmp  *.swp  system.dat");
    EXPECT_EQ(patterns({"", "a", "", "b", ""}, {}).includeText(), "a  b");
    EXPECT_EQ(patterns({" a", "b "}, {}).includeText(), "a  b");
    // The texts read back to the same values, taken from the right.
    CurrentPatterns written = patterns({"*.doc", "*.xls"}, {"*.tmp"}), back;
    back.loadRowPatterns(written.includeText(), written.excludeText());
    EXPECT_EQ(back.include, (Five{"*.xls", "*.doc", "", "", ""}));
    EXPECT_EQ(back.exclude, (Five{"*.tmp", "", "", "", ""}));
}

TEST(StoredPatterns, FromSettingsUsesTheDefaultsOnlyForMissingKeys) {
    CRegSettings settings("Brindlecot", "SetsPatternsFromSettings");
    const CurrentPatterns fresh = CurrentPatterns::fromSettings(settings);
    EXPECT_EQ(fresh.include, (std::array<QString, 5>{"*.*", "", "", "", ""}));
    EXPECT_EQ(fresh.exclude, (std::array<QString, 5>{"*.tmp", "*.swp", "system.dat", "", ""}));
    EXPECT_EQ(CurrentPatterns::fromSettings(settings, true).exclude[3], "pagefile.sys");
    EXPECT_EQ(OptionKeys::patternKey(9), "Pattern09");

    // A value stored empty stays empty: clearing include 1 must not bring "*.*" back.
    settings.SaveSetting(kSettingsSection, "Pattern01", "");
    settings.SaveSetting(kSettingsSection, "Pattern04", "*.odt");
    const CurrentPatterns stored = CurrentPatterns::fromSettings(settings);
    EXPECT_EQ(stored.include[0], "");
    EXPECT_EQ(stored.include[3], "*.odt");
    EXPECT_FALSE(stored.takesFile("/a/b.txt"));
    EXPECT_TRUE(stored.takesFile("/a/b.odt"));
}

TEST(StoredPatterns, StoreKeepsTextsAsTyped) {
    CRegSettings settings("Brindlecot", "SetsPatternsStore");
    const CurrentPatterns typed = patterns({"  *.doc *.xls ", "", "a,b", "", "[x"}, {"*.tmp", "", "", "", "*\\odd"});
    typed.store(settings);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(settings.GetSetting(kSettingsSection, OptionKeys::patternKey(i + 1), "missing"), typed.include[i])
            << i;
        EXPECT_EQ(settings.GetSetting(kSettingsSection, OptionKeys::patternKey(i + 6), "missing"), typed.exclude[i])
            << i;
    }
    CRegSettings again("Brindlecot", "SetsPatternsStore");
    const CurrentPatterns back = CurrentPatterns::fromSettings(again);
    EXPECT_EQ(back.include, typed.include);
    EXPECT_EQ(back.exclude, typed.exclude);
}

} // namespace
