#pragma once
// The result of a build: the heading, the package, the files and bytes that were selected, the size of the
// package on disk, the locked files that were passed over, and a button that opens their list.

#include "app/ui/AnswerableDialog.h"

struct BuildResult;
class QLabel;
class QPushButton;
class QWidget;

/// Opens the list of locked files in the user's text viewer (or a read-only view of our own over owner); nothing
/// when there is no list.
void viewLockedList(QWidget* owner, const QString& path);

class fZipOK : public AnswerableDialog {
    Q_OBJECT
  public:
    /// appFolder is where Zips/Locked.Txt lives.
    fZipOK(const BuildResult& result, const QString& appFolder, QWidget* parent = nullptr);

    /// The list of locked files btnView opens.
    QString lockedListPath() const { return m_lockedList; }

  private:
    void viewLockedFiles();

    QString m_lockedList;
    QLabel* m_headingLabel;
    QLabel* m_packageLabel;
    QLabel* m_filesLabel;
    QLabel* m_bytesLabel;
    QLabel* m_packageBytesLabel;
    QLabel* m_updatedLabel;
    QLabel* m_lockedLabel;
    QPushButton* m_btnView;
    QPushButton* m_btnExit;
};
