#pragma once
// The program-wide zip password and whether its box hides what is typed (PasswordOptions), and where it was set.
//
// Building, updating and extracting share the one stored password, so a password typed for an extraction would be
// the next backup's password. Beside it the store keeps where it was last set (Key::PasswordSetBy): a
// build uses a password only once it was confirmed for building, that is typed twice in the build settings.

#include "AppState.h"

#include <QList>
#include <QPair>

/// Where the stored password was last set.
enum class PasswordSource {
    Unconfirmed, ///< never confirmed: typed in the build settings that were then cancelled, or stored before the key
    Build,       ///< confirmed in the build settings
    Extraction,  ///< typed for an extraction (the extract dialog, the password dialog)
};

namespace PasswordSources {
/// The source the store holds; a missing or unknown text reads as Unconfirmed.
PasswordSource stored(const AppState& state);
/// The key and text to write together with a password set by `by`. A password that did not change keeps the
/// source it had, except that a build confirms it.
QPair<QString, QString> entryFor(const AppState& state, const QString& password, PasswordSource by);
/// For the user: "last set by an extraction" and the like.
QString describe(PasswordSource source);
} // namespace PasswordSources

/// The shared password and whether its box hides what is typed, as one value: the zip settings, the extract settings
/// and the password dialog all carry it, load it and store it through here.
struct PasswordOptions {
    QString text;       ///< Option::ZipPassword, "" for none
    bool hidden = true; ///< Option::HidePassword

    /// The two options they are kept under.
    static const QList<Option>& storedOptions();
    /// From the shared option values.
    static PasswordOptions fromState(const AppState& state);
    /// From the store, which another window may have changed; the shared values follow it.
    static PasswordOptions load(AppState& state);
    /// Puts both into the shared option values only, and gives the entry of where the password was set (set by
    /// `by`), for the caller to write together with them.
    QPair<QString, QString> setIn(AppState& state, PasswordSource by) const;
    /// Puts both into the shared option values and writes them with where the password was set, with one write of
    /// the store.
    void store(AppState& state, PasswordSource by) const;
};
