#include "utility/FolderTree.h"
#include "TestSupport.h"
#include "UtilityTestHelpers.h"
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

} // namespace

// Mended: folders that could not be opened and entries whose status could not be read vanished silently.
TEST(FolderTreeEdges, WhatCannotBeOpenedOrReadCarriesItsError) {
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

TEST(FolderTreeEdges, MissingEmptyOrPlainRootListsNothing) {
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

const BigTree& smallTree() {
    static const BigTree tree(2, 2, 300); // 1,200 files
    return tree;
}

} // namespace

TEST(FolderTreeProgress, ReportsEveryStepFilesAndStopsRightAfterACancel) {
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
