#pragma once
// The zip settings asked for just before a package is built or updated: comment, password, compression, update
// option, archive bit and volume spanning. However the dialog is closed, it hands back the settings (for the
// caller to store), the comment and the spanning choices; only the Build (Update) button confirms the build.

#include "backup/BuildJob.h"

#include "app/ui/AnswerableDialog.h"

#include <array>

class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

class fZipSet : public AnswerableDialog {
    Q_OBJECT
  public:
    static constexpr int kHelpBuild = 136;
    static constexpr int kHelpUpdate = 138;

    // The diskette sizes of the Options menu: the sizes the program has always put into the size box.
    static inline const QString kSize720 = QStringLiteral("728822");
    static inline const QString kSize144 = QStringLiteral("1457664");
    static inline const QString kSize288 = QStringLiteral("2915288");

    /// settings are what the dialog opens with (ZipSettings::load); comment is the package comment the wizard hands
    /// over; package is the package shown: the one a new build writes or the one an update works on.
    fZipSet(const ZipSettings& settings, BuildMode mode, const QString& comment, const QString& package = {},
            QWidget* parent = nullptr);

    /// Shown under the second password box when a password must be typed twice before it is built with.
    static inline const QString kMismatch =
        QStringLiteral("The two passwords differ. Type the password again in both boxes to build with it.");

    /// True only after the Build (Update) button, with the password typed twice when it had to be.
    bool confirmed() const { return m_confirmed; }
    /// The comment box as the dialog left it (after closing: as it was when it closed).
    QString comment() const { return m_comment; }
    /// The spanning choices taken when the dialog closed; in update mode always no spanning and no size.
    bool noSpanning() const { return m_noSpanning; }
    bool automaticSpanning() const { return m_automatic; }
    bool customSpanning() const { return m_custom; }
    QString customSize() const { return m_customSize; }
    /// The span size the build uses: -1 none, 0 automatic, else bytes per volume.
    qint64 spanSize() const { return spanSizeFrom(m_noSpanning, m_automatic, m_custom, m_customSize); }

    QMenu* optionsMenu() const { return m_mnuOptions; }

    /// The settings as the dialog left them when it closed, with the span size; the dialog itself stores nothing.
    const ZipSettings& settings() const { return m_settings; }

    /// Every way of closing ends here and takes the choices.
    void done(int result) override;

  protected:
    /// A queued test answer: "ok", "y" or "build" as the Build button, anything else as Cancel. The
    /// settings are handed back either way.
    void answerWith(const QString& answer) override;

  private:
    void load(const QString& package);
    void takeChoices();
    void checkSizeBox(const QString& text);
    void showOptionsMenu();
    /// Shows the second password box when the password in the box was not confirmed for building.
    void updateConfirmation();
    /// The Build (Update) button: confirms, unless the password had to be typed twice and the two differ.
    void confirmBuild();
    bool passwordConfirmed() const;

    const ZipSettings m_loaded;
    const BuildMode m_mode;
    bool m_confirmed = false;
    QString m_comment;
    bool m_noSpanning = true;
    bool m_automatic = false;
    bool m_custom = false;
    QString m_customSize;
    ZipSettings m_settings;

    QLabel* m_headingLabel;
    QLabel* m_packageLabel;
    QPlainTextEdit* m_commentEdit;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_hidePasswordCheck;
    QLabel* m_confirmLabel;
    QLineEdit* m_confirmEdit;
    QLabel* m_confirmNote;
    QLabel* m_lblEncryption;
    std::array<QRadioButton*, CompressionLevels::kCount> m_compressionOptions{};
    std::array<QRadioButton*, UpdateCodes::kCount> m_updateOptions{};
    QButtonGroup* m_compressionGroup;
    QButtonGroup* m_updateGroup;
    QCheckBox* m_resetArchiveCheck;
    QRadioButton* m_noSpanningOption;
    QRadioButton* m_automaticSpanningOption;
    QRadioButton* m_customSpanningOption;
    QLineEdit* m_spanSizeEdit;
    QToolButton* m_btnOptions;
    QMenu* m_mnuOptions;
    QAction* m_size720Action;
    QAction* m_size144Action;
    QAction* m_size288Action;
    QAction* m_mnuExit;
    QPushButton* m_btnBuild;
    QPushButton* m_btnExit;
    QPushButton* m_btnHelp;
};
