#pragma once
// The plain text viewer (Options04): the default offered on a first run, which is the program the desktop opens
// text files with, else the first of the usual editors found on PATH; and how the setting starts on a file.

#include <QString>
#include <QStringList>

class TextViewer {
  public:
    /// Full path of the viewer found on this system; "/usr/bin/xdg-open" when there is none, which the user can
    /// then change in the folder settings.
    static QString findDefault();

    /// The desktop's application for text/plain as xdg-mime names it ("org.gnome.TextEditor.desktop"), or "" when
    /// xdg-mime is missing, names none or does not answer within a short time.
    static QString desktopDefaultForText();
    /// The full path of the program the application's desktop entry (found in the XDG data folders) starts; ""
    /// when the entry is missing, starts its program through a launcher, or the program is not there.
    static QString programOfDesktopEntry(const QString& desktopId);
    /// The first of the usual plain text editors (the last resort xdg-open) found on PATH; "" when none is.
    static QString firstEditorOnPath();
    /// The editors firstEditorOnPath() looks for, in order.
    static const QStringList& editors();

    /// The program and arguments that show file with the viewer setting: the setting names one program (a full
    /// path, or a name found on PATH), or a program and its options ("kate -b"). Empty when the program is not
    /// there.
    static QStringList command(const QString& setting, const QString& file);
};
