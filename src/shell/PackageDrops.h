#pragma once
// Drag and drop on the main window, as on a desktop archiver: a package dropped on the window opens; files and
// folders dropped while a package is open go to the build wizard, updating that package once the user builds;
// entries dragged out of the grid are extracted to a fresh folder in Temp/ for the file manager to copy.

#include <QObject>
#include <QPoint>
#include <QStringList>
#include <memory>
#include <optional>

class QMimeData;
class QTemporaryDir;
class fMain;
class fKovra;

class PackageDrops : public QObject {
    Q_OBJECT
  public:
    /// Takes drops on the window and drags from its grid.
    explicit PackageDrops(fMain& window);
    ~PackageDrops() override;

    /// True for a local file named *.zip (any case) and for any other file the zip layer opens.
    static bool isPackage(const QString& path);
    /// What a drag out of the grid carries: the selected entries' copies, extracted now into a fresh folder below
    /// Temp/, as file URLs. Null when no row is selected or no copy could be made.
    std::unique_ptr<QMimeData> dragData();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    /// What dropped local paths do, once the drop itself is over.
    void dropped(const QStringList& paths);
    void wizardOpened(fKovra* wizard);

    fMain& m_window;
    /// Paths waiting for the wizard the drop opens.
    QStringList m_picked;
    /// Where a press in the grid may start a drag; null when no left press is held.
    std::optional<QPoint> m_pressAt;
    /// The copies of the last drag: the file manager may still be copying them, so they stay until the next drag
    /// or until the window goes.
    std::unique_ptr<QTemporaryDir> m_copies;
};
