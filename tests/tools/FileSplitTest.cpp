// The file splitter: the figures its dialog shows, the piece names, the merge files byte for byte, and splits that
// really join again with the script they leave.
#include "tools/FileSplit.h"

#include "TestSupport.h"

#include <QDir>

using namespace testsupport;

namespace {

const CancelToken never;

TEST(FileSplitTest, FiguresOfTheDialog) {
    for (const auto& [text, size] : std::vector<std::pair<QString, std::optional<qint64>>>{{"1457664", 1457664},
                                                                                           {"2.5", 2},
                                                                                           {"3.5", 4},
                                                                                           {"0", 1},
                                                                                           {"-5", 1},
                                                                                           {"abc", std::nullopt},
                                                                                           {"", std::nullopt}})
        EXPECT_EQ(splitPieceSize(text), size) << text.toStdString();
    for (const auto& [file, piece, count] :
         std::vector<std::tuple<qint64, qint64, qint64>>{{3000, 1000, 3},
                                                         {3001, 1000, 4},
                                                         {0, 1000, 0},
                                                         {999000, 1000, 999},
                                                         {999001, 1000, 1000},
                                                         {qint64(5) << 30, qint64(1) << 30, 5}})
        EXPECT_EQ(splitPieceCount(file, piece), count) << file << " / " << piece;
    for (const auto& [piece, speed, text] :
         std::vector<std::tuple<qint64, QString, QString>>{{1457664, "1", "6 min  45 sec"},
                                                           {1800, "1", "0 sec"},
                                                           {5400, "1", "2 sec"},
                                                           {4200, "2", "1 sec"},
                                                           {413000, "3", "59 sec"},
                                                           {qint64(3600) * 3723, "1", "1 hr  2 min  3 sec"}})
        EXPECT_EQ(splitTransferTime(piece, speed), text) << piece;
    const SplitNames names("report.final.zip");
    EXPECT_EQ(QStringList({names.base, names.piece(1), names.piece(12), names.piece(123), names.batchFile()}),
              QStringList({"report", "report.001", "report.012", "report.123", "report.bat"}));
}

TEST(FileSplitTest, PiecesJoinAgainAndTheMergeFilesSayHow) {
    TempDir dir;
    const QByteArray source = randomBytes(2500, 3);
    writeFile(dir.file("in/data.zip"), source);
    QDir().mkpath(dir.file("out"));
    std::vector<int> progress;
    const SplitResult r =
        SplitJob({dir.file("in/data.zip"), dir.file("out"), 1000}, [&](int p) { progress.push_back(p); }).run(never);
    ASSERT_TRUE(r.ok) << r.reason.toStdString();
    EXPECT_EQ(std::tuple(r.pieces, progress.back(), listTree(dir.file("out"))),
              std::tuple(3LL, 100, QStringList({"data.001", "data.002", "data.003", "data.bat", "data.sh"})));
    EXPECT_EQ(readFile(dir.file("out/data.001")) + readFile(dir.file("out/data.002")) +
                  readFile(dir.file("out/data.003")),
              source);
    EXPECT_EQ(readFile(dir.file("out/data.bat")),
              "@echo off\r\n:\r\n: This batch (.bat) file was created by Varnhold\r\n"
              ": Varnhold, the zip backup program for Linux\r\n:\r\n"
              ": Output file name: data.zip   Size: 2,500 bytes\r\n: Split file names: data.001-003\r\n:\r\n"
              ": Be sure the split files are in the same directory\r\n: as this batch (.bat) file.\r\n:\r\n"
              ": Double-click this batch (.bat) file to start the merge.\r\n:\r\n"
              "copy /b \"data.001\" \"data.zip\"\r\ncopy /b \"data.zip\"+\"data.002\"\r\n"
              "copy /b \"data.zip\"+\"data.003\"\r\necho File data.zip successfully merged.\r\n");
    const ToolRun joined = runTool(dir.file("out/data.sh"), {});
    EXPECT_EQ(std::pair(joined.exitCode, readFile(dir.file("out/data.zip"))), std::pair(0, source));
    QFile::remove(dir.file("out/data.002"));
    const ToolRun missing = runTool("sh", {dir.file("out/data.sh")});
    EXPECT_EQ(std::pair(missing.exitCode, missing.err.trimmed()),
              std::pair(1, QString("Split file data.002 is missing: nothing was merged.")));
}

TEST(FileSplitTest, AnEmptyFileGivesOnePieceAndWhatCannotBeDoneWritesNothing) {
    TempDir dir;
    writeFile(dir.file("empty.zip"), {});
    writeFile(dir.file("big.zip"), QByteArray(1000, 'x'));
    QDir().mkpath(dir.file("out"));
    const SplitResult empty = SplitJob({dir.file("empty.zip"), dir.file("out"), 1000}).run(never);
    EXPECT_EQ(std::tuple(empty.ok, empty.pieces, readFile(dir.file("out/empty.001"))),
              std::tuple(true, 1LL, QByteArray()));
    EXPECT_TRUE(readFile(dir.file("out/empty.bat")).contains("\r\n:\r\ncopy /b \"empty.001\" \"empty.zip\"\r\necho"));
    const SplitResult tooMany = SplitJob({dir.file("big.zip"), dir.file("out2"), 1}).run(never);
    EXPECT_EQ(std::pair(tooMany.ok, tooMany.reason), std::pair(false, SplitTexts::kTooManyPieces));
    const SplitResult unwritable = SplitJob({dir.file("big.zip"), "/proc/", 100}).run(never);
    EXPECT_FALSE(unwritable.ok);
    EXPECT_FALSE(QFileInfo::exists(dir.file("out2")));
    CancelToken cancel;
    cancel.cancel();
    const SplitResult cancelled = SplitJob({dir.file("big.zip"), dir.file("out"), 100}).run(cancel);
    EXPECT_EQ(std::pair(cancelled.cancelled, QFileInfo::exists(dir.file("out/big.001"))), std::pair(true, false));
}

} // namespace
