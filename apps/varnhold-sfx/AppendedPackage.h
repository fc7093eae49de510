#pragma once
// The zip package appended to this program: where it starts, and a libarchive reader that sees only it.

#include <archive.h>
#include <cstdint>
#include <string>

namespace sfx {

/// The program file opened for reading, and the package after its ELF image.
struct AppendedPackage {
    int fd = -1;
    int64_t start = 0; ///< first byte of the package: the end of the program's own image
    int64_t size = 0;  ///< bytes from start to the end of the file
    std::string error; ///< why it could not be opened

    /// Opens the file of the running program (/proc/self/exe unless another file is named).
    explicit AppendedPackage(const char* file = "/proc/self/exe");
    ~AppendedPackage();
    AppendedPackage(const AppendedPackage&) = delete;
    AppendedPackage& operator=(const AppendedPackage&) = delete;

    /// Opens reader on the package alone, as if it were a file of its own, so every offset it records holds.
    int open(archive* reader);
    /// Bytes of the package read so far, for the progress line.
    int64_t consumed() const { return position; }

  private:
    static la_ssize_t read(archive*, void* self, const void** buffer);
    static la_int64_t seek(archive*, void* self, la_int64_t offset, int whence);
    static la_int64_t skip(archive*, void* self, la_int64_t request);
    int64_t position = 0;
    char* buffer = nullptr;
};

} // namespace sfx
