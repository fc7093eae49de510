// find: the zip packages below the chosen drives (or folders), optionally only those holding a matching entry; the
// result becomes the package index, as closing the find dialog makes it. find --index: the index's packages.
#include "Command.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "finding/FindSettings.h"
#include "finding/FixedDrives.h"
#include "finding/PackageFinder.h"
#include "finding/PackageIndex.h"
#include "utility/TextUtil.h"

namespace cli {

namespace {

QByteArray rowLines(const QVector<PackageRow>& rows) {
    QByteArray out;
    for (const PackageRow& row : rows) {
        out += printable(row.path).toUtf8();
        out += '\t';
        out += TextUtil::formatGrouped(row.size).toUtf8();
        out += '\n';
    }
    return out;
}

class FindCommand : public Command {
  public:
    FindCommand() {
        name = "find";
        valueOptions = {"--drives", "--entry"};
        flagOptions = {"--index"};
        help = QStringLiteral(
            "  find [--drives ROOT,ROOT...] [--entry PATTERN]\n"
            "      Finds the zip packages (*.zip, case ignored) below each ROOT, never following links or\n"
            "      entering another mounted file system; with --entry only those holding an entry whose file\n"
            "      name matches PATTERN (*, ?, #, [list]; case ignored; folders in the entry name ignored).\n"
            "      Prints path TAB size per package, sorted by path, and keeps them as the package index.\n"
            "      Without --drives it searches the drives stored by the find dialog (all fixed drives at\n"
            "      first); given options are stored as the dialog stores them. A ROOT that is not a folder\n"
            "      is named on stderr (exit status 1), and the index and the stored options stay as they were.\n"
            "  find --index\n"
            "      The packages of the index that still exist, as the find dialog shows them when it opens.\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        if (!args.positional.isEmpty()) return QStringLiteral("find takes no file names");
        if (args.flags.contains("--index") && (args.values.contains("--drives") || args.values.contains("--entry")))
            return QStringLiteral("find --index takes no other options");
        if (args.values.contains("--entry")) return FindChecks::patternProblem(args.values.value("--entry"));
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString& app = state.folders.app;
        if (args.flags.contains("--index")) {
            writeOut(rowLines(PackageIndex::load(app)));
            return kExitOk;
        }

        FindSettings settings = FindSettings::load(state.settings);
        QStringList roots;
        if (args.values.contains("--drives")) {
            // Checked before anything is stored: a root that is not a folder leaves the index and the settings alone.
            QString problem;
            roots = givenRoots(args.values.value("--drives"), &problem);
            if (!problem.isEmpty()) {
                printError(problem);
                return kExitFailure;
            }
            settings.drives = FixedDrives::joined(roots);
        } else {
            roots = FixedDrives::selectedRoots(settings.drives, FixedDrives::roots());
        }
        if (args.values.contains("--entry")) settings.pattern = args.values.value("--entry");
        if (args.values.contains("--drives") || args.values.contains("--entry")) settings.store(state.settings);
        if (const QString problem = FindChecks::drivesProblem(roots); !problem.isEmpty()) {
            printError(problem);
            return kExitFailure;
        }

        FindParams params;
        params.roots = roots;
        params.searchInside = args.values.contains("--entry");
        params.entryPattern = settings.pattern;
        FindResult result = PackageFinder(params).run(interruptToken());
        const auto interrupted = [] {
            printError(QStringLiteral("Find interrupted; the package index was left as it was."));
            return kExitInterrupted;
        };
        if (result.cancelled || interruptToken().cancelled()) return interrupted();
        sortRows(result.rows);
        writeOut(rowLines(result.rows));
        if (interruptToken().cancelled()) return interrupted(); // a Ctrl-C while the list was printed
        if (Status saved = PackageIndex::save(app, result.rows); !saved) {
            printError(saved.message());
            return kExitFailure;
        }
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeFindCommand() {
    return std::make_unique<FindCommand>();
}

} // namespace cli
