// test ZIP: reads every entry back and checks its CRC.
#include "Command.h"

#include "CliOutput.h"
#include "TerminalProgress.h"
#include "app/AppState.h"
#include "viewer/EntryFields.h"
#include "zip/ZipPackage.h"

namespace cli {

namespace {

class TestCommand : public Command {
  public:
    TestCommand() {
        name = "test";
        valueOptions = {"--password"};
        help =
            QStringLiteral("  test ZIP [--password TEXT]\n"
                           "      Reads every entry back and checks its CRC; prints each failing entry and a summary.\n"
                           "      Without --password it uses the stored password, as extract does.\n"
                           "      Exit 0 only when every entry passes.\n");
    }

    int execute(AppState& state, const ParsedArgs& args) const override {
        const QString path = absolutePath(args.positional.first());
        // Like extract, test falls back on the password stored by the extract dialog.
        const QString password =
            args.values.contains("--password") ? args.values.value("--password") : state.text(Option::ZipPassword);
        ZipPackage package;
        if (!openPackage(package, path)) return kExitFailure;
        QStringList failures;
        TerminalProgress bar("Testing");
        const int result = package.zTestAll(password, &failures, interruptToken(), progressTo(bar));
        bar.finish();
        if (result == kZipCancelled) {
            printError("Test interrupted.");
            return kExitInterrupted;
        }
        const QString fileName = EntryFields::packageFileName(path);
        const qint64 total = package.zGetTotalFiles();
        QByteArray out;
        for (const QString& failure : failures)
            out += "FAILED  " + printableLine(failure);
        if (result == kZipOk && failures.isEmpty()) {
            out += printableLine(QString("%1: %2 entries tested, no errors.").arg(fileName).arg(total));
            writeOut(out);
            return kExitOk;
        }
        if (failures.isEmpty()) failures << package.zGetLastErrorAsText();
        out += printableLine(QString("%1: %2 of %3 entries failed.").arg(fileName).arg(failures.size()).arg(total));
        writeOut(out);
        return kExitFailure;
    }
};

} // namespace

std::unique_ptr<Command> makeTestCommand() {
    return std::make_unique<TestCommand>();
}

} // namespace cli
