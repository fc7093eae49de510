#pragma once
// Edits the ten stored include and exclude patterns. There is no cancel: however the dialog is closed, every box
// is stored exactly as typed, and the caller then takes the current patterns from reloadedPatterns().

#include "sets/Patterns.h"

#include "app/ui/AnswerableDialog.h"

#include <array>

class CRegSettings;
class QLabel;
class QLineEdit;
class QPushButton;

class fPatterns : public AnswerableDialog {
    Q_OBJECT
  public:
    static constexpr int kBoxes = 2 * kPatternSlots;
    static constexpr int kHelpContext = 131;

    /// The boxes show the stored patterns, or the dialog's defaults for the ones never stored.
    explicit fPatterns(CRegSettings& settings, QWidget* parent = nullptr);

    /// Shows the dialog modally and returns the current patterns as they are after it has closed.
    static CurrentPatterns edit(CRegSettings& settings, QWidget* parent = nullptr);

    /// The current patterns read back from the store with the defaults every other reader uses.
    CurrentPatterns reloadedPatterns() const;

    /// Box i: 0 to 4 include 1 to 5, 5 to 9 exclude 1 to 5.
    QLineEdit* box(int i) const { return m_patternBoxes[i]; }

    void done(int result) override;

  private:
    void storeBoxes();

    CRegSettings& m_settings;
    QLabel* m_headingLabel;
    QLabel* m_includeLabel;
    QLabel* m_excludeLabel;
    std::array<QLineEdit*, kBoxes> m_patternBoxes{};
    QPushButton* m_btnExit;
    QPushButton* m_btnHelp;
};
