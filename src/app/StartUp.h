#pragma once
// The start-up shared by the desktop program and the command-line program: the application folder, the working
// folders, the option keys with their defaults written back, and the recent list.

#include "AppState.h"

/// The working folders created at start-up, in order.
const QStringList& startUpFolders();

/// Runs the start-up in appFolder (normally the working folder at start). A step that fails is left out and the
/// next one runs, so the program always starts.
void runStartUp(AppState& state, const QString& appFolder);
