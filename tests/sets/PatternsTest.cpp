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

CurrentPatterns patterns(std::array<QString, 5> include, std::array<QString, 5> exclude) {
    CurrentPatterns p;
    p.include = include;
    p.exclude = exclude;
    return p;
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

} // namespace
