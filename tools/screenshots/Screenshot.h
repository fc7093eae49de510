#pragma once
// What the screenshot programs share: where the pictures go and how a form is rendered into one.

#include <QApplication>
#include <QDir>
#include <QString>
#include <QWidget>
#include <cstdio>

namespace screenshots {

/// The output folder named on the command line ("." when none), created when missing.
inline QString outputFolder(int argc, char** argv) {
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    return out;
}

/// Shows the form, renders it into a PNG file and hides it again; says on stderr what it wrote.
inline bool save(QWidget& widget, const QString& file) {
    widget.show();
    QApplication::processEvents();
    const bool ok = widget.grab().save(file);
    std::fprintf(stderr, "%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(file), widget.width(), widget.height());
    widget.hide();
    return ok;
}

} // namespace screenshots
