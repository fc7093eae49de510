#pragma once
// Lets tests walk flows that ask questions: a queued answer is taken instead of showing the next modal
// dialog, and the texts the dialogs would have shown are recorded.

#include <QString>
#include <QStringList>

namespace DialogHook {
/// Queues an answer for the next modal dialog ("y", "n", "ok", "cancel", or a dialog-specific answer).
void setNextAnswer(const QString& answer);
/// Takes the queued answer, if any (called by the dialogs before they would show themselves).
bool takeAnswer(QString& answer);
/// Messages shown (or that would have been shown) by fError, newest last.
QStringList& shownMessages();
void reset();
} // namespace DialogHook
