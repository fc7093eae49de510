#pragma once
// What a ZipPackage holds, shared by its reading half (ZipPackageRead.cpp: open, list, select, extract, test) and
// its writing half (ZipPackageWrite.cpp: create, order, compress, delete, and the calls on volumes).

#include "JoinedPackage.h"
#include "ZipDetail.h"
#include "ZipExtractor.h"
#include "ZipPackage.h"
#include "ZipWriter.h"

#include <QHash>
#include <memory>
#include <vector>

struct ZipPackage::Impl {
    zipdetail::ZipHandle m_zip;
    bool m_handleDeferred = false; // opened for listing: m_zip is opened when an operation first needs it
    bool m_archiveOnly = false;    // libzip refused the package and libarchive reads it: m_zip stays null
    QString m_path;
    std::vector<ZipEntry> m_entries;
    std::vector<char> m_selected;
    int m_selectedCount = 0;
    qint64 m_totalBytes = 0;
    QString m_comment;
    bool m_spanned = false;
    // The volumes of a spanned package, or a package read with repairs.
    std::shared_ptr<zipdetail::JoinedPackage> m_joined;
    QString m_newPath; // target of the next compress when no package is open
    std::vector<zipdetail::WriteOrder> m_orders;
    QHash<QString, size_t> m_orderIndex; // stored name -> place in m_orders, so ordering stays linear
    QString m_lastError;
    QString m_notice;     // an interrupted rebuild found beside the open package
    qint64 m_written = 0; // entries the last compress added or replaced

    int fail(const QString& text) {
        m_lastError = text;
        return kZipFailed;
    }
    bool valid(qint64 index) const { return index >= 0 && index < qint64(m_entries.size()); }
    bool isOpen() const { return m_zip != nullptr || m_handleDeferred || m_archiveOnly; }
    void startRun() { m_lastError.clear(); }
    bool readEntries(zip_t* zip, QString* error);
    bool readDirectory(const QString& path);
    bool readThroughArchive(const QString& path);
    /// Fails a change to a package only libarchive reads, which it cannot write; kZipOk otherwise.
    int refuseChangeOfArchiveOnly(const QString& what);
    bool ensureHandle();
    /// A request over the open package's entries that reports through progress and stops by cancel.
    zipdetail::ExtractRequest readRequest(const QString& password, const ZipProgressCallback& progress,
                                          const CancelToken& cancel);
    int extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                const ExtractOptions& options, const CancelToken& cancel, const ZipProgressCallback& progress,
                ExtractReport* report, bool allowSecondWorker);
};
