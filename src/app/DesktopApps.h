#pragma once
// The desktop's applications as their desktop entries (XDG .desktop files) describe them: which one opens a kind
// of file by default (xdg-mime), which ones say they can open it, and the command that starts one on a file.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct DesktopApp {
    QString id;       ///< "org.gnome.TextEditor.desktop"
    QString name;     ///< what the entry calls itself
    QString icon;     ///< the icon's theme name or path
    QStringList exec; ///< the Exec value in words, field codes still in it
    QStringList mimeTypes;
    /// The full path of the program the entry starts; "" when it is not there.
    QString program() const;
};

namespace DesktopApps {
/// The id of the desktop's default application for a MIME type, as xdg-mime answers; "" when xdg-mime is missing,
/// names none or does not answer within a short time.
QString defaultIdFor(const QString& mimeType);
/// The desktop entry of that id in the XDG data folders; nothing when there is none, it is hidden, or its Exec is
/// empty.
std::optional<DesktopApp> entry(const QString& desktopId);
/// The default application for a MIME type whose program is there.
std::optional<DesktopApp> defaultFor(const QString& mimeType);
/// Every application whose entry declares the MIME type, by name, each id once (the user's own entries first).
QList<DesktopApp> forType(const QString& mimeType);
/// The program and arguments that open file with the application: the Exec words with the file put in for its
/// field code (%f %F %u %U; appended when there is none) and the other codes dropped.
QStringList commandFor(const DesktopApp& app, const QString& file);
/// A program named by a full path or found on PATH, as a full path; "" when it is not there.
QString runnable(const QString& program);
} // namespace DesktopApps
