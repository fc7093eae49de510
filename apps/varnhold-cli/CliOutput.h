#pragma once
// What varnhold-cli prints and how it ends: exit codes, escaped lines on stdout and stderr, progress bars fed
// from the zip layer, and the interrupt token that Ctrl-C and SIGTERM set.

#include "TerminalProgress.h"
#include "utility/CancelToken.h"
#include "zip/ZipPackage.h"

#include <QByteArray>
#include <QString>

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 3;
constexpr int kExitFilesLeftOut = 4;

namespace cli {

void writeOut(const QByteArray& bytes);
/// Names and messages from a package may hold anything; every one is printed on one line, escaped.
QString printable(const QString& text);
QByteArray printableLine(const QString& text);
/// "varnhold-cli: message" on stderr, after whatever stdout holds.
void printError(const QString& message);
/// One line on stderr: a fixed tag, then a name or "name: reason" from the package or the disk.
void printTagged(const char* tag, const QString& text);
/// The message and the hint to --help on stderr; returns kExitUsage.
int usageError(const QString& message);

/// The token every job of the run reads: set by Ctrl-C and SIGTERM only, never cleared, so the running job stops
/// at its next check and cleans up.
const CancelToken& interruptToken();
/// Installs the handlers that set interruptToken().
void catchInterrupt();

/// A progress callback that moves the bar; an interrupt stops the job through interruptToken().
ZipProgressCallback progressTo(TerminalProgress& bar);

} // namespace cli
