#include "ViewerIcons.h"

#include <QStyle>

namespace {

struct IconSource {
    const char* key;
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

// Freedesktop names first, because they match the rest of the user's desktop; the style picture only stands in
// where the theme has nothing.
const IconSource kSources[] = {
    {"ZIPOPTION", "package-x-generic", QStyle::SP_DirIcon},
    {"EXIT", "application-exit", QStyle::SP_DialogCloseButton},
    {"OPENWITH", "document-open", QStyle::SP_DialogOpenButton},
    {"LAUNCH", "system-run", QStyle::SP_MediaPlay},
    {"EXTRACTONE", "document-save", QStyle::SP_DialogSaveButton},
    {"EXTRACTALL", "document-save-as", QStyle::SP_DriveHDIcon},
    {"PROPERTIES", "document-properties", QStyle::SP_FileDialogInfoView},
    {"DELETE", "edit-delete", QStyle::SP_TrashIcon},
    {"VIEW", "system-search", QStyle::SP_FileDialogContentsView},
    {"IMAGE", "image-x-generic", QStyle::SP_DesktopIcon},
    {"MAKE", "application-x-executable", QStyle::SP_ComputerIcon},
    {"SPLIT", "edit-cut", QStyle::SP_FileDialogListView},
    {"HELP", "help-contents", QStyle::SP_DialogHelpButton},
    {"ABOUT", "help-about", QStyle::SP_MessageBoxInformation},
    {"README", "text-x-generic", QStyle::SP_FileIcon},
    {"QUICK1", "view-refresh", QStyle::SP_BrowserReload},
    {"QUICK2", "media-seek-forward", QStyle::SP_MediaSeekForward},
    // The buttons of the main window.
    {"OPEN", "document-open", QStyle::SP_DialogOpenButton},
    {"BUILD", "document-new", QStyle::SP_FileDialogNewFolder},
    {"UPDATE", "view-refresh", QStyle::SP_BrowserReload},
    {"RECENT", "document-open-recent", QStyle::SP_FileDialogDetailedView},
    {"FIND", "edit-find", QStyle::SP_FileDialogContentsView},
    {"OPTIONS", "preferences-system", QStyle::SP_FileDialogListView},
    {"CLOSE", "window-close", QStyle::SP_DialogCloseButton},
};

} // namespace

MenuIcons::MenuIcons(const QStyle* style) : m_style(style) {}

QStringList MenuIcons::keys() {
    QStringList out;
    for (const IconSource& s : kSources)
        out << QString::fromLatin1(s.key);
    return out;
}

QIcon MenuIcons::icon(const QString& key) {
    auto it = m_cache.constFind(key);
    if (it != m_cache.cend()) return *it;
    QIcon icon;
    QStyle::StandardPixmap fallback = QStyle::SP_FileIcon;
    for (const IconSource& s : kSources) {
        if (key != QLatin1String(s.key)) continue;
        icon = QIcon::fromTheme(QString::fromLatin1(s.themeName));
        fallback = s.fallback;
        break;
    }
    if (icon.isNull() && m_style) icon = m_style->standardIcon(fallback);
    m_cache.insert(key, icon);
    return icon;
}

QIcon FileTypeIcons::icon(const QString& extension) {
    const QString key = extension.toUpper();
    auto it = m_cache.constFind(key);
    if (it != m_cache.cend()) return *it;
    QIcon icon = systemIcon(key);
    m_cache.insert(key, icon);
    return icon;
}

QIcon FileTypeIcons::systemIcon(const QString& key) {
    ++m_lookups;
    // The entry lives inside the package, not on disk, so the type comes from the name alone.
    const QString name = key.isEmpty() ? QStringLiteral("file") : QStringLiteral("file.") + key.toLower();
    const QMimeType mime = m_mime.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull()) icon = m_provider.icon(QAbstractFileIconProvider::File);
    return icon;
}
