// Reads a backup set file made of the input bytes two ways: as the deciphered text the readers parse, and as a
// stored (enciphered) set that goes through the working copy first, the way the program loads a set.
#include "FuzzSupport.h"
#include "sets/BackupSetFile.h"

namespace {

void readBack(const QString& workFile) {
    (void)readComment(workFile);
    const SetContents contents = readRows(workFile);
    for (const SelectionRow& row : contents.rows) {
        (void)row.isFolder();
        (void)row.isTotal();
    }
    if (!contents.problems.isEmpty()) (void)damagedSetMessage(QStringLiteral("Fuzz.set"), contents.problems);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString root = fuzz::scratch();
    const QString plain = root + QStringLiteral("/plain.txt");
    fuzz::writeInput(plain, data, size);
    readBack(plain);

    const QString app = root + QStringLiteral("/app");
    const QString stored = root + QStringLiteral("/Fuzz.set");
    fuzz::writeInput(stored, data, size);
    const Result<QString> copy = makeWorkingCopy(stored, app);
    if (copy.ok()) readBack(copy.value());

    // The row splitter alone, on every line as the text holds it (also lines the readers never pass on).
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& line : QString::fromUtf8(text).split(QStringLiteral("\r\n")))
        (void)splitRowLine(line);
    return 0;
}
