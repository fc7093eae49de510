#pragma once
#include <QByteArray>
#include <QString>

/// Position (1-based) of the first exact occurrence of needle in the file's bytes, 0 when absent, -1 when the
/// file cannot be read. The file is streamed in blocks, never held whole; matches across blocks are found.
/// An empty needle finds nothing (0) in a readable file.
qint64 findTextInFile(const QString& path, const QByteArray& needle);

/// The same with a chosen block size (bytes read at a time); the border handling can so be tried on small files.
qint64 findTextInFile(const QString& path, const QByteArray& needle, qint64 blockSize);
