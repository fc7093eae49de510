#include "FileSplit.h"

#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"

#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString threeDigits(qint64 n) {
    return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
}

QByteArray crlfLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += NativePath::encode(line) + "\r\n";
    return out;
}

// A name for the shell, in single quotes, which keep every byte but the quote itself as it is.
QByteArray shellQuoted(const QString& name) {
    QByteArray quoted = NativePath::encode(name);
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

} // namespace

std::optional<qint64> splitPieceSize(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value); // halves to even, the default rounding
    if (rounded < 1) return 1;
    if (rounded > 9.0e18) return std::nullopt;
    return qint64(rounded);
}

qint64 splitPieceCount(qint64 fileSize, qint64 pieceSize) {
    const qint64 size = std::max<qint64>(pieceSize, 1);
    const qint64 count = fileSize / size;
    return count * size == fileSize ? count : count + 1;
}

QString splitTransferTime(qint64 pieceSize, const QString& speedChoice) {
    const qint64 rate = speedChoice == QLatin1String("2") ? 4200 : speedChoice == QLatin1String("3") ? 7000 : 3600;
    const qint64 seconds = qint64(std::nearbyint(double(pieceSize) / double(rate)));
    if (seconds < 60) return QStringLiteral("%1 sec").arg(seconds);
    if (seconds < 3600) return QStringLiteral("%1 min  %2 sec").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 hr  %2 min  %3 sec").arg(seconds / 3600).arg(seconds % 3600 / 60).arg(seconds % 60);
}

SplitNames::SplitNames(const QString& name) : sourceName(name) {
    const qsizetype dot = name.indexOf(u'.');
    base = dot < 0 ? name : name.left(dot);
}

QString SplitNames::piece(qint64 k) const {
    return base + u'.' + threeDigits(k);
}

QByteArray splitBatchText(const SplitNames& names, qint64 sourceLength, qint64 pieces) {
    const QString quote = QStringLiteral("\"");
    QStringList lines{QStringLiteral("@echo off"),
                      QStringLiteral(":"),
                      QStringLiteral(": This batch (.bat) file was created by Varnhold"),
                      QStringLiteral(": Varnhold, the zip backup program for Linux"),
                      QStringLiteral(":"),
                      QStringLiteral(": Output file name: ") + names.sourceName + QStringLiteral("   Size: ") +
                          TextUtil::formatGrouped(sourceLength) + QStringLiteral(" bytes"),
                      QStringLiteral(": Split file names: ") + names.base + QStringLiteral(".001-") +
                          threeDigits(pieces),
                      QStringLiteral(":"),
                      QStringLiteral(": Be sure the split files are in the same directory"),
                      QStringLiteral(": as this batch (.bat) file."),
                      QStringLiteral(":"),
                      QStringLiteral(": Double-click this batch (.bat) file to start the merge."),
                      QStringLiteral(":")};
    const QString output = quote + names.sourceName + quote;
    for (qint64 k = 1; k <= pieces; ++k) {
        const QString label = quote + names.piece(k) + quote;
        lines << (k == 1 ? QStringLiteral("copy /b ") + label + u' ' + output
                         : QStringLiteral("copy /b ") + output + u'+' + label);
    }
    lines << QStringLiteral("echo File ") + names.sourceName + QStringLiteral(" successfully merged.");
    return crlfLines(lines);
}

QByteArray splitScriptText(const SplitNames& names, qint64 sourceLength, qint64 pieces) {
    QByteArray out = "#!/bin/sh\n"
                     "# This shell script was created by Varnhold, the zip backup program for Linux.\n"
                     "#\n";
    out += "# Output file name: " + NativePath::encode(names.sourceName) +
           "   Size: " + TextUtil::formatGrouped(sourceLength).toUtf8() + " bytes\n";
    out += "# Split file names: " + NativePath::encode(names.base) + ".001-" + threeDigits(pieces).toUtf8() + "\n";
    out += "#\n"
           "# Keep the split files in the same folder as this script, then run it: sh ";
    out += shellQuoted(names.scriptFile()) + "\n\ncd \"$(dirname \"$0\")\" || exit 1\n";
    QByteArray list;
    for (qint64 k = 1; k <= pieces; ++k)
        list += ' ' + shellQuoted(names.piece(k));
    out += "for piece in" + list +
           "; do\n"
           "    if [ ! -f \"$piece\" ]; then\n"
           "        echo \"Split file $piece is missing: nothing was merged.\" >&2\n"
           "        exit 1\n"
           "    fi\n"
           "done\n";
    out += "cat" + list + " > " + shellQuoted(names.sourceName) + " || exit 1\n";
    out += "echo " + shellQuoted(QStringLiteral("File ") + names.sourceName + QStringLiteral(" successfully merged.")) +
           "\n";
    return out;
}

SplitJob::SplitJob(SplitParams params, std::function<void(int)> progress)
    : m_params(std::move(params)), m_progress(std::move(progress)) {}

SplitResult SplitJob::run(const CancelToken& cancel) {
    SplitResult result;
    const auto failed = [&](const QString& reason) {
        result.reason = reason;
        return result;
    };
    const QString folder = TextUtil::withSlash(m_params.folder);
    const SplitNames names(QFileInfo(m_params.sourcePath).fileName());
    const int in = ::open(NativePath::encode(m_params.sourcePath).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failed(QStringLiteral("Cannot read %1: %2").arg(m_params.sourcePath, SystemError::lastErrorText()));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode))
        return failed(QStringLiteral("Cannot read %1: it is not a regular file").arg(m_params.sourcePath));
    const qint64 length = qint64(st.st_size);
    const qint64 pieceSize = std::max<qint64>(m_params.pieceSize, 1);
    const qint64 pieces = std::max<qint64>(1, splitPieceCount(length, pieceSize));
    if (pieces > kMaxSplitPieces) return failed(SplitTexts::kTooManyPieces);

    qint64 done = 0;
    for (qint64 k = 1; k <= pieces; ++k) {
        const QString path = folder + names.piece(k);
        Result<WorkFile> reserved = WorkFile::beside(path);
        if (!reserved.ok()) return failed(reserved.message());
        WorkFile piece = std::move(reserved.value());
        const qint64 start = done;
        const qint64 size = std::min(length - done, pieceSize);
        const FileOps::CopyEnd end = FileOps::copyBytes(in, start, size, piece.fd(), [&](qint64 copied) {
            done = start + copied;
            if (m_progress) m_progress(length > 0 ? int(done * 100 / length) : 100);
            return !cancel.cancelled();
        });
        switch (end) {
        case FileOps::CopyEnd::Done:
            break;
        case FileOps::CopyEnd::Stopped:
            result.cancelled = true;
            return result;
        case FileOps::CopyEnd::ReadFailed:
            return failed(QStringLiteral("Cannot read %1: %2").arg(m_params.sourcePath, SystemError::lastErrorText()));
        case FileOps::CopyEnd::SourceShort:
            return failed(QStringLiteral("Cannot read %1: it got shorter").arg(m_params.sourcePath));
        case FileOps::CopyEnd::WriteFailed:
            return failed(QStringLiteral("Cannot write %1: %2").arg(path, SystemError::lastErrorText()));
        }
        // Not flushed piece by piece, nor the merge files: the source stays, and a split that waited for the disk
        // after every file would take twice as long as a plain copy of the file.
        if (const Status placed = piece.commit(false); !placed) return failed(placed.message());
        result.pieces = k;
    }
    const QString script = folder + names.scriptFile();
    if (const Status batch =
            FileOps::writeFileAtomically(folder + names.batchFile(), splitBatchText(names, length, pieces), false);
        !batch)
        return failed(batch.message());
    if (const Status written = FileOps::writeFileAtomically(script, splitScriptText(names, length, pieces), false);
        !written)
        return failed(written.message());
    ::chmod(NativePath::encode(script).constData(), 0755);
    if (m_progress) m_progress(100);
    result.ok = true;
    return result;
}
