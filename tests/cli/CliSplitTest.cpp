// split and sfx: pieces and merge files as the split dialog makes them, self-extracting programs as the maker
// makes them, and the clear refusals of what cannot be done.
#include "CliTestUtil.h"

namespace clitest {
namespace {

const Step kData = [](CliFixture& t) {
    writeFile(t.file("data.zip"), randomBytes(2500, 7));
    QDir().mkpath(t.file("out"));
};

const Case kSplit[] = {
    {"ThreePieces", "split data.zip --size 1000 --to out",
     "Split completed - use the batch (.bat) file to rebuild.\nPieces: 3, {dir}/out/data.001 to data.003\n"
     "Merge files: {dir}/out/data.bat, {dir}/out/data.sh\n",
     "", 0, kData,
     [](CliFixture& t) {
         EXPECT_EQ(listTree(t.file("out")), QStringList({"data.001", "data.002", "data.003", "data.bat", "data.sh"}));
         EXPECT_EQ(runTool("sh", {t.file("out/data.sh")}).exitCode, 0);
         EXPECT_EQ(readFile(t.file("out/data.zip")), randomBytes(2500, 7)) << "the script joins the pieces";
     }},
    {"IntoTheStoredFolder", "split data.zip",
     "Split completed - use the batch (.bat) file to rebuild.\nPieces: 1, {app}/Split/data.001 to data.001\n"
     "Merge files: {app}/Split/data.bat, {app}/Split/data.sh\n",
     "", 0, kData},
    {"TooManyPieces", "split data.zip --size 2 --to out", "", says("Max file splits is 999"), 1, kData,
     [](CliFixture& t) { EXPECT_EQ(listTree(t.file("out")), QStringList()); }},
    {"Missing", "split none.zip", "", says("File not found: {dir}/none.zip"), 1},
    {"NoFolder", "split data.zip --to nowhere", "", says("The target split folder {dir}/nowhere/ does not exist."), 1,
     kData},
    usage("NoFile", "split", "split takes one file"),
    usage("SizeNotANumber", "split data.zip --size lots", "--size needs a number of bytes"),
};
INSTANTIATE_TEST_SUITE_P(split, CliRun, ::testing::ValuesIn(kSplit), caseName);

// A stand-in extractor in the application folder, and a package to append to it.
const Step kPackage = [](CliFixture& t) {
    writeFile(t.app.file("Kovra"), "#!/bin/sh\n");
    writeFile(t.file("src/a.txt"), "text");
    ASSERT_EQ(runTool("zip", {"-q", t.file("p.zip"), "a.txt"}, t.file("src")).exitCode, 0);
    writeFile(t.file("data.txt"), "not a package");
    QDir().mkpath(t.file("out"));
};

const Case kSfx[] = {
    {"Made", "sfx p.zip --to out", "Completed\nMade: {dir}/out/p.run ({size:out/p.run} bytes)\n", "", 0, kPackage,
     [](CliFixture& t) {
         EXPECT_EQ(readFile(t.file("out/p.run")), readFile(t.app.file("Kovra")) + readFile(t.file("p.zip")));
         EXPECT_TRUE(QFileInfo(t.file("out/p.run")).isExecutable());
     }},
    {"Named", "sfx p.zip --name x.bin --to out", "Completed\nMade: {dir}/out/x.bin ({size:out/x.bin} bytes)\n", "", 0,
     kPackage},
    {"NotAPackage", "sfx data.txt --to out", "",
     says("Error: {dir}/data.txt is not a zip package, or it is damaged or truncated. Error Appending File"), 1,
     kPackage, tree("{dir}/out", "")},
    {"WithTheInstalledExtractor", "sfx p.zip --to out", "Completed\nMade: {dir}/out/p.run ({size:out/p.run} bytes)\n",
     "", 0,
     [](CliFixture& t) {
         kPackage(t);
         QFile::remove(t.app.file("Kovra"));
     },
     [](CliFixture& t) {
         EXPECT_EQ(runTool(t.file("out/p.run"), {"--to", t.file("x")}).exitCode, 0);
         EXPECT_EQ(readFile(t.file("x/a.txt")), "text") << "the made program extracts its package";
     }},
    {"Missing", "sfx none.zip", "", says("File not found: {dir}/none.zip"), 1},
    {"NoFolder", "sfx p.zip --to nowhere", "", says("The target make folder {dir}/nowhere/ does not exist."), 1,
     kPackage},
    usage("NoPackage", "sfx", "sfx takes one zip package"),
    usage("NameWithFolders", "sfx p.zip --name a/b", "--name needs a file name without folders"),
};
INSTANTIATE_TEST_SUITE_P(sfx, CliRun, ::testing::ValuesIn(kSfx), caseName);

} // namespace
} // namespace clitest
