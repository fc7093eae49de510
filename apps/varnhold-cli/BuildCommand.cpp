// build ZIP PATH...: a package from folders, files and saved backup sets, as the build wizard makes it.
#include "Command.h"

#include "BuildReport.h"
#include "CliOutput.h"
#include "app/AppState.h"
#include "app/PasswordOptions.h"
#include "backup/BuildJob.h"
#include "backup/SelectionModel.h"
#include "sets/BackupSetFile.h"
#include "sets/SetSaving.h"
#include "tools/ExtractRequest.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"
#include "zip/ZipPackage.h"

#include <QFileInfo>
#include <cstdio>

namespace cli {

namespace {

class BuildCommand : public Command {
  public:
    BuildCommand() {
        name = "build";
        valueOptions = {"--level",   "--mode",    "--password", "--comment", "--span",
                        "--include", "--exclude", "--save-set", "--set"};
        flagOptions = {"--no-replace", "--replace-set"};
        needsStoredSettings = true;
        help = QStringLiteral(
            "  build ZIP PATH... [--level none|fast|normal|maximum] [--mode add|freshen|update]\n"
            "              [--password TEXT] [--comment TEXT] [--span BYTES|auto]\n"
            "              [--include PATTERN]... [--exclude PATTERN]... [--save-set NAME [--replace-set]]\n"
            "              [--no-replace]\n"
            "  build ZIP --set NAME [PATH...] [options as above]\n"
            "      Builds a zip package from folders and files, as the build wizard does. A PATH that\n"
            "      names a folder (or ends in \"/\") takes every file below it that matches an include\n"
            "      pattern and no exclude pattern (whole path, case ignored; up to five of each; the\n"
            "      stored patterns unless given); any other PATH is one file. --set NAME adds the rows\n"
            "      of a saved backup set, each folder with its own patterns. Files are stored under\n"
            "      their full path as the stored settings say. --mode add (the default) builds a new\n"
            "      package, replacing an existing ZIP unless --no-replace is given; freshen and update\n"
            "      work on an existing ZIP. Without options the stored compression level and password\n"
            "      are used. --save-set NAME also saves the selection as a backup set in the sets folder\n"
            "      once the package is built; an existing set of that name is replaced only with\n"
            "      --replace-set (without it nothing is built or saved, exit status 2). Files held locked\n"
            "      by other programs are skipped, listed on stderr and in Zips/Locked.Txt. So are, each\n"
            "      with its reason, folders that cannot be opened, entries whose status cannot be read,\n"
            "      pipes, sockets and devices, and (without full paths) a second file of a name already\n"
            "      stored; files that changed while they were read are stored and listed. Symbolic\n"
            "      links are stored as links, never followed. The package, its volumes and the\n"
            "      program's work files are never packed into themselves.\n"
            "      The old package stays as it was until the new one is complete and checked.\n");
    }

    // Checks of the build arguments that need no start-up, so that a usage error leaves no trace.
    QString usageProblem(const ParsedArgs& args) const override {
        if (args.positional.isEmpty() || (args.positional.size() < 2 && !args.values.contains("--set")))
            return "build takes a zip package and at least one PATH or --set NAME";
        if (args.values.contains("--level") && !CompressionLevels::fromName(args.values.value("--level")))
            return "--level takes none, fast, normal or maximum";
        const QString mode = args.values.value("--mode", "add");
        if (mode != "add" && mode != "freshen" && mode != "update") return "--mode takes add, freshen or update";
        if (args.values.contains("--span")) {
            const QString span = args.values.value("--span");
            bool ok = false;
            const qint64 bytes = span.toLongLong(&ok);
            if (span != "auto" && (!ok || bytes <= 0)) return "--span takes a size in bytes or auto";
            // Smaller volumes would only scatter a package over thousands of files.
            if (span != "auto" && bytes < kMinVolumeBytes) return "--span takes at least 65536 bytes per volume";
        }
        for (const char* option : {"--include", "--exclude"}) {
            const QStringList patterns = args.lists.value(option);
            if (patterns.size() > kPatternSlots)
                return QString("at most %1 %2 patterns").arg(kPatternSlots).arg(option);
            for (const QString& pattern : patterns)
                if (pattern.trimmed().isEmpty() || pattern.contains(u' '))
                    return QString("%1 takes one pattern without blanks").arg(option);
        }
        if (args.values.contains("--set") && args.values.value("--set").trimmed().isEmpty())
            return "--set needs a backup set name";
        if (args.values.contains("--save-set")) {
            if (args.values.value("--save-set").trimmed().isEmpty()) return "--save-set needs a backup set name";
            if (const QString problem = setNameProblem(acceptedSetName(args.values.value("--save-set")));
                !problem.isEmpty())
                return problem;
        } else if (args.flags.contains("--replace-set")) {
            return "--replace-set goes with --save-set";
        }
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString zip = absolutePath(args.positional.first());
        const QString modeName = args.values.value("--mode", "add");
        const bool zipExists = FileOps::exists(zip);
        const BuildMode mode = modeName == "add" ? BuildMode::Build : BuildMode::Update;
        if (mode == BuildMode::Update && !zipExists) {
            printError(QString("%1 does not exist; --mode %2 works on an existing zip package.").arg(zip, modeName));
            return kExitFailure;
        }

        // An existing set is never replaced unasked; refused before anything is counted or written.
        const QString savedSetPath = args.values.contains("--save-set")
                                         ? setsFolderOf(state) + acceptedSetName(args.values.value("--save-set"))
                                         : QString();
        const QFileInfo savedSet(savedSetPath); // a link counts as there even when what it names is gone
        if (!savedSetPath.isEmpty() && (savedSet.exists() || savedSet.isSymLink()) &&
            !args.flags.contains("--replace-set"))
            return usageError(QString("Backup set %1 exists and was not replaced (give --replace-set to replace it).")
                                  .arg(savedSetPath));

        SelectionModel model(state);
        // The counting scans of the folders given stop on an interrupt as the build itself does.
        model.countCancel = &interruptToken();
        // The build's scan counts the folders as it goes; only a set to be saved needs its rows counted first.
        model.countFolders = !savedSetPath.isEmpty();
        // Patterns given on the command line take the place of the stored ones of the same kind.
        if (args.lists.contains("--include")) {
            model.patterns.include = {};
            const QStringList given = args.lists.value("--include");
            for (int i = 0; i < given.size(); ++i)
                model.patterns.include[size_t(i)] = given[i];
        }
        if (args.lists.contains("--exclude")) {
            model.patterns.exclude = {};
            const QStringList given = args.lists.value("--exclude");
            for (int i = 0; i < given.size(); ++i)
                model.patterns.exclude[size_t(i)] = given[i];
        }

        for (const QString& given : args.positional.mid(1)) {
            const QString path = absolutePath(given);
            const bool folder = FileOps::isFolder(path);
            if (!FileOps::exists(path) || (given.endsWith('/') && !folder)) {
                printError(QString("%1 does not exist.").arg(given.endsWith('/') ? TextUtil::withSlash(path) : path));
                return kExitFailure;
            }
            if (folder)
                model.addFolder(path);
            else
                model.addFiles({path}, false);
        }

        if (args.values.contains("--set")) {
            const QString setPath = setsFolderOf(state) + setFileName(args.values.value("--set").trimmed());
            if (!FileOps::regularFileSize(setPath)) {
                printError(QString("Backup set %1 not found.").arg(setPath));
                return kExitFailure;
            }
            if (const Status loaded = model.loadBackupSet(setPath); !loaded) {
                printError(loaded.message());
                return kExitFailure;
            }
        }

        if (mode == BuildMode::Update) {
            // As the main window hands the open package's comment to the wizard, an update keeps the package's comment.
            ZipPackage package;
            if (!openPackage(package, zip)) return kExitFailure;
            model.handedComment = package.zGetComment();
        }
        model.refreshBuildGrid();
        if (interruptToken().cancelled()) return interruptedBuild(zip, zipExists);
        const QString comment =
            args.values.contains("--comment") ? args.values.value("--comment") : model.packageComment;

        BuildParams params = BuildParams::fromState(state, mode);
        const QFileInfo zipInfo(zip);
        params.targetFolder = TextUtil::withSlash(zipInfo.absolutePath());
        params.targetFileName = zipInfo.fileName();
        params.packagePath = zip;
        params.comment = comment;
        if (args.values.contains("--level"))
            params.zip.level = *CompressionLevels::fromName(args.values.value("--level"));
        // A new package is built with Add/Replace whatever is stored, as the zip settings dialog does.
        params.zip.updateCode = modeName == "freshen"  ? UpdateCode::Freshen
                                : modeName == "update" ? UpdateCode::Update
                                                       : UpdateCode::AddReplace;
        if (args.values.contains("--password")) {
            params.zip.password.text = args.values.value("--password");
        } else if (!params.zip.password.text.isEmpty()) {
            // Builds and extractions share the stored password; say where this one came from before it encrypts.
            std::fprintf(
                stderr, "%s",
                printableLine("using the stored password, " + PasswordSources::describe(PasswordSources::stored(state)))
                    .constData());
        }
        if (args.values.contains("--span")) {
            const QString span = args.values.value("--span");
            params.zip.spanSize = span == "auto" ? 0 : span.toLongLong();
        }
        params.list = model.fillBuildList();
        params.selectedFiles = model.selectedFiles;
        params.selectedBytes = model.selectedBytes;
        params.scanCountsFolders = !model.countFolders;

        BuildBars bars;
        BuildCallbacks callbacks;
        const bool mayReplace = !args.flags.contains("--no-replace");
        callbacks.askReplace = [mayReplace](const ReplaceQuestion&) { return mayReplace; };
        bars.connect(callbacks);
        BuildJob job(params, callbacks);
        const BuildResult result = job.execute(interruptToken());
        bars.finish();

        printSkippedFiles(result);
        switch (result.outcome) {
        case BuildOutcome::Completed:
            break;
        case BuildOutcome::Declined:
            printError(QString("%1 exists and was not replaced (--no-replace).").arg(zip));
            return kExitFailure;
        case BuildOutcome::Cancelled:
            return interruptedBuild(zip, zipExists);
        case BuildOutcome::Stopped:
        case BuildOutcome::Failed:
            printError(result.message);
            return kExitFailure;
        }

        printBuildCounters(state, result, mode);
        // Saved only now: a selection that did not build (a bad target, nothing to store) is no set to keep.
        if (!savedSetPath.isEmpty()) {
            const SetSaveChoice choice{QFileInfo(savedSetPath).fileName(), savedSetPath, comment};
            if (const Status saved = saveBackupSet(choice, model.build.entries()); !saved) {
                printError(saved.message());
                return kExitFailure;
            }
            writeOut(printableLine(QString("Backup set saved as %1").arg(savedSetPath)));
        }
        // A scheduled backup must be able to tell a complete backup from one that is missing files.
        return result.filesLeftOut() ? kExitFilesLeftOut : kExitOk;
    }

  private:
    static int interruptedBuild(const QString& zip, bool zipExists) {
        printError(zipExists ? QString("Build interrupted; %1 was left as it was.").arg(zip)
                             : QString("Build interrupted; no zip package was written."));
        return kExitInterrupted;
    }
};

} // namespace

std::unique_ptr<Command> makeBuildCommand() {
    return std::make_unique<BuildCommand>();
}

} // namespace cli
