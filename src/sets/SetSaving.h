#pragma once
// What the set dialogs and the build wizard do with set names and set files, free of widgets.
//
// The wizard's "Save backup set" (btnSave) calls, in this order:
//   1. saveSetRefusal(Text3, build rows): a text other than "" is shown in fError and ends the save (when Text3
//      is blank the focus goes to Text3).
//   2. offeredSetName(package file name): Text2 in build mode, the open package's file name in update mode.
//   3. fBkSetSave::ask(state, offered name, Text3, wizard) (src/sets/ui): std::nullopt on Cancel ends the save;
//      otherwise it returns the chosen SetSaveChoice, the replace question already answered Yes.
//   4. Text3 = choice.comment.
//   5. saveBackupSet(choice, build rows): a failure's message is shown in fError.
// The wizard's "Select backup set" (btnSelectSet) calls fBkSet::pick(state, wizard) (src/sets/ui), which returns
// the chosen set's full path or "" on Cancel, and loads that path (SelectionModel::loadBackupSet).

#include "BackupSetFile.h"

class AppState;

/// The sets folder (Options08), ending in "/"; its default (Sets/ below the application folder) when the option is
/// empty. The set dialogs and varnhold-cli both take it from here.
QString setsFolderOf(const AppState& state);

/// The name rule of a set: blanks trimmed, ".set" appended unless the name already ends in ".set" (any case).
/// " Weekly " -> "Weekly.set", "Weekly.SET" stays, "" -> ".set".
QString acceptedSetName(const QString& typed);
/// "" when the file system takes name as a file name, else the message saying why not (a "/", a NUL character,
/// more than 255 bytes).
QString setNameProblem(const QString& name);

/// What the save dialog hands back: the accepted name, its full path in the sets folder and the comment.
struct SetSaveChoice {
    QString name;
    QString path;
    QString comment;
};

/// "" when the build grid can be saved as a set, else the message: a blank comment first, then a grid without
/// rows (the summary row does not count).
QString saveSetRefusal(const QString& comment, const QVector<SelectionRow>& buildRows);
/// Writes the set (comment line, then the rows without the summary row) to the chosen path, replacing what is
/// there only once the new set is whole on disk. The name rule is applied again to the path's file name.
Status saveBackupSet(const SetSaveChoice& choice, const QVector<SelectionRow>& buildRows);

/// Removes a set file; a file that is not there any more counts as removed.
Status deleteSetFile(const QString& path);
