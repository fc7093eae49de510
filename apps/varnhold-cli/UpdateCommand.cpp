// update ZIP: the quick update, the package brought up to date from the backup set named after it.
#include "BuildReport.h"
#include "CliOutput.h"
#include "Command.h"
#include "app/AppState.h"
#include "backup/QuickUpdate.h"
#include "sets/SetSaving.h"
#include "utility/FileOps.h"

#include <QFileInfo>
#include <cstdio>

namespace cli {

namespace {

class UpdateCommand : public Command {
  public:
    UpdateCommand() {
        name = "update";
        valueOptions = {"--password"};
        flagOptions = {"--freshen", "--update"};
        needsStoredSettings = true;
        help =
            QStringLiteral("  update ZIP [--freshen|--update] [--password TEXT]\n"
                           "      Brings ZIP up to date from the backup set named after it (Backup.set in the sets\n"
                           "      folder for Backup.zip), as \"Quick Update\" does: every file of the set's file rows\n"
                           "      and every file below its folder rows that passes the row's patterns is handed to\n"
                           "      the update. --freshen replaces entries with newer files and adds none; --update\n"
                           "      (the quick update's stored choice unless one is given) also adds new files. The\n"
                           "      stored compression level is used, and the stored password unless one is given.\n"
                           "      Locked files are skipped, listed on stderr and in Zips/Locked.Txt. The old\n"
                           "      package stays as it was until the new one is complete and checked.\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        if (args.positional.size() != 1) return "update takes one zip package";
        if (args.flags.contains("--freshen") && args.flags.contains("--update"))
            return "--freshen and --update exclude each other";
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString zip = absolutePath(args.positional.first());
        if (!FileOps::regularFileSize(zip)) {
            printError(QString("%1 does not exist.").arg(zip));
            return kExitFailure;
        }
        const QString setPath = findQuickSet(setsFolderOf(state), zip);
        if (setPath.isEmpty()) {
            printError(QuickTexts::setNotFound(quickSetName(QFileInfo(zip).fileName())));
            return kExitFailure;
        }
        const Result<QuickSet> set = readQuickSet(setPath, state.folders.app);
        if (!set) {
            printError(set.message());
            return kExitFailure;
        }
        // The package keeps its comment, as the dialog shows it unchanged.
        ZipPackage package;
        if (!openPackage(package, zip)) return kExitFailure;
        const QString comment = package.zGetComment();
        package.zCloseZipFile();

        const QuickSettings settings = QuickSettings::load(state);
        QuickUpdateParams params = QuickUpdateParams::fromState(state);
        params.packagePath = zip;
        params.comment = comment;
        params.rows = set->rows;
        params.code = args.flags.contains("--freshen")  ? UpdateCode::Freshen
                      : args.flags.contains("--update") ? UpdateCode::Update
                                                        : settings.code;
        if (args.values.contains("--password")) {
            params.password = args.values.value("--password");
        } else if (!settings.password.text.isEmpty()) {
            params.password = settings.password.text;
            std::fprintf(
                stderr, "%s",
                printableLine("using the stored password, " + PasswordSources::describe(PasswordSources::stored(state)))
                    .constData());
        }

        BuildBars bars;
        BuildCallbacks callbacks;
        bars.connect(callbacks);
        const BuildResult result = QuickUpdate(params, callbacks).run(interruptToken());
        bars.finish();
        printSkippedFiles(result);
        switch (result.outcome) {
        case BuildOutcome::Completed:
            break;
        case BuildOutcome::Cancelled:
            printError(QString("Update interrupted; %1 was left as it was.").arg(zip));
            return kExitInterrupted;
        case BuildOutcome::Declined:
        case BuildOutcome::Stopped:
        case BuildOutcome::Failed:
            printError(result.message);
            return kExitFailure;
        }
        printBuildCounters(state, result, BuildMode::Update);
        return result.filesLeftOut() ? kExitFilesLeftOut : kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeUpdateCommand() {
    return std::make_unique<UpdateCommand>();
}

} // namespace cli
