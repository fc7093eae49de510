// varnhold-cli: the program's jobs from a terminal, over the same core, folders and settings as the desktop program.
#include "CliCommands.h"
#include "app/StartUp.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Varnhold");
    QStringList args = app.arguments();
    args.removeFirst();
    return runCli(args, defaultAppFolder());
}
