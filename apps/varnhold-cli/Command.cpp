#include "Command.h"

#include "CliOutput.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"
#include "zip/ZipPackage.h"

namespace cli {

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
    return FileOps::absolutePath(path);
}

QStringList givenRoots(const QString& list, QString* problem) {
    QStringList roots;
    for (const QString& item : list.split(u',', Qt::SkipEmptyParts)) {
        const QString given = item.trimmed();
        if (given.isEmpty()) continue;
        const QString root = absolutePath(given);
        if (!FileOps::isFolder(root)) {
            *problem = given + QStringLiteral(": no such folder");
            return {};
        }
        roots << TextUtil::withSlash(root);
    }
    return roots;
}

bool openPackage(ZipPackage& package, const QString& path) {
    if (package.zOpenZipFile(path) == kZipOk) {
        if (!package.zOpenNotice().isEmpty()) printError(package.zOpenNotice());
        return true;
    }
    printError(package.zGetLastErrorAsText());
    return false;
}

QString Command::usageProblem(const ParsedArgs& args) const {
    if (args.positional.size() != 1) return name + " takes one zip package";
    return {};
}

const std::vector<std::unique_ptr<Command>>& commands() {
    static const std::vector<std::unique_ptr<Command>> all = [] {
        std::vector<std::unique_ptr<Command>> made;
        made.push_back(makeListCommand());
        made.push_back(makeTestCommand());
        made.push_back(makeExtractCommand());
        made.push_back(makeBuildCommand());
        made.push_back(makeUpdateCommand());
        made.push_back(makeSearchCommand());
        made.push_back(makeFindCommand());
        made.push_back(makeCountCommand());
        made.push_back(makeSplitCommand());
        made.push_back(makeSfxCommand());
        return made;
    }();
    return all;
}

const Command* findCommand(const QString& name) {
    for (const auto& command : commands())
        if (command->name == name) return command.get();
    return nullptr;
}

} // namespace cli
