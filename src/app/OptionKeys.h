#pragma once
// Every key of section "Settings" in one table: the options (Option), the keys of their own beside them (Key), the
// file search's values (SearchKey), the ten patterns, the recent list's slots and the window placements, each with
// the name it is stored under and, where it has one, its default. The stored names and defaults are the settings
// file's format and never change; the table checks at compile time that no name is used twice.

#include <QString>
#include <QStringList>

#include <array>

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

/// The option values, in the order start-up reads and stores them. The comment names the stored key.
enum class Option {
    WizardBrowseFolder,    ///< Options00: where the build wizard starts browsing for files
    CompressionMethod,     ///< Options01: "1" None, "2" Fast, "3" Normal, "4" Maximum
    UpdateOption,          ///< Options02: "1" Add/Replace, "2" Freshen, "3" Update
    StoredNames,           ///< Options03: "2" full path without its root, anything else no stored name
    ViewerProgram,         ///< Options04: the default file viewer program
    ResetArchiveAttribute, ///< Options05: yes/no
    TempFolder,            ///< Options06
    ExtractFolder,         ///< Options07: the default extract folder
    SetsFolder,            ///< Options08: the backup set folder
    ZipFolder,             ///< Options09: where new packages are put
    ZipFileName,           ///< Options10: the default package file name
    OpenPackageFolder,     ///< Options11: the start folder of the open dialog for packages
    MakeFolder,            ///< Options12: self-extracting packages
    SplitFolder,           ///< Options13
    SplitPieceSize,        ///< Options14: bytes per piece of the file splitter
    SplitModemSpeed,       ///< Options15: "1" 28.8, "2" 33.6, "3" 56.0 Kbps
    ExtractToDefault,      ///< Optionse1: yes/no, extract into the default extract folder
    ExtractToSelected,     ///< Optionse2: yes/no, extract into the selected extract folder
    HidePassword,          ///< Optionse3: yes/no
    ZipPassword,           ///< Optionse4: "" for none
    ExtractOverwrite,      ///< Optionse5: yes/no
    ExtractSkipOlder,      ///< Optionse6: yes/no
    ExtractUseFolderNames, ///< Optionse7: yes/no
    ExtractRequest,        ///< Optionse8: "0", or "-2" one entry, "-1" all entries
    SelectedExtractFolder, ///< Optionse9
    ExtractName,           ///< Optionsea: the entry asked for ("All files"); afterwards what was extracted or "cancel"
    ExtractAnswerFolder,   ///< Optionseb: afterwards the folder extracted to
    ExtractIndexOrError,   ///< Optionsec: the entry index asked for; afterwards "" or the error or "cancel"
};

/// The keys beside the options that are stored under names of their own.
enum class Key {
    Spanning,          ///< "Spanning": the zip settings dialog's custom size box, kept for the next build
    PasswordSetBy,     ///< "PasswordSetBy": where the stored password (Optionse4) was last set
    FindPattern,       ///< "FindPattern": the find dialog's entry pattern
    FindDrives,        ///< "DrivesF": the find dialog's drives, "All" or the selected roots joined by ","
    QuickUpdateCode,   ///< "Options22": the quick update's code, "1" Freshen, "2" Update
    QuickResetArchive, ///< "Options55": the quick update's reset-archive box, yes/no
};

/// The windows that keep their placement, each under its own name.
enum class PlacedWindow {
    Main,   ///< "fMain"
    Wizard, ///< "fKovra"
};

/// One stored value of the file search, as its dialog leaves it.
enum class SearchKey {
    Drives,      ///< "Drives": "All" or the selected roots joined by ","
    SizeTicked,  ///< "SSOption1"
    NameTicked,  ///< "SSOption2"
    TextTicked,  ///< "SSOption3"
    DateTicked,  ///< "SSOption4"
    MatchCase,   ///< "SSOption5"
    SizeCompare, ///< "so1": "at lease" or "at most"
    SizeLimit,   ///< "so2": units of 1024 bytes
    NamePattern, ///< "so3"
    Text,        ///< "so4"
    DateKind,    ///< "so5": "modified date", "created date" or "last accessed date"
    StartDate,   ///< "so6": "MM/DD/YYYY"
    EndDate,     ///< "so7": "MM/DD/YYYY"
};
constexpr int kSearchKeyCount = 13;

namespace OptionKeys {
inline constexpr int kCount = 28;
/// The stored include and exclude patterns: Pattern01 to Pattern05 include, Pattern06 to Pattern10 exclude.
inline constexpr int kPatternCount = 10;
/// The slots of the recent list.
inline constexpr int kRecentSlots = 9;

/// The stored yes/no texts.
inline const QString kYes = QStringLiteral("-1");
inline const QString kNo = QStringLiteral("0");
inline QString yesNo(bool yes) {
    return yes ? kYes : kNo;
}
inline bool isYes(const QString& stored) {
    return stored == kYes;
}

/// Every option in store order.
const std::array<Option, kCount>& all();
/// The key the option is stored under, for example Options07.
QString key(Option option);
/// The option's default; folder defaults are made from the application folder.
QString defaultFor(Option option, const AppFolders& folders);
/// The stored keys of all(), in the same order.
QStringList allKeys();

QString key(Key key);
QString defaultFor(Key key);
QString key(PlacedWindow window);
/// The stored name of a search value ("SSOption1", "so3", ...) and its value when the store has none.
QString key(SearchKey key);
QString defaultFor(SearchKey key);
/// "Pattern01" to "Pattern10" (n from 1 to 10).
QString patternKey(int n);
/// Default of pattern n. The pattern dialog offers "pagefile.sys" for Pattern09; every other reader has "".
QString patternDefault(int n, bool forPatternDialog);
/// "1File" to "9File" (slot from 1 to 9).
QString recentKey(int slot);
} // namespace OptionKeys
