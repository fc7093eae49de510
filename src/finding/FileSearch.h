#pragma once
// The build wizard's file search as a job: the stored criteria in, the files found out. check() names the first
// criterion that cannot be searched with; run() scans each chosen drive root without leaving its file system and
// tests every file in the order size, name, date, text, so a file's contents are read only when everything else
// about it holds. Progress comes every 500 files; a cancel ends the scan and keeps what was found.

#include "SearchOptions.h"
#include "utility/FolderTree.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class CancelToken;
class TextFinder;

namespace SearchTexts {
inline const QString kNoOptions = QStringLiteral("Please enter search options.");
inline const QString kNoComparison = QStringLiteral("Please select 'at most' or 'at lease' or remove the check mark.");
inline const QString kNoSize = QStringLiteral("Please enter the search file size or remove the check mark.");
inline const QString kNoText = QStringLiteral("Please enter the text to find or remove the check mark.");
inline const QString kNoPattern = QStringLiteral("Please enter file pattern or remove the check mark.");
inline const QString kBadStart = QStringLiteral("Start date invalid - format is mm/dd/yyyy");
inline const QString kBadEnd = QStringLiteral("End date invalid - format is mm/dd/yyyy");
inline const QString kEndFirst = QStringLiteral("End date prior to start date");
inline const QString kNoDateKind =
    QStringLiteral("Please select which date should be compared or remove the check mark.");
inline const QString kNoDrives = QStringLiteral("Please select hard drive(s) to search.");
// The progress window's lines.
inline const QString kScanning = QStringLiteral("Scanning files");
inline const QString kScanned = QStringLiteral("Number of files scanned: ");
inline const QString kDrive = QStringLiteral("Drive ");
inline const QString kFound = QStringLiteral("Files found = ");
} // namespace SearchTexts

/// True for a valid date on or after 1980-01-01 and before 2108-01-01 (the range of a zip entry's date).
bool CheckDateValid(const QDate& date);

/// At most this many drive roots are searched.
constexpr int kMaxSearchDrives = 32;

struct SearchResult {
    /// The files taken, in the order they were found: path, size and the three times.
    std::vector<FolderRecord> rows;
    qint64 scanned = 0;     ///< files looked at on all drives
    bool cancelled = false; ///< the token stopped the search; rows holds what was found until then
};

class FileSearch {
  public:
    /// roots: the drive roots to search; "All" in the stored drives means these. Each ends with "/".
    FileSearch(SearchOptions options, QStringList availableRoots);
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    /// The message of the first criterion that fails its check, in the order the wizard checks them; "" when
    /// the search may run.
    QString check() const;
    /// The roots the search scans, in stored order, at most kMaxSearchDrives.
    QStringList roots() const { return m_roots; }

    /// Called every progressStep files with the count over all drives so far and the root being scanned.
    using Progress = std::function<void(qint64 scanned, const QString& root)>;
    /// Scans the roots and tests every file. Only when check() is "" (otherwise nothing is scanned).
    SearchResult run(const CancelToken& cancel, const Progress& progress = {}) const;
    /// Whether one file record holds every ticked criterion (its contents are read last, only when needed).
    bool matches(const FolderRecord& file, const CancelToken& cancel) const;

    /// Files per progress report; 500 unless a test wants reports from a small tree.
    void setProgressStep(int files) { m_progressStep = files; }
    /// Bytes the text criterion reads at a time.
    void setTextBlockSize(qsizetype bytes);

  private:
    SearchOptions m_options;
    QStringList m_roots;
    bool m_size = false, m_name = false, m_date = false, m_text = false;
    bool m_atMost = false;
    qint64 m_limit = 0;
    QString m_pattern;
    int m_dateKind = 0;              ///< 0 modified, 1 created, 2 accessed
    qint64 m_fromMs = 0, m_toMs = 0; ///< the chosen date must fall in [from, to), local days
    std::unique_ptr<TextFinder> m_finder;
    int m_progressStep = 500;
};
