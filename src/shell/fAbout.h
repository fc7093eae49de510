#pragma once
// The about box: the program's name and version, and the libraries it runs on with the versions it found at
// run time.

#include "app/ui/AnswerableDialog.h"

#include <QList>
#include <QPair>

class fAbout : public AnswerableDialog {
    Q_OBJECT
  public:
    explicit fAbout(QWidget* parent = nullptr);

    /// "Varnhold " and the version the program was built as.
    static QString programLine();
    /// Each library's name and version, in the order the box lists them.
    static QList<QPair<QString, QString>> libraries();
};
