// split: pieces and merge files as the split dialog makes them, and the clear refusals of what cannot be split.
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

} // namespace
} // namespace clitest
