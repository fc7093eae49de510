#include "MessageDialogs.h"

#include "fDelete.h"
#include "fError.h"
#include "fReplace.h"

namespace MessageDialogs {

void showError(QWidget* owner, const QString& message) {
    fError dialog(message, owner);
    dialog.exec();
}

QString askReplace(QWidget* owner, const QString& path) {
    return askReplace(owner, path, {}, {});
}

QString askReplace(QWidget* owner, const QString& path, const QString& sizeText, const QString& dateText) {
    fReplace dialog(path, sizeText, dateText, owner);
    dialog.exec();
    return dialog.answer();
}

QString askDelete(QWidget* owner, QString& suppressed) {
    return askDelete(owner, suppressed, {}, {});
}

QString askDelete(QWidget* owner, QString& suppressed, const QString& name, const QString& question) {
    fDelete dialog(suppressed, name, owner);
    if (!question.isEmpty()) dialog.setQuestion(question);
    dialog.exec();
    suppressed = dialog.suppressed();
    return dialog.answer();
}

} // namespace MessageDialogs
