#pragma once
// What the find dialog keeps in the settings store: the entry pattern and the selected drives. The dialog and
// `varnhold-cli find` both load and store them through this value (keys and defaults in app/OptionKeys).

#include "app/OptionKeys.h"

#include <QString>
#include <QStringList>

class CRegSettings;

struct FindSettings {
    QString pattern =
        OptionKeys::defaultFor(Key::FindPattern); ///< the file name pattern for the search inside packages
    QString drives =
        OptionKeys::defaultFor(Key::FindDrives); ///< "All" (only as the default) or the roots joined by ","

    static FindSettings load(const CRegSettings& settings);
    /// Both keys with one write of the settings file; true on success.
    bool store(CRegSettings& settings) const;
};

namespace FindChecks {
/// "Please select hard drive(s)." when no drive is given, else "".
QString drivesProblem(const QStringList& roots);
/// For a search inside packages: "Please enter file name pattern, example: 'read*.txt'" when the pattern is empty
/// or "*.*" (case ignored), else "".
QString patternProblem(const QString& pattern);
} // namespace FindChecks
