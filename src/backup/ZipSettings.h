#pragma once
// The zip settings a build runs with and the zip settings dialog edits, and the stored codes of the compression
// level and the update option: what maps them from and to their stored texts lives here only.

#include "app/PasswordOptions.h"
#include "zip/ZipTypes.h"

#include <QString>
#include <optional>

class AppState;

/// The compression levels in the one order every list of them has: the stored codes of Option::CompressionMethod
/// ("1" None to "4" Maximum), the zip settings dialog's buttons and the command line's names.
namespace CompressionLevels {
inline constexpr int kCount = 4;
/// The level a stored code stands for; anything but "1" to "4" reads as Normal.
CompressionLevel fromOption(const QString& stored);
/// The stored code of a level.
QString option(CompressionLevel level);
/// The level's place in the list (0 None to 3 Maximum), and the level at a place (Normal outside the list).
int index(CompressionLevel level);
CompressionLevel at(int index);
/// The command line's names "none", "fast", "normal" and "maximum"; nothing for any other text.
std::optional<CompressionLevel> fromName(const QString& name);
} // namespace CompressionLevels

/// The update options in the order of their stored codes of Option::UpdateOption ("1" Add/Replace, "2" Freshen,
/// "3" Update) and of the zip settings dialog's buttons.
namespace UpdateCodes {
inline constexpr int kCount = 3;
/// Anything but "1" to "3" reads as Add/Replace.
UpdateCode fromOption(const QString& stored);
QString option(UpdateCode code);
/// The place in the list (0 Add/Replace to 2 Update), and the code at a place (Add/Replace outside the list).
int index(UpdateCode code);
UpdateCode at(int index);
} // namespace UpdateCodes

/// The span size from the three spanning choices, tested in this order so that a later one that is set wins.
qint64 spanSizeFrom(bool noSpanning, bool automatic, bool custom, const QString& customSize);

/// The zip settings as the settings dialog leaves them.
struct ZipSettings {
    CompressionLevel level = CompressionLevel::Normal; ///< Option::CompressionMethod
    UpdateCode updateCode = UpdateCode::AddReplace;    ///< Option::UpdateOption
    qint64 spanSize = -1;     ///< -1 no spanning, 0 automatic, else bytes per volume (not stored)
    PasswordOptions password; ///< the shared password, empty for none, and whether its box hides it
    /// Option::ResetArchiveAttribute: kept for the dialog only; Linux files have no archive flag, so the build
    /// has nothing to reset.
    bool resetArchive = false;
    /// The password was confirmed for building (the dialog's Build button, typed twice where it had to be). A
    /// password stored without it is not one the next build may use unasked.
    bool passwordConfirmed = false;
    /// The custom size box, kept under Key::Spanning for the next build; an update leaves it unset and the stored
    /// size as it is.
    std::optional<QString> keptSpanSize;
    /// Where the password loaded from the store was last set; read only, storing writes where it is set now.
    PasswordSource passwordSource = PasswordSource::Unconfirmed;

    /// From the shared option values; no spanning and no kept size.
    static ZipSettings fromState(const AppState& state);
    /// What the zip settings dialog opens with: the settings in the store, which another window may have changed
    /// (the shared values follow it), the kept size and where the password was last set.
    static ZipSettings load(AppState& state);
    /// True when a build with this password must first have it typed a second time: a password that is not empty
    /// and is not the loaded one confirmed for building.
    bool needsConfirmation(const QString& typed) const;
    /// Puts the values into the shared option values and writes them, where the password was set, and the kept
    /// size when set, to the store with one write of the settings file.
    void store(AppState& state) const;
};
