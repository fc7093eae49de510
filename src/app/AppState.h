#pragma once
// The shared program state: one instance for the whole run, made by the start-up and used by every window and
// by the command-line program alike.

#include "OptionKeys.h"
#include "RegSettings.h"
#include "utility/CancelToken.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class AppState {
  public:
    /// The store is company "Brindlecot", application "Varnhold"; tests give an application name of their own.
    explicit AppState(const QString& application = kApplication);

    AppFolders folders;
    QString helpFilePath;
    CRegSettings settings;
    QStringList recent;       ///< slots 1 to 9 (recent[0] is slot 1)
    QStringList startUpNotes; ///< what the start-up left out and the user should know about

    /// The shared value of an option (its default when never read).
    QString text(Option option) const;
    /// A yes/no option: true when it holds the stored "-1".
    bool flag(Option option) const { return OptionKeys::isYes(text(option)); }
    /// A whole-number option; 0, with *ok false, when the text is not a number.
    qint64 number(Option option, bool* ok = nullptr) const { return text(option).toLongLong(ok); }
    /// A folder option ending in "/" ("" stays "").
    QString path(Option option) const;

    /// These change the shared value only; save() writes it to the store.
    void setText(Option option, const QString& value);
    void setFlag(Option option, bool yes) { setText(option, OptionKeys::yesNo(yes)); }
    void setNumber(Option option, qint64 value) { setText(option, QString::number(value)); }

    /// Writes the shared values of these options, and the other keys of section "Settings" given in
    /// moreKeys, with one write of the settings file (none when all are stored already); true on success.
    bool save(const QList<Option>& options, const QList<QPair<QString, QString>>& moreKeys = {});
    /// Changes the shared value and writes it to the store.
    bool saveText(Option option, const QString& value);
    /// Reads an option from the store into the shared value (its default when missing) and returns it.
    QString reload(Option option);

    /// Application folder & "/" & name & "/".
    QString workFolder(const QString& name) const;

    /// Puts a package on top of the recent list and stores the list.
    void addRecent(const QString& packagePath);

    /// The token of the job the windows run (a build, an extraction, a search): the window that starts a job
    /// clears it first, Cancel buttons set it, the job only reads it.
    CancelToken cancel;
    /// The delete question's "Don't show " box: "-1" once ticked, "0" until then. Deleting package entries and
    /// deleting backup sets share it; opening a package resets it, and it is never stored.
    QString deleteSuppressed = QStringLiteral("0");
    /// The program the self-extractor maker hands to the splitter: emptied when the maker opens, set by its Split
    /// button; the window that opened the maker opens the splitter on it when it is set.
    QString splitHandOver;

  private:
    std::array<std::optional<QString>, OptionKeys::kCount> m_options;
};
