#pragma once
// The jobs of varnhold-cli. runCli returns the process exit code: 0 success, 1 failure (message on stderr),
// 2 usage error, 3 interrupted, 4 a build that completed but left out files it was given.

#include <QString>
#include <QStringList>

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 3;
constexpr int kExitFilesLeftOut = 4;

/// Parses the arguments, runs the start-up in appFolder for a valid command, and runs it.
int runCli(const QStringList& args, const QString& appFolder);
QString cliUsage();
