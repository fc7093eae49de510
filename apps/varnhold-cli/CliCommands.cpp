#include "CliCommands.h"

#include "TerminalProgress.h"
#include "app/StartUp.h"
#include "tools/ExtractRequest.h"
#include "viewer/EntryFields.h"
#include "viewer/EntryList.h"
#include "zip/ZipPackage.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>

namespace {

std::atomic_bool g_interrupted{false};

void onInterrupt(int) { g_interrupted = true; }

// Ctrl-C asks the running job to stop at its next check, so the job can clean up after itself.
void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void writeOut(const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout); }

void printError(const QString& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "varnhold-cli: %s\n", message.toLocal8Bit().constData());
}

int usageError(const QString& message) {
    printError(message);
    std::fprintf(stderr, "Try 'varnhold-cli --help'.\n");
    return kExitUsage;
}

// Options of the form "--name VALUE" or "--flag", with the positional arguments apart.
struct ParsedArgs {
    QStringList positional;
    QHash<QString, QString> values;
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

QString absolutePath(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

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
    if (!openPackage(package, path)) return kExitFailure;
    EntryList list;
    list.load(package);
    list.sortAfterOpening();

    QByteArray out;
    out.reserve(qsizetype(list.size()) * 80);
    for (const EntryRow& row : list.rows()) {
        QString line = row.name;
        line += u'\t' + row.sizeText() + u'\t' + row.zippedText() + u'\t' + row.modifiedText() + u'\t' + row.ratioText() +
                u'\t' + row.folderPath + u'\n';
        out += line.toUtf8();
        if (out.size() > (1 << 20)) writeOut(out), out.clear();
    }
    out += EntryFields::openedStatusText(EntryFields::packageFileName(path), package.zGetTotalFiles(),
                                         package.zGetTotalBytes(), package.zGetComment())
               .toUtf8();
    out += '\n';
    writeOut(out);
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
    for (const QString& failure : failures) out += ("FAILED  " + failure + "\n").toUtf8();
    if (result == kZipOk && failures.isEmpty()) {
        out += QString("%1: %2 entries tested, no errors.\n").arg(name).arg(total).toUtf8();
        writeOut(out);
        return kExitOk;
    }
    if (failures.isEmpty()) failures << package.zGetLastErrorAsText();
    out += QString("%1: %2 of %3 entries failed.\n").arg(name).arg(failures.size()).arg(total).toUtf8();
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

    ZipPackage package;
    if (!openPackage(package, path)) return kExitFailure;

    ExtractReport report;
    int result;
    if (args.values.contains("--entry")) {
        bool ok = false;
        const qint64 index = args.values.value("--entry").toLongLong(&ok);
        if (!ok || index < 0 || index >= package.zGetTotalFiles())
            return usageError(QString("--entry takes an entry index from 0 to %1").arg(package.zGetTotalFiles() - 1));
        result = package.zExtractOne(index, target, settings.password, settings.options(), &report);
    } else {
        TerminalProgress bar("Extracting");
        result = package.zExtractAll(target, settings.password, settings.options(), progressTo(bar), &report);
    }
    for (const QString& refused : report.refused) std::fprintf(stderr, "refused  %s\n", refused.toLocal8Bit().constData());
    if (result == kZipCancelled) {
        printError("Extraction interrupted; no partly written file was left behind.");
        return kExitInterrupted;
    }
    if (result != kZipOk) {
        printError(package.zGetLastErrorAsText());
        return kExitFailure;
    }
    writeOut(QString("%1 extracted to %2 (%3 files, %4 kept as they were)\n")
                 .arg(EntryFields::packageFileName(path), target)
                 .arg(report.extracted)
                 .arg(report.skipped)
                 .toUtf8());
    return kExitOk;
}

} // namespace

QString cliUsage() {
    return QStringLiteral(
        "Usage: varnhold-cli COMMAND [ARGUMENTS]\n"
        "\n"
        "Works in the current folder as the application folder, with the same working folders\n"
        "(Sets, Temp, Extract, Zips, Make, Split) and settings as the desktop program.\n"
        "\n"
        "Commands:\n"
        "  list ZIP\n"
        "      One line per entry, sorted by file name (case ignored): name, size, zipped size,\n"
        "      modified, ratio and folder path, separated by TAB; then the package's status line\n"
        "      (file count, bytes, comment). Puts the package on top of the recent list.\n"
        "  test ZIP [--password TEXT]\n"
        "      Reads every entry back and checks its CRC; prints each failing entry and a summary.\n"
        "      Exit 0 only when every entry passes.\n"
        "  extract ZIP [--entry INDEX] [--to DIR] [--password TEXT] [--overwrite | --no-overwrite]\n"
        "              [--skip-older] [--no-folder-names]\n"
        "      Extracts one entry (INDEX counts from 0 in the package's own order) or all entries.\n"
        "      Without options it uses the stored extract options, the stored password and the\n"
        "      stored extract folder. Entries whose names would write outside the target folder\n"
        "      (absolute names, \"..\", drive letters, backslashes) and symbolic links are refused\n"
        "      and listed on stderr; the safe entries are still extracted.\n"
        "\n"
        "  --help  Shows this text.\n"
        "\n"
        "Exit status: 0 success, 1 failure (message on stderr), 2 usage error, 3 interrupted (Ctrl-C).\n");
}

int runCli(const QStringList& args, const QString& appFolder) {
    if (args.isEmpty()) return usageError("no command given");
    const QString command = args.first();
    if (command == "--help" || command == "-h" || command == "help") {
        writeOut(cliUsage().toUtf8());
        return kExitOk;
    }

    QSet<QString> valueOptions, flagOptions{"--help"};
    if (command == "test") valueOptions = {"--password"};
    else if (command == "extract") {
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
    if (parsed.positional.size() != 1) return usageError(command + " takes one zip package");
    if (parsed.flags.contains("--overwrite") && parsed.flags.contains("--no-overwrite"))
        return usageError("--overwrite and --no-overwrite exclude each other");

    AppState state;
    runStartUp(state, appFolder);
    catchInterrupt();
    const QString path = absolutePath(parsed.positional.first());
    if (command == "list") return listCommand(state, path);
    if (command == "test") return testCommand(path, parsed.values.value("--password"));
    return extractCommand(state, path, parsed);
}
