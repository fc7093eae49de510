#include "utility/WorkFile.h"
#include "UtilityTestHelpers.h"

#include <csignal>

TEST(WorkFile, ALinkedTargetIsReplacedThroughTheLink) {
    TempDir dir;
    writeFile(dir.file("real/package.zip"), "old");
    setMode(dir.file("real/package.zip"), 0604);
    ASSERT_TRUE(QFile::link(dir.file("real/package.zip"), dir.file("link.zip")));
    Result<WorkFile> work = WorkFile::beside(dir.file("link.zip"));
    ASSERT_TRUE(work.ok());
    EXPECT_EQ(QFileInfo(work.value().path()).absolutePath(), dir.file("real"));
    ASSERT_TRUE(work.value().write("new") && work.value().commit());
    EXPECT_TRUE(QFileInfo(dir.file("link.zip")).isSymLink());
    EXPECT_EQ(readFile(dir.file("real/package.zip")), "new");
    EXPECT_EQ(modeOf(dir.file("real/package.zip")), 0604u);
}

TEST(WorkFile, ATargetWithALongNameGetsAWorkFileWhoseNameStaysValid) {
    // 125 two-byte characters: the name is cut by bytes, at a character boundary, with room for the mark.
    TempDir dir;
    Result<WorkFile> work = WorkFile::beside(dir.file(QString(125, QChar(0xE9))));
    ASSERT_TRUE(work.ok()) << work.message().toStdString();
    const QString name = QFileInfo(work.value().path()).fileName();
    EXPECT_LE(QFile::encodeName(name).size(), 255 - 7) << "room for libzip's suffix";
    EXPECT_TRUE(name.startsWith("." + QString(60, QChar(0xE9)) + ".vhw-")) << name.toStdString();
    EXPECT_EQ(WorkFiles::writerOf(name), ::getpid());
    EXPECT_NE(WorkFiles::nameBeside(QString("x")), WorkFiles::nameBeside(QString("x")));
}

TEST(WorkFile, SweepRemovesOnlyWorkFilesOfEndedRuns) {
    TempDir dir;
    // A process that has ended: its id is free once it was waited for.
    QProcess ended;
    ended.start("true", {});
    ASSERT_TRUE(ended.waitForFinished());
    const qint64 deadPid = ended.processId() > 0 ? ended.processId() : 999999;
    QProcess gone;
    gone.start("true", {});
    gone.waitForFinished();

    const QString stale = QStringLiteral(".pkg.zip.vhw-%1-1").arg(deadPid);
    const QString live = QStringLiteral(".pkg.zip.vhw-%1-2").arg(::getpid());
    const QString link = QStringLiteral(".l.vhw-%1-3").arg(deadPid);
    for (const QString& name : {stale, stale + ".X1b2C3", live, QString("pkg.zip"), QString(".hidden-user-file")})
        writeFile(dir.file(name), "x");
    ASSERT_TRUE(QFile::link(dir.file("pkg.zip"), dir.file(link)));

    // The pid of an ended process may be reused at once; only check the sweep when it was not.
    if (::kill(pid_t(deadPid), 0) == 0) GTEST_SKIP() << "process id reused";
    EXPECT_EQ(WorkFiles::sweepStale(dir.path()), 2);
    EXPECT_EQ(listTree(dir.path()), QStringList({".hidden-user-file", link, live, "pkg.zip"}));

    // A spanned rebuild's journal that waits to be completed holds the sweep back: the volumes it names stay.
    writeFile(dir.file(stale), "a new volume");
    const QString journal = QStringLiteral(".pkg.zip.rebuild-journal.vhw-%1-4").arg(deadPid);
    writeFile(dir.file(journal), "renames");
    EXPECT_EQ(WorkFiles::sweepStale(dir.path()), 0);
    EXPECT_TRUE(QFile::exists(dir.file(stale)));
    QFile::remove(dir.file(journal));
    if (::kill(pid_t(deadPid), 0) == 0) GTEST_SKIP() << "process id reused";
    EXPECT_EQ(WorkFiles::sweepStale(dir.path()), 1);
}
