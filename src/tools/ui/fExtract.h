#pragma once
// The extract dialog: extracts one entry or all entries of the open package with the options the user sets
// here. The request comes in, and the answer goes out, through the option values Optionse8 and Optionsea to
// Optionsec; the work itself is an ExtractJob, which the dialog's JobRunner runs off the window thread.

#include "tools/ExtractRequest.h"

#include "app/ui/AnswerableDialog.h"
#include "app/ui/FormControls.h"
#include "app/ui/JobRunner.h"

#include <functional>
#include <memory>

class AppState;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class fExtract : public AnswerableDialog {
    Q_OBJECT
  public:
    enum class FolderBox { Default, Selected };

    fExtract(AppState& state, ZipPackage& package, QWidget* parent = nullptr);
    /// A running extraction is cancelled and waited for, so nothing of it outlives the dialog.
    ~fExtract() override;

    /// What btnExtract does. The extraction (one entry or all) runs off the window thread, with the progress bar
    /// and a working Cancel; extractionFinished() follows its end, and the dialog closes.
    void extractNow();
    /// What btnExit does: a running extraction is stopped (and answers for itself), else all answers are "cancel".
    void cancelNow();
    /// True from extractNow() until extractionFinished().
    bool isExtracting() const { return m_runner.isRunning(); }

    /// A folder picked by a browse button: stored with its trailing "/" in the box and in the box's key.
    void usePickedFolder(FolderBox box, const QString& folder);
    /// The options as the controls show them now.
    ExtractSettings settingsFromControls() const;

    /// Called at every progress report on the extraction's thread, after the report was posted to the window and
    /// before the extraction goes on. For tests that need to act at an exact point of a running extraction.
    void setProgressObserver(std::function<void(const ZipProgress&)> observer) { m_observer = std::move(observer); }

  signals:
    /// Percent done of the running extraction, on the window thread.
    void progressChanged(int percent);
    /// The background extraction has ended and its answer is stored.
    void extractionFinished();

  public:
    /// The answer of the last extraction or cancel (also stored in Optionsea to Optionsec), with its report.
    const ExtractAnswer& answer() const { return m_answer; }

  protected:
    /// Escape and the title bar's close count as Cancel.
    void reject() override;
    /// A queued test answer: "extract" extracts (and waits for the end), anything else cancels.
    void answerWith(const QString& answer) override;

  private:
    void load();
    void browse(FolderBox box);
    void setUseTicks(bool useDefault);
    void startExtraction(const ExtractSettings& settings);
    void extractionEnded();
    QLineEdit* folderEdit(FolderBox box) const;
    static Option folderOption(FolderBox box);

    AppState& m_state;
    ZipPackage& m_package;
    FormControls::BusyPointer m_busy;
    ExtractAnswer m_answer;
    std::function<void(const ZipProgress&)> m_observer;
    JobRunner m_runner; ///< last, so it is gone (and its worker joined) before anything the job uses

    QLabel* m_headingLabel;
    QLabel* m_passwordLabel;
    QLabel* m_selectedFolderLabel;
    QLabel* m_selectedFileLabel;
    QLabel* m_defaultFolderLabel;
    QLabel* m_extractingLabel;
    QLabel* m_selectedFileNameLabel;
    QLineEdit* m_defaultFolderEdit;
    QLineEdit* m_selectedFolderEdit;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_overwriteCheck;
    QCheckBox* m_skipOlderCheck;
    QCheckBox* m_folderNamesCheck;
    QCheckBox* m_useDefaultFolderCheck;
    QCheckBox* m_useSelectedFolderCheck;
    QCheckBox* m_hidePasswordCheck;
    QPushButton* m_browseSelectedButton;
    QPushButton* m_browseDefaultButton;
    QProgressBar* m_progress;
    QPushButton* m_btnExtract;
    QPushButton* m_btnHelp;
    QPushButton* m_btnExit;
};
