#pragma once
#include "Result.h"
#include <QByteArray>
#include <QString>

/// Keyed, self-inverse cipher: applying it twice with the same key restores the original bytes.
/// The file is rewritten through a temporary file and renamed, so a failure never leaves it half done.
Status cipherFile(const QString& path, const QByteArray& key);

/// The same transformation on a buffer (offset is the position of data[0] within the file).
void cipherBytes(QByteArray& data, const QByteArray& key, qint64 offset = 0);
