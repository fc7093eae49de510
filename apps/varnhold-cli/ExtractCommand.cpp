// extract ZIP: one entry or all of them, to the stored extract folder or another, never outside it.
#include "Command.h"

#include "CliOutput.h"
#include "TerminalProgress.h"
#include "app/AppState.h"
#include "tools/ExtractJob.h"
#include "tools/ExtractRequest.h"
#include "utility/TextUtil.h"
#include "viewer/EntryFields.h"
#include "zip/ZipPackage.h"

#include <optional>

namespace cli {

namespace {

class ExtractCommand : public Command {
  public:
    ExtractCommand() {
        name = "extract";
        valueOptions = {"--entry", "--to", "--password"};
        flagOptions = {"--overwrite", "--no-overwrite", "--skip-older", "--no-folder-names"};
        needsStoredSettings = true;
        help = QStringLiteral(
            "  extract ZIP [--entry INDEX] [--to DIR] [--password TEXT] [--overwrite | --no-overwrite]\n"
            "              [--skip-older] [--no-folder-names]\n"
            "      Extracts one entry (INDEX counts from 0 in the package's own order) or all entries.\n"
            "      Without options it uses the stored extract options, the stored password and the\n"
            "      stored extract folder. Entries whose names would write outside the target folder\n"
            "      (absolute names, \"..\", drive letters) and symbolic links are refused and listed on\n"
            "      stderr; the safe entries are still extracted. Nothing is written through a symbolic\n"
            "      link inside the target folder. An entry that cannot be extracted (damaged data, a\n"
            "      wrong password) is named in the error, and the others are still extracted.\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        if (QString problem = Command::usageProblem(args); !problem.isEmpty()) return problem;
        if (args.flags.contains("--overwrite") && args.flags.contains("--no-overwrite"))
            return "--overwrite and --no-overwrite exclude each other";
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString path = absolutePath(args.positional.first());
        ExtractSettings settings = ExtractSettings::fromState(state);
        if (args.flags.contains("--overwrite")) settings.overwrite = true;
        if (args.flags.contains("--no-overwrite")) settings.overwrite = false;
        if (args.flags.contains("--skip-older")) settings.skipOlder = true;
        if (args.flags.contains("--no-folder-names")) settings.useFolderNames = false;
        if (args.values.contains("--password")) settings.password.text = args.values.value("--password");
        QString target = settings.targetFolder();
        if (args.values.contains("--to")) target = TextUtil::withSlash(absolutePath(args.values.value("--to")));
        if (target.trimmed().isEmpty()) {
            printError("No extract folder is set: please choose a folder to extract to with --to DIR.");
            return kExitFailure;
        }

        ZipPackage package;
        if (!openPackage(package, path)) return kExitFailure;

        ExtractParams params{std::nullopt, target, settings.password.text, settings.options(), {}};
        if (args.values.contains("--entry")) {
            bool ok = false;
            const qint64 index = args.values.value("--entry").toLongLong(&ok);
            if (!ok || index < 0 || index >= package.zGetTotalFiles())
                return usageError(
                    QString("--entry takes an entry index from 0 to %1").arg(package.zGetTotalFiles() - 1));
            params.entry = index;
        }
        ExtractResult result;
        {
            // Only all entries draw a bar; one entry reports nothing.
            std::optional<TerminalProgress> bar;
            ExtractCallbacks callbacks;
            if (!params.entry) {
                bar.emplace("Extracting");
                callbacks.progress = progressTo(*bar);
            }
            result = ExtractJob(package, params, callbacks).run(interruptToken());
        }
        const ExtractReport& report = result.report;
        for (const QString& refused : report.refused)
            printTagged("refused  ", refused);
        for (const QString& failed : report.failed)
            printTagged("failed  ", failed);
        if (result.cancelled()) {
            printError("Extraction interrupted; no partly written file was left behind.");
            return kExitInterrupted;
        }
        if (!result.ok()) printError(result.message);
        // The summary follows whenever entries were gone through, failures or not.
        const bool handled =
            report.extracted + report.skipped > 0 || !report.failed.isEmpty() || !report.refused.isEmpty();
        if (result.ok() || handled) {
            QString summary = QString("%1 extracted to %2 (%3 files, %4 kept as they were")
                                  .arg(EntryFields::packageFileName(path), target)
                                  .arg(report.extracted)
                                  .arg(report.skipped);
            if (!report.failed.isEmpty()) summary += QString(", %1 failed").arg(report.failed.size());
            if (!report.refused.isEmpty()) summary += QString(", %1 refused as unsafe").arg(report.refused.size());
            writeOut(printableLine(summary + u')'));
        }
        return result.ok() ? kExitOk : kExitFailure;
    }
};

} // namespace

std::unique_ptr<Command> makeExtractCommand() {
    return std::make_unique<ExtractCommand>();
}

} // namespace cli
