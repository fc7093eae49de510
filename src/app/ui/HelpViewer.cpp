#include "HelpViewer.h"

#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kHelpPage = QStringLiteral("qrc:/help/Varnhold.html");
constexpr int kContentsContext = 100;

class HelpWindow : public QDialog {
  public:
    explicit HelpWindow(QWidget* owner) : QDialog(owner) {
        setObjectName("fHelp");
        setWindowTitle("Varnhold Help");
        setModal(false);
        setAttribute(Qt::WA_DeleteOnClose);
        resize(640, 520);

        browser = new QTextBrowser(this);
        browser->setObjectName("HelpBrowser");
        // Links to web pages leave the viewer; links inside the help stay in it.
        browser->setOpenExternalLinks(true);

        auto* contents = new QPushButton("C&ontents", this);
        contents->setObjectName("btnContents");
        contents->setAutoDefault(false);
        auto* back = new QPushButton("&Back", this);
        back->setObjectName("btnBack");
        back->setAutoDefault(false);
        back->setEnabled(false);
        auto* close = new QPushButton("&Close", this);
        close->setObjectName("btnClose");
        close->setAutoDefault(false);
        connect(contents, &QPushButton::clicked, this, [this] { showTopic(kContentsContext); });
        connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
        connect(browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
        connect(close, &QPushButton::clicked, this, &QDialog::close);

        auto* buttons = new QHBoxLayout;
        buttons->addWidget(contents);
        buttons->addWidget(back);
        buttons->addStretch();
        buttons->addWidget(close);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(browser, 1);
        layout->addLayout(buttons);
    }

    void showTopic(int context) {
        QUrl url(kHelpPage);
        url.setFragment(QString::number(knows(context) ? context : kContentsContext));
        browser->setSource(url);
    }

    QTextBrowser* browser;

  private:
    // The page marks each topic with <a name="context">.
    static bool knows(int context) {
        static const QByteArray page = [] {
            QFile file(QStringLiteral(":/help/Varnhold.html"));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        return page.contains("name=\"" + QByteArray::number(context) + "\"");
    }
};

QPointer<HelpWindow>& openWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

void showHelpTopic(QWidget* owner, int context) {
    QPointer<HelpWindow>& window = openWindow();
    // The viewer belongs to the window that asked: a child of a modal dialog stays usable while that dialog
    // is open, and goes away with it.
    if (window && window->parentWidget() != owner) delete window.data();
    if (!window) window = new HelpWindow(owner);
    // Shown first: the browser scrolls to the topic in the size it really has.
    window->show();
    window->showTopic(context);
    window->raise();
    window->activateWindow();
}

QTextBrowser* currentHelpBrowser() {
    QPointer<HelpWindow>& window = openWindow();
    return window ? window->browser : nullptr;
}
