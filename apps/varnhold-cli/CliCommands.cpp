#include "CliCommands.h"

#include "TerminalProgress.h"
#include "app/StartUp.h"
#include "build/BuildJob.h"
#include "build/SelectionModel.h"
#include "sets/BackupSetFile.h"
#include "tools/ExtractRequest.h"
#include "utility/NativePath.h"
#include "utility/TextUtil.h"
#include "viewer/EntryFields.h"
#include "viewer/EntryList.h"
#include "zip/ZipPackage.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>

namespace {

std::atomic_bool g_interrupted{false};

void onInterrupt(int) {
    g_interrupted = true;
}

// Ctrl-C and SIGTERM ask the running job to stop at its next check, so the job can clean up after itself. The
// flag is only ever set here: no job clears it, so an interrupt that comes between two steps is not lost.
void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// Names and messages from a package may hold anything; every one is printed on one line, escaped.
QString printable(const QString& text) {
    return EntryFields::visibleText(text);
}

QByteArray printableLine(const QString& text) {
    return (printable(text) + u'\n').toUtf8();
}

void printError(const QString& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "varnhold-cli: %s", printableLine(message).constData());
}

// One line on stderr: a fixed tag, then a name or "name: reason" from the package or the disk.
void printTagged(const char* tag, const QString& text) {
    std::fprintf(stderr, "%s%s", tag, printableLine(text).constData());
}

int interruptedBuild(const QString& zip, bool zipExists) {
    printError(zipExists ? QString("Build interrupted; %1 was left as it was.").arg(zip)
                         : QString("Build interrupted; no zip package was written."));
    return kExitInterrupted;
}

int usageError(const QString& message) {
    printError(message);
    std::fprintf(stderr, "Try 'varnhold-cli --help'.\n");
    return kExitUsage;
}

// Options of the form "--name VALUE" or "--flag", with the positional arguments apart.
struct ParsedArgs {
    QStringList positional;
    QHash<QString, QString> values;    ///< the last value of each option
    QHash<QString, QStringList> lists; ///< every value of each option, in order (repeatable options)
    QSet<QString> flags;
    QString error;
};

ParsedArgs parseArgs(const QStringList& args, const QSet<QString>& valueOptions, const QSet<QString>& flagOptions) {
    ParsedArgs parsed;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--") {
            parsed.positional += args.mid(i + 1);
            break;
        }
        if (arg.startsWith("--")) {
            QString name = arg, value;
            const qsizetype eq = arg.indexOf('=');
            const bool inlineValue = eq > 0;
            if (inlineValue) name = arg.left(eq), value = arg.mid(eq + 1);
            if (valueOptions.contains(name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        parsed.error = name + " needs a value";
                        return parsed;
                    }
                    value = args[++i];
                }
                parsed.values.insert(name, value);
                parsed.lists[name].append(value);
            } else if (flagOptions.contains(name) && !inlineValue) {
                parsed.flags.insert(name);
            } else {
                parsed.error = "unknown option " + arg;
                return parsed;
            }
        } else {
            parsed.positional << arg;
        }
    }
    return parsed;
}

QString absolutePath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Opens the package, printing the layer's message on failure.
bool openPackage(ZipPackage& package, const QString& path) {
    if (package.zOpenZipFile(path) == kZipOk) return true;
    printError(package.zGetLastErrorAsText());
    return false;
}

ZipProgressCallback progressTo(TerminalProgress& bar) {
    return [&bar](const ZipProgress& p) {
        bar.update(p.bytesTotal > 0 ? p.bytesDone : p.filesDone, p.bytesTotal > 0 ? p.bytesTotal : p.filesTotal);
        return !g_interrupted.load();
    };
}

int listCommand(AppState& state, const QString& path) {
    ZipPackage package;
    // Only the entries are needed: a plain package is listed from its directory without libzip's full open.
    if (package.zOpenZipFile(path, ZipPackage::OpenPurpose::Listing) != kZipOk) {
        printError(package.zGetLastErrorAsText());
        return kExitFailure;
    }
    EntryList list;
    list.load(package);
    list.sortAfterOpening();

    // Every row goes into one buffer, written in large pieces; fields are appended as UTF-8 directly.
    QByteArray out;
    constexpr qsizetype kChunk = 1 << 22;
    out.reserve(std::min<qsizetype>(qsizetype(list.size()) * 80, kChunk + 4096));
    for (const EntryRow& row : list.rows()) {
        EntryFields::appendVisibleText(out, row.name);
        out += '\t';
        EntryFields::appendSizeText(out, row.size);
        out += '\t';
        EntryFields::appendSizeText(out, row.zipped);
        out += '\t';
        EntryFields::appendModifiedText(out, quint16(row.dosStamp >> 16), quint16(row.dosStamp));
        out += '\t';
        EntryFields::appendRatioText(out, row.size, row.zipped);
        out += '\t';
        EntryFields::appendVisibleText(out, row.folderPath);
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

int testCommand(const QString& path, const QString& password) {
    ZipPackage package;
    if (!openPackage(package, path)) return kExitFailure;
    QStringList failures;
    TerminalProgress bar("Testing");
    const int result = package.zTestAll(password, &failures, progressTo(bar));
    bar.finish();
    if (result == kZipCancelled) {
        printError("Test interrupted.");
        return kExitInterrupted;
    }
    const QString name = EntryFields::packageFileName(path);
    const qint64 total = package.zGetTotalFiles();
    QByteArray out;
    for (const QString& failure : failures)
        out += "FAILED  " + printableLine(failure);
    if (result == kZipOk && failures.isEmpty()) {
        out += printableLine(QString("%1: %2 entries tested, no errors.").arg(name).arg(total));
        writeOut(out);
        return kExitOk;
    }
    if (failures.isEmpty()) failures << package.zGetLastErrorAsText();
    out += printableLine(QString("%1: %2 of %3 entries failed.").arg(name).arg(failures.size()).arg(total));
    writeOut(out);
    return kExitFailure;
}

int extractCommand(AppState& state, const QString& path, const ParsedArgs& args) {
    ExtractSettings settings = ExtractSettings::fromState(state);
    if (args.flags.contains("--overwrite")) settings.overwrite = true;
    if (args.flags.contains("--no-overwrite")) settings.overwrite = false;
    if (args.flags.contains("--skip-older")) settings.skipOlder = true;
    if (args.flags.contains("--no-folder-names")) settings.useFolderNames = false;
    if (args.values.contains("--password")) settings.password = args.values.value("--password");
    QString target = settings.targetFolder();
    if (args.values.contains("--to")) target = withTrailingSlash(absolutePath(args.values.value("--to")));
    if (target.trimmed().isEmpty()) {
        printError("No extract folder is set: please choose a folder to extract to with --to DIR.");
        return kExitFailure;
    }

    ZipPackage package;
    if (!openPackage(package, path)) return kExitFailure;

    ExtractReport report;
    int result;
    if (args.values.contains("--entry")) {
        bool ok = false;
        const qint64 index = args.values.value("--entry").toLongLong(&ok);
        if (!ok || index < 0 || index >= package.zGetTotalFiles())
            return usageError(QString("--entry takes an entry index from 0 to %1").arg(package.zGetTotalFiles() - 1));
        result = package.zExtractOne(index, target, settings.password, settings.options(), &report,
                                     [](const ZipProgress&) { return !g_interrupted.load(); });
    } else {
        TerminalProgress bar("Extracting");
        result = package.zExtractAll(target, settings.password, settings.options(), progressTo(bar), &report);
    }
    for (const QString& refused : report.refused)
        printTagged("refused  ", refused);
    for (const QString& failed : report.failed)
        printTagged("failed  ", failed);
    if (result == kZipCancelled) {
        printError("Extraction interrupted; no partly written file was left behind.");
        return kExitInterrupted;
    }
    if (result != kZipOk) {
        printError(package.zGetLastErrorAsText());
        return kExitFailure;
    }
    QString summary = QString("%1 extracted to %2 (%3 files, %4 kept as they were")
                          .arg(EntryFields::packageFileName(path), target)
                          .arg(report.extracted)
                          .arg(report.skipped);
    if (!report.failed.isEmpty()) summary += QString(", %1 failed").arg(report.failed.size());
    writeOut(printableLine(summary + u')'));
    return kExitOk;
}

// --- build ---

const QStringList kLevelNames = {"none", "fast", "normal", "maximum"};

// Checks of the build arguments that need no start-up, so that a usage error leaves no trace.
QString buildUsageProblem(const ParsedArgs& args) {
    if (args.positional.isEmpty() || (args.positional.size() < 2 && !args.values.contains("--set")))
        return "build takes a zip package and at least one PATH or --set NAME";
    if (args.values.contains("--level") && !kLevelNames.contains(args.values.value("--level")))
        return "--level takes none, fast, normal or maximum";
    const QString mode = args.values.value("--mode", "add");
    if (mode != "add" && mode != "freshen" && mode != "update") return "--mode takes add, freshen or update";
    if (args.values.contains("--span")) {
        const QString span = args.values.value("--span");
        bool ok = false;
        const qint64 bytes = span.toLongLong(&ok);
        if (span != "auto" && (!ok || bytes <= 0)) return "--span takes a size in bytes or auto";
    }
    for (const char* option : {"--include", "--exclude"}) {
        const QStringList patterns = args.lists.value(option);
        if (patterns.size() > kPatternSlots) return QString("at most %1 %2 patterns").arg(kPatternSlots).arg(option);
        for (const QString& pattern : patterns)
            if (pattern.trimmed().isEmpty() || pattern.contains(u' '))
                return QString("%1 takes one pattern without blanks").arg(option);
    }
    if (args.values.contains("--set") && args.values.value("--set").trimmed().isEmpty())
        return "--set needs a backup set name";
    if (args.values.contains("--save-set") && args.values.value("--save-set").trimmed().isEmpty())
        return "--save-set needs a backup set name";
    return {};
}

// The two bars of the desktop program's progress window, one after the other on the terminal.
struct BuildBars {
    std::optional<TerminalProgress> selecting;
    std::optional<TerminalProgress> compressing;
    void select(int percent) {
        if (!selecting) selecting.emplace("Selecting files");
        selecting->update(percent, 100);
    }
    void compress(int percent) {
        if (selecting) selecting->finish(), selecting.reset();
        if (!compressing) compressing.emplace("Compressing");
        compressing->update(percent, 100);
    }
    void finish() {
        if (selecting) selecting->finish(), selecting.reset();
        if (compressing) compressing->finish(), compressing.reset();
    }
};

int buildCommand(AppState& state, const ParsedArgs& args) {
    const QString zip = absolutePath(args.positional.first());
    const QString modeName = args.values.value("--mode", "add");
    const bool zipExists = QFileInfo::exists(zip);
    const BuildMode mode = modeName == "add" ? BuildMode::Build : BuildMode::Update;
    if (mode == BuildMode::Update && !zipExists) {
        printError(QString("%1 does not exist; --mode %2 works on an existing zip package.").arg(zip, modeName));
        return kExitFailure;
    }

    SelectionModel model(state);
    // The counting scans of the folders given stop on an interrupt as the build itself does.
    model.countCancel = &g_interrupted;
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
        const QFileInfo info(path);
        if (!info.exists() || (given.endsWith('/') && !info.isDir())) {
            printError(QString("%1 does not exist.").arg(given.endsWith('/') ? withTrailingSlash(path) : path));
            return kExitFailure;
        }
        if (info.isDir())
            model.addFolder(path);
        else
            model.addFiles({path}, false);
    }

    if (args.values.contains("--set")) {
        const QString setPath =
            withTrailingSlash(state.option("Options08")) + setFileName(args.values.value("--set").trimmed());
        if (!QFileInfo(setPath).isFile()) {
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
    if (g_interrupted.load()) return interruptedBuild(zip, zipExists);
    const QString comment = args.values.contains("--comment") ? args.values.value("--comment") : model.packageComment;

    if (args.values.contains("--save-set")) {
        const QString setPath =
            withTrailingSlash(state.option("Options08")) + setFileName(args.values.value("--save-set").trimmed());
        if (const Status saved = writeSetFile(setPath, BackupSet{comment, model.build.entries()}); !saved) {
            printError(saved.message());
            return kExitFailure;
        }
        writeOut(printableLine(QString("Backup set saved as %1").arg(setPath)));
    }

    BuildParams params = BuildParams::fromState(state, mode);
    const QFileInfo zipInfo(zip);
    params.targetFolder = withTrailingSlash(zipInfo.absolutePath());
    params.targetFileName = zipInfo.fileName();
    params.packagePath = zip;
    params.comment = comment;
    if (args.values.contains("--level"))
        params.zip.level = CompressionLevel(kLevelNames.indexOf(args.values.value("--level")));
    // A new package is built with Add/Replace whatever is stored, as the zip settings dialog does.
    params.zip.updateCode = modeName == "freshen"  ? UpdateCode::Freshen
                            : modeName == "update" ? UpdateCode::Update
                                                   : UpdateCode::AddReplace;
    if (args.values.contains("--password")) params.zip.password = args.values.value("--password");
    if (args.values.contains("--span")) {
        const QString span = args.values.value("--span");
        params.zip.spanSize = span == "auto" ? 0 : span.toLongLong();
    }
    params.list = model.fillBuildList();
    params.selectedFiles = model.selectedFiles;
    params.selectedBytes = model.selectedBytes;

    BuildBars bars;
    BuildCallbacks callbacks;
    const bool mayReplace = !args.flags.contains("--no-replace");
    callbacks.askReplace = [mayReplace](const ReplaceQuestion&) { return mayReplace; };
    callbacks.selecting = [&bars](int percent) { bars.select(percent); };
    callbacks.compressing = [&bars](int percent) { bars.compress(percent); };
    BuildJob job(params, callbacks);
    job.setCancelFlag(&g_interrupted);
    const BuildResult result = job.execute();
    bars.finish();

    for (const QString& path : result.lockedPaths)
        printTagged("locked  ", path);
    for (const LeftOutFile& file : result.leftOutFiles)
        printTagged("left out  ", file.path + ": " + file.reason);
    for (const QString& path : result.changedPaths)
        printTagged("changed  ", path);
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

    QStringList lines{result.heading.trimmed(),
                      mode == BuildMode::Update ? result.resultPackagePath : "Zip Package: " + result.resultPackagePath,
                      "Total number of files selected: " + TextUtil::formatGrouped(result.selectedFiles),
                      "Total number of bytes selected: " + TextUtil::formatGrouped(result.selectedBytes),
                      "Total compressed bytes: " + TextUtil::formatGrouped(result.packageBytes)};
    if (!result.updatedLine.isEmpty()) lines << result.updatedLine;
    lines << result.lockedLine;
    if (!result.leftOutLine.isEmpty()) lines << result.leftOutLine;
    if (!result.changedLine.isEmpty()) lines << result.changedLine;
    const QString lockedList = QDir::cleanPath(state.workFolder("Zips") + "Locked.Txt");
    if (result.lockedListWritten) {
        if (result.locked > 0)
            lines << "List of locked files saved as " + lockedList;
        else if (result.leftOut > 0 || result.changed > 0)
            lines << "List of files left out or changed saved as " + lockedList;
    }
    QByteArray out;
    for (const QString& line : lines)
        out += printableLine(line);
    writeOut(out);
    // A scheduled backup must be able to tell a complete backup from one that is missing files.
    return result.filesLeftOut() ? kExitFilesLeftOut : kExitOk;
}

} // namespace

QString cliUsage() {
    return QStringLiteral(
        "Usage: varnhold-cli [--app-folder DIR] COMMAND [ARGUMENTS]\n"
        "\n"
        "Works in the application folder, with the same working folders (Sets, Temp, Extract,\n"
        "Zips, Make, Split) and settings as the desktop program. The application folder is DIR\n"
        "when --app-folder is given (before or after the command), else $VARNHOLD_HOME when it\n"
        "is set, else $XDG_DATA_HOME/Varnhold (normally ~/.local/share/Varnhold).\n"
        "\n"
        "Commands:\n"
        "  list ZIP\n"
        "      One line per entry, sorted by file name (case ignored): name, size, zipped size,\n"
        "      modified, ratio and folder path, separated by TAB; then the package's status line\n"
        "      (file count, bytes, comment). Puts the package on top of the recent list.\n"
        "  test ZIP [--password TEXT]\n"
        "      Reads every entry back and checks its CRC; prints each failing entry and a summary.\n"
        "      Without --password it uses the stored password, as extract does.\n"
        "      Exit 0 only when every entry passes.\n"
        "  extract ZIP [--entry INDEX] [--to DIR] [--password TEXT] [--overwrite | --no-overwrite]\n"
        "              [--skip-older] [--no-folder-names]\n"
        "      Extracts one entry (INDEX counts from 0 in the package's own order) or all entries.\n"
        "      Without options it uses the stored extract options, the stored password and the\n"
        "      stored extract folder. Entries whose names would write outside the target folder\n"
        "      (absolute names, \"..\", drive letters) and symbolic links are refused and listed on\n"
        "      stderr; the safe entries are still extracted. Nothing is written through a symbolic\n"
        "      link inside the target folder. An entry that cannot be extracted (damaged data, a\n"
        "      wrong password) is named in the error, and the others are still extracted.\n"
        "  build ZIP PATH... [--level none|fast|normal|maximum] [--mode add|freshen|update]\n"
        "              [--password TEXT] [--comment TEXT] [--span BYTES|auto]\n"
        "              [--include PATTERN]... [--exclude PATTERN]... [--save-set NAME] [--no-replace]\n"
        "  build ZIP --set NAME [PATH...] [options as above]\n"
        "      Builds a zip package from folders and files, as the build wizard does. A PATH that\n"
        "      names a folder (or ends in \"/\") takes every file below it that matches an include\n"
        "      pattern and no exclude pattern (whole path, case ignored; up to five of each; the\n"
        "      stored patterns unless given); any other PATH is one file. --set NAME adds the rows\n"
        "      of a saved backup set, each folder with its own patterns. Files are stored under\n"
        "      their full path as the stored settings say. --mode add (the default) builds a new\n"
        "      package, replacing an existing ZIP unless --no-replace is given; freshen and update\n"
        "      work on an existing ZIP. Without options the stored compression level and password\n"
        "      are used. --save-set NAME also saves the selection as a backup set. Files held\n"
        "      locked by other programs are skipped, listed on stderr and in Zips/Locked.Txt.\n"
        "      So are, each with its reason, folders that cannot be opened, entries whose status\n"
        "      cannot be read, pipes, sockets and devices, and (without full paths) a second file\n"
        "      of a name already stored; files that changed while they were read are stored and\n"
        "      listed. Symbolic links are stored as links, never followed. The package, its\n"
        "      volumes and the program's work files are never packed into themselves.\n"
        "      The old package stays as it was until the new one is complete and checked.\n"
        "\n"
        "  --help  Shows this text.\n"
        "\n"
        "Names and messages are printed one per line with control characters and text-direction\n"
        "controls shown as escapes: \\n, \\t, \\r, \\xHH, \\uHHHH; a backslash is shown as \\\\.\n"
        "\n"
        "Exit status: 0 success, 1 failure (message on stderr), 2 usage error, 3 interrupted (Ctrl-C),\n"
        "4 build completed but files were left out (locked or listed as not stored; see stderr).\n");
}

int runCli(const QStringList& givenArgs, const QString& defaultFolder) {
    // --app-folder is global: it may stand before or after the command.
    QStringList args;
    QString appFolder = defaultFolder;
    for (int i = 0; i < givenArgs.size(); ++i) {
        const QString& arg = givenArgs[i];
        if (arg == "--") {
            args += givenArgs.mid(i);
            break;
        }
        if (arg == "--app-folder" || arg.startsWith("--app-folder=")) {
            QString value = arg.mid(qsizetype(sizeof("--app-folder")));
            if (arg == "--app-folder") {
                if (i + 1 >= givenArgs.size()) return usageError("--app-folder needs a folder");
                value = givenArgs[++i];
            }
            if (value.isEmpty()) return usageError("--app-folder needs a folder");
            appFolder = value;
            continue;
        }
        args << arg;
    }
    if (args.isEmpty()) return usageError("no command given");
    const QString command = args.first();
    if (command == "--help" || command == "-h" || command == "help") {
        writeOut(cliUsage().toUtf8());
        return kExitOk;
    }

    QSet<QString> valueOptions, flagOptions{"--help"};
    if (command == "test")
        valueOptions = {"--password"};
    else if (command == "build") {
        valueOptions = {"--level",   "--mode",    "--password", "--comment", "--span",
                        "--include", "--exclude", "--save-set", "--set"};
        flagOptions.insert("--no-replace");
    } else if (command == "extract") {
        valueOptions = {"--entry", "--to", "--password"};
        flagOptions += {"--overwrite", "--no-overwrite", "--skip-older", "--no-folder-names"};
    } else if (command != "list") {
        return usageError("unknown command " + command);
    }
    const ParsedArgs parsed = parseArgs(args.mid(1), valueOptions, flagOptions);
    if (!parsed.error.isEmpty()) return usageError(parsed.error);
    if (parsed.flags.contains("--help")) {
        writeOut(cliUsage().toUtf8());
        return kExitOk;
    }
    if (command == "build") {
        if (const QString problem = buildUsageProblem(parsed); !problem.isEmpty()) return usageError(problem);
    } else if (parsed.positional.size() != 1) {
        return usageError(command + " takes one zip package");
    }
    if (parsed.flags.contains("--overwrite") && parsed.flags.contains("--no-overwrite"))
        return usageError("--overwrite and --no-overwrite exclude each other");

    catchInterrupt();
    AppState state;
    runStartUp(state, appFolder);
    for (const QString& note : state.startUpNotes)
        printError(note);
    if (const QString problem = state.settings.problem(); !problem.isEmpty()) {
        printError(problem);
        // Building and extracting take their options and the password from the stored settings: run with the
        // defaults instead, a build meant to be encrypted would quietly come out plain.
        if (command == "build" || command == "extract") {
            printError(QString("%1 uses the stored settings, so it was not run.").arg(command));
            return kExitFailure;
        }
    }
    const QString path = absolutePath(parsed.positional.first());
    if (command == "list") return listCommand(state, path);
    // Like extract, test falls back on the password stored by the extract dialog.
    if (command == "test")
        return testCommand(path, parsed.values.contains("--password") ? parsed.values.value("--password")
                                                                      : state.option("Optionse4"));
    if (command == "build") return buildCommand(state, parsed);
    return extractCommand(state, path, parsed);
}
