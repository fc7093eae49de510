#pragma once
// The 28 option keys of section "Settings", their order and their defaults.

#include <QString>
#include <QStringList>

inline const QString kSettingsSection = QStringLiteral("Settings");
inline const QString kCompany = QStringLiteral("Brindlecot");
inline const QString kApplication = QStringLiteral("Varnhold");

/// Folders the defaults are made from.
struct AppFolders {
    QString app;     ///< the application folder, without a trailing "/"
    QString system;  ///< where the system's programs live, ending in "/" (stands in for the Windows folder)
    QString library; ///< the system's library folder, ending in "/"
    QString viewer;  ///< full path of the plain text viewer offered by default
};

namespace OptionKeys {
/// "Options00" to "Options15" in order.
const QStringList& generalKeys();
/// "Optionse1" to "Optionse9", "Optionsea" to "Optionsec" in order.
const QStringList& extractKeys();
/// Both lists, general first.
QStringList allKeys();
/// The default of a key; an unknown key has "".
QString defaultFor(const QString& key, const AppFolders& folders);
} // namespace OptionKeys

/// A plain text viewer found on this system (full path), or xdg-open when none of the usual ones is there.
QString findDefaultViewer();
