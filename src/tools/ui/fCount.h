#pragma once
// The search progress window: three lines of text set by the running search and a Cancel button. It stays
// open beside the search; the search stops at its next look at the cancel token.

#include "utility/CancelToken.h"

#include <QDialog>

class QLabel;
class QPushButton;

class fCount : public QDialog {
    Q_OBJECT
  public:
    /// cancel is the program-wide token the search reads (AppState::cancel).
    explicit fCount(CancelToken& cancel, QWidget* parent = nullptr);

    void setCaptionText(const QString& text); ///< Label1
    void setDriveText(const QString& text);   ///< lblDrive
    void setScanText(const QString& text);    ///< lblScan

    /// What btnCancel does: set the token and close.
    void cancelNow();
    /// Closes the window at the end of the search without touching the token; the search's owner uses this
    /// rather than close(), which counts as Cancel.
    void finish();

  protected:
    /// Escape, the title bar's close and close() all end here: each means the user wants the search stopped.
    void reject() override;

  private:
    CancelToken& m_cancel;
    QLabel* m_captionLabel;
    QLabel* m_lblDrive;
    QLabel* m_lblScan;
    QPushButton* m_btnCancel;
};
