// update: the quick update of a package from the backup set named after it, with the code given or stored.
#include "CliTestUtil.h"

namespace clitest {
namespace {

const QDateTime kOld(QDate(2020, 1, 1), QTime(10, 0, 0));
const QDateTime kNew(QDate(2024, 6, 1), QTime(12, 0, 0));

// Backup.zip of data/ (its .doc files but no .bak) saved with its set Backup.set; then a.doc changes and c.doc
// joins the folder.
const Step kBackup = [](CliFixture& t) {
    writeFile(t.file("data/a.doc"), "first", kOld);
    writeFile(t.file("data/b.bak"), "never", kOld);
    const ToolRun built =
        t.run({"build", "Backup.zip", "data/", "--include", "*.doc", "--exclude", "*.bak", "--save-set", "Backup"});
    ASSERT_EQ(built.exitCode, 0) << built.err.toStdString();
    writeFile(t.file("data/a.doc"), "second", kNew);
    writeFile(t.file("data/c.doc"), "new", kNew);
};

// The set was counted when saved: one file of five bytes.
QString counters(const QString& updated) {
    return "Update Completed!\nZip Package Updated: {dir}/Backup.zip\nTotal number of files selected: 1\n"
           "Total number of bytes selected: 5\nTotal compressed bytes: {size:Backup.zip}\nNumber of files updated: " +
           updated + "\nNumber of locked files bypassed = 0\n";
}

Step holds(const QStringList& files) {
    return [=](CliFixture& t) {
        QStringList expected;
        for (const QString& f : files)
            expected << t.stored("data/" + f);
        EXPECT_EQ(storedNames(t.file("Backup.zip")), expected);
        EXPECT_EQ(runTool("unzip", {"-p", t.file("Backup.zip"), t.stored("data/a.doc")}).out, "second");
        expectPeersAccept(t.file("Backup.zip"));
    };
}

const Case kUpdate[] = {
    {"StoredCodeUpdatesAndAdds", "update Backup.zip", counters("2"), "", 0, kBackup, holds({"a.doc", "c.doc"})},
    {"FreshenReplacesOnly", "update Backup.zip --freshen", counters("1"), "", 0, kBackup, holds({"a.doc"})},
    {"StoredFreshen", "update Backup.zip", counters("1"), "", 0, kBackup, holds({"a.doc"}), {{"Options22", "1"}}},
    {"UpdateOverStoredFreshen",
     "update Backup.zip --update",
     counters("2"),
     "",
     0,
     kBackup,
     holds({"a.doc", "c.doc"}),
     {{"Options22", "1"}}},
    {"SetMissing", "update Other.zip", "", says("( Other.set ) Backup set not found."), 1,
     all({kBackup, [](CliFixture& t) { QFile::copy(t.file("Backup.zip"), t.file("Other.zip")); }})},
    {"PackageMissing", "update None.zip", "", says("{dir}/None.zip does not exist."), 1},
    usage("NoPackage", "update", "update takes one zip package"),
    usage("BothCodes", "update Backup.zip --freshen --update", "--freshen and --update exclude each other"),
};
INSTANTIATE_TEST_SUITE_P(update, CliRun, ::testing::ValuesIn(kUpdate), caseName);

} // namespace
} // namespace clitest
