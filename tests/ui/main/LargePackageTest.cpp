// A package of 100,000 entries in the window: how long filling and sorting take and how much memory it needs.
// It writes a large package first, so it runs only when VARNHOLD_LARGE_PACKAGE_TEST is set.
#include "MainTestUtil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace maintest;
using namespace testsupport;

namespace {

constexpr int kEntries = 100000;

/// The process's peak resident memory in MB (VmHWM).
double peakRssMb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

class LargePackage : public MainWindowTest {};

TEST_F(LargePackage, HundredThousandEntriesFillSortAndResortQuickly) {
    if (qEnvironmentVariableIsEmpty("VARNHOLD_LARGE_PACKAGE_TEST"))
        GTEST_SKIP() << "set VARNHOLD_LARGE_PACKAGE_TEST=1 to run";

    // Kept between runs: writing it takes longer than the test itself.
    const QString zip = QDir::tempPath() + "/varnhold-100k.zip";
    if (!QFileInfo::exists(zip)) {
        const char* script = R"(
import sys, zipfile
exts = ["txt", "dat", "png", "c", "h", "cpp", "zip", "pdf", "", "html"]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    for i in range(int(sys.argv[2])):
        ext = exts[i % len(exts)]
        name = "folder%03d/file%06d%s" % (i % 997, (i * 7919) % 1000003, "." + ext if ext else "")
        info = zipfile.ZipInfo(name, (2000 + i % 25, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i % 30) * 2))
        z.writestr(info, "x" * (i % 50))
)";
        const ToolRun run = runTool("python3", {"-c", script, zip, QString::number(kEntries)}, {}, {}, 600000);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    const double rssBefore = peakRssMb();

    fMain& w = makeWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(w.openPackage(zip));
    QApplication::processEvents(); // the first paint of the filled grid belongs to the open
    const qint64 openMs = timer.elapsed();
    ASSERT_EQ(w.grid()->model()->rowCount(), kEntries);

    // Re-sorting by a number column and by a text column, the slowest kind.
    qint64 resortMs[2];
    for (int i = 0; i < 2; ++i) {
        timer.restart();
        w.sortByColumn(int(i == 0 ? EntryColumn::Modified : EntryColumn::Path));
        QApplication::processEvents();
        resortMs[i] = timer.elapsed();
    }
    const double rss = peakRssMb();
    std::printf("open+fill+sort %lld ms, re-sort by date %lld ms, by path %lld ms, peak RSS %.1f MB (%.1f before)\n",
                openMs, resortMs[0], resortMs[1], rss, rssBefore);
    EXPECT_LT(openMs, 2000);
    EXPECT_LT(resortMs[0], 500);
    EXPECT_LT(resortMs[1], 500);
    EXPECT_LT(rss, 100.0);
}

} // namespace
