// Drag and drop on the main window: dropped packages, dropped files for the wizard, entries dragged out.
#include "MainTestUtil.h"

#include "backup/FolderTreeModel.h"
#include "backup/ui/fKovra.h"
#include "shell/PackageDrops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTest>

using namespace maintest;

namespace {

class PackageDropsTest : public MainWindowTest {
  protected:
    /// Drops local paths on the window as a file manager does; true when the window took them.
    bool drop(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &dropped);
        QCoreApplication::processEvents(); // the window acts once the drop is over
        return enter.isAccepted() && dropped.isAccepted();
    }
};

TEST_F(PackageDropsTest, DroppedPackagesOpenAndDroppedFilesWaitInTheUpdateWizard) {
    makeWindow();
    writeFile(packages.file("new/a.txt"), "a");
    QDir().mkpath(packages.file("new/sub"));
    DialogHook::setNextAnswer("ok");
    EXPECT_TRUE(drop({packages.file("new/a.txt")}));
    EXPECT_EQ(DialogHook::shownMessages(), QStringList{"No zip package is opened"}) << "files need an open package";
    for (const char* name : {"UPPER.ZIP", "backup.bak"}) { // known by its name, by what it holds
        EXPECT_TRUE(drop({package(name)}));
        EXPECT_EQ(std::pair(window->currentPackage(), window->entryModel().rowCount()),
                  std::pair(packages.file(name), 5));
    }
    const QByteArray before = readFile(packages.file("backup.bak"));
    ASSERT_TRUE(drop({packages.file("new/a.txt"), packages.file("new/sub")}));
    fKovra* wizard = window->findChild<fKovra*>();
    ASSERT_TRUE(wizard && wizard->isVisible());
    EXPECT_EQ(wizard->mode(), BuildMode::Update);
    EXPECT_EQ(wizard->folderTree().tickedFolders(), QStringList{packages.file("new/sub/")});
    const QVector<SelectionRow> files = wizard->selection().files.entries();
    EXPECT_TRUE(files.size() == 1 && files.first().path == packages.file("new/a.txt"));
    EXPECT_EQ(readFile(packages.file("backup.bak")), before) << "nothing is added before the wizard's Build";
    wizard->close();
}

TEST_F(PackageDropsTest, ADragOutCarriesCopiesInAFreshFolderInTemp) {
    ASSERT_TRUE(makeWindow().openPackage(package("p.zip")));
    PackageDrops* drops = window->findChild<PackageDrops*>();
    ASSERT_TRUE(drops);
    EXPECT_EQ(drops->dragData(), nullptr) << "no row selected";
    window->grid()->selectRow(rowOf("docs/c.dat"));
    const std::unique_ptr<QMimeData> first = drops->dragData();
    ASSERT_TRUE(first && first->urls().size() == 1);
    const QFileInfo copy(first->urls().first().toLocalFile());
    EXPECT_EQ(std::pair(copy.fileName(), readFile(copy.filePath())),
              std::pair(QString("c.dat"), QByteArray(1000, 'x')));
    EXPECT_EQ(QFileInfo(copy.path()).dir().canonicalPath(), QDir(state->workFolder("Temp")).canonicalPath());
    EXPECT_TRUE(drops->dragData());
    EXPECT_FALSE(QFileInfo::exists(copy.path())) << "the last drag's copies go with the next drag";
}

} // namespace
