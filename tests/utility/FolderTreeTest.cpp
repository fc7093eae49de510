#include "utility/FolderTree.h"
#include "UtilityTestHelpers.h"

#include <fcntl.h>
#include <map>

static const CancelToken never;

static std::vector<FolderRecord> list(const QString& root) {
    std::vector<FolderRecord> out;
    listFolderTree(root, out, never);
    return out;
}

// Mended: folders that could not be opened and entries whose status could not be read vanished silently.
TEST(FolderTreeEdges, WhatCannotBeOpenedOrReadCarriesItsError) {
    // As "nobody": closed/ cannot be opened; blind/ can be read but its entries' status cannot; a closed root is
    // listed itself. Nothing of them is dropped without its error.
    TempDir dir;
    writeFile(dir.file("tree/closed/inside.txt"), "x");
    writeFile(dir.file("tree/blind/unseen.txt"), "y");
    writeFile(dir.file("tree/open.txt"), "z");
    for (const auto& [path, mode] : {std::pair{"", 0755}, {"tree", 0755}, {"tree/closed", 0700}, {"tree/blind", 0744}})
        setMode(dir.file(path), mode_t(mode));
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

// 1,200 files in 2 x 2 folders, made in memory where the system offers it: on a disk busy with builds, making and
// removing many files takes long.
TEST(FolderTreeProgress, ReportsEveryStepFilesAndStopsRightAfterACancel) {
    QTemporaryDir dir(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/varnhold-test-XXXXXX" : QString());
    for (int a = 0; a < 4; ++a) {
        const QString folder = dir.filePath(QString("d%1/s%2/").arg(a / 2).arg(a % 2));
        QDir().mkpath(folder);
        for (int c = 0; c < 300; ++c)
            ::close(::open(QFile::encodeName(folder + QString::number(c)), O_WRONLY | O_CREAT, 0644));
    }
    std::vector<FolderRecord> out;
    CancelToken cancel;
    std::vector<qint64> reports;
    ASSERT_TRUE(listFolderTree(dir.path(), out, cancel, [&](qint64 n) { reports.push_back(n); }));
    EXPECT_EQ(reports, (std::vector<qint64>{500, 1000})); // folders do not count
    EXPECT_EQ(out.size(), 1200u + 6u);

    out.clear();
    reports.clear();
    auto cancelAt200 = [&](qint64 n) {
        reports.push_back(n);
        if (n == 200) cancel.cancel();
    };
    EXPECT_FALSE(listFolderTree(dir.path(), out, cancel, cancelAt200, 100));
    EXPECT_EQ(reports, (std::vector<qint64>{100, 200}));
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](const FolderRecord& r) { return !r.isFolder; }), 200);
    EXPECT_TRUE(cancel.cancelled()) << "the listing only reads the token";
}
