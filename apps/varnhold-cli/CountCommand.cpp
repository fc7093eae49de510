// count FOLDER...: what ticking the folders in the build wizard's tree shows, the files the stored patterns take
// and their byte total, for scripts that want to know how big a backup will be before they build it.
#include "Command.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "backup/SelectionModel.h"
#include "sets/Patterns.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"

#include <QFileInfo>

namespace cli {

namespace {

class CountCommand : public Command {
  public:
    CountCommand() {
        name = "count";
        help = QStringLiteral("  count FOLDER...\n"
                              "      One line per folder, as the build wizard's folder row shows it: the folder, the\n"
                              "      number of files the stored include and exclude patterns take and their byte\n"
                              "      total, separated by tabs. What cannot be read (a folder that cannot be opened, a\n"
                              "      file whose status cannot be read) is named on stderr, as build names it, and is\n"
                              "      missing from the count: exit status 4. Exit 1 when a FOLDER is not a folder.\n");
    }

    QString usageProblem(const ParsedArgs& args) const override {
        return args.positional.isEmpty() ? QStringLiteral("count needs at least one folder") : QString();
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const CurrentPatterns patterns = CurrentPatterns::fromSettings(state.settings);
        QByteArray out;
        int exitCode = kExitOk;
        for (const QString& given : args.positional) {
            const QString path = absolutePath(given);
            if (!FileOps::isFolder(path)) {
                printError(QString("%1 is not a folder.").arg(path));
                exitCode = kExitFailure;
                continue;
            }
            const QString folder = TextUtil::withSlash(path);
            const FolderCount count = countFolder(folder, patterns, interruptToken());
            if (interruptToken().cancelled()) {
                writeOut(out);
                printError(QStringLiteral("Count interrupted."));
                return kExitInterrupted;
            }
            // The build would leave these out: the count is short by whatever they hold.
            for (const LeftOutFile& unread : count.unread)
                printTagged("left out  ", unread.path + ": " + unread.reason);
            if (!count.unread.isEmpty() && exitCode == kExitOk) exitCode = kExitFilesLeftOut;
            out += printable(folder).toUtf8() + '\t' + TextUtil::formatGrouped(count.files).toUtf8() + '\t' +
                   TextUtil::formatGrouped(count.bytes).toUtf8() + '\n';
        }
        writeOut(out);
        return exitCode;
    }
};

} // namespace

std::unique_ptr<Command> makeCountCommand() {
    return std::make_unique<CountCommand>();
}

} // namespace cli
