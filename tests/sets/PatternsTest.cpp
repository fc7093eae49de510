// The include/exclude rule: the whole-path wildcard match, the filter built on it, the loading of a row's
// pattern texts and the ten stored patterns.
#include "sets/Patterns.h"
#include "TestSupport.h"

namespace {

// Whole-path match: "*" runs across folders, "?" takes any one character (a "/" too), "#" one digit 0-9, lists
// with ranges and "!" take one character, case is ignored, and an unbalanced "[" is a plain bracket.
TEST(WildcardMatch, Table) {
    const struct {
        const char *pattern, *text;
        bool expected;
    } cases[] = {
        // clang-format off
        // No dot anywhere; the folder's dot is enough; the pattern must reach the end of the path.
        {"*.*", "/data/report.txt", true}, {"*.*", "/data/README", false}, {"*.*", "/data.old/README", true},
        // Nor may the path go on after the pattern, nor start before it; "*" runs across folders.
        {"*.tmp", "/a/b.tmp.bak", false}, {"/a", "/a/b", false}, {"a*", "ba", false},
        {"/home/*.doc", "/home/sub/deeper/x.doc", true},
        {"*", "", true}, {"", "", true}, {"", "/a", false}, {"**.txt", "a.txt", true},
        // The first needs the star to give back what it took.
        {"*.tar.gz", "/x.tar.tar.gz", true}, {"*a*b*c", "/xaxbxc", true}, {"*a*b*c", "/xaxcxb", false},
        // "system.dat" is never a file found under a folder.
        {"*a*b*c*", "/cba", false}, {"system.dat", "/windows/system.dat", false},
        {"*/system.dat", "/windows/system.dat", true}, {"*/system.dat", "/windows/mysystem.dat", false},
        {"*.TMP", "/a/b.tmp", true}, {"*ÄRGER*", "/x/ärger.txt", true},
        // "?" takes a "/" as well.
        {"?", "", false}, {"?", "ab", false}, {"/a/?.txt", "/a/b.txt", true}, {"a?b", "a/b", true},
        {"*?", "", false}, {"/log/file#.log", "/log/file7.log", true}, {"/log/file#.log", "/log/filex.log", false},
        // "#" is only 0 to 9; case is ignored in lists too.
        {"/log/file#.log", "/log/file12.log", false}, {"#", "#", false}, {"#", "٣", false}, {"[abc]", "B", true},
        // A list takes exactly one character.
        {"[abc]", "d", false}, {"[abc]", "", false}, {"[abc]", "ab", false},
        {"[!abc]", "d", true}, {"[!abc]", "A", false}, {"[!abc]", "", false},
        {"[a-c]x", "bx", true}, {"[a-c]x", "dx", false}, {"[A-C]", "b", true}, {"[!0-9]", "5", false},
        // A reversed range names nothing.
        {"[a-cx-z]", "y", true}, {"[a-cx-z]", "m", false}, {"[ä-ö]", "Ö", true}, {"[z-a]", "m", false},
        // "-" at either end stands for itself.
        {"[-a]", "-", true}, {"[a-]", "-", true}, {"[a-]", "b", false},
        // Wildcards inside a list are plain characters.
        {"[*]", "*", true}, {"[*]", "a", false}, {"[?]", "x", false}, {"[#]", "1", false}, {"[[]", "[", true},
        // Not in an empty list: any one character; in an empty list: none.
        {"[!]", "x", true}, {"[]", "x", false},
        {"*.[ch]", "/src/main.H", true}, {"*.[ch]", "/src/main.cpp", false}, {"*[!~]", "/a/notes.txt~", false},
        // A lone "]" is itself.
        {"*]", "/a]", true},
        {"[abc", "[abc", true}, {"[abc", "a", false}, {"a[", "a[", true}, {"*[*", "/a[b", true}, {"*[*", "/ab", false},
        // A closed list before an open one.
        {"[a]*[", "a.txt[", true}, {"[a]*[", "a.txt", false},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(wildcardMatch(QString::fromUtf8(c.pattern), QString::fromUtf8(c.text)), c.expected)
            << "pattern \"" << c.pattern << "\" against \"" << c.text << "\"";
}

TEST(CurrentPatterns, LoadRowPatternsTakesWordsFromTheRight) {
    const std::pair<const char*, std::array<QString, 5>> cases[] = {
        {"a b c d e", {"e", "d", "c", "b", "a"}},
        {"w1 w2 w3 w4 w5 w6 w7", {"w7", "w6", "w5", "w4", "w3"}},
        {"  *.*  ", {"*.*", "", "", "", ""}},
        {"x     y", {"y", "x", "", "", ""}},
        {"    ", {"", "", "", "", ""}}};
    for (const auto& [text, expected] : cases) {
        CurrentPatterns p;
        p.include = {"old1", "old2", "old3", "old4", "old5"};
        p.exclude = {"keep"};
        p.loadRowPatterns(QString::fromUtf8(text), QString());
        EXPECT_EQ(p.include, expected) << text;
        EXPECT_EQ(p.exclude, (std::array<QString, 5>{})) << "excludes are emptied too";
    }
}

} // namespace
