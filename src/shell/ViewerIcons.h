#pragma once
// The main window's small pictures: the menu and button icons under their text keys ("ZIPOPTION", "EXIT", ...)
// and the file-type icons of the entry grid under upper-case extensions.

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

class QStyle;

/// The icons of the pop-up menus and buttons by text key: the desktop theme's picture when it has one, else a
/// picture of the widget style, so every key shows something on any desktop.
class MenuIcons {
  public:
    explicit MenuIcons(const QStyle* style);

    /// The icon of a key; an unknown key gets the style's plain file picture.
    QIcon icon(const QString& key);
    /// Every key the menus and buttons use.
    static QStringList keys();

  private:
    const QStyle* m_style;
    QHash<QString, QIcon> m_cache;
};

/// The small icon of each file type, asked of the system once per extension. Extensions that differ only in
/// case share one icon, because the cache key is the upper-case extension.
class FileTypeIcons {
  public:
    /// The icon for an extension (with or without case; "" for names without one).
    QIcon icon(const QString& extension);
    bool contains(const QString& extension) const { return m_cache.contains(extension.toUpper()); }
    qsizetype size() const { return m_cache.size(); }
    /// How often the system was asked; stays at the number of distinct upper-case extensions.
    int systemLookups() const { return m_lookups; }

  private:
    QIcon systemIcon(const QString& key);

    QHash<QString, QIcon> m_cache;
    QMimeDatabase m_mime;
    QFileIconProvider m_provider;
    int m_lookups = 0;
};
