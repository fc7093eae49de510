// The include/exclude rule: the whole-path wildcard match, the filter built on it, the loading of a row's
// pattern texts and the ten stored patterns.
#include "TestSupport.h"
#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "sets/Patterns.h"

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

TEST(WildcardMatch, StarAndWholePath) {
    expectMatches({
        {"*.*", "/data/report.txt", true},
        {"*.*", "/data/README", false},          // no dot anywhere
        {"*.*", "/data.old/README", true},       // the folder's dot is enough
        {"*.tmp", "/a/b.tmp", true},
        {"*.tmp", "/a/b.tmp.bak", false},        // the pattern must reach the end of the path
        {"*.doc", "/a/x.doc.txt", false},
        {"/a", "/a/b", false},                   // nor may the path go on after the pattern
        {"a*", "ba", false},                     // nor start before it
        {"/home/*.doc", "/home/sub/deeper/x.doc", true}, // "*" runs across folders
        {"*", "", true},
        {"*", "/any/path at all", true},
        {"", "", true},
        {"", "/a", false},
        {"**.txt", "a.txt", true},
        {"*.tar.gz", "/x.tar.tar.gz", true},     // needs the star to give back what it took
        {"*ab", "aab", true},
        {"*a*b*c", "/xaxbxc", true},
        {"*a*b*c", "/xaxcxb", false},
        {"*a*b*c*", "/cba", false},
    });
}

TEST(WildcardMatch, PatternWithoutWildcardsIsTheWholePath) {
    expectMatches({
        {"system.dat", "/windows/system.dat", false}, // never a file found under a folder
        {"system.dat", "system.dat", true},
        {"*/system.dat", "/windows/system.dat", true},
        {"*/system.dat", "/windows/mysystem.dat", false},
    });
}

TEST(WildcardMatch, CaseIsIgnored) {
    expectMatches({
        {"*.TMP", "/a/b.tmp", true},
        {"*.tmp", "/A/B.TMP", true},
        {"*/SYSTEM.DAT", "/windows/system.dat", true},
        {"*ÄRGER*", "/x/ärger.txt", true},
    });
}

TEST(WildcardMatch, QuestionMarkAndDigit) {
    expectMatches({
        {"?", "a", true},
        {"?", "", false},
        {"?", "ab", false},
        {"/a/?.txt", "/a/b.txt", true},
        {"/a/?.txt", "/a/bc.txt", false},
        {"a?b", "a/b", true}, // "?" takes a "/" as well
        {"*?", "", false},
        {"*?", "a", true},
        {"/log/file#.log", "/log/file7.log", true},
        {"/log/file#.log", "/log/filex.log", false},
        {"/log/file#.log", "/log/file12.log", false},
        {"##", "12", true},
        {"#", "a", false},
        {"#", "#", false},
        {"#", "٣", false}, // only 0 to 9
        {"*#", "/x/backup3", true},
    });
}

TEST(WildcardMatch, ListsRangesAndNegation) {
    expectMatches({
        {"[abc]", "b", true},
        {"[abc]", "B", true}, // case ignored in lists too
        {"[ABC]", "b", true},
        {"[abc]", "d", false},
        {"[abc]", "", false},
        {"[abc]", "ab", false}, // a list takes exactly one character
        {"[!abc]", "d", true},
        {"[!abc]", "a", false},
        {"[!abc]", "A", false},
        {"[!abc]", "", false},
        {"[a-c]x", "bx", true},
        {"[a-c]x", "dx", false},
        {"[a-c]", "B", true},
        {"[A-C]", "b", true},
        {"[0-9]", "5", true},
        {"[!0-9]", "5", false},
        {"[!0-9]", "x", true},
        {"[a-cx-z]", "y", true},
        {"[a-cx-z]", "m", false},
        {"[ä-ö]", "Ö", true},
        {"[z-a]", "m", false}, // a reversed range names nothing
        {"[-a]", "-", true},  // "-" at either end stands for itself
        {"[a-]", "-", true},
        {"[a-]", "b", false},
        {"[!-]", "-", false},
        {"[*]", "*", true},   // wildcards inside a list are plain characters
        {"[*]", "a", false},
        {"[?]", "?", true},
        {"[?]", "x", false},
        {"[#]", "#", true},
        {"[#]", "1", false},
        {"[[]", "[", true},
        {"[!]", "x", true},  // not in an empty list: any one character
        {"[!]", "", false},
        {"[]", "x", false},  // in an empty list: none
        {"*.[ch]", "/src/main.c", true},
        {"*.[ch]", "/src/main.H", true},
        {"*.[ch]", "/src/main.cpp", false},
        {"*[!~]", "/a/notes.txt~", false},
        {"*[!~]", "/a/notes.txt", true},
        {"*]", "/a]", true},  // a lone "]" is itself
    });
}

TEST(WildcardMatch, UnbalancedBracketIsAPlainBracket) {
    expectMatches({
        {"[abc", "[abc", true},
        {"[abc", "a", false},
        {"a[", "a[", true},
        {"a[", "a", false},
        {"[", "[", true},
        {"[!x", "[!x", true},
        {"*[", "/x/y[", true},
        {"*[*", "/a[b", true},
        {"*[*", "/ab", false},
        {"[a-", "[a-", true},
        {"[a]*[", "a.txt[", true}, // a closed list before an open one
        {"[a]*[", "a.txt", false},
    });
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

TEST(CurrentPatterns, TakesFileWithTheDefaults) {
    const CurrentPatterns p = patterns({"*.*"}, {"*.tmp", "*.swp", "system.dat"});
    EXPECT_TRUE(p.takesFile("/data/report.doc"));
    EXPECT_FALSE(p.takesFile("/data/report.tmp"));
    EXPECT_FALSE(p.takesFile("/data/.notes.txt.swp"));
    EXPECT_FALSE(p.takesFile("/data/README"));
    EXPECT_TRUE(p.takesFile("/data.old/README"));
    // "system.dat" is the whole path, so the file under a folder is still taken.
    EXPECT_TRUE(p.takesFile("/windows/system.dat"));
    EXPECT_FALSE(patterns({"*.*"}, {"*/system.dat"}).takesFile("/windows/SYSTEM.DAT"));
}

TEST(CurrentPatterns, EmptyIncludesTakeNothing) {
    const CurrentPatterns none = patterns({}, {});
    EXPECT_FALSE(none.takesFile("/a/b.txt"));
    EXPECT_FALSE(none.takesFile(""));
    // An empty value takes no part at all: it neither includes the empty path nor excludes it.
    EXPECT_FALSE(patterns({"", "*.doc"}, {}).takesFile(""));
    EXPECT_TRUE(patterns({"*"}, {"", ""}).takesFile(""));
}

TEST(CurrentPatterns, AnyIncludeAndEveryExcludeCount) {
    const CurrentPatterns p = patterns({"*.doc", "", "*.xls"}, {"", "*/old/*", "", "", "*~*"});
    EXPECT_TRUE(p.takesFile("/work/plan.doc"));
    EXPECT_TRUE(p.takesFile("/work/sums.XLS"));
    EXPECT_FALSE(p.takesFile("/work/plan.txt"));
    EXPECT_FALSE(p.takesFile("/work/old/plan.doc"));  // exclude 2
    EXPECT_FALSE(p.takesFile("/work/plan~1.doc"));    // exclude 5
    EXPECT_FALSE(patterns({"*.*"}, {"*.TMP"}).takesFile("/a/b.tmp"));
}

struct RowCase {
    const char* text;
    std::array<const char*, 5> expected;
};

TEST(CurrentPatterns, LoadRowPatternsTakesWordsFromTheRight) {
    const std::vector<RowCase> cases = {
        {"a b c", {"c", "b", "a", "", ""}},
        {"*.doc  *.xls", {"*.xls", "*.doc", "", "", ""}},
        {"a b c d e", {"e", "d", "c", "b", "a"}},
        {"a b c d e f", {"f", "e", "d", "c", "b"}},
        {"w1 w2 w3 w4 w5 w6 w7", {"w7", "w6", "w5", "w4", "w3"}},
        {"  *.*  ", {"*.*", "", "", "", ""}},
        {"*.tmp  *.swp  system.dat", {"system.dat", "*.swp", "*.tmp", "", ""}},
        {"x     y", {"y", "x", "", "", ""}},
        {"", {"", "", "", "", ""}},
        {"    ", {"", "", "", "", ""}},
    };
    for (const RowCase& c : cases) {
        CurrentPatterns p = patterns({"old1", "old2", "old3", "old4", "old5"}, {"keep"});
        p.loadRowPatterns(QString::fromUtf8(c.text), QString());
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(p.include[i], QString::fromUtf8(c.expected[i])) << "text \"" << c.text << "\" value " << i + 1;
        for (const QString& e : p.exclude) EXPECT_TRUE(e.isEmpty()) << "excludes are emptied too";
    }
}

TEST(CurrentPatterns, LoadRowPatternsFillsBothSides) {
    CurrentPatterns p;
    p.loadRowPatterns("*.doc  *.xls", "*.tmp  *.swp  system.dat");
    EXPECT_EQ(p.include[0], "*.xls");
    EXPECT_EQ(p.include[1], "*.doc");
    EXPECT_EQ(p.exclude[0], "system.dat");
    EXPECT_EQ(p.exclude[1], "*.swp");
    EXPECT_EQ(p.exclude[2], "*.tmp");
    EXPECT_EQ(p.exclude[3], "");
    EXPECT_TRUE(p.takesFile("/a/b.doc"));
    EXPECT_FALSE(p.takesFile("/a/b.txt"));
}

TEST(CurrentPatterns, PatternTextsJoinTheUsedValues) {
    EXPECT_EQ(patterns({"*.*"}, {}).includeText(), "*.*");
    EXPECT_EQ(patterns({"*.*"}, {}).excludeText(), "");
    EXPECT_EQ(patterns({}, {"*.tmp", "*.swp", "system.dat"}).excludeText(), "*.tmp  *.swp  system.dat");
    EXPECT_EQ(patterns({"", "a", "", "b", ""}, {}).includeText(), "a  b");
    EXPECT_EQ(patterns({" a", "b "}, {}).includeText(), "a  b");
    // The texts read back to the same values, taken from the right.
    CurrentPatterns p = patterns({"*.doc", "*.xls"}, {"*.tmp"});
    CurrentPatterns back;
    back.loadRowPatterns(p.includeText(), p.excludeText());
    EXPECT_EQ(back.include[0], "*.xls");
    EXPECT_EQ(back.include[1], "*.doc");
    EXPECT_EQ(back.exclude[0], "*.tmp");
}

TEST(StoredPatterns, KeysAndDefaults) {
    EXPECT_EQ(patternKey(1), "Pattern01");
    EXPECT_EQ(patternKey(9), "Pattern09");
    EXPECT_EQ(patternKey(10), "Pattern10");
    const char* readers[] = {"*.*", "", "", "", "", "*.tmp", "*.swp", "system.dat", "", ""};
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(patternDefault(n, false), QString(readers[n - 1])) << n;
        EXPECT_EQ(patternDefault(n, true), n == 9 ? QString("pagefile.sys") : QString(readers[n - 1])) << n;
    }
}

TEST(StoredPatterns, FromSettingsUsesTheDefaultsOnlyForMissingKeys) {
    CRegSettings settings("Brindlecot", "SetsPatternsFromSettings");
    const CurrentPatterns fresh = CurrentPatterns::fromSettings(settings);
    EXPECT_EQ(fresh.include[0], "*.*");
    EXPECT_EQ(fresh.exclude[0], "*.tmp");
    EXPECT_EQ(fresh.exclude[1], "*.swp");
    EXPECT_EQ(fresh.exclude[2], "system.dat");
    EXPECT_EQ(fresh.exclude[3], "");
    EXPECT_EQ(CurrentPatterns::fromSettings(settings, true).exclude[3], "pagefile.sys");

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
        EXPECT_EQ(settings.GetSetting(kSettingsSection, patternKey(i + 1), "missing"), typed.include[i]) << i;
        EXPECT_EQ(settings.GetSetting(kSettingsSection, patternKey(i + 6), "missing"), typed.exclude[i]) << i;
    }
    CRegSettings again("Brindlecot", "SetsPatternsStore");
    const CurrentPatterns back = CurrentPatterns::fromSettings(again);
    EXPECT_EQ(back.include, typed.include);
    EXPECT_EQ(back.exclude, typed.exclude);
}

} // namespace
