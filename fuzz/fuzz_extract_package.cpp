// Tests and extracts a package made of the input bytes into a private folder, then checks that nothing was
// written anywhere else: the package sits two folders deep, so a name that climbs out of the target would leave
// a trace beside it, and no link may appear in the target (a later entry could be written through it).
#include "FuzzSupport.h"
#include "zip/ZipPackage.h"

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

// Names in folder other than the expected ones. The walks use std::filesystem since extracted names keep the raw
// bytes a package stored, which need not be valid UTF-8.
std::string strangers(const fs::path& folder, const std::set<std::string>& expected) {
    std::string found;
    for (const fs::directory_entry& item : fs::directory_iterator(folder)) {
        if (!expected.count(item.path().filename().string())) found += item.path().string() + " ";
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path root = QFile::encodeName(fuzz::scratch()).toStdString();
    const fs::path home = root / "a" / "b";
    const fs::path target = home / "out";
    std::error_code error;
    fs::remove_all(target, error);
    fs::create_directories(target, error);
    if (error) fuzz::fail(QString::fromStdString("cannot make " + target.string() + ": " + error.message()));
    const QString path = QFile::decodeName((home / "input.zip").c_str());
    const QString targetText = QFile::decodeName(target.c_str());
    fuzz::writeInput(path, data, size);

    {
        ZipPackage package;
        if (package.zOpenZipFile(path) == kZipOk) {
            const CancelToken never;
            QStringList failures;
            (void)package.zTestAll(QStringLiteral("secret"), &failures, never);
            ExtractOptions options;
            ExtractReport report;
            (void)package.zExtractAll(targetText, QStringLiteral("secret"), options, never, {}, &report);
            // A second pass meets the files of the first: the keep/replace paths run too.
            options.overwrite = false;
            options.skipOlder = true;
            (void)package.zExtractAll(targetText, QString(), options, never, {}, &report);
            options.overwrite = true;
            options.useFolderNames = false;
            (void)package.zExtractAll(targetText, QString(), options, never, {}, &report);
        }
    }

    const std::string outside =
        strangers(root, {"a"}) + strangers(root / "a", {"b"}) + strangers(home, {"out", "input.zip"});
    if (!outside.empty()) fuzz::fail(QString::fromStdString("written outside the target: " + outside));
    for (auto it = fs::recursive_directory_iterator(target); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink()) fuzz::fail(QString::fromStdString("a link was extracted: " + it->path().string()));
    }
    return 0;
}
