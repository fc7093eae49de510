#pragma once
// The chooser of a program for one file: the desktop's applications that say they open its kind, and any other
// program the user picks from the disk.

#include "app/DesktopApps.h"

#include "app/ui/AnswerableDialog.h"

class QListView;
class QStringListModel;

class fOpenWith : public AnswerableDialog {
    Q_OBJECT
  public:
    fOpenWith(const QString& file, const QList<DesktopApp>& apps, QWidget* parent = nullptr);
    /// The program and arguments chosen, after the dialog was accepted; empty otherwise.
    QStringList command() const { return m_command; }
    /// Chooses application row (as a double-click on it does).
    void chooseRow(int row);
    /// Chooses a program picked from the disk (as "Other program..." does).
    void chooseProgram(const QString& program);

  protected:
    /// A queued test answer: a row number chooses that application, a path that program, "cancel" nothing.
    void answerWith(const QString& answer) override;

  private:
    QString m_file;
    QList<DesktopApp> m_apps;
    QStringList m_command;
    QListView* m_list;
    QStringListModel* m_names;
};
