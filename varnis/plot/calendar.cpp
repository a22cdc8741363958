// Calendar conversions: packed dates (yyyymmdd), Julian Day Numbers, modified Julian
// dates, day of year, day of week and GPS weeks.
//
// Integer division and remainder truncate toward zero, and so do the conversions of
// the day-count products to integers. Intermediate values are held in 64 bits, so an
// input far outside the calendar's range gives a meaningless number but never an
// arithmetic overflow.
#include <climits>
#include <cstdint>

#include "varnis.h"

namespace varnis {
namespace {

constexpr int kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kWeekdayKey[13] = {0, 0, 3, 3, 6, 1, 4, 6, 2, 5, 0, 3, 5};

// JDN - 2400001 = MJD.
constexpr std::int64_t kJulianToMjd = 2400001;

bool is_leap(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool valid_month(int month) { return month >= 1 && month <= 12; }

// A 64-bit value as an int; values beyond int wrap around, as the packed form would.
int to_int(std::int64_t value) { return static_cast<int>(static_cast<std::uint32_t>(value)); }

std::int64_t pack(std::int64_t month, std::int64_t day, std::int64_t year) {
    if (year <= 100) year += 1900;  // two-digit years (and 100) count from 1900
    return year * 10000 + month * 100 + day;
}

struct Date {
    int month, day, year;
};

Date unpack(int packed) { return {(packed / 100) % 100, packed % 100, packed / 10000}; }

// The whole-day part of a day-count product, truncated toward zero.
std::int64_t whole(double days) { return static_cast<std::int64_t>(days); }

void mjd_to_date(int mjd, int& day, int& month, int& year) {
    const std::int64_t a = static_cast<std::int64_t>(mjd) + 679019;
    const std::int64_t y = whole((static_cast<double>(a) - 122.1) / 365.25);
    const std::int64_t year_days = whole(static_cast<double>(y) * 365.25);
    const std::int64_t m = whole(static_cast<double>(a - year_days) / 30.6001);
    day = to_int(a - year_days - whole(static_cast<double>(m) * 30.6001));
    month = to_int(m < 14 ? m - 1 : m - 13);
    year = to_int(month < 3 ? y + 1 : y);
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int MakeDate(int month, int day, int year) { return to_int(pack(month, day, year)); }

extern "C" void BreakDate(int date, int* month, int* day, int* year) {
    const Date d = unpack(date);
    if (month) *month = d.month;
    if (day) *day = d.day;
    if (year) *year = d.year;
}

extern "C" int DayOfWeek(int date) {
    const Date d = unpack(date);
    const int yy = d.year - 1900;
    if (!valid_month(d.month) || d.day < 1 || d.day > 31 || yy < 0) return -1;
    const int w = (yy + yy / 4 + d.day + kWeekdayKey[d.month]) % 7;
    // The key counts 29 February of every fourth year from 1904; January and February
    // of such a year precede it.
    if (d.month <= 2 && yy != 0 && yy % 4 == 0) return w == 0 ? 6 : w - 1;
    return w;
}

extern "C" int DateToJulian(int date) {
    if (date <= 0 || date == 19000000) return -1;  // 19000000: the packed empty date
    const Date d = unpack(date);
    // Count months from March, so that the leap day ends the counted year.
    std::int64_t month = d.month, year = d.year;
    if (month <= 2) {
        month += 9;
        year -= 1;
    } else {
        month -= 3;
    }
    const std::int64_t cent = year / 100, ya = year % 100;
    return to_int((153 * month + 2) / 5 + (ya * 1461) / 4 + d.day + (cent * 146097) / 4 + 1721119);
}

extern "C" int JulianToDate(int julian) {
    if (julian < 1) return -1;
    std::int64_t j = static_cast<std::int64_t>(julian) - 1721119;
    std::int64_t y = (4 * j - 1) / 146097;
    j = 4 * j - 1 - 146097 * y;
    std::int64_t d = j / 4;
    j = (4 * d + 3) / 1461;
    d = 4 * d + 3 - 1461 * j;
    d = (d + 4) / 4;
    std::int64_t m = (5 * d - 3) / 153;
    d = 5 * d - 3 - 153 * m;
    d = (d + 5) / 5;
    y = 100 * y + j;
    if (m < 10) {
        m += 3;
    } else {
        m -= 9;
        y += 1;
    }
    const std::int64_t packed = pack(m, d, y);
    // Day numbers past 31 December 214748 have no packed form in an int.
    if (packed > INT_MAX) return -1;
    return to_int(packed);
}

extern "C" int DateToMJD(int day, int month, int year) {
    std::int64_t m = month, y = year;
    if (m <= 2) {
        m += 13;
        y -= 1;
    } else {
        m += 1;
    }
    return to_int(whole(static_cast<double>(y) * 365.25) + whole(static_cast<double>(m) * 30.6001) +
                  day - 679019);
}

extern "C" void MJDToDate(int mjd, int* day, int* month, int* year) {
    int d = 0, m = 0, y = 0;
    mjd_to_date(mjd, d, m, y);
    if (day) *day = d;
    if (month) *month = m;
    if (year) *year = y;
}

extern "C" int MJDtoDOY(int mjd) {
    int day = 0, month = 0, year = 0;
    mjd_to_date(mjd, day, month, year);
    // Far before 1858 the conversion yields no month of the year.
    if (!valid_month(month)) return -1;
    return kDaysBeforeMonth[month] + day + (month > 2 && is_leap(year) ? 1 : 0);
}

extern "C" int MJDtoGPS(int mjd) {
    return to_int(((static_cast<std::int64_t>(mjd) - 44244) / 7) % 1024);
}

extern "C" int DateConv(int* month, int* daysInMonth, int* year, int* dayOfWeek, int* dayOfYear,
                        int* mjd) {
    if (!month || !daysInMonth || !year || !dayOfWeek || !dayOfYear || !mjd) return -1;
    const int packed = MakeDate(*month, 1, *year);
    const Date d = unpack(packed);  // applies the two-digit year rule of MakeDate
    if (!valid_month(d.month)) return -1;
    const bool leap = is_leap(d.year);
    const int days = kDaysInMonth[d.month] + (d.month == 2 && leap ? 1 : 0);
    *dayOfWeek = DayOfWeek(packed);
    *dayOfYear = kDaysBeforeMonth[d.month] + 1 + (leap && d.month > 2 ? 1 : 0);
    *mjd = to_int(static_cast<std::int64_t>(DateToJulian(packed)) - kJulianToMjd);
    *daysInMonth = days;
    return days;
}
