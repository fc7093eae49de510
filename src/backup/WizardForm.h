#pragma once
// What the build wizard shows that depends on its mode, kept apart from the window so tests read it without one:
// the tab captions, the help topic, the place of the build grid on the last tab, and the window's stored size.

#include "BuildJob.h"

#include <QString>
#include <QStringList>

namespace WizardForm {

/// The five tabs: "Select Folders|Select Files|Select Sets|Search|Build Zip", the last "Update Zip" in update mode.
QStringList tabCaptions(BuildMode mode);
/// The help topic of the wizard's Help button: 143 building, 142 updating.
int helpContext(BuildMode mode);

/// Form units: 15 twips are one pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

/// The size the wizard is given back before its placement is stored, so the stored placement always carries it.
constexpr int kWidthTwips = 8535;
constexpr int kHeightTwips = 5940;

/// Where the build grid sits on the last tab (twips from the top of the tab's page): below the target fields when
/// building, moved up into their space when updating.
struct GridPlacement {
    int topTwips;
    int heightTwips;
};
GridPlacement buildGridPlacement(BuildMode mode);

/// The text of the target folder box after the user picked a folder: always ending with "/".
QString targetFolderText(const QString& picked);

} // namespace WizardForm
