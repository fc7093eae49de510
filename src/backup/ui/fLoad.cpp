#include "fLoad.h"
#include "app/ui/FormControls.h"

#include "utility/TextUtil.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using FormControls::makePlainLabel;

// A ring of dots with one bright dot running round: drawn here so the window needs no picture file beside the
// program. It only ticks while it is on screen.
class SpinnerWidget : public QWidget {
  public:
    static constexpr int kDots = 12;

    explicit SpinnerWidget(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
        setFixedSize(48, 48);
        m_timer->setInterval(80);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] {
            m_step = (m_step + 1) % kDots;
            update();
        });
    }

    bool isRunning() const { return m_timer->isActive(); }
    int step() const { return m_step; }

  protected:
    void showEvent(QShowEvent*) override { m_timer->start(); }
    void hideEvent(QHideEvent*) override { m_timer->stop(); }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        const qreal radius = std::min(width(), height()) / 2.0 - 5;
        QColor color = palette().color(QPalette::Highlight);
        for (int i = 0; i < kDots; ++i) {
            // The dot of the current step is solid; the ones behind it fade out.
            const int age = (m_step - i + kDots) % kDots;
            color.setAlphaF(1.0 - 0.8 * age / (kDots - 1));
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.save();
            painter.rotate(360.0 * i / kDots);
            painter.drawEllipse(QPointF(0, -radius), 3.5, 3.5);
            painter.restore();
        }
    }

  private:
    QTimer* m_timer;
    int m_step = 0;
};

QProgressBar* makeBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    // The caption beside the bar carries the number.
    bar->setTextVisible(false);
    bar->setMinimumWidth(300);
    return bar;
}

QString percentText(int percent) {
    return QString::number(percent) + u'%';
}

} // namespace

fLoad::fLoad(CancelToken& cancel, BuildMode mode, const QString& packagePath, qint64 selectedFiles,
             qint64 selectedBytes, const QString& appFolder, QWidget* parent)
    : QDialog(parent), m_cancel(cancel), m_lockedList(QDir::cleanPath(appFolder + QStringLiteral("/Zips/Locked.Txt"))) {
    const bool update = mode == BuildMode::Update;
    setObjectName("fLoad");
    setWindowTitle(update ? "Update Zip Package" : "Build Zip Package");
    setModal(false);

    m_lblPackage = makePlainLabel("Zip Package: " + packagePath, "lblPackage", this);
    m_lblPackage->setWordWrap(true);
    QFont bold = m_lblPackage->font();
    bold.setBold(true);
    m_lblPackage->setFont(bold);

    auto* filesCaption = makePlainLabel("Total number of files", "Label5", this);
    auto* bytesCaption = makePlainLabel("Total  number bytes", "Label6", this);
    m_lblFiles = makePlainLabel(TextUtil::formatGrouped(selectedFiles), "lblFiles", this);
    m_lblBytes = makePlainLabel(TextUtil::formatGrouped(selectedBytes), "lblBytes", this);
    for (QLabel* number : {m_lblFiles, m_lblBytes})
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_animation = new SpinnerWidget(this);
    m_animation->setObjectName("Animation1");

    m_selectingLabel = makePlainLabel("Selecting files for zip package:", "Label1", this);
    m_selectingBar = makeBar("ProgressBar1", this);
    m_selectingPercentLabel = makePlainLabel(percentText(0), "lblPercent1", this);
    m_compressingLabel = makePlainLabel(update ? "Updating Zip Package" : "Building zip package:", "Label2", this);
    m_compressingBar = makeBar("ProgressBar2", this);
    m_compressingPercentLabel = makePlainLabel(percentText(0), "lblPercent2", this);
    // Reading the whole package back takes a while on a big backup; it is a stage of its own, not a full bar.
    m_checkingLabel = makePlainLabel("Checking the new package", "lblChecking", this);
    m_checkingBar = makeBar("ProgressBar3", this);
    m_checkingPercentLabel = makePlainLabel(percentText(0), "lblPercent3", this);
    // Room for "100%" from the start, so the bars do not move when the number grows.
    for (QLabel* caption : {m_selectingPercentLabel, m_compressingPercentLabel, m_checkingPercentLabel}) {
        caption->setMinimumWidth(caption->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    m_lockedHeadingLabel =
        makePlainLabel("Files locked by other programs or unreadable, not included in zip package:", "Label3", this);
    m_lblLocked = makePlainLabel(QStringLiteral("0"), "lblLocked", this);
    m_lstLocked = new QListWidget(this);
    m_lstLocked->setObjectName("lstLocked");
    m_lstLocked->setFixedHeight(m_lstLocked->fontMetrics().lineSpacing() * 5 + 8);
    m_lstLocked->setSelectionMode(QAbstractItemView::NoSelection);
    m_lockedListLabel = makePlainLabel("List of locked files saved as " + m_lockedList, "Label4", this);
    // A deep application folder wraps rather than widening the window past the screen.
    m_lockedListLabel->setWordWrap(true);

    m_btnCancel = new QPushButton(" &Cancel", this);
    m_btnCancel->setObjectName("btnCancel");
    m_btnCancel->setToolTip("Cancel");
    connect(m_btnCancel, &QPushButton::clicked, this, &fLoad::cancelNow);

    auto* totals = new QGridLayout;
    totals->addWidget(filesCaption, 0, 0);
    totals->addWidget(m_lblFiles, 0, 1);
    totals->addWidget(bytesCaption, 1, 0);
    totals->addWidget(m_lblBytes, 1, 1);
    totals->setHorizontalSpacing(24);
    auto* head = new QHBoxLayout;
    head->addLayout(totals);
    head->addStretch();
    head->addWidget(m_animation);

    auto* bars = new QGridLayout;
    bars->addWidget(m_selectingLabel, 0, 0, 1, 2);
    bars->addWidget(m_selectingBar, 1, 0);
    bars->addWidget(m_selectingPercentLabel, 1, 1);
    bars->addWidget(m_compressingLabel, 2, 0, 1, 2);
    bars->addWidget(m_compressingBar, 3, 0);
    bars->addWidget(m_compressingPercentLabel, 3, 1);
    bars->addWidget(m_checkingLabel, 4, 0, 1, 2);
    bars->addWidget(m_checkingBar, 5, 0);
    bars->addWidget(m_checkingPercentLabel, 5, 1);
    bars->setRowMinimumHeight(2, m_compressingLabel->sizeHint().height() + 8);
    bars->setRowMinimumHeight(4, m_checkingLabel->sizeHint().height() + 8);
    bars->setColumnStretch(0, 1);

    auto* lockedHead = new QHBoxLayout;
    lockedHead->addWidget(m_lockedHeadingLabel);
    lockedHead->addStretch();
    lockedHead->addWidget(m_lblLocked);
    auto* buttons = FormControls::makeButtonRow({m_btnCancel});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lblPackage);
    layout->addSpacing(4);
    layout->addLayout(head);
    layout->addSpacing(4);
    layout->addLayout(bars);
    layout->addSpacing(8);
    layout->addLayout(lockedHead);
    layout->addWidget(m_lstLocked);
    layout->addWidget(m_lockedListLabel);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Long package paths wrap instead of widening the window past the screen.
    m_lblPackage->setMaximumWidth(520);
    m_lockedListLabel->setMaximumWidth(520);
    m_lstLocked->setMinimumWidth(420);
}

QStringList fLoad::lockedPaths() const {
    QStringList paths;
    for (int i = 0; i < m_lstLocked->count(); ++i)
        paths << m_lstLocked->item(i)->text();
    return paths;
}

void fLoad::setSelecting(int percent) {
    percent = std::clamp(percent, 0, 100);
    m_selectingBar->setValue(percent);
    m_selectingPercentLabel->setText(percentText(percent));
}

void fLoad::setCompressing(int percent) {
    percent = std::clamp(percent, 0, 100);
    m_compressingBar->setValue(percent);
    m_compressingPercentLabel->setText(percentText(percent));
}

void fLoad::setChecking(int percent) {
    percent = std::clamp(percent, 0, 100);
    m_checkingBar->setValue(percent);
    m_checkingPercentLabel->setText(percentText(percent));
}

void fLoad::addLocked(const QString& path, qint64 count) {
    m_lstLocked->addItem(path);
    m_lstLocked->scrollToBottom();
    m_lblLocked->setText(TextUtil::formatGrouped(count));
}

void fLoad::cancelNow() {
    reject();
}

void fLoad::finish() {
    done(QDialog::Accepted);
}

void fLoad::reject() {
    m_cancel.cancel();
    emit cancelRequested();
    QDialog::reject();
}
