#include "FileCipher.h"

#include "WorkFile.h"

#include <QFile>
#include <QFileInfo>

// The cipher keeps casual eyes off a package; it is not strong cryptography. Each byte is XORed with a keystream
// byte computed from the key and the byte's position alone, so the same call both enciphers and deciphers, and a
// block can be handled without the bytes before it (the file is streamed, never held whole).

namespace {

constexpr qint64 kBlockSize = 1 << 20;

// SplitMix64 finaliser: a cheap mix whose outputs for consecutive inputs look unrelated.
quint64 mix(quint64 x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// FNV-1a over the key, then mixed, so every key byte moves the whole seed.
quint64 seedFromKey(const QByteArray& key) {
    quint64 h = 0xCBF29CE484222325ULL;
    for (char c : key) {
        h ^= quint8(c);
        h *= 0x100000001B3ULL;
    }
    return mix(h ^ quint64(key.size()));
}

} // namespace

void cipherBytes(QByteArray& data, const QByteArray& key, qint64 offset) {
    if (key.isEmpty() || data.isEmpty()) return;
    const quint64 seed = seedFromKey(key);
    const qint64 keyLength = key.size();
    char* bytes = data.data();
    const qint64 size = data.size();
    // One 64-bit keystream word serves eight consecutive positions; position p uses byte p % 8 of word p / 8.
    // The key bytes themselves are folded in as well, so keys with the same seed still differ.
    qint64 i = 0;
    while (i < size) {
        const qint64 position = offset + i;
        const quint64 word = mix(seed ^ mix(quint64(position / 8)));
        for (int b = int(position % 8); b < 8 && i < size; ++b, ++i) {
            const quint8 k = quint8(word >> (8 * b)) ^ quint8(key[(offset + i) % keyLength]);
            bytes[i] = char(quint8(bytes[i]) ^ k);
        }
    }
}

Status cipherFile(const QString& path, const QByteArray& key) {
    if (key.isEmpty()) return Status::failure(QString("No key was given to encipher %1.").arg(path));
    if (QFileInfo(path).isDir()) return Status::failure(QString("%1 is a folder, not a file.").arg(path));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(QString("Cannot read %1: %2").arg(path, in.errorString()));

    // The result goes to a work file beside the original and replaces it only when complete; the work file is
    // removed on any failure, so the original is never left half enciphered.
    Result<WorkFile> out = WorkFile::beside(path);
    if (!out) return Status::failure(QString("Cannot write %1: %2").arg(path, out.message()));
    QByteArray block;
    qint64 offset = 0;
    for (;;) {
        block = in.read(kBlockSize);
        if (block.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return Status::failure(QString("Cannot read %1: %2").arg(path, in.errorString()));
            break;
        }
        cipherBytes(block, key, offset);
        offset += block.size();
        if (Status written = out.value().write(block); !written) return written;
    }
    in.close();
    return out.value().commit();
}
