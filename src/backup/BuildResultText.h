#pragma once
// The texts a build leaves for the user: the result dialog's lines and the list of the files that did not go into the
// package as they were (Zips/Locked.Txt).

#include "BuildJob.h"

#include <QByteArray>

/// Fills the result dialog's texts of a completed build of the package at target.
void fillResultTexts(BuildResult& result, BuildMode mode, const QString& target);
/// Zips/Locked.Txt: the locked files one path a line, as always; then the files left out for other reasons and
/// the files that changed while they were read, each as path, TAB, reason.
QByteArray lockedListText(const BuildResult& result);
