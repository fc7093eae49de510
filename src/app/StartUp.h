#pragma once
// The start-up shared by the desktop program and the command-line program: the application folder, the working
// folders, the option keys with their defaults written back, and the recent list.

#include "AppState.h"

/// The working folders created at start-up, in order.
const QStringList& startUpFolders();

/// The application folder: $VARNHOLD_HOME when it is set, else $XDG_DATA_HOME/Varnhold (normally
/// ~/.local/share/Varnhold), made absolute. Never the working folder the program was started in.
QString defaultAppFolder();

/// The names of the program's own scratch files in Work/: the plain working copies of a backup set and of the
/// zip package index, and the readers' scratch text file.
const QStringList& workFolderOwnFiles();

/// Empties appFolder/<name>/ ("Temp" or "Work") of the program's own files only: in Work/ the names above, in
/// both the work files of runs that have ended. A link, a file or anything else at that path is left alone.
/// Returns "" or why the folder was left alone.
QString emptyScratchFolder(const QString& appFolder, const QString& name);

/// The application folder's Readme.txt, which the Readme command shows.
QString readmeFilePath(const QString& appFolder);
/// Writes the program's read-me text (README.md) to readmeFilePath() when nothing is at that name.
void writeReadmeIfMissing(const QString& appFolder);

/// Runs the start-up in appFolder (normally defaultAppFolder()). A step that fails is left out and the next one
/// runs, so the program always starts; what the user should know about goes to state.startUpNotes. When the
/// settings file cannot be read, the defaults are used and nothing is written back to it.
void runStartUp(AppState& state, const QString& appFolder);
