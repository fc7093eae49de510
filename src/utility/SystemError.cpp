#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace SystemError {

int lastErrorCode() { return errno; }

QString errorText(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

} // namespace SystemError
