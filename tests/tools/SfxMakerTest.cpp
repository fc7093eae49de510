// The self-extracting package maker: the made program's name, its bytes (the extractor, then the package as it
// is), and makes that fail or stop leaving whatever was there before.
#include "tools/SfxMaker.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>

using namespace testsupport;

namespace {

const CancelToken never;

TEST(SfxMakerTest, NamesAndWhereTheExtractorIsLookedFor) {
    for (const auto& [package, made] : std::vector<std::pair<QString, QString>>{{"backup.zip", "backup.run"},
                                                                                {"my.data.zip", "my.data.run"},
                                                                                {"backup", "backup.run"},
                                                                                {".zip", ".run"},
                                                                                {"trailing.", "trailing.run"}})
        EXPECT_EQ(sfxDefaultName(package), made) << package.toStdString();

    TempDir dir;
    QDir().mkpath(dir.file("app"));
    QDir().mkpath(dir.file("bin"));
    const Result<QString> none = findSfxStub(dir.file("app"), dir.file("bin"));
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.message(), QString("The extractor program was not found: neither %1 nor %2 exists.")
                                  .arg(dir.file("app/Kovra"), dir.file("bin/varnhold-sfx")));
    writeFile(dir.file("bin/varnhold-sfx"), "installed");
    EXPECT_EQ(*findSfxStub(dir.file("app"), dir.file("bin")), dir.file("bin/varnhold-sfx"));
    writeFile(dir.file("app/Kovra"), "own");
    EXPECT_EQ(*findSfxStub(dir.file("app"), dir.file("bin")), dir.file("app/Kovra"));
}

TEST(SfxMakerTest, TheProgramIsTheExtractorFollowedByThePackage) {
    TempDir dir;
    const QByteArray stub = randomBytes(300000, 1); // more than one block of a copy through memory
    writeFile(dir.file("stub"), stub);
    writeFile(dir.file("src/a.bin"), randomBytes(200000, 2));
    ASSERT_EQ(runTool("zip", {"-q", "-0", dir.file("backup.zip"), "a.bin"}, dir.file("src")).exitCode, 0);
    QDir().mkpath(dir.file("Make"));
    writeFile(dir.file("Make/backup.run"), "an older program");

    std::vector<int> progress;
    const SfxResult made = SfxJob({dir.file("stub"), dir.file("backup.zip"), dir.file("Make/backup.run")}, [&](int p) {
                               progress.push_back(p);
                           }).run(never);
    ASSERT_TRUE(made.ok) << made.message.toStdString();
    const QByteArray program = readFile(dir.file("Make/backup.run"));
    EXPECT_EQ(program, stub + readFile(dir.file("backup.zip")));
    EXPECT_EQ(made.length, program.size());
    EXPECT_EQ(QFileInfo(dir.file("Make/backup.run")).permissions() & 0x7777, QFileDevice::Permissions(0x7755)); // 0755
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(listTree(dir.file("Make")), QStringList{"backup.run"});
    // Peers still read it as a package.
    EXPECT_TRUE(runTool("unzip", {"-l", dir.file("Make/backup.run")}).out.contains("a.bin"));
    EXPECT_EQ(runTool("7z", {"l", dir.file("Make/backup.run")}).exitCode, 0);
}

TEST(SfxMakerTest, AFailedOrStoppedMakeLeavesWhatWasThere) {
    TempDir dir;
    writeFile(dir.file("stub"), "stub");
    writeFile(dir.file("src/a.txt"), "text");
    ASSERT_EQ(runTool("zip", {"-q", dir.file("p.zip"), "a.txt"}, dir.file("src")).exitCode, 0);
    writeFile(dir.file("not.zip"), "no package");
    QDir().mkpath(dir.file("Make"));
    writeFile(dir.file("Make/p.run"), "older");
    struct Case {
        QString stub, package, target;
        QString message; ///< the start of the message, and how it ends
        QString ending;
    };
    for (const Case& c : std::vector<Case>{
             {dir.file("nostub"), dir.file("p.zip"), dir.file("Make/p.run"), "Error: No such file or directory",
              " Error Copying File"},
             {dir.file("stub"), dir.file("p.zip"), dir.file("NoFolder/p.run"), "Error: Cannot write into the folder",
              " Error Copying File"},
             {dir.file("stub"), dir.file("not.zip"), dir.file("Make/p.run"), "Error: " + dir.file("not.zip"),
              " Error Appending File"},
         }) {
        const SfxResult r = SfxJob({c.stub, c.package, c.target}).run(never);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.startsWith(c.message) && r.message.endsWith(c.ending)) << r.message.toStdString();
    }
    CancelToken stop;
    stop.cancel();
    EXPECT_TRUE(SfxJob({dir.file("stub"), dir.file("p.zip"), dir.file("Make/p.run")}).run(stop).cancelled);
    EXPECT_EQ(std::pair(listTree(dir.file("Make")), readFile(dir.file("Make/p.run"))),
              std::pair(QStringList{"p.run"}, QByteArray("older")));
}

} // namespace
