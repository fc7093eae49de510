#include "WizardForm.h"

#include "utility/TextUtil.h"

namespace WizardForm {

QStringList tabCaptions(BuildMode mode) {
    return {QStringLiteral("Select Folders"), QStringLiteral("Select Files"), QStringLiteral("Select Sets"),
            QStringLiteral("Search"),
            mode == BuildMode::Build ? QStringLiteral("Build Zip") : QStringLiteral("Update Zip")};
}

int helpContext(BuildMode mode) {
    return mode == BuildMode::Build ? 143 : 142;
}

GridPlacement buildGridPlacement(BuildMode mode) {
    return mode == BuildMode::Build ? GridPlacement{870, 3100} : GridPlacement{105, 3895};
}

QString targetFolderText(const QString& picked) {
    return picked.isEmpty() ? QString() : TextUtil::withSlash(picked);
}

} // namespace WizardForm
