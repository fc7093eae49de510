#include "tools/ExtractRequest.h"

#include "app/StartUp.h"

#include "TestSupport.h"

#include <QDir>
#include <tuple>

using namespace testsupport;

namespace {

const CancelToken never;

class ExtractRequestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runStartUp(state, dir.path());
        writeFile(dir.file("src/one.txt"), sampleText(5000, 1));
        writeFile(dir.file("src/sub/two.txt"), sampleText(7000, 2));
        const QString zip = dir.file("Zips/p.zip");
        ToolRun run = runTool("zip", {"-q", "-r", zip, "one.txt", "sub"}, dir.file("src"));
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        ASSERT_EQ(package.zOpenZipFile(zip), kZipOk);
    }
    qint64 indexOf(const QString& stored) const {
        for (std::size_t i = 0; i < package.entries().size(); ++i)
            if (package.entries()[i].storedName() == stored) return qint64(i);
        return -1;
    }

    TempDir dir;
    AppState state{freshStore()};
    ZipPackage package;
};

TEST_F(ExtractRequestTest, CancelledExtractAnswersCancelAndLeavesNothing) {
    requestExtractAll(state);
    CancelToken cancel;
    const ExtractAnswer answer = runExtractRequest(state, package, ExtractSettings::fromState(state), cancel,
                                                   [&](const ZipProgress&) { cancel.cancel(); });
    EXPECT_EQ(std::tuple(answer.name, answer.error, answer.folder),
              std::tuple(QString("cancel"), QString("cancel"), QString()));
    EXPECT_EQ(listTree(dir.file("Extract")), QStringList());
    EXPECT_EQ(extractStatusText(answer.name, answer.folder, answer.error), "Extract cancelled");
}

TEST_F(ExtractRequestTest, NoFolderAsksForOneAndTouchesNothing) {
    const QStringList before = listTree(dir.path());
    const QStringList hereBefore = listTree(QDir::currentPath());
    for (const bool one : {true, false}) {
        one ? requestExtractOne(state, "one.txt", 0) : requestExtractAll(state);
        ExtractSettings s = ExtractSettings::fromState(state);
        s.defaultFolder = "";
        const ExtractAnswer answer = runExtractRequest(state, package, s, never);
        EXPECT_EQ(std::pair(answer.error, answer.folder),
                  std::pair(QString("Please choose a folder to extract to."), QString()));
        EXPECT_EQ(extractStatusText(answer), "Extract error: Please choose a folder to extract to.");
    }
    EXPECT_EQ(listTree(dir.path()), before);
    EXPECT_EQ(listTree(QDir::currentPath()), hereBefore) << "nothing written in the working folder";
}

TEST(ExtractText, StatusLineTellsExtractedSkippedFailedAndRefused) {
    const auto with = [](const QString& name, int extracted, int skipped, QStringList failed, QStringList refused,
                         const QString& error = {}) {
        return extractStatusText({name, error.isEmpty() ? "/x/" : "", error, {extracted, skipped, failed, refused}});
    };
    EXPECT_EQ(with("All files", 3, 0, {}, {}), "All files was extracted to /x/");
    EXPECT_EQ(with("a.txt", 0, 1, {}, {}), "a.txt was not extracted: the file already in /x/ was kept");
    EXPECT_EQ(with("a.txt", 0, 0, {"a.txt: disk full"}, {}), "Extract error: a.txt: disk full");
    EXPECT_EQ(with("All files", 0, 4, {}, {}), "No files were extracted to /x/: 4 skipped (existing files kept)");
    EXPECT_EQ(with("All files", 1, 2, {"b: bad"}, {"../c: outside"}),
              "1 file was extracted to /x/, 2 skipped (existing files kept), 1 failed, 1 refused as unsafe");
    // The counts are the line itself, so a long error cannot push them out of sight; the error goes to the tooltip.
    EXPECT_EQ(with("All files", 2, 0, {"b: bad"}, {}, "Cannot extract b: bad."),
              "Extract error: 2 extracted, 1 failed");
    ExtractAnswer many{"All files", "", "Cannot extract b: bad. 12 entries could not be extracted: ...", {}};
    for (int i = 0; i < 12; ++i)
        many.report.failed << QString("f%1: bad").arg(i);
    EXPECT_EQ(extractStatusText(many), "Extract error: 0 extracted, 12 failed");
    const QStringList details = extractStatusDetails(many).split('\n');
    EXPECT_EQ(details.mid(0, 3), QStringList({many.error, "First of 12 failures:", "  f0: bad"}));
    EXPECT_EQ(details.size(), 12) << "the error, a heading and the first ten";
    EXPECT_EQ(extractStatusText(ExtractAnswer::cancelled()), "Extract cancelled");
}

} // namespace
