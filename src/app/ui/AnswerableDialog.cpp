#include "AnswerableDialog.h"

#include "DialogHook.h"

int AnswerableDialog::exec() {
    QString queued;
    if (DialogHook::takeAnswer(queued)) {
        answerWith(queued);
        return result();
    }
    return QDialog::exec();
}

void AnswerableDialog::answerWith(const QString&) {
    done(QDialog::Accepted);
}

bool AnswerableDialog::isYes(const QString& answer) {
    return answer == QLatin1String("y") || answer == QLatin1String("ok");
}
