// list ZIP: the package's entries as the window's grid shows them, one line each, then its status line.
#include "Command.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "utility/TextUtil.h"
#include "viewer/EntryFields.h"
#include "viewer/EntryList.h"
#include "zip/ZipPackage.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

class ListCommand : public Command {
  public:
    ListCommand() {
        name = "list";
        help =
            QStringLiteral("  list ZIP\n"
                           "      One line per entry, sorted by file name (case ignored): name, size, zipped size,\n"
                           "      modified, ratio and folder path, separated by TAB; then the package's status line\n"
                           "      (file count, bytes, comment). Puts the package on top of the recent list.\n");
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString path = absolutePath(args.positional.first());
        ZipPackage package;
        // Only the entries are needed: a plain package is listed from its directory without libzip's full open.
        if (package.zOpenZipFile(path, ZipPackage::OpenPurpose::Listing) != kZipOk) {
            printError(package.zGetLastErrorAsText());
            return kExitFailure;
        }
        if (!package.zOpenNotice().isEmpty()) printError(package.zOpenNotice());
        EntryList list;
        list.load(package);
        list.sortAfterOpening();

        // Every row goes into one buffer, written in large pieces; fields are appended as UTF-8 directly.
        QByteArray out;
        constexpr qsizetype kChunk = 1 << 22;
        out.reserve(std::min<qsizetype>(qsizetype(list.size()) * 80, kChunk + 4096));
        for (const EntryRow& row : list.rows()) {
            TextUtil::appendVisibleText(out, row.name);
            out += '\t';
            EntryFields::appendSizeText(out, row.size);
            out += '\t';
            EntryFields::appendSizeText(out, row.zipped);
            out += '\t';
            EntryFields::appendModifiedText(out, quint16(row.dosStamp >> 16), quint16(row.dosStamp));
            out += '\t';
            EntryFields::appendRatioText(out, row.size, row.zipped);
            out += '\t';
            TextUtil::appendVisibleText(out, row.folderPath);
            out += '\n';
            if (out.size() > kChunk) writeOut(out), out.truncate(0);
        }
        out += printableLine(EntryFields::openedStatusText(EntryFields::packageFileName(path), package.zGetTotalFiles(),
                                                           package.zGetTotalBytes(), package.zGetComment()));
        writeOut(out);
        std::fflush(stdout);
        state.addRecent(path);
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeListCommand() {
    return std::make_unique<ListCommand>();
}

} // namespace cli
