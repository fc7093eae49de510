// Reads the entry names of a package made of the input bytes, as the package list of a folder does.
#include "FuzzSupport.h"
#include "zip/PackageDirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::scratch() + QStringLiteral("/input.zip");
    fuzz::writeInput(path, data, size);
    const Result<PackageDirectory> all = zipEntryNames(path);
    // A small table: the cut must be reported and keep the first names.
    const Result<PackageDirectory> few = zipEntryNames(path, 2);
    if (all.ok() != few.ok()) fuzz::fail("the table size changes whether the package reads");
    if (all.ok()) {
        if (few.value().names.size() > 2) fuzz::fail("more names than the table takes");
        if (few.value().names != all.value().names.mid(0, 2)) fuzz::fail("the first names differ");
        if (few.value().tableFull != (all.value().names.size() > 2)) fuzz::fail("table full flag is wrong");
    }
    return 0;
}
