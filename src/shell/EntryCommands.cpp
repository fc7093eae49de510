#include "EntryCommands.h"

#include "fMain.h"
#include "fOpenWith.h"
#include "fProperties.h"
#include "frmImage.h"

#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/TextViewer.h"
#include "app/ui/FormControls.h"
#include "app/ui/MessageDialogs.h"
#include "app/ui/fPassword.h"
#include "utility/FileOps.h"
#include "utility/ScratchFolder.h"
#include "viewer/EntryList.h"
#include "viewer/EntryTableModel.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeDatabase>
#include <QProcess>
#include <QTableView>
#include <QUrl>

namespace {

// The extension as the menu judges it: the text after the last ".", or the whole name without one, upper case.
QString upperExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot < 0 ? name : name.mid(dot + 1)).toUpper();
}

} // namespace

bool EntryCommands::isImageName(const QString& name) {
    static const QStringList kinds{"BMP", "ICO", "WMF", "JPG", "GIF", "RLE", "EMF", "PNG", "JPEG", "WEBP", "SVG"};
    const QString extension = upperExtension(name);
    if (!kinds.contains(extension)) return false;
    // The newer kinds only where this Qt reads them; the older ones stay offered, and a picture that cannot be
    // read simply shows nothing.
    static const QStringList older{"BMP", "ICO", "WMF", "JPG", "GIF", "RLE", "EMF"};
    return older.contains(extension) || QImageReader::supportedImageFormats().contains(extension.toLower().toLatin1());
}

QString EntryCommands::temporaryCopy() const {
    return m_window.state().workFolder(QStringLiteral("Temp")) + m_name;
}

bool EntryCommands::prepareMenu(const EntryRow& row, QMenu& menu) {
    if (row.name.isEmpty()) return false;
    AppState& state = m_window.state();
    emptyScratchFolder(state.folders.app, QStringLiteral("Temp"));
    // The copy made for the last menu is this program's own, and goes before the next is made.
    if (!m_name.isEmpty()) ScratchFolder::removeOwnFiles(state.workFolder(QStringLiteral("Temp")), {m_name});
    ZipPackage& package = m_window.package();
    const qint64 index = EntryList::findEntry(package, row.name, row.folderPath);
    if (index < 0) return false;
    m_name = row.name;
    m_folderPath = row.folderPath;
    const bool encrypted = package.entries()[std::size_t(index)].encrypted;
    ExtractOptions options;
    options.overwrite = true;
    options.skipOlder = false;
    options.useFolderNames = false;
    state.cancel.clear();
    int extracted = kZipOk;
    {
        FormControls::WaitPointer busy;
        extracted = package.zExtractOne(index, state.workFolder(QStringLiteral("Temp")),
                                        state.text(Option::ZipPassword), options, state.cancel);
    }
    if (extracted != kZipOk) {
        MessageDialogs::showError(&m_window, package.zGetLastErrorAsText());
        return false;
    }
    if (!FileOps::exists(temporaryCopy()) && encrypted) {
        fPassword::ask(state, &m_window);
        return false;
    }
    // The desktop's program for this kind of file, under "Launch program"; asked of xdg-mime once per kind.
    const QString type = QMimeDatabase().mimeTypeForFile(temporaryCopy()).name();
    if (!m_launchers.contains(type)) m_launchers.insert(type, DesktopApps::defaultFor(type));
    m_launcher = m_launchers.value(type);
    const QStringList viewer = TextViewer::command(state.text(Option::ViewerProgram), temporaryCopy());
    const auto setProgramLine = [&menu](const char* header, const char* line, const QString& program,
                                        const QIcon& icon) {
        QAction* headerItem = menu.findChild<QAction*>(QString::fromLatin1(header));
        QAction* lineItem = menu.findChild<QAction*>(QString::fromLatin1(line));
        if (!headerItem || !lineItem) return;
        headerItem->setEnabled(!program.isEmpty());
        // A path shows "&" as it is, not as a mnemonic.
        lineItem->setText(QString(program).replace(u'&', QStringLiteral("&&")));
        lineItem->setIcon(icon);
        lineItem->setVisible(!program.isEmpty());
    };
    setProgramLine("mnuOpt2", "mnuLaunch", m_launcher ? m_launcher->program() : QString(),
                   m_launcher ? QIcon::fromTheme(m_launcher->icon) : QIcon());
    setProgramLine("mnuOpt1", "mnuNotePad", viewer.value(0), QIcon::fromTheme(QFileInfo(viewer.value(0)).fileName()));
    if (QAction* image = menu.findChild<QAction*>(QStringLiteral("mnuOpt8"))) image->setEnabled(isImageName(m_name));
    return true;
}

bool EntryCommands::start(const QStringList& command) {
    if (!command.isEmpty() && QProcess::startDetached(command.first(), command.mid(1))) return true;
    MessageDialogs::showError(&m_window, command.isEmpty() ? QStringLiteral("No program is set to open ") + m_name
                                                           : QStringLiteral("Cannot start %1.").arg(command.first()));
    return false;
}

void EntryCommands::view() {
    const QStringList command = TextViewer::command(m_window.state().text(Option::ViewerProgram), temporaryCopy());
    if (start(command)) m_window.setStatusText(QStringLiteral("View completed for: ") + m_name);
}

void EntryCommands::launch() {
    if (m_launcher) start(DesktopApps::commandFor(*m_launcher, temporaryCopy()));
}

void EntryCommands::openRow(const EntryRow& row, QMenu& menu) {
    if (!prepareMenu(row, menu) || !FileOps::exists(temporaryCopy())) return;
    if (m_launcher) {
        launch();
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(temporaryCopy())))
        MessageDialogs::showError(&m_window, QStringLiteral("No program is set to open ") + m_name);
}

void EntryCommands::openWith() {
    const QString copy = temporaryCopy();
    fOpenWith chooser(copy, DesktopApps::forType(QMimeDatabase().mimeTypeForFile(copy).name()), &m_window);
    if (chooser.exec() != QDialog::Accepted) return;
    if (start(chooser.command())) m_window.setStatusText(QStringLiteral("OpenWith completed for: ") + m_name);
}

void EntryCommands::deleteSelected() {
    // The rows by name and folder: indices change when the package is read again.
    QList<std::pair<QString, QString>> picked;
    for (const QModelIndex& selected : m_window.grid()->selectionModel()->selectedRows())
        if (const EntryRow* row = m_window.entryModel().rowAt(selected.row()))
            picked.append({row->name, row->folderPath});
    if (picked.isEmpty()) return;
    ZipPackage& package = m_window.package();
    const QString path = m_window.currentPackage();
    AppState& state = m_window.state();
    const auto indicesNow = [&](bool sayMissing) {
        std::vector<qint64> indices;
        for (const auto& [name, folderPath] : picked) {
            const qint64 index = EntryList::findEntry(package, name, folderPath);
            if (index < 0 || package.entries()[std::size_t(index)].name != name) {
                if (sayMissing)
                    MessageDialogs::showError(&m_window, name + QStringLiteral(" Not found in zip package"));
                return std::vector<qint64>();
            }
            indices.push_back(index);
        }
        return indices;
    };
    std::vector<qint64> indices = indicesNow(false);
    if (indices.empty()) return;
    const QString what =
        picked.size() == 1 ? picked.first().first : QStringLiteral("%1 selected files").arg(picked.size());
    if (state.deleteSuppressed != QLatin1String("-1") &&
        MessageDialogs::askDelete(&m_window, state.deleteSuppressed, what,
                                  picked.size() == 1
                                      ? QString()
                                      : QStringLiteral("Are you sure you want to delete these files from the zip "
                                                       "package?")) != QLatin1String("y"))
        return;
    if (!FileOps::isWritableFile(path)) {
        MessageDialogs::showError(
            &m_window, QStringLiteral("Cannot delete %1 from %2: the package is read-only.").arg(what, path));
        return;
    }
    // Another program may have rewritten the package since it was opened: the entries are looked for again in
    // what is there now, so the delete never works from a stale directory.
    if (m_window.packageChangedOnDisk()) {
        const QString suppressed = state.deleteSuppressed;
        if (!m_window.openPackage(path)) return;
        state.deleteSuppressed = suppressed;
        indices = indicesNow(true);
        if (indices.empty()) return;
    }
    package.zUnselectAll();
    for (const qint64 index : indices)
        package.zSelectFile(index, true);
    if (package.zGetSelectedFiles() != qsizetype(indices.size())) {
        package.zUnselectAll();
        return;
    }
    m_window.setStatusText(QStringLiteral("  Deleting file from zip package."));
    int deleted = kZipOk;
    {
        FormControls::WaitPointer busy;
        deleted = package.zDeleteFiles();
    }
    if (deleted != kZipOk) {
        package.zUnselectAll();
        m_window.setStatusText(QString());
        MessageDialogs::showError(&m_window, package.zGetLastErrorAsText());
        return;
    }
    for (const auto& [name, folderPath] : picked)
        m_window.entryDeleted(name, folderPath);
    m_window.setStatusText(QStringLiteral("  Building zip package index entries."));
    m_window.setStatusText(what + QStringLiteral("  deleted from zip package"));
}

void EntryCommands::showProperties() {
    ZipPackage& package = m_window.package();
    const qint64 index = EntryList::findEntry(package, m_name, m_folderPath);
    if (index < 0) return;
    fProperties dialog(package.entries()[std::size_t(index)], m_window.currentPackage(), temporaryCopy(), &m_window);
    dialog.exec();
    m_window.setStatusText(QStringLiteral("Properties list completed for: ") + m_name);
}

void EntryCommands::displayImage() {
    frmImage::display(temporaryCopy(), &m_window);
}
