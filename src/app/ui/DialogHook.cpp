#include "DialogHook.h"

#include <QQueue>

namespace {
// Dialogs only ever run on the window thread, so plain containers are enough here.
QQueue<QString>& answers() {
    static QQueue<QString> queue;
    return queue;
}
} // namespace

namespace DialogHook {

void setNextAnswer(const QString& answer) {
    answers().enqueue(answer);
}

bool takeAnswer(QString& answer) {
    if (answers().isEmpty()) return false;
    answer = answers().dequeue();
    return true;
}

QStringList& shownMessages() {
    static QStringList messages;
    return messages;
}

void reset() {
    answers().clear();
    shownMessages().clear();
}

} // namespace DialogHook
