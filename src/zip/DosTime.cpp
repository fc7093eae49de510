// MS-DOS date and time as zip entries store them: local time, years 1980 to 2107, seconds in steps of two.

#include "ZipDetail.h"
#include "ZipPackage.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cstdlib>

namespace {

// Every DOS time in a package is converted with mktime, by libzip as it reads the directory and by us; with TZ
// unset, glibc's mktime looks at /etc/localtime again on every call (one stat per entry, 100,000 for a large
// package, most of the time of a listing). TZ=":/etc/localtime" names the very same rules, so every conversion
// gives the same result, summer time included, but glibc then reads the zone once and keeps it. Set before main
// runs, while the process has a single thread, and only when the user has not chosen a zone.
[[maybe_unused]] const bool g_zonePinned = [] {
    if (::getenv("TZ") != nullptr) return false;
    return ::setenv("TZ", ":/etc/localtime", 0) == 0;
}();

constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2107;

void fieldsToDos(int year, int month, int day, int hour, int minute, int second, quint16& dosDate, quint16& dosTime) {
    // Times outside what the fields can hold are pinned to the nearest end rather than wrapped into nonsense.
    if (year < kFirstYear) {
        year = kFirstYear;
        month = day = 1;
        hour = minute = second = 0;
    } else if (year > kLastYear) {
        year = kLastYear;
        month = 12;
        day = 31;
        hour = 23;
        minute = 59;
        second = 58;
    }
    dosDate = quint16(((year - kFirstYear) << 9) | (month << 5) | day);
    dosTime = quint16((hour << 11) | (minute << 5) | (second / 2));
}

} // namespace

namespace zipdetail {

void timeToDos(std::time_t when, quint16& dosDate, quint16& dosTime) {
    struct tm tm = {};
    if (!localtime_r(&when, &tm)) {
        fieldsToDos(kFirstYear - 1, 1, 1, 0, 0, 0, dosDate, dosTime);
        return;
    }
    fieldsToDos(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, dosDate, dosTime);
}

std::time_t dosToTime(quint16 dosDate, quint16 dosTime) {
    struct tm tm = {};
    tm.tm_isdst = -1; // let the C library decide whether summer time applied on that day
    tm.tm_year = ((dosDate >> 9) & 127) + kFirstYear - 1900;
    tm.tm_mon = std::max(((dosDate >> 5) & 15) - 1, 0);
    tm.tm_mday = std::max(dosDate & 31, 1);
    tm.tm_hour = (dosTime >> 11) & 31;
    tm.tm_min = (dosTime >> 5) & 63;
    tm.tm_sec = (dosTime << 1) & 62;
    return mktime(&tm);
}

} // namespace zipdetail

QDateTime dosToDateTime(quint16 dosDate, quint16 dosTime) {
    // Packages written by careless tools carry zero months and days; read those as the first of the month/year.
    const int year = ((dosDate >> 9) & 127) + kFirstYear;
    const int month = std::clamp((dosDate >> 5) & 15, 1, 12);
    const int day = std::max(dosDate & 31, 1);
    QDate date(year, month, day);
    if (!date.isValid()) date = QDate(year, month, 1).addDays(day - 1); // e.g. 31 February
    const QTime time(std::min((dosTime >> 11) & 31, 23), std::min((dosTime >> 5) & 63, 59),
                     std::min((dosTime << 1) & 62, 59));
    return QDateTime(date, time);
}

void dateTimeToDos(const QDateTime& when, quint16& dosDate, quint16& dosTime) {
    if (!when.isValid()) {
        fieldsToDos(kFirstYear, 1, 1, 0, 0, 0, dosDate, dosTime);
        return;
    }
    const QDateTime local = when.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    fieldsToDos(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), dosDate, dosTime);
}

namespace zipdetail {

// The extended timestamp extra field (Info-ZIP "UT"): flags, then the times the flags name, each 32-bit Unix time.
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;

std::optional<qint64> exactMtime(zip_t* zip, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* data =
        zip_file_extra_field_get_by_id(zip, index, kExtendedTimestamp, 0, &length, ZIP_FL_CENTRAL);
    if (!data || length < 5 || !(data[0] & 1)) return std::nullopt;
    const quint32 time = quint32(data[1]) | quint32(data[2]) << 8 | quint32(data[3]) << 16 | quint32(data[4]) << 24;
    return qint64(qint32(time));
}

bool setExactMtime(zip_t* zip, zip_uint64_t index, std::time_t mtime) {
    // A replaced entry may still carry another writer's field (with access times); it gives way to ours.
    zip_file_extra_field_delete_by_id(zip, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_ALL,
                                      ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    const quint32 time = quint32(qint32(mtime));
    const zip_uint8_t field[5] = {1, zip_uint8_t(time), zip_uint8_t(time >> 8), zip_uint8_t(time >> 16),
                                  zip_uint8_t(time >> 24)};
    return zip_file_extra_field_set(zip, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, field, sizeof field,
                                    ZIP_FL_LOCAL | ZIP_FL_CENTRAL) == 0;
}

} // namespace zipdetail
