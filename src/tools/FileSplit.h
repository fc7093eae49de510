#pragma once
// The file splitter: one file cut into numbered pieces of a fixed size, beside a merge batch file (for recipients
// on Windows) and a merge shell script that join them again, and the figures the split dialog shows. SplitJob is
// a job of the core: parameters in, a result out, progress through a callback, the caller's CancelToken only read.

#include "utility/CancelToken.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace SplitTexts {
inline const QString kFileNotFound = QStringLiteral("File not found");
inline const QString kTooManyPieces = QStringLiteral("Max file splits is 999");
inline const QString kSplitError = QStringLiteral("File split error");
inline const QString kCompleted = QStringLiteral("Split completed - use the batch (.bat) file to rebuild.");
inline const QString kTimePrefix = QStringLiteral("Transfer time for 1 split file: ");
} // namespace SplitTexts

constexpr qint64 kMaxSplitPieces = 999;

/// The piece size a typed text stands for: its value rounded (halves to even), at least 1; nothing when the text
/// is not a number (the dialog then empties the box and keeps the previous size).
std::optional<qint64> splitPieceSize(const QString& text);
/// Pieces of pieceSize bytes that hold fileSize bytes; 0 for an empty file, which is still split into one piece.
qint64 splitPieceCount(qint64 fileSize, qint64 pieceSize);
/// The estimate for one full piece at a modem speed ("1" 28.8, "2" 33.6, "3" 56.0 Kbps; anything else 28.8),
/// after the prefix: "45 sec", "6 min  45 sec", "1 hr  2 min  3 sec".
QString splitTransferTime(qint64 pieceSize, const QString& speedChoice);

/// The names of a split of the file named sourceName: base is the name up to its first "." (all of it without one).
struct SplitNames {
    explicit SplitNames(const QString& sourceName);
    QString sourceName;
    QString base;
    /// Piece k (1 to 999): base, ".", k with three digits.
    QString piece(qint64 k) const;
    QString batchFile() const { return base + QStringLiteral(".bat"); }
    QString scriptFile() const { return base + QStringLiteral(".sh"); }
};

/// The merge batch file: thirteen header lines, a binary copy line per piece and the closing echo, each line ended
/// by CR LF.
QByteArray splitBatchText(const SplitNames& names, qint64 sourceLength, qint64 pieces);
/// The same as a POSIX shell script: it checks that every piece is there, then joins them with cat.
QByteArray splitScriptText(const SplitNames& names, qint64 sourceLength, qint64 pieces);

struct SplitParams {
    QString sourcePath;
    QString folder; ///< the target split folder
    qint64 pieceSize = 1457664;
};

struct SplitResult {
    bool ok = false;
    bool cancelled = false;
    qint64 pieces = 0; ///< written
    QString reason;    ///< why it failed, for the terminal; the dialog shows kSplitError
};

class SplitJob {
  public:
    /// percent: the share of the source copied so far, 0 to 100, on the job's thread after each block.
    explicit SplitJob(SplitParams params, std::function<void(int percent)> progress = {});
    /// Writes the pieces, then the batch file and the script. Each file goes in under its name only when complete;
    /// a failure or a cancel leaves no half-written piece (pieces already complete stay).
    SplitResult run(const CancelToken& cancel);

  private:
    SplitParams m_params;
    std::function<void(int)> m_progress;
};
