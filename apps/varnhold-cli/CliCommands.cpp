// runCli: the global options, then the command named first, found among the commands (Command.h) and run after
// the start-up.
#include "CliCommands.h"

#include "Command.h"
#include "app/StartUp.h"
#include "app/Version.h"

using namespace cli;

namespace {
const QByteArray kVersionLine = QByteArrayLiteral("varnhold-cli " VARNHOLD_VERSION "\n");
}

QString cliUsage() {
    QString usage =
        QStringLiteral("Usage: varnhold-cli [--app-folder DIR] COMMAND [ARGUMENTS]\n"
                       "\n"
                       "Works in the application folder, with the same working folders (Sets, Temp, Extract,\n"
                       "Zips, Make, Split) and settings as the desktop program. The application folder is DIR\n"
                       "when --app-folder is given (before or after the command), else $VARNHOLD_HOME when it\n"
                       "is set, else $XDG_DATA_HOME/Varnhold (normally ~/.local/share/Varnhold); never the\n"
                       "folder it is started in. Backup sets are kept in the sets folder of the options (Sets\n"
                       "below the application folder unless another is chosen).\n"
                       "\n"
                       "Commands:\n");
    for (const auto& command : cli::commands())
        usage += command->help;
    usage +=
        QStringLiteral("\n"
                       "  --help     Shows this text.\n"
                       "  --version  Shows the program's version.\n"
                       "\n"
                       "Names and messages are printed one per line with control characters and text-direction\n"
                       "controls shown as escapes: \\n, \\t, \\r, \\xHH, \\uHHHH; a backslash is shown as \\\\.\n"
                       "\n"
                       "Exit status: 0 success, 1 failure (message on stderr), 2 usage error, 3 interrupted (Ctrl-C),\n"
                       "4 build completed but files were left out (locked or listed as not stored; see stderr),\n"
                       "or count could not read all that is below a folder (named on stderr).\n");
    return usage;
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
    const QString& name = args.first();
    if (name == "--help" || name == "-h" || name == "help") {
        writeOut(cliUsage().toUtf8());
        return kExitOk;
    }
    if (name == "--version") {
        writeOut(kVersionLine);
        return kExitOk;
    }

    const cli::Command* command = cli::findCommand(args.first());
    if (!command) return usageError("unknown command " + args.first());
    QSet<QString> flagOptions = command->flagOptions;
    flagOptions.insert("--help");
    flagOptions.insert("--version");
    const ParsedArgs parsed = parseArgs(args.mid(1), command->valueOptions, flagOptions);
    if (!parsed.error.isEmpty()) return usageError(parsed.error);
    if (parsed.flags.contains("--help")) {
        writeOut(cliUsage().toUtf8());
        return kExitOk;
    }
    if (parsed.flags.contains("--version")) {
        writeOut(kVersionLine);
        return kExitOk;
    }
    if (const QString problem = command->usageProblem(parsed); !problem.isEmpty()) return usageError(problem);

    catchInterrupt();
    AppState state;
    runStartUp(state, appFolder);
    for (const QString& note : state.startUpNotes)
        printError(note);
    if (const QString problem = state.settings.problem(); !problem.isEmpty()) {
        printError(problem);
        if (command->needsStoredSettings) {
            printError(QString("%1 uses the stored settings, so it was not run.").arg(command->name));
            return kExitFailure;
        }
    }
    return command->execute(state, parsed);
}
