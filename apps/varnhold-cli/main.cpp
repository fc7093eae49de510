// varnhold-cli: the program's jobs from a terminal, over the same core, folders and settings as the desktop program.
#include "CliCommands.h"
#include "app/StartUp.h"
#include "utility/NativePath.h"

#include <QCoreApplication>
#include <csignal>

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) must not kill us halfway through a package: ignored, the write fails with
    // EFBIG, which is reported, and the work file is removed.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Varnhold");
    // A path is bytes: one that is not UTF-8 is carried as it is (NativePath), which QCoreApplication::arguments()
    // cannot do.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << NativePath::decode(argv[i]);
    return runCli(args, defaultAppFolder());
}
