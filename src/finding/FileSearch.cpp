#include "FileSearch.h"

#include "FixedDrives.h"
#include "TextFinder.h"
#include "sets/Patterns.h"
#include "utility/CancelToken.h"
#include "utility/TextUtil.h"

#include <QDateTime>
#include <QTime>

namespace {

// The size box is read as its leading digits, so "10 KB" is 10 and a box without digits 0.
qint64 leadingNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    qint64 n = 0;
    for (QChar c : trimmed) {
        if (!c.isDigit() || c.unicode() > '9') break;
        if (n > (std::numeric_limits<qint64>::max() / 1024 - 9) / 10) break; // further digits cannot matter
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

qint64 startOfDay(const QDate& date) {
    return QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch();
}

} // namespace

bool CheckDateValid(const QDate& date) {
    return date.isValid() && date >= QDate(1980, 1, 1) && date < QDate(2108, 1, 1);
}

FileSearch::FileSearch(SearchOptions options, QStringList availableRoots) : m_options(std::move(options)) {
    m_roots = FixedDrives::selectedRoots(m_options.text(SearchKey::Drives), availableRoots).mid(0, kMaxSearchDrives);
    m_size = m_options.ticked(SearchKey::SizeTicked);
    m_name = m_options.ticked(SearchKey::NameTicked);
    m_text = m_options.ticked(SearchKey::TextTicked);
    m_date = m_options.ticked(SearchKey::DateTicked);
    m_atMost = m_options.text(SearchKey::SizeCompare) == SearchWords::kAtMost;
    m_limit = leadingNumber(m_options.text(SearchKey::SizeLimit)) * 1024;
    m_pattern = m_options.text(SearchKey::NamePattern);
    const QString kind = m_options.text(SearchKey::DateKind);
    m_dateKind = kind == SearchWords::kCreated ? 1 : kind == SearchWords::kAccessed ? 2 : 0;
    const QDate from = readSearchDate(m_options.text(SearchKey::StartDate));
    const QDate to = readSearchDate(m_options.text(SearchKey::EndDate));
    // Comparing the file's day as "YYYY/MM/DD" text with both ends is the same as this half-open range of
    // local times, which needs no date per file.
    if (from.isValid() && to.isValid()) m_fromMs = startOfDay(from), m_toMs = startOfDay(to.addDays(1));
    if (m_text)
        m_finder =
            std::make_unique<TextFinder>(m_options.text(SearchKey::Text), m_options.ticked(SearchKey::MatchCase));
}

FileSearch::~FileSearch() = default;

void FileSearch::setTextBlockSize(qsizetype bytes) {
    if (m_finder) m_finder->setBlockSize(bytes);
}

QString FileSearch::check() const {
    using namespace SearchTexts;
    const SearchOptions& o = m_options;
    if (!m_size && !m_name && !m_text && !m_date) return kNoOptions;
    if (m_size) {
        const QString compare = o.text(SearchKey::SizeCompare);
        if (compare != SearchWords::kAtMost && compare != SearchWords::kAtLeast) return kNoComparison;
        if (o.text(SearchKey::SizeLimit).isEmpty()) return kNoSize;
    }
    if (m_text && o.text(SearchKey::Text).isEmpty()) return kNoText;
    if (m_name && o.text(SearchKey::NamePattern).isEmpty()) return kNoPattern;
    if (m_date) {
        const QDate from = readSearchDate(o.text(SearchKey::StartDate));
        const QDate to = readSearchDate(o.text(SearchKey::EndDate));
        if (!CheckDateValid(from)) return kBadStart;
        if (!CheckDateValid(to)) return kBadEnd;
        if (to < from) return kEndFirst;
        const QString kind = o.text(SearchKey::DateKind);
        if (kind != SearchWords::kModified && kind != SearchWords::kCreated && kind != SearchWords::kAccessed)
            return kNoDateKind;
    }
    if (TextUtil::trimBlanks(o.text(SearchKey::Drives)).isEmpty() || m_roots.isEmpty()) return kNoDrives;
    return {};
}

bool FileSearch::matches(const FolderRecord& file, const CancelToken& cancel) const {
    // Links, pipes, devices and entries whose status could not be read are not files to search.
    if (file.isFolder || file.isSymLink || file.isSpecial || file.error) return false;
    if (m_size && (m_atMost ? file.size > m_limit : file.size < m_limit)) return false;
    if (m_name) {
        const qsizetype slash = file.path.lastIndexOf(u'/');
        if (!wildcardMatch(m_pattern, file.path.mid(slash + 1))) return false;
    }
    if (m_date) {
        const qint64 t = m_dateKind == 1 ? file.createdMs : m_dateKind == 2 ? file.accessedMs : file.modifiedMs;
        if (t < m_fromMs || t >= m_toMs) return false;
    }
    if (m_text) return m_finder->findInFile(file.path, file.size, cancel) == TextFinder::Answer::Found;
    return true;
}

SearchResult FileSearch::run(const CancelToken& cancel, const Progress& progress) const {
    SearchResult result;
    if (!check().isEmpty()) return result;
    for (const QString& given : m_roots) {
        if (cancel.cancelled()) break;
        const QString root = TextUtil::withSlash(given);
        const qint64 before = result.scanned;
        qint64 scannedHere = 0;
        FolderScanOptions options;
        options.oneFileSystem = true;
        options.progressStep = m_progressStep;
        options.keepFile = [&](const FolderRecord& file) {
            ++scannedHere;
            return matches(file, cancel);
        };
        if (progress) options.onProgress = [&](qint64 filesSoFar) { progress(before + filesSoFar, root); };
        std::vector<FolderRecord> found;
        listFolderTree(root, found, cancel, options);
        for (FolderRecord& record : found)
            if (!record.isFolder) result.rows.push_back(std::move(record));
        result.scanned += scannedHere;
    }
    result.cancelled = cancel.cancelled();
    return result;
}
