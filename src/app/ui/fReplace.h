#pragma once
// Asks whether an existing file may be replaced. The answer is "y" or "n"; any way of closing other than Yes
// answers "n", so a caller never replaces a file by accident.

#include "YesNoDialog.h"

class QLabel;

class fReplace : public YesNoDialog {
    Q_OBJECT
  public:
    /// path is the existing file; sizeText and dateText are optional detail lines shown below it.
    explicit fReplace(const QString& path, const QString& sizeText = {}, const QString& dateText = {},
                      QWidget* parent = nullptr);

  private:
    QLabel* m_lblFile;
    QLabel* m_lblSize;
    QLabel* m_lblDate;
};
