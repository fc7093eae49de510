#pragma once
// The commands of the grid's right-click menu that work on one entry of the open package: the copy of the clicked
// entry in Temp/ made before the menu opens, its properties, its picture, and deleting it from the package.

#include <QString>

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
    /// "File properties" of the copy in Temp/, with what the package says of the entry.
    void showProperties();
    /// "Display image file": the copy in Temp/ in the picture window; nothing when it is no picture Qt reads.
    void displayImage();

    /// The copy of the selected entry in Temp/.
    QString temporaryCopy() const;
    /// True for the extensions (any case) "Display image file" is offered for.
    static bool isImageName(const QString& name);

  private:
    fMain& m_window;
    QString m_name;
    QString m_folderPath;
};
