#pragma once
// The program's scratch folders (Temp/ and Work/ below the application folder) hold files of its own making that
// a later run may throw away. Emptying one removes only those: the regular files under the program's fixed
// working-copy names and the work files (WorkFile.h) of runs that have ended. It never follows a symbolic link,
// never goes into a subfolder and never touches a file it did not make.

#include "Result.h"

#include <QString>
#include <QStringList>

namespace ScratchFolder {

/// Empty when folder is a folder of its own or is not there yet; otherwise why the program may not use it (a
/// symbolic link, a file, something else at that path).
QString problem(const QString& folder);

/// Creates the folder when it is missing; fails with problem() when something else is at its path.
Status prepare(const QString& folder);

/// Removes, directly in folder, the regular files named in ownNames and the work files left by ended runs.
/// Does nothing when folder is not a folder of its own. Returns how many files were removed.
int removeOwnFiles(const QString& folder, const QStringList& ownNames);

} // namespace ScratchFolder
