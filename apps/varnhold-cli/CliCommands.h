#pragma once
// The jobs of varnhold-cli. runCli returns the process exit code: 0 success, 1 failure (message on stderr),
// 2 usage error, 3 interrupted, 4 a build that completed but left out files it was given.

#include "CliOutput.h"

#include <QString>
#include <QStringList>

/// Parses the arguments, runs the start-up for a valid command in the application folder (the folder of
/// --app-folder when given, else defaultFolder), and runs it. Jobs that take stored options are refused when the
/// settings file cannot be read.
int runCli(const QStringList& args, const QString& defaultFolder);
QString cliUsage();
