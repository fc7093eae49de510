#include "CliOutput.h"

#include "utility/TextUtil.h"

#include <csignal>
#include <cstdio>

namespace cli {

namespace {

CancelToken g_interrupted;

void onInterrupt(int) {
    g_interrupted.cancel(); // a lock-free atomic store
}

} // namespace

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QString printable(const QString& text) {
    return TextUtil::visibleText(text);
}

QByteArray printableLine(const QString& text) {
    return (printable(text) + u'\n').toUtf8();
}

void printError(const QString& message) {
    std::fflush(stdout);
    // A message is prose: the core already shows a name's odd bytes as \xE9, so a backslash stays as it is.
    std::fprintf(stderr, "varnhold-cli: %s\n", TextUtil::visibleText(message, false).toUtf8().constData());
}

void printTagged(const char* tag, const QString& text) {
    std::fprintf(stderr, "%s%s", tag, printableLine(text).constData());
}

int usageError(const QString& message) {
    printError(message);
    std::fprintf(stderr, "Try 'varnhold-cli --help'.\n");
    return kExitUsage;
}

const CancelToken& interruptToken() {
    return g_interrupted;
}

// Ctrl-C and SIGTERM ask the running job to stop at its next check, so the job can clean up after itself. The
// token is only ever set here: no job clears it, so an interrupt that comes between two steps is not lost.
void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

ZipProgressCallback progressTo(TerminalProgress& bar) {
    return [&bar](const ZipProgress& p) {
        bar.update(p.bytesTotal > 0 ? p.bytesDone : p.filesDone, p.bytesTotal > 0 ? p.bytesTotal : p.filesTotal);
    };
}

} // namespace cli
