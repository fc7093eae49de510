#pragma once
// One varnhold-cli command per class and file: its name, its options, its lines in --help and what it does.
// runCli finds the command in commands(), parses its options, runs the start-up and calls execute(). A new
// command is a new file with a make...Command() factory, named in commands().

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class AppState;
class ZipPackage;

namespace cli {

/// Options of the form "--name VALUE", "--name=VALUE" or "--flag", with the positional arguments apart.
struct ParsedArgs {
    QStringList positional;
    QHash<QString, QString> values;    ///< the last value of each option
    QHash<QString, QStringList> lists; ///< every value of each option, in order (repeatable options)
    QSet<QString> flags;
    QString error;
};

ParsedArgs parseArgs(const QStringList& args, const QSet<QString>& valueOptions, const QSet<QString>& flagOptions);

/// The path made absolute and clean.
QString absolutePath(const QString& path);

/// The folders of a "--drives ROOT,ROOT..." list, absolute and ending in "/"; blank items are left out. A ROOT
/// that is not a folder sets *problem to "ROOT: no such folder" (ROOT as given).
QStringList givenRoots(const QString& list, QString* problem);

/// Opens the package, printing the layer's message on failure.
bool openPackage(ZipPackage& package, const QString& path);

class Command {
  public:
    virtual ~Command() = default;

    QString name;
    QSet<QString> valueOptions; ///< options that take a value
    QSet<QString> flagOptions;  ///< options without one (--help is every command's)
    QString help;               ///< the command's lines under "Commands:" in --help, each ending in "\n"
    /// Run only with a readable settings file: the command takes its options (and the password) from it, and
    /// run with the defaults instead, a build meant to be encrypted would quietly come out plain.
    bool needsStoredSettings = false;

    /// What is wrong with the arguments, checked before the start-up so that a usage error leaves no trace; ""
    /// when nothing is. By default the command takes one zip package.
    virtual QString usageProblem(const ParsedArgs& args) const;
    /// Runs the command after the start-up; returns the exit code.
    virtual int execute(AppState& state, const ParsedArgs& args) const = 0;
};

std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makeTestCommand();
std::unique_ptr<Command> makeExtractCommand();
std::unique_ptr<Command> makeBuildCommand();
std::unique_ptr<Command> makeSearchCommand();
std::unique_ptr<Command> makeFindCommand();
std::unique_ptr<Command> makeCountCommand();
std::unique_ptr<Command> makeSplitCommand();
std::unique_ptr<Command> makeSfxCommand();
std::unique_ptr<Command> makeUpdateCommand();

/// Every command, in the order --help describes them.
const std::vector<std::unique_ptr<Command>>& commands();
/// The command of that name, or nullptr.
const Command* findCommand(const QString& name);

} // namespace cli
