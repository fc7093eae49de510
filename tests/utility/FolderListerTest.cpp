#include "TestSupport.h"
#include "UtilityTestHelpers.h"
#include "utility/FolderTree.h"
#include "utility/NativePath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>

using namespace testsupport;

namespace {

const CancelToken never;

std::vector<FolderRecord> list(const QString& root) {
    std::vector<FolderRecord> out;
    listFolderTree(root, out, never);
    return out;
}

// Records keyed by their path below root ("sub/", "sub/b.bin").
std::map<QString, FolderRecord> listRelative(const QString& root) {
    const std::vector<FolderRecord> out = list(root);
    const qsizetype base = QDir::cleanPath(root).size() + 1;
    std::map<QString, FolderRecord> map;
    for (const FolderRecord& r : out)
        map.emplace(r.path.mid(base), r);
    return map;
}

qint64 utcMs(int year, int msec) {
    return QDateTime(QDate(year, 2, 3), QTime(4, 5, 6, msec), Qt::UTC).toMSecsSinceEpoch();
}

// A small tree with every kind of entry the listing describes.
class FolderListerTree : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"a.txt", ".hidden", "sub/deeper/c.txt", ".hiddenDir/d.txt", "Grüße ü.txt"})
            writeFile(m_dir.file(name), name);
        writeFile(m_dir.file("sub/b.bin"), randomBytes(1000));
        QFile::link("sub", m_dir.file("link"));  // to a folder: not to be entered
        QFile::link("..", m_dir.file("sub/up")); // a loop
        QFile::link("nowhere", m_dir.file("dangling"));
        setMode(m_dir.path(), 0755); // for the unprivileged child
    }
    TempDir m_dir;
};

} // namespace

TEST_F(FolderListerTree, ListsAndDescribesEveryEntryOnce) {
    const timespec times[2] = {{time_t(utcMs(2011, 170) / 1000), 170000000},
                               {time_t(utcMs(2001, 789) / 1000), 789000000}};
    utimensat(AT_FDCWD, QFile::encodeName(m_dir.file("a.txt")).constData(), times, 0);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const auto map = listRelative(m_dir.path() + "/"); // a trailing "/" changes nothing

    QStringList paths;
    for (const auto& [relative, r] : map) {
        paths << relative;
        EXPECT_EQ(r.path, m_dir.path() + "/" + relative);
        EXPECT_EQ(r.isFolder, relative.endsWith('/')) << relative.toStdString();
    }
    // Once each: the links were not followed, the loop repeated nothing.
    EXPECT_EQ(paths, QStringList({".hidden", ".hiddenDir/", ".hiddenDir/d.txt", "Grüße ü.txt", "a.txt", "dangling",
                                  "link", "sub/", "sub/b.bin", "sub/deeper/", "sub/deeper/c.txt", "sub/up"}));
    EXPECT_EQ(listRelative(m_dir.file("link")).size(), 4u); // a root the user chose is followed, if a link
    EXPECT_EQ(map.at("sub/b.bin").size, 1000);
    EXPECT_EQ(map.at("Grüße ü.txt").size, 14); // the name as UTF-8 bytes, its own content
    EXPECT_EQ(map.at("link").size, 3);         // the link itself: its text "sub"
    EXPECT_TRUE(map.at(".hidden").isHidden && map.at(".hiddenDir/").isHidden);
    EXPECT_FALSE(map.at(".hiddenDir/d.txt").isHidden || map.at("a.txt").isHidden);
    for (const char* link : {"link", "sub/up", "dangling"})
        EXPECT_TRUE(map.at(link).isSymLink && !map.at(link).isFolder) << link;

    const FolderRecord& a = map.at("a.txt");
    EXPECT_EQ(a.modifiedMs, utcMs(2001, 789));
    EXPECT_EQ(a.accessedMs, utcMs(2011, 170));
    EXPECT_EQ(a.modified(), QDateTime::fromMSecsSinceEpoch(utcMs(2001, 789)));
    EXPECT_NEAR(double(a.createdMs), double(now), 10000.0); // made just now, whatever its modified time says
}

TEST_F(FolderListerTree, ReadOnlyAndUnreadableAsTheKernelSeesThem) {
    setMode(m_dir.file("sub/deeper"), 0700);
    setMode(m_dir.file("a.txt"), 0666);
    if (runningAsRoot()) { // owner, group and other bits each decide for some file of the unprivileged child
        const std::tuple<const char*, uid_t, gid_t, mode_t> owned[] = {{"own-rw", 65534, 0, 0644},
                                                                       {"own-ro", 65534, 0, 0464},
                                                                       {"group-rw", 0, 65534, 0464},
                                                                       {"group-ro", 0, 65534, 0646}};
        for (const auto& [name, uid, gid, mode] : owned) {
            writeFile(m_dir.file(name), name);
            ASSERT_EQ(chown(QFile::encodeName(m_dir.file(name)).constData(), uid, gid), 0);
            setMode(m_dir.file(name), mode);
        }
    }
    const QString root = m_dir.path();
    auto check = [root] {
        std::vector<FolderRecord> out;
        if (!listFolderTree(root, out, never)) return 1;
        bool sawDeeper = false;
        for (const FolderRecord& r : out) {
            const bool writable = access(QFile::encodeName(r.path).constData(), W_OK) == 0;
            if (!r.isSymLink && r.isReadOnly == writable) return 2; // access() would judge a link's target
            sawDeeper |= r.path.endsWith("/sub/deeper/");
            if (r.path.endsWith("/deeper/c.txt") && access(QFile::encodeName(root + "/sub/deeper").constData(), R_OK))
                return 3; // listed from a folder we cannot read
        }
        return sawDeeper && out.size() >= 12 ? 0 : 4; // the unreadable folder is itself listed, the rest too
    };
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(runUnprivileged(check), 0);
}

TEST(NativePathNames, EveryByteStringComesBackAsItWasAndShowsItsStrayBytes) {
    const std::tuple<QByteArray, bool, QString> cases[] = {
        {"plain.txt", false, "plain.txt"},
        {"caf\xc3\xa9.txt", false, QString::fromUtf8("caf\xc3\xa9.txt")},
        {"caf\xe9.txt", true, "caf\\xE9.txt"},
        {"\xed\xa0\x80", true, "\\xED\\xA0\\x80"},          // a surrogate written as UTF-8 is not text
        {"\xc0\xaf", true, "\\xC0\\xAF"},                   // an overlong "/"
        {"\xf4\x90\x80\x80", true, "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"end\xe2\x82", true, "end\\xE2\\x82"},             // cut short
    };
    for (const auto& [bytes, raw, shown] : cases) {
        const QString text = NativePath::decode(bytes);
        EXPECT_EQ(NativePath::encode(text), bytes) << bytes.toHex().constData();
        EXPECT_EQ(NativePath::hasRawBytes(text), raw) << bytes.toHex().constData();
        EXPECT_EQ(NativePath::display(text), shown) << bytes.toHex().constData();
    }
}

TEST(FolderListerEdges, WhatCannotBeOpenedOrReadCarriesItsError) {
    // As "nobody": closed/ cannot be opened; blind/ can be read but its entries' status cannot; a closed root is
    // listed itself. Nothing of them is dropped without its error.
    TempDir dir;
    writeFile(dir.file("tree/closed/inside.txt"), "x");
    writeFile(dir.file("tree/blind/unseen.txt"), "y");
    writeFile(dir.file("tree/open.txt"), "z");
    setMode(dir.path(), 0755);
    setMode(dir.file("tree"), 0755);
    setMode(dir.file("tree/closed"), 0700);
    setMode(dir.file("tree/blind"), 0744);
    const QString tree = dir.file("tree/");
    auto check = [tree] {
        std::map<QString, int> errors;
        for (const FolderRecord& r : list(tree))
            errors[r.path.mid(tree.size())] = r.error;
        const std::map<QString, int> expected{
            {"blind/", 0}, {"blind/unseen.txt", EACCES}, {"closed/", EACCES}, {"open.txt", 0}};
        if (errors != expected) return 2;
        const std::vector<FolderRecord> out = list(tree + "closed");
        return out.size() == 1 && out[0].path == tree + "closed/" && out[0].isFolder && out[0].error == EACCES ? 0 : 4;
    };
    EXPECT_EQ(runUnprivileged(check), 0);
}

TEST(FolderListerEdges, MissingEmptyOrPlainRootListsNothing) {
    TempDir dir;
    writeFile(dir.file("plain"), "not a folder");
    QDir().mkpath(dir.file("empty"));
    for (const QString& root : {dir.file("missing"), dir.file("empty"), dir.file("plain"), QString()}) {
        std::vector<FolderRecord> out;
        EXPECT_TRUE(listFolderTree(root, out, never));
        EXPECT_TRUE(out.empty());
    }
}

namespace {

// Trees with many files, made once per run and in memory where the system offers it: on a disk busy with
// builds, making and removing tens of thousands of files takes many seconds.
struct BigTree {
    QTemporaryDir dir{QFileInfo("/dev/shm").isWritable() ? "/dev/shm/varnhold-test-XXXXXX" : QString()};
    qint64 files = 0, folders = 0, bytes = 0;

    BigTree(int top, int sub, int perFolder) {
        for (int a = 0; a < top * sub; ++a) {
            const QString folder = dir.filePath(QString("d%1/s%2/").arg(a / sub).arg(a % sub));
            QDir().mkpath(folder);
            for (int c = 0; c < perFolder; ++c, ++files) {
                const int fd = ::open(QFile::encodeName(folder + QString::number(c)), O_WRONLY | O_CREAT, 0644);
                bytes += ::write(fd, "0123456789abc", size_t(c % 13));
                ::close(fd);
            }
        }
        folders = qint64(top) * (sub + 1);
    }
    QString path() const { return dir.path(); }
};

const BigTree& bigTree() {
    static const BigTree tree(30, 10, 100); // 30,000 files
    return tree;
}

const BigTree& smallTree() {
    static const BigTree tree(2, 2, 300); // 1,200 files
    return tree;
}

} // namespace

TEST(FolderListerProgress, ReportsEveryStepFilesAndStopsRightAfterACancel) {
    std::vector<FolderRecord> out;
    CancelToken cancel;
    std::vector<qint64> reports;
    ASSERT_TRUE(listFolderTree(smallTree().path(), out, cancel, [&](qint64 n) { reports.push_back(n); }));
    EXPECT_EQ(reports, (std::vector<qint64>{500, 1000})); // folders do not count
    EXPECT_EQ(qint64(out.size()), smallTree().files + smallTree().folders);

    out.clear();
    reports.clear();
    auto cancelAt200 = [&](qint64 n) {
        reports.push_back(n);
        if (n == 200) cancel.cancel();
    };
    EXPECT_FALSE(listFolderTree(smallTree().path(), out, cancel, cancelAt200, 100));
    EXPECT_EQ(reports, (std::vector<qint64>{100, 200}));
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](const FolderRecord& r) { return !r.isFolder; }), 200);
    EXPECT_TRUE(cancel.cancelled()) << "the listing only reads the token";
}

// Its speed against find is measured in bench/ (scan_bench), not here, where other work shares the machine.
TEST(FolderListerBigTree, AgreesWithFind) {
    if (!haveTool("find")) GTEST_SKIP() << "find is not installed";
    const BigTree& tree = bigTree();
    const std::vector<FolderRecord> out = list(tree.path());
    const ToolRun find = runTool("find", {tree.path(), "-type", "f", "-printf", "%s\n"});
    ASSERT_EQ(find.exitCode, 0);
    qint64 files = 0, bytes = 0, findBytes = 0;
    for (const FolderRecord& r : out)
        files += !r.isFolder, bytes += r.size;
    for (const QString& size : find.out.split('\n', Qt::SkipEmptyParts))
        findBytes += size.toLongLong();
    EXPECT_EQ(QList<qint64>({files, find.out.count('\n'), bytes, findBytes}),
              QList<qint64>({tree.files, tree.files, tree.bytes, tree.bytes}));
}
