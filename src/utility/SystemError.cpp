#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace SystemError {

int lastErrorCode() {
    return errno;
}

QString errorText(int code) {
    char buffer[256];
    // The GNU strerror_r returns its text, which may or may not be the buffer; unlike strerror it is safe in the
    // zip layer's worker threads.
    return QString::fromLocal8Bit(strerror_r(code, buffer, sizeof(buffer)));
}

} // namespace SystemError
