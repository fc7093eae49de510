#pragma once
// The small shared dialogs: fError shows a message, fReplace and fDelete ask yes or no.

#include <QString>

class QWidget;

namespace MessageDialogs {
/// fError over owner, modal.
void showError(QWidget* owner, const QString& message);
/// fReplace for path: "y" or "n" (also "n" when closed otherwise).
QString askReplace(QWidget* owner, const QString& path);
/// fReplace with the existing file's size and date lines below its path.
QString askReplace(QWidget* owner, const QString& path, const QString& sizeText, const QString& dateText);
/// fDelete: "y" or "n". suppressed is the package's "don't show" value ("-1" ticked, "0" not), loaded into and
/// stored back from the check box.
QString askDelete(QWidget* owner, QString& suppressed);
/// fDelete naming what is deleted; question replaces the default one about a zip package entry when given.
QString askDelete(QWidget* owner, QString& suppressed, const QString& name, const QString& question = {});
} // namespace MessageDialogs
