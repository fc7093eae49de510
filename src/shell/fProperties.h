#pragma once
// The properties of one entry: what the package records of it and what the file extracted from it is.

#include "zip/ZipTypes.h"

#include <QDialog>

class fProperties : public QDialog {
    Q_OBJECT
  public:
    /// entry: the package's record; copy: the file extracted from it into Temp/.
    fProperties(const ZipEntry& entry, const QString& package, const QString& copy, QWidget* parent = nullptr);
    /// The lines as "label: value", for tests and for copying.
    QStringList lines() const { return m_lines; }

  private:
    QStringList m_lines;
};
