// Renders the build dialogs into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen build_screenshots <output folder>
// It runs against a throw-away application folder and settings store, so nothing of the user's is touched.
#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/ui/fPassword.h"
#include "backup/BuildJob.h"
#include "backup/ui/fLoad.h"
#include "backup/ui/fZipOK.h"
#include "backup/ui/fZipSet.h"

#include "Screenshot.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString out = screenshots::outputFolder(argc, argv);

    QTemporaryDir appFolder;
    AppState state("VarnholdBuildScreenshots");
    runStartUp(state, appFolder.path());
    // Settings as a user would have them, rather than the throw-away ones.
    state.saveText(Option::ZipFolder, "/home/ann/Varnhold/Zips/");
    state.saveText(Option::ZipFileName, "Photos 2024.zip");
    state.saveText(Option::ZipPassword, "secret");
    state.settings.SaveSetting(kSettingsSection, OptionKeys::key(Key::Spanning), "1457664");

    bool ok = true;
    {
        fZipSet settings(ZipSettings::load(state), BuildMode::Build, "Holiday photos, July 2024",
                         BuildParams::fromState(state, BuildMode::Build).targetPath());
        ok &= screenshots::save(settings, out + "/fZipSet.png");
    }
    {
        fPassword password(state);
        ok &= screenshots::save(password, out + "/fPassword.png");
    }
    {
        const QString package = appFolder.path() + "/Photos 2024.zip";
        QFile file(package);
        if (file.open(QIODevice::WriteOnly)) file.resize(38211437); // sparse: only its length is shown
        file.close();
        BuildResult result;
        result.outcome = BuildOutcome::Completed;
        result.packagePath = package;
        result.resultPackagePath = "/home/ann/Varnhold/Zips/Photos 2024.zip";
        result.selectedFiles = 1214;
        result.selectedBytes = 41938211;
        result.locked = 1;
        result.heading = " Build Completed!";
        result.lockedLine = "Number of locked files bypassed = 1";
        fZipOK done(result, appFolder.path());
        ok &= screenshots::save(done, out + "/fZipOK.png");
    }
    {
        CancelToken cancel;
        fLoad load(cancel, BuildMode::Build, "/home/ann/Varnhold/Zips/Photos 2024.zip", 1214, 41938211,
                   "/home/ann/Varnhold");
        load.setSelecting(100);
        load.setCompressing(100);
        load.setChecking(37);
        load.addLocked("/home/ann/Pictures/2024/.thumbnails.db", 1);
        ok &= screenshots::save(load, out + "/fLoad.png");
    }
    return ok ? 0 : 1;
}
