#pragma once
// The picture window: one picture file shown at its own size (scrolled when larger than the screen), the path as
// its caption, centred on the screen.

#include <QDialog>

class frmImage : public QDialog {
    Q_OBJECT
  public:
    /// Shows the picture modally; false, with nothing shown, when the file is no picture that can be read.
    static bool display(const QString& path, QWidget* parent = nullptr);

  private:
    frmImage(const QString& path, const QImage& image, QWidget* parent);
};
