#include "frmImage.h"

#include "app/ui/DialogHook.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

bool frmImage::display(const QString& path, QWidget* parent) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) return false;
    frmImage window(path, image, parent);
    // A test answers instead of looking at the picture.
    QString answer;
    if (DialogHook::takeAnswer(answer)) return true;
    window.exec();
    return true;
}

frmImage::frmImage(const QString& path, const QImage& image, QWidget* parent) : QDialog(parent) {
    setObjectName("frmImage");
    setWindowTitle(path);
    auto* picture = new QLabel(this);
    picture->setObjectName("imgOne");
    picture->setPixmap(QPixmap::fromImage(image));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(picture);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    // The window takes the picture's size, as far as the screen allows, and stands in the middle of the screen.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize wanted = image.size() + QSize(2, 2);
    resize(wanted.boundedTo(room.size() * 9 / 10));
    move(room.center() - rect().center());
}
