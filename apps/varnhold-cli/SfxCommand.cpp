// sfx ZIP: the self-extracting package maker from the terminal, as its dialog makes them: the extractor program
// followed by the package, as one Linux program.
#include "Command.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "tools/SfxMaker.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace cli {

namespace {

class SfxCommand : public Command {
  public:
    SfxCommand() {
        name = "sfx";
        valueOptions = {"--to", "--name"};
        help = QStringLiteral(
            "  sfx ZIP [--to DIR] [--name NAME]\n"
            "      Makes ZIP a self-extracting program: the extractor followed by the package, unchanged, named\n"
            "      NAME (default: the package's name ending in .run instead of .zip) in DIR (default: the stored\n"
            "      make folder, Make/ below the application folder). Run it to extract; other zip programs still\n"
            "      read it as a package.\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        if (args.positional.size() != 1) return QStringLiteral("sfx takes one zip package");
        const QString name = args.values.value("--name");
        if (args.values.contains("--name") && (name.isEmpty() || name.contains(u'/')))
            return QStringLiteral("--name needs a file name without folders");
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString package = absolutePath(args.positional.first());
        if (!FileOps::regularFileSize(package)) {
            printError(QStringLiteral("File not found: ") + package);
            return kExitFailure;
        }
        const QString folder = TextUtil::withSlash(
            args.values.contains("--to") ? absolutePath(args.values.value("--to")) : state.text(Option::MakeFolder));
        if (!FileOps::isFolder(folder)) {
            printError(QStringLiteral("The target make folder %1 does not exist.").arg(folder));
            return kExitFailure;
        }
        const Result<QString> stub = findSfxStub(state.folders.app, QCoreApplication::applicationDirPath());
        if (!stub.ok()) {
            printError(stub.message());
            return kExitFailure;
        }
        const QString target = folder + args.values.value("--name", sfxDefaultName(QFileInfo(package).fileName()));
        TerminalProgress bar(QStringLiteral("Making"));
        const SfxResult result =
            SfxJob({*stub, package, target}, [&bar](int percent) { bar.update(percent, 100); }).run(interruptToken());
        bar.finish();
        if (result.cancelled) {
            printError(QStringLiteral("Interrupted; nothing was made."));
            return kExitInterrupted;
        }
        if (!result.ok) {
            printError(result.message);
            return kExitFailure;
        }
        writeOut(
            printableLine(SfxTexts::kCompleted) +
            printableLine(QStringLiteral("Made: %1 (%2 bytes)").arg(target, TextUtil::formatGrouped(result.length))));
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeSfxCommand() {
    return std::make_unique<SfxCommand>();
}

} // namespace cli
