// libzip's error codes in words a user can act on.

#include "ZipDetail.h"

namespace zipdetail {

QString zipErrorText(int zipCode, int systemCode) {
    switch (zipCode) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("not a zip package");
    case ZIP_ER_INCONS:
        return QStringLiteral("the package is damaged (its directory does not match its contents)");
    case ZIP_ER_CRC:
        return QStringLiteral("CRC error: the data is damaged");
    case ZIP_ER_EOF:
        return QStringLiteral("the package ends too early (it may be truncated)");
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("the package names volumes that do not fit together");
    case ZIP_ER_NOPASSWD:
        return QStringLiteral("a password is needed");
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("wrong password");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("compression method not supported");
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("encryption method not supported");
    case ZIP_ER_COMPRESSED_DATA:
        return QStringLiteral("the compressed data is damaged");
    case ZIP_ER_CANCELLED:
        return QStringLiteral("cancelled");
    case ZIP_ER_MEMORY:
        return QStringLiteral("out of memory");
    default:
        break;
    }
    // For the remaining codes libzip's own text is clear; it adds the system's reason where it has one.
    zip_error_t error;
    zip_error_init(&error);
    zip_error_set(&error, zipCode, systemCode);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString zipErrorText(zip_error_t* error) {
    return zipErrorText(zip_error_code_zip(error), zip_error_code_system(error));
}

} // namespace zipdetail
