#pragma once
// A main window per test: its own settings store (an application name of the test's own), its own application
// folder as the working folder, and packages written by Python's zipfile at test time.

#include "TestSupport.h"
#include "app/AppState.h"
#include "app/ui/DialogHook.h"
#include "shell/fMain.h"
#include "viewer/EntryTableModel.h"

#include <QAction>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

namespace maintest {

using namespace testsupport;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DialogHook::reset();
        ASSERT_TRUE(QDir::setCurrent(app.path()));
        qputenv("VARNHOLD_HOME", app.path().toUtf8());    // the window's start-up works there
        state = std::make_unique<AppState>(freshStore()); // also fresh under --gtest_repeat
    }
    void TearDown() override {
        window.reset();
        QDir::setCurrent(m_previousFolder);
        qputenv("VARNHOLD_HOME", m_previousHome);
        DialogHook::reset();
    }

    fMain& makeWindow() {
        window = std::make_unique<fMain>(*state);
        return *window;
    }
    /// A package in a folder of its own (not the application folder, which start-up works in). Each distinct
    /// content is written by Python once per test run and copied after that: starting Python is slow.
    QString package(const QString& name, const QString& entries = kRowsEntries, const QString& comment = {}) {
        static TempDir made;
        static QHash<QString, QString> byContent;
        QString& source = byContent[entries + QChar(0) + comment];
        if (source.isEmpty())
            makeZip(source = made.file(QString("made%1.zip").arg(byContent.size())), entries, comment);
        const QString path = packages.file(name);
        QFile::remove(path);
        if (!QFile::copy(source, path)) throw std::runtime_error("cannot copy " + path.toStdString());
        return path;
    }

    QString stored(const QString& key) const { return state->settings.GetSetting(kSettingsSection, key, "<none>"); }

    /// The texts of one grid column, top to bottom, as the view's model hands them out.
    QStringList column(EntryColumn c) const {
        QStringList out;
        const QAbstractItemModel* model = window->grid()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, int(c) - 1).data().toString();
        return out;
    }
    /// "folder/name" of every row, top to bottom.
    QStringList fullNames() const {
        QStringList out;
        for (const EntryRow& row : window->entryModel().entries().rows())
            out << row.folderPath + row.name;
        return out;
    }
    int rowOf(const QString& fullName) const { return int(fullNames().indexOf(fullName)); }
    /// The header's sort mark: its section and direction.
    std::pair<int, Qt::SortOrder> sortMark() const {
        const QHeaderView* header = window->grid()->horizontalHeader();
        return {header->sortIndicatorSection(), header->sortIndicatorOrder()};
    }

    QAction* item(const QString& name) const { return child<QAction>(*window, name); }
    QMenu* menu(const QString& name) const { return child<QMenu>(*window, name); }
    QPushButton* button(const QString& name) const { return child<QPushButton>(*window, name); }

    TempDir app, packages;
    std::unique_ptr<AppState> state;
    std::unique_ptr<fMain> window;

  private:
    QString m_previousFolder = QDir::currentPath();
    QByteArray m_previousHome = qgetenv("VARNHOLD_HOME");
};

} // namespace maintest
