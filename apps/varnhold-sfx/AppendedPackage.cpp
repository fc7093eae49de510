// The package is found from the program's own ELF headers, not by searching the file for a zip signature: the
// program's code holds such signatures itself, and so may the entries of a package of backups.

#include "AppendedPackage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sfx {

namespace {

constexpr size_t kReadSize = size_t(1) << 20;

bool readAt(int fd, void* into, size_t size, int64_t offset) {
    return ::pread(fd, into, size, offset) == ssize_t(size);
}

// The end of the ELF image: the furthest of its segments, its sections and their table.
int64_t imageEnd(int fd, std::string& error) {
    Elf64_Ehdr header;
    if (!readAt(fd, &header, sizeof header, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        error = "this program's file cannot be read";
        return -1;
    }
    int64_t end = int64_t(header.e_shoff) + int64_t(header.e_shnum) * header.e_shentsize;
    end = std::max(end, int64_t(header.e_phoff) + int64_t(header.e_phnum) * header.e_phentsize);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        if (!readAt(fd, &segment, sizeof segment, int64_t(header.e_phoff) + int64_t(i) * header.e_phentsize)) break;
        end = std::max(end, int64_t(segment.p_offset + segment.p_filesz));
    }
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!readAt(fd, &section, sizeof section, int64_t(header.e_shoff) + int64_t(i) * header.e_shentsize)) break;
        if (section.sh_type != SHT_NOBITS) end = std::max(end, int64_t(section.sh_offset + section.sh_size));
    }
    return end;
}

} // namespace

AppendedPackage::AppendedPackage(const char* file) {
    fd = ::open(file, O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = std::string("this program's file cannot be opened: ") + std::strerror(errno);
        return;
    }
    start = imageEnd(fd, error);
    if (start < 0) return;
    size = st.st_size > start ? st.st_size - start : 0;
    if (size == 0) error = "no package is appended to this program";
}

AppendedPackage::~AppendedPackage() {
    if (fd >= 0) ::close(fd);
    delete[] buffer;
}

int AppendedPackage::open(archive* reader) {
    if (!buffer) buffer = new char[kReadSize];
    position = 0;
    archive_read_set_callback_data(reader, this);
    archive_read_set_read_callback(reader, &AppendedPackage::read);
    archive_read_set_seek_callback(reader, &AppendedPackage::seek);
    archive_read_set_skip_callback(reader, &AppendedPackage::skip);
    return archive_read_open1(reader);
}

la_ssize_t AppendedPackage::read(archive* reader, void* self, const void** into) {
    auto* p = static_cast<AppendedPackage*>(self);
    const size_t want = size_t(std::min<int64_t>(kReadSize, std::max<int64_t>(p->size - p->position, 0)));
    ssize_t got;
    do
        got = want ? ::pread(p->fd, p->buffer, want, p->start + p->position) : 0;
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        archive_set_error(reader, errno, "%s", std::strerror(errno));
        return -1;
    }
    p->position += got;
    *into = p->buffer;
    return got;
}

la_int64_t AppendedPackage::seek(archive*, void* self, la_int64_t offset, int whence) {
    auto* p = static_cast<AppendedPackage*>(self);
    const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? p->position : p->size;
    if (base + offset < 0) return ARCHIVE_FATAL;
    p->position = base + offset;
    return p->position;
}

la_int64_t AppendedPackage::skip(archive*, void* self, la_int64_t request) {
    auto* p = static_cast<AppendedPackage*>(self);
    const int64_t step = std::min<int64_t>(request, std::max<int64_t>(p->size - p->position, 0));
    p->position += step;
    return step;
}

} // namespace sfx
