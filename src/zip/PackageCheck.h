#pragma once
// The check a backup makes of the package it has just written, before that package replaces the user's old one:
// every entry read back and matched against its CRC and sizes, fast enough for 100,000 small entries.

#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QString>
#include <QStringList>

struct PackageCheck {
    enum class Verdict { Passed, Failed, NotPlain, Cancelled };
    Verdict verdict = Verdict::Passed;
    QStringList failures; ///< "stored name: reason", in package order (Failed)
    /// Failed: why the package could not be checked at all (it cannot be opened, it has no end record, ...), "" when
    /// entries are named in failures. NotPlain: what this reader leaves to libzip.
    QString message;
};

/// Reads every entry of the plain single-file package at path back: inflates deflated entries and checks sizes and
/// CRC against the central directory and the local header. NotPlain when the package holds something this reader
/// does not check itself (encrypted entries, methods other than store and deflate, split volumes): the caller then
/// uses the libzip test (ZipPackage::zTestAll). Runs on `workers` threads; progress is reported and cancel read on
/// the calling thread (the workers only read the token too).
PackageCheck checkWrittenPackage(const QString& path, const CancelToken& cancel,
                                 const ZipProgressCallback& progress = {}, int workers = 2);
