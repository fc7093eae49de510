// Opens a package made of the input bytes and walks everything the listing shows: every entry's fields and the
// package totals, as the main window and `varnhold-cli list` do.
#include "FuzzSupport.h"
#include "zip/ZipPackage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::scratch() + QStringLiteral("/input.zip");
    fuzz::writeInput(path, data, size);
    // The same bytes as the journal of an interrupted rebuild beside it: reading the package must change nothing.
    const QString journal = fuzz::scratch() + QStringLiteral("/.input.zip.rebuild-journal.vhw-1-1");
    fuzz::writeInput(journal, data, size);
    const QStringList before = QDir(fuzz::scratch()).entryList(QDir::Files | QDir::Hidden);

    ZipPackage package;
    const int opened = package.zOpenZipFile(path);
    if (QDir(fuzz::scratch()).entryList(QDir::Files | QDir::Hidden) != before) fuzz::fail("opening changed the folder");
    if (opened != kZipOk) {
        // A refusal must come with the reason the user is shown.
        if (package.zGetLastErrorAsText().isEmpty()) fuzz::fail("open failed without a message");
        return 0;
    }
    const qint64 total = package.zGetTotalFiles();
    if (total != qint64(package.entries().size())) fuzz::fail("entry count differs from the listing");
    for (const ZipEntry& e : package.entries()) {
        (void)e.storedName();
        (void)dosToDateTime(e.dosDate, e.dosTime);
    }
    (void)package.zGetTotalBytes();
    (void)package.zGetComment();
    (void)package.zIsSpanned();
    // Selecting everything is what a delete starts with; the counts must agree.
    for (qint64 i = 0; i < total; ++i)
        package.zSelectFile(i);
    if (package.zGetSelectedFiles() != total) fuzz::fail("selection count differs");
    package.zCloseZipFile();
    return 0;
}
