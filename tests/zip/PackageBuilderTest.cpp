// The package builder: what it writes passes the peers' tests and holds every file exactly, in the order handed
// over, whatever the sizes (large files in stored and deflated pieces) and the count (zip64 end records); what it
// cannot store comes back as notes, in the same order, and a cancel writes nothing more.

#include "zip/PackageBuilder.h"
#include "ZipTestTools.h"

#include <fcntl.h>

using namespace ziptest;

namespace {

qint64 ns(const struct timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileToPack toPack(const QString& path, const QString& name) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return {path, name, qint64(st.st_size), ns(st.st_mtim), ns(st.st_ctim), S_ISLNK(st.st_mode)};
}

struct Built {
    PackageBuilder::End end;
    QString message;
    std::vector<std::pair<PackNote::Kind, QString>> notes;
    qint64 entries = 0;
};

Built build(const QString& package, const std::vector<FileToPack>& files, const CancelToken& cancel = kNeverCancelled,
            CompressionLevel level = CompressionLevel::Normal, const QByteArray& password = {}) {
    PackageBuilder::Settings settings;
    settings.level = level;
    settings.password = password;
    settings.comment = "built";
    // Small bounds, so that a few hundred kilobytes already take the large-file path.
    settings.wholeFileLimit = 64 << 10;
    settings.pieceSize = 16 << 10;
    const int fd = ::open(QFile::encodeName(package).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    PackageBuilder builder(settings, cancel);
    builder.begin(fd, package, {});
    for (const FileToPack& file : files)
        builder.add(file);
    Built r;
    r.end = builder.finish({}, &r.message);
    for (const PackNote& note : builder.takeNotes())
        r.notes.emplace_back(note.kind, QFileInfo(note.path).fileName());
    r.entries = builder.entriesWritten();
    ::close(fd);
    return r;
}

// Every entry's name and contents as Python's zipfile reads them, checked against the files.
const char* kCheckContents = R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = z.namelist()
for name, path in zip(sys.argv[2::2], sys.argv[3::2]):
    assert z.read(name) == open(path, "rb").read(), name
print(len(names), names[0], names[-1], z.comment.decode())
)";

} // namespace

TEST(PackageBuilderTest, LargeFilesAndManyEntriesComeOutWholeAndPassThePeers) {
    TempDir dir;
    const QMap<QString, QByteArray> files{{"text.txt", sampleText(300000, 1)},
                                          {"noise.bin", randomBytes(200000, 2)},
                                          {"small.txt", sampleText(3000, 3)},
                                          {"empty", {}}};
    writeTree(dir.file("src"), files, fixedTime(-2));
    ASSERT_TRUE(QFile::link("text.txt", dir.file("src/link")));
    std::vector<FileToPack> order;
    QStringList pairs;
    for (const QString& name : files.keys() + QStringList{"link"}) {
        order.push_back(toPack(dir.file("src/" + name), "src/" + name));
        if (name != "link") pairs << "src/" + name << dir.file("src/" + name);
    }
    for (const CompressionLevel level : {CompressionLevel::None, CompressionLevel::Normal}) {
        // Deflated, with more entries than the plain end record can count.
        for (int i = 0; level == CompressionLevel::Normal && i < 70000; ++i)
            order.push_back(toPack(dir.file("src/small.txt"), QString("many/%1").arg(i)));
        const QString package = dir.file(QString("out%1.zip").arg(int(level)));
        const Built r = build(package, order, kNeverCancelled, level);
        ASSERT_EQ(r.end, PackageBuilder::End::Written) << r.message.toStdString();
        EXPECT_EQ(std::pair(r.entries, r.notes.size()), std::pair(qint64(order.size()), size_t(0)));
        expectPeersAccept(package);
        EXPECT_EQ(python(kCheckContents, QStringList{package} + pairs).out.trimmed(),
                  QString("%1 src/empty %2 built").arg(order.size()).arg(order.back().storedName));
    }
    EXPECT_EQ(runTool("unzip", {"-p", dir.file("out2.zip"), "src/link"}).out, "text.txt");
    EXPECT_GT(QFileInfo(dir.file("out0.zip")).size(), 500000) << "stored as it is";

    // Enciphered (WinZip AES-256): 7-Zip opens every entry with the password, large ones made of pieces too.
    order.resize(5);
    const QString sealed = dir.file("sealed.zip");
    ASSERT_EQ(build(sealed, order, kNeverCancelled, CompressionLevel::Normal, "pässword").end,
              PackageBuilder::End::Written);
    expectPeersAccept(sealed, "pässword", true);
    EXPECT_NE(runTool("7z", {"t", "-bd", "-pwrong", sealed}).exitCode, 0);
    ASSERT_EQ(runTool("7z", {"x", "-bd", "-ppässword", "-o" + dir.file("x"), sealed}).exitCode, 0);
    for (int i = 0; i < pairs.size(); i += 2)
        EXPECT_EQ(readFile(dir.file("x/" + pairs[i])), readFile(pairs[i + 1])) << pairs[i].toStdString();
}

TEST(PackageBuilderTest, WhatCannotBeStoredIsNotedInOrderAndACancelWritesNothingMore) {
    TempDir dir;
    writeTree(dir.file("src"),
              {{"a.txt", "aaaa"}, {"locked.txt", "held"}, {"grown.txt", "12345"}, {"big.txt", sampleText(100000, 4)}},
              fixedTime(-1));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("src/pipe")).constData(), 0644), 0);
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    LockHolder holder(dir.file("src/locked.txt"));
    ASSERT_TRUE(holder.holding());
    FileToPack grown = toPack(dir.file("src/grown.txt"), "grown.txt");
    grown.size = 3; // what the scan saw before the file grew
    // A file the scan saw, put in the place of by a link to another since: the link's target is not read.
    FileToPack swapped = toPack(dir.file("src/a.txt"), "swapped.txt");
    swapped.path = dir.file("src/swapped.txt");
    ASSERT_TRUE(QFile::link(dir.file("src/big.txt"), swapped.path));
    FileToPack bigGrown = toPack(dir.file("src/big.txt"), "big.txt");
    bigGrown.size -= 5000; // a large file that grew since the scan: stored whole all the same
    FileToPack bigGone = toPack(dir.file("src/big.txt"), "gone.txt");
    bigGone.path = dir.file("src/gone.txt"); // a large file that vanished
    const std::vector<FileToPack> order{toPack(dir.file("src/a.txt"), "a.txt"),
                                        toPack(dir.file("src/missing.txt"), "missing.txt"),
                                        toPack(dir.file("src/locked.txt"), "locked.txt"),
                                        grown,
                                        {dir.file("src/pipe"), "pipe", 0, 0, 0, false},
                                        swapped,
                                        bigGone,
                                        bigGrown};
    const QString package = dir.file("out.zip");
    const Built r = build(package, order);
    ASSERT_EQ(r.end, PackageBuilder::End::Written) << r.message.toStdString();
    using K = PackNote::Kind;
    EXPECT_EQ(r.notes, (std::vector<std::pair<K, QString>>{{K::Locked, "missing.txt"},
                                                           {K::Locked, "locked.txt"},
                                                           {K::Changed, "grown.txt"},
                                                           {K::NotAFile, "pipe"},
                                                           {K::Unreadable, "swapped.txt"},
                                                           {K::Locked, "gone.txt"},
                                                           {K::Changed, "big.txt"}}));
    EXPECT_EQ(storedNames(package), QStringList({"a.txt", "big.txt", "grown.txt"}));
    EXPECT_EQ(runTool("unzip", {"-p", package, "grown.txt"}).out, "12345") << "what was read is stored";
    EXPECT_EQ(runTool("unzip", {"-p", package, "big.txt"}).out.toUtf8(), readFile(dir.file("src/big.txt")));
    expectPeersAccept(package);

    CancelToken cancel;
    cancel.cancel();
    EXPECT_EQ(build(package, order, cancel).end, PackageBuilder::End::Cancelled);
}
