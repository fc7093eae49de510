#include "TextInFile.h"
#include "FileOps.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kBlockSize = 1 << 20;

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

} // namespace

qint64 findTextInFile(const QString& path, const QByteArray& needle) {
    return findTextInFile(path, needle, kBlockSize);
}

qint64 findTextInFile(const QString& path, const QByteArray& needle, qint64 blockSize) {
    Descriptor file(open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return -1;
    struct stat status;
    if (fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) return -1;
    if (needle.isEmpty()) return 0;
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // The buffer keeps the last needle-1 bytes of the previous block in front of the next one, so a match that
    // straddles a block border is seen whole. Those kept bytes cannot hold a whole match themselves (it would
    // have been found already), so the first match found is the first in the file.
    const qint64 keep = needle.size() - 1;
    const qint64 block = std::max<qint64>(blockSize, 1);
    QByteArray buffer(keep + block, Qt::Uninitialized);
    qint64 held = 0;      // bytes at the front of buffer carried over from the previous block
    qint64 heldStart = 0; // file offset of buffer[0]
    for (;;) {
        const qint64 n = FileOps::readFully(file.get(), buffer.data() + held, block);
        if (n < 0) return -1;
        const qint64 filled = held + n;
        if (filled >= needle.size()) {
            const void* hit = memmem(buffer.constData(), size_t(filled), needle.constData(), size_t(needle.size()));
            if (hit) return heldStart + (static_cast<const char*>(hit) - buffer.constData()) + 1;
        }
        if (n < block) return 0; // end of file
        const qint64 carry = std::min(keep, filled);
        std::memmove(buffer.data(), buffer.constData() + filled - carry, size_t(carry));
        heldStart += filled - carry;
        held = carry;
    }
}
