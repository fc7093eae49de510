#pragma once
// The commands of the grid's right-click menu that work on one entry of the open package: the copy of the clicked
// entry in Temp/ made before the menu opens, its properties, its picture, and deleting it from the package.

#include "app/DesktopApps.h"

#include <QHash>
#include <QString>
#include <optional>

class fMain;
class QMenu;
struct EntryRow;

class EntryCommands {
  public:
    explicit EntryCommands(fMain& window) : m_window(window) {}

    /// Before the menu opens on row: Temp/ emptied, the entry extracted there with the stored password, and the
    /// items that need a kind of file set. False (after the message or the password dialog) when the menu must
    /// not open.
    bool prepareMenu(const EntryRow& row, QMenu& menu);

    /// "Delete file": the entry of the selected row, after the delete question unless it was turned off for
    /// this package; the row leaves the grid and the totals are read again.
    void deleteSelected();
    /// Enter or a double-click on a row: the entry extracted into Temp/ and opened with the desktop's program for
    /// its kind (or whatever the desktop opens it with when it names no program).
    void openRow(const EntryRow& row, QMenu& menu);
    /// mnuNotePad: the copy in the viewer program (Options04).
    void view();
    /// mnuLaunch: the copy in the desktop's program for its kind of file.
    void launch();
    /// "OpenWith": the copy in a program the user chooses.
    void openWith();
    /// "File properties" of the copy in Temp/, with what the package says of the entry.
    void showProperties();
    /// "Display image file": the copy in Temp/ in the picture window; nothing when it is no picture Qt reads.
    void displayImage();

    /// The copy of the selected entry in Temp/.
    QString temporaryCopy() const;
    /// True for the extensions (any case) "Display image file" is offered for.
    static bool isImageName(const QString& name);

  private:
    /// Starts a program on the copy without waiting for it; false (after saying so) when it cannot start.
    bool start(const QStringList& command);

    fMain& m_window;
    std::optional<DesktopApp> m_launcher; ///< the program for the copy's kind, found when the menu opened
    QHash<QString, std::optional<DesktopApp>> m_launchers; ///< by MIME type: asked once a run
    QString m_name;
    QString m_folderPath;
};
