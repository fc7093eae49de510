#pragma once
// The shared program state: one instance for the whole run, made by the start-up and used by every window and
// by the command-line program alike.

#include "OptionKeys.h"
#include "RegSettings.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>

class AppState {
public:
    /// The store is company "Brindlecot", application "Varnhold"; tests give an application name of their own.
    explicit AppState(const QString& application = kApplication);

    AppFolders folders;
    QString helpFilePath;
    CRegSettings settings;
    QStringList recent;       ///< slots 1 to 9 (recent[0] is slot 1)
    QStringList startUpNotes; ///< what the start-up left out and the user should know about

    /// The shared value of an option key (its default when never read).
    QString option(const QString& key) const;
    /// Changes the shared value only.
    void setOption(const QString& key, const QString& value);
    /// Changes the shared value and writes it to the store.
    void saveOption(const QString& key, const QString& value);
    /// Reads a key from the store into the shared value (default when missing) and returns it.
    QString reloadOption(const QString& key);
    bool optionIsYes(const QString& key) const { return option(key) == "-1"; }

    /// Application folder & "/" & name & "/".
    QString workFolder(const QString& name) const;

    /// Puts a package on top of the recent list and stores the list.
    void addRecent(const QString& packagePath);

    std::atomic_bool cancel{false};

private:
    QHash<QString, QString> m_options;
};
