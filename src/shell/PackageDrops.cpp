#include "PackageDrops.h"

#include "fMain.h"

#include "app/AppState.h"
#include "app/ui/MessageDialogs.h"
#include "backup/ui/fKovra.h"
#include "utility/ScratchFolder.h"
#include "viewer/EntryList.h"
#include "viewer/EntryTableModel.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace {
QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}
} // namespace

PackageDrops::PackageDrops(fMain& window) : QObject(&window), m_window(window) {
    // Drops anywhere on the window reach it: its controls take none of their own.
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    window.grid()->viewport()->installEventFilter(this);
    connect(&window, &fMain::wizardOpened, this, &PackageDrops::wizardOpened);
}

PackageDrops::~PackageDrops() = default;

bool PackageDrops::isPackage(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return false;
    if (info.suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0) return true;
    ZipPackage probe;
    const bool opens = probe.zOpenZipFile(path) == kZipOk;
    probe.zCloseZipFile();
    return opens;
}

bool PackageDrops::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            // The grid's own entries dragged back onto the window are not dropped files.
            if (drag->source() || localPaths(drag->mimeData()).isEmpty()) return false;
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList paths = localPaths(drop->mimeData());
            if (drop->source() || paths.isEmpty()) return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // The file manager waits for the drop to end; opening and its messages come after.
            QTimer::singleShot(0, this, [this, paths] { dropped(paths); });
            return true;
        }
        default:
            return false;
        }
    }

    // The grid: a left press held and moved beyond the desktop's drag distance starts a drag of the selection.
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        m_pressAt.reset();
        if (press->button() == Qt::LeftButton && m_window.grid()->indexAt(press->position().toPoint()).isValid())
            m_pressAt = press->position().toPoint();
        return false;
    }
    case QEvent::MouseButtonRelease:
        m_pressAt.reset();
        return false;
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (!m_pressAt || !(move->buttons() & Qt::LeftButton)) return false;
        if ((move->position().toPoint() - *m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return false;
        m_pressAt.reset();
        if (std::unique_ptr<QMimeData> data = dragData()) {
            auto* drag = new QDrag(m_window.grid());
            drag->setMimeData(data.release());
            drag->exec(Qt::CopyAction);
        }
        return true;
    }
    default:
        return false;
    }
}

std::unique_ptr<QMimeData> PackageDrops::dragData() {
    QTableView* grid = m_window.grid();
    const QModelIndexList selected = grid->selectionModel()->selectedRows();
    if (selected.isEmpty()) return nullptr;
    AppState& state = m_window.state();
    const QString temp = state.workFolder(QStringLiteral("Temp"));
    if (!ScratchFolder::prepare(temp)) return nullptr;
    // A fresh folder of its own, so that copies never meet the program's other files in Temp/; the last drag's
    // folder goes now.
    m_copies = std::make_unique<QTemporaryDir>(temp + QStringLiteral("drag-XXXXXX"));
    if (!m_copies->isValid()) return nullptr;
    const QString folder = m_copies->path() + u'/';

    ExtractOptions options;
    options.overwrite = false;
    options.skipOlder = false;
    options.useFolderNames = false;
    ZipPackage& package = m_window.package();
    state.cancel.clear();
    QList<QUrl> urls;
    QSet<QString> names; // two entries of one name in different folders: the first selected one goes
    for (const QModelIndex& index : selected) {
        const EntryRow* row = m_window.entryModel().rowAt(index.row());
        if (!row || row->name.isEmpty() || names.contains(row->name)) continue;
        const qint64 entry = EntryList::findEntry(package, row->name, row->folderPath);
        if (entry < 0) continue;
        package.zExtractOne(entry, folder, state.text(Option::ZipPassword), options, state.cancel);
        // An entry the stored password does not open leaves no copy, and is not dragged.
        if (!QFileInfo(folder + row->name).isFile()) continue;
        names.insert(row->name);
        urls << QUrl::fromLocalFile(folder + row->name);
    }
    if (urls.isEmpty()) return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

void PackageDrops::dropped(const QStringList& paths) {
    if (paths.size() == 1 && isPackage(paths.first())) {
        m_window.openPackage(paths.first());
        return;
    }
    // Anything else is for updating the open package, with the checks of the Update button.
    if (m_window.currentPackage().isEmpty() || m_window.entryModel().rowCount() == 0) {
        MessageDialogs::showError(&m_window, QStringLiteral("No zip package is opened"));
        return;
    }
    if (m_window.package().zIsSpanned()) {
        MessageDialogs::showError(&m_window, QStringLiteral("Can not update spanned zip package"));
        return;
    }
    m_picked = paths;
    m_window.updateWithWizard();
    m_picked.clear(); // in case no wizard opened
}

void PackageDrops::wizardOpened(fKovra* wizard) {
    if (!m_picked.isEmpty()) wizard->addPicked(std::exchange(m_picked, {}));
}
