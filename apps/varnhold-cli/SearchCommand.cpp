// search: the build wizard's file search from a terminal, with the stored search criteria or flags in their place.
#include "Command.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "finding/FileSearch.h"
#include "finding/FixedDrives.h"
#include "utility/CancelToken.h"
#include "utility/FileOps.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

class SearchCommand : public Command {
  public:
    SearchCommand() {
        name = "search";
        valueOptions = {"--at-least", "--at-most", "--name", "--text", "--date", "--from", "--to", "--drives"};
        flagOptions = {"--match-case", "--ignore-case", "--defaults"};
        help = QStringLiteral(
            "  search [--at-least KB | --at-most KB] [--name PATTERN] [--text TEXT] [--match-case | --ignore-case]\n"
            "         [--date modified|created|accessed] [--from MM/DD/YYYY] [--to MM/DD/YYYY] [--drives ROOT,...]\n"
            "         [--defaults]\n"
            "      The build wizard's file search with the stored search criteria; each option ticks its criterion\n"
            "      and sets its value (--from and --to the date range), --defaults starts from the first-use\n"
            "      criteria instead of the stored ones. The criteria are not stored. A ROOT may be any folder;\n"
            "      the default is the stored drives. Prints the files found, one path per line, sorted. A\n"
            "      criterion that cannot be searched with is named on stderr (exit status 2), a ROOT that is\n"
            "      not a folder too (exit status 1).\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        if (!args.positional.isEmpty()) return "search takes options only";
        if (args.values.contains("--at-least") && args.values.contains("--at-most"))
            return "give --at-least or --at-most, not both";
        if (args.flags.contains("--match-case") && args.flags.contains("--ignore-case"))
            return "give --match-case or --ignore-case, not both";
        if (args.values.contains("--date")) {
            const QString kind = args.values.value("--date");
            if (kind != "modified" && kind != "created" && kind != "accessed")
                return "--date takes modified, created or accessed";
        }
        return {};
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        SearchOptions options =
            args.flags.contains("--defaults") ? SearchOptions() : SearchOptions::load(state.settings);
        applyFlags(options, args);

        QStringList available;
        if (args.values.contains("--drives")) {
            // Any folder may stand for a drive here; each must exist.
            QString problem;
            const QStringList roots = givenRoots(args.values.value("--drives"), &problem);
            if (!problem.isEmpty()) {
                printError(problem);
                return kExitFailure;
            }
            options.setText(SearchKey::Drives, FixedDrives::joined(roots));
        } else {
            available = FixedDrives::roots();
        }

        FileSearch search(options, available);
        if (const QString problem = search.check(); !problem.isEmpty()) {
            printError(problem);
            return kExitUsage;
        }

        SearchResult result = search.run(interruptToken());
        QStringList paths;
        paths.reserve(qsizetype(result.rows.size()));
        for (const FolderRecord& row : result.rows)
            paths << row.path;
        std::sort(paths.begin(), paths.end());
        QByteArray out;
        for (const QString& path : paths)
            out += printableLine(path);
        writeOut(out);
        std::fflush(stdout);
        if (result.cancelled) {
            printError("Search interrupted; the files found until then are listed.");
            return kExitInterrupted;
        }
        return kExitOk;
    }

  private:
    static void applyFlags(SearchOptions& options, const ParsedArgs& args) {
        const auto has = [&](const char* name) { return args.values.contains(name); };
        const auto value = [&](const char* name) { return args.values.value(name); };
        if (has("--at-least") || has("--at-most")) {
            options.setTicked(SearchKey::SizeTicked, true);
            options.setText(SearchKey::SizeCompare, has("--at-most") ? SearchWords::kAtMost : SearchWords::kAtLeast);
            options.setText(SearchKey::SizeLimit, value(has("--at-most") ? "--at-most" : "--at-least"));
        }
        if (has("--name")) {
            options.setTicked(SearchKey::NameTicked, true);
            options.setText(SearchKey::NamePattern, value("--name"));
        }
        if (has("--text")) {
            options.setTicked(SearchKey::TextTicked, true);
            options.setText(SearchKey::Text, value("--text"));
        }
        if (args.flags.contains("--match-case")) options.setTicked(SearchKey::MatchCase, true);
        if (args.flags.contains("--ignore-case")) options.setTicked(SearchKey::MatchCase, false);
        if (has("--date") || has("--from") || has("--to")) options.setTicked(SearchKey::DateTicked, true);
        if (has("--date")) {
            const QString kind = value("--date");
            options.setText(SearchKey::DateKind, kind == "created"    ? SearchWords::kCreated
                                                 : kind == "accessed" ? SearchWords::kAccessed
                                                                      : SearchWords::kModified);
        }
        if (has("--from")) options.setText(SearchKey::StartDate, value("--from"));
        if (has("--to")) options.setText(SearchKey::EndDate, value("--to"));
    }
};

} // namespace

std::unique_ptr<Command> makeSearchCommand() {
    return std::make_unique<SearchCommand>();
}

} // namespace cli
