// split FILE: the file splitter from the terminal, as its dialog splits: numbered pieces of a fixed size, and the
// batch file and shell script that join them again.
#include "Command.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "tools/FileSplit.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"

#include <QFileInfo>

namespace cli {

namespace {

class SplitCommand : public Command {
  public:
    SplitCommand() {
        name = "split";
        valueOptions = {"--size", "--to"};
        help = QStringLiteral(
            "  split FILE [--size BYTES] [--to DIR]\n"
            "      Cuts FILE into pieces of BYTES bytes (default: the split dialog's stored size, 1,457,664)\n"
            "      named after it, base.001 to base.999, in DIR (default: the stored split folder, Split/ below\n"
            "      the application folder), and writes base.bat and base.sh beside them, which join the pieces\n"
            "      again on Windows and here. At most 999 pieces.\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        if (args.positional.size() != 1) return QStringLiteral("split takes one file");
        if (args.values.contains("--size") && !splitPieceSize(args.values.value("--size")))
            return QStringLiteral("--size needs a number of bytes");
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString source = absolutePath(args.positional.first());
        const QFileInfo info(source);
        if (!info.isFile()) {
            printError(SplitTexts::kFileNotFound + QStringLiteral(": ") + source);
            return kExitFailure;
        }
        const qint64 pieceSize =
            splitPieceSize(args.values.value("--size", state.text(Option::SplitPieceSize))).value_or(1457664);
        const QString folder = TextUtil::withSlash(
            args.values.contains("--to") ? absolutePath(args.values.value("--to")) : state.text(Option::SplitFolder));
        if (splitPieceCount(info.size(), pieceSize) > kMaxSplitPieces) {
            printError(SplitTexts::kTooManyPieces);
            return kExitFailure;
        }
        if (!FileOps::isFolder(folder)) {
            printError(QStringLiteral("The target split folder %1 does not exist.").arg(folder));
            return kExitFailure;
        }
        const SplitResult result = SplitJob({source, folder, pieceSize}).run(interruptToken());
        if (result.cancelled) {
            printError(QStringLiteral("Split interrupted; the pieces written so far are in %1.").arg(folder));
            return kExitInterrupted;
        }
        if (!result.ok) {
            printError(SplitTexts::kSplitError + QStringLiteral(": ") + result.reason);
            return kExitFailure;
        }
        const SplitNames names(info.fileName());
        writeOut(
            printableLine(SplitTexts::kCompleted) +
            printableLine(QStringLiteral("Pieces: %1, %2 to %3")
                              .arg(result.pieces)
                              .arg(folder + names.piece(1), names.piece(result.pieces))) +
            printableLine(
                QStringLiteral("Merge files: %1, %2").arg(folder + names.batchFile(), folder + names.scriptFile())));
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeSplitCommand() {
    return std::make_unique<SplitCommand>();
}

} // namespace cli
