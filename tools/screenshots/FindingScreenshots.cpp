// Renders the find dialog and the search options dialog into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen finding_screenshots <output folder>
// It runs against a throw-away application folder and settings store, so nothing of the user's is touched.
#include "app/AppState.h"
#include "app/StartUp.h"
#include "finding/FindSettings.h"
#include "finding/SearchOptions.h"
#include "finding/ui/PackageTableModel.h"
#include "finding/ui/fFind.h"
#include "finding/ui/fSearch.h"

#include "Screenshot.h"

#include <QApplication>
#include <QCheckBox>
#include <QTableView>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString out = screenshots::outputFolder(argc, argv);

    QTemporaryDir appFolder;
    AppState state("VarnholdScreenshots");
    runStartUp(state, appFolder.path());

    bool ok = true;
    const QStringList drives = {"/", "/home", "/media/ann/USB-Backup"};
    FindSettings findSettings;
    findSettings.drives = "/,/home";
    findSettings.pattern = "*.jpg";
    findSettings.store(state.settings);
    fFind find(state, nullptr, drives);
    auto* grid = find.findChild<QTableView*>("vbalGrid1");
    // The packages a find would have listed; the grid's model takes them as the find does.
    auto* model = qobject_cast<PackageTableModel*>(grid->model());
    model->setRows({{"/home/ann/Zips/Documents 2024.zip", 1'204'117},
                    {"/home/ann/Zips/Photos 2023.zip", 48'213'504},
                    {"/home/ann/Zips/Photos 2024.zip", 73'991'230},
                    {"/home/ann/Projects/varnhold-notes.zip", 18'432},
                    {"/media/ann/USB-Backup/Weekly/Weekly 2024-06-30.zip", 912'334'001}});
    find.findChild<QCheckBox*>("SSOption6")->setChecked(true);
    grid->selectRow(1); // the status panel shows the picked package's path
    ok &= screenshots::save(find, out + "/fFind.png");

    SearchOptions options = SearchOptions::load(state.settings);
    options.setTicked(SearchKey::SizeTicked, true);
    options.setText(SearchKey::SizeLimit, "512");
    options.setTicked(SearchKey::NameTicked, true);
    options.setText(SearchKey::NamePattern, "*.odt");
    options.setTicked(SearchKey::DateTicked, true);
    options.setText(SearchKey::StartDate, "01/01/2024");
    options.setText(SearchKey::EndDate, "06/30/2024");
    options.setText(SearchKey::Drives, "/home");
    options.store(state.settings);
    fSearch search(state.settings, drives);
    ok &= screenshots::save(search, out + "/fSearch.png");
    return ok ? 0 : 1;
}
