// libarchive reads the package through callbacks over the same bytes libzip sees (the file, or the joined volumes
// of a spanned package), with its seekable zip reader, which trusts the central directory as libzip does.

#include "ArchiveReader.h"
#include "JoinedPackage.h"
#include "ZipDetail.h"

#include <QHash>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>

namespace zipdetail {
namespace {

constexpr qint64 kFeedBlock = qint64(256) << 10;

// The methods libarchive reads and libzip 1.7 may lack: LZMA, Zstandard, XZ and PPMd.
constexpr zip_uint16_t kArchiveMethods[] = {14, 93, 95, 98};

struct Feed {
    int fd = -1;
    std::shared_ptr<JoinedPackage> joined;
    qint64 size = 0;
    qint64 pos = 0;
    std::vector<char> block = std::vector<char>(size_t(kFeedBlock));
    ~Feed() {
        if (fd >= 0) ::close(fd);
    }
};

la_ssize_t feedRead(struct archive* a, void* data, const void** buffer) {
    auto* feed = static_cast<Feed*>(data);
    const qint64 want = std::min(kFeedBlock, feed->size - feed->pos);
    if (want <= 0) return 0;
    const qint64 n = feed->joined ? feed->joined->readAt(feed->pos, feed->block.data(), want)
                                  : FileOps::readFullyAt(feed->fd, feed->block.data(), want, feed->pos);
    if (n < 0) {
        archive_set_error(a, errno, "%s", SystemError::errorText(errno).toUtf8().constData());
        return ARCHIVE_FATAL;
    }
    feed->pos += n;
    *buffer = feed->block.data();
    return la_ssize_t(n);
}

la_int64_t feedSeek(struct archive*, void* data, la_int64_t offset, int whence) {
    auto* feed = static_cast<Feed*>(data);
    const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? feed->pos : feed->size;
    if (offset < -base || offset > feed->size - base) return ARCHIVE_FATAL;
    feed->pos = base + offset;
    return feed->pos;
}

la_int64_t feedSkip(struct archive*, void* data, la_int64_t request) {
    auto* feed = static_cast<Feed*>(data);
    const qint64 skipped = std::clamp<qint64>(request, 0, feed->size - feed->pos);
    feed->pos += skipped;
    return skipped;
}

/// An open libarchive reader with the bytes it reads from.
struct Opened {
    std::unique_ptr<Feed> feed = std::make_unique<Feed>();
    struct archive* a = nullptr;
    ~Opened() {
        if (a) archive_read_free(a);
    }
};

QString archiveText(struct archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromUtf8(text) : QStringLiteral("libarchive cannot read it");
}

std::unique_ptr<Opened> openSource(const ArchiveSource& source, const QByteArray& password, QString* error) {
    auto opened = std::make_unique<Opened>();
    Feed& feed = *opened->feed;
    if (source.joined) {
        feed.joined = source.joined;
        feed.size = source.joined->size();
    } else {
        feed.fd = openRegularFile(source.path, error);
        if (feed.fd < 0) return nullptr;
        feed.size = fileSize(feed.fd);
    }
    opened->a = archive_read_new();
    struct archive* a = opened->a;
    if (!a) {
        *error = zipErrorText(ZIP_ER_MEMORY);
        return nullptr;
    }
    archive_read_support_format_zip_seekable(a);
    if (!password.isEmpty()) archive_read_add_passphrase(a, password.constData());
    archive_read_set_read_callback(a, feedRead);
    archive_read_set_seek_callback(a, feedSeek);
    archive_read_set_skip_callback(a, feedSkip);
    archive_read_set_callback_data(a, &feed);
    if (archive_read_open1(a) != ARCHIVE_OK) {
        *error = archiveText(a);
        return nullptr;
    }
    return opened;
}

/// The stored name as the layer knows it: UTF-8 where libarchive can give it, else the name's own bytes.
QString nameOf(struct archive_entry* entry) {
    QString name;
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        name = QString::fromUtf8(utf8);
    else if (const char* raw = archive_entry_pathname(entry))
        name = NativePath::decode(QByteArrayView(raw));
    if (archive_entry_filetype(entry) == AE_IFDIR && !name.endsWith(u'/')) name += u'/';
    return name;
}

/// libarchive's complaint in the words the rest of the layer uses for the same failure. methodOnly: the entry is
/// read here for its compression method alone, which libarchive decrypts for none of them.
QString reasonOf(struct archive* a, bool encrypted, bool methodOnly) {
    const QString text = archiveText(a);
    if (text.contains(QLatin1String("Incorrect passphrase"))) return QStringLiteral("wrong password");
    if (text.contains(QLatin1String("Passphrase required")))
        return QStringLiteral("it is encrypted and no password was given");
    if (text.contains(QLatin1String("Unsupported ZIP compression method"))) return zipErrorText(ZIP_ER_COMPNOTSUPP);
    if (text.contains(QLatin1String("ncryption"), Qt::CaseInsensitive) && text.contains(QLatin1String("upport")))
        return zipErrorText(ZIP_ER_ENCRNOTSUPP);
    if (encrypted && methodOnly)
        return QStringLiteral("it is encrypted, and entries compressed with this method are read only unencrypted");
    // As with traditional encryption in libzip, a wrong password that passes the one-byte check shows only as
    // data that makes no sense.
    if (encrypted) return QStringLiteral("wrong password, or the data is damaged");
    if (text.contains(QLatin1String("CRC"))) return zipErrorText(ZIP_ER_CRC);
    // A read error of the package itself comes with the system's code, and its text.
    const int code = archive_errno(a);
    if (code == EIO || code == ENOMEM || code == EBADF) return text;
    return zipErrorText(ZIP_ER_COMPRESSED_DATA);
}

} // namespace

bool readByArchive(zip_t* zip, zip_uint64_t index) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_COMP_METHOD)) return false;
    return std::find(std::begin(kArchiveMethods), std::end(kArchiveMethods), st.comp_method) !=
               std::end(kArchiveMethods) &&
           !zip_compression_method_supported(st.comp_method, 0);
}

bool readArchiveEntries(const ArchiveSource& source, std::vector<ZipEntry>* entries, QString* error) {
    const std::unique_ptr<Opened> opened = openSource(source, {}, error);
    if (!opened) return false;
    entries->clear();
    struct archive_entry* header = nullptr;
    for (;;) {
        const int r = archive_read_next_header(opened->a, &header);
        if (r == ARCHIVE_EOF) return true;
        if (r < ARCHIVE_WARN) {
            *error = archiveText(opened->a);
            entries->clear();
            return false;
        }
        ZipEntry e;
        const QString stored = nameOf(header);
        // A name libarchive cannot give (not UTF-8 though flagged so) would be no name at all: left refused.
        if (stored.isEmpty()) {
            *error = QStringLiteral("an entry's name cannot be read");
            entries->clear();
            return false;
        }
        NameParts parts = splitStoredName(stored);
        e.name = std::move(parts.name);
        e.folderPath = std::move(parts.folderPath);
        e.extension = std::move(parts.extension);
        e.isFolder = stored.endsWith(u'/');
        e.size = archive_entry_size_is_set(header) ? qint64(archive_entry_size(header)) : 0;
        e.encrypted = archive_entry_is_data_encrypted(header) > 0;
        e.isSymLink = archive_entry_filetype(header) == AE_IFLNK;
        e.unixMode = quint32(archive_entry_perm(header)) & 07777;
        e.modified = qint64(archive_entry_mtime(header));
        timeToDos(std::time_t(e.modified), e.dosDate, e.dosTime);
        entries->push_back(std::move(e));
    }
}

struct ArchiveCursor::State {
    ArchiveSource source;
    const std::vector<ZipEntry>& entries;
    bool byPosition = false;
    QByteArray password;
    std::unique_ptr<Opened> opened;
    qint64 position = -1;       // libarchive's position of the header last read
    std::vector<qint64> mapped; // entry index -> libarchive's position, found by name on first need
    bool mappedOnce = false;    // mapped was made (it may be empty when the package could not be read)
    bool encrypted = false;     // the entry being read
    QByteArray link;            // a symbolic link's target, which is the entry's data
    bool isLink = false;
    qint64 linkServed = 0;

    State(ArchiveSource s, const std::vector<ZipEntry>& e, bool p, const QByteArray& pw)
        : source(std::move(s)), entries(e), byPosition(p), password(pw) {}

    void drop() {
        opened.reset();
        position = -1;
    }

    // libzip and libarchive may list entries in different orders (libarchive follows the data), so an entry is
    // found by its name, the n-th entry of a repeated name by the n-th of libarchive's.
    void makeMap() {
        mappedOnce = true;
        QString error;
        const std::unique_ptr<Opened> scan = openSource(source, password, &error);
        if (!scan) return;
        QHash<QString, std::vector<qint64>> byName;
        struct archive_entry* header = nullptr;
        for (qint64 at = 0; archive_read_next_header(scan->a, &header) >= ARCHIVE_WARN; ++at)
            byName[nameOf(header)].push_back(at);
        QHash<QString, size_t> used;
        mapped.assign(entries.size(), -1);
        for (size_t i = 0; i < entries.size(); ++i) {
            const QString name = entries[i].storedName();
            const auto found = byName.constFind(name);
            size_t& n = used[name];
            if (found != byName.constEnd() && n < found->size()) mapped[i] = (*found)[n++];
        }
    }
};

ArchiveCursor::ArchiveCursor(ArchiveSource source, const std::vector<ZipEntry>& entries, bool byPosition,
                             const QByteArray& password)
    : m(std::make_unique<State>(std::move(source), entries, byPosition, password)) {}

ArchiveCursor::~ArchiveCursor() = default;

bool ArchiveCursor::open(qint64 index, QString* reason) {
    qint64 target = index;
    if (!m->byPosition) {
        if (!m->mappedOnce) m->makeMap();
        target = index >= 0 && size_t(index) < m->mapped.size() ? m->mapped[size_t(index)] : -1;
        if (target < 0) {
            *reason = QStringLiteral("libarchive, which reads this compression method, does not find the entry");
            return false;
        }
    }
    if (!m->opened || target <= m->position) {
        m->drop();
        m->opened = openSource(m->source, m->password, reason);
        if (!m->opened) return false;
    }
    struct archive_entry* header = nullptr;
    while (m->position < target) {
        const int r = archive_read_next_header(m->opened->a, &header);
        if (r == ARCHIVE_EOF) {
            m->drop();
            *reason = QStringLiteral("the package ends before this entry");
            return false;
        }
        if (r < ARCHIVE_WARN) {
            *reason = reasonOf(m->opened->a, false, !m->byPosition);
            m->drop();
            return false;
        }
        ++m->position;
    }
    m->encrypted = archive_entry_is_data_encrypted(header) > 0;
    m->isLink = archive_entry_filetype(header) == AE_IFLNK;
    m->link = m->isLink ? QByteArray(archive_entry_symlink(header)) : QByteArray();
    m->linkServed = 0;
    return true;
}

qint64 ArchiveCursor::read(char* buffer, qint64 length, QString* reason) {
    if (!m->opened) {
        *reason = QStringLiteral("no entry is open");
        return -1;
    }
    if (m->isLink) {
        // libarchive keeps a link's target for itself; the layer stores it as the entry's data, as zip does.
        const qint64 n = std::min(length, qint64(m->link.size()) - m->linkServed);
        std::copy_n(m->link.constData() + m->linkServed, n, buffer);
        m->linkServed += n;
        return n;
    }
    const la_ssize_t n = archive_read_data(m->opened->a, buffer, size_t(length));
    if (n >= 0) return qint64(n);
    *reason = reasonOf(m->opened->a, m->encrypted, !m->byPosition);
    m->drop();
    return -1;
}

} // namespace zipdetail
