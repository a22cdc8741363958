// Calendar conversions, checked day by day against the proleptic Gregorian calendar of
// std::chrono over the range in which each conversion is right, and for the stated
// behaviour outside it.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include "varnis.h"

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

sys_days date(int y, unsigned m, unsigned d) {
    return sys_days{year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}}};
}

struct Civil {
    int year, month, day;
};

Civil civil(sys_days t) {
    const year_month_day ymd{t};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

int packed(sys_days t) {
    const Civil c = civil(t);
    return c.year * 10000 + c.month * 100 + c.day;
}

// Days since 1970-01-01 to Julian Day Number and MJD.
int julian(sys_days t) { return static_cast<int>(t.time_since_epoch().count()) + 2440588; }
int mjd(sys_days t) { return julian(t) - 2400001; }

int weekday(sys_days t) { return static_cast<int>(std::chrono::weekday{t}.c_encoding()); }

int day_of_year(sys_days t) {
    const Civil c = civil(t);
    return static_cast<int>((t - date(c.year, 1, 1)).count()) + 1;
}

template <class Check>
void each_day(sys_days from, sys_days to, Check check) {
    for (sys_days t = from; t <= to; t += days{1}) check(t);
}

TEST(Calendar, WorkedExamples) {
    EXPECT_EQ(MakeDate(9, 4, 3), 19030904);
    EXPECT_EQ(MakeDate(9, 4, 100), 20000904);
    EXPECT_EQ(MakeDate(9, 4, 101), 1010904);
    EXPECT_EQ(MakeDate(9, 4, 2003), 20030904);
    int m = 0, d = 0, y = 0;
    BreakDate(20030904, &m, &d, &y);
    EXPECT_EQ(m, 9);
    EXPECT_EQ(d, 4);
    EXPECT_EQ(y, 2003);

    EXPECT_EQ(DayOfWeek(20000101), 6);
    EXPECT_EQ(DayOfWeek(19000101), 1);
    EXPECT_EQ(DateToJulian(20000101), 2451545);
    EXPECT_EQ(JulianToDate(2451545), 20000101);
    EXPECT_EQ(DateToMJD(1, 1, 2000), 51544);
    MJDToDate(51544, &d, &m, &y);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(y, 2000);
    EXPECT_EQ(MJDtoDOY(51604), 61);
    EXPECT_EQ(MJDtoDOY(51969), 60);
    EXPECT_EQ(MJDtoGPS(44244), 0);
    EXPECT_EQ(MJDtoGPS(51544), 18);

    int month = 2, year = 2000, in_month = 0, dow = 0, doy = 0, mj = 0;
    EXPECT_EQ(DateConv(&month, &in_month, &year, &dow, &doy, &mj), 29);
    EXPECT_EQ(in_month, 29);
    EXPECT_EQ(dow, 2);
    EXPECT_EQ(doy, 32);
    EXPECT_EQ(mj, 51575);
}

TEST(Calendar, RefusedInputs) {
    EXPECT_EQ(DayOfWeek(20031304), -1);  // month 13
    EXPECT_EQ(DayOfWeek(20030004), -1);
    EXPECT_EQ(DayOfWeek(20030100), -1);  // day 0
    EXPECT_EQ(DayOfWeek(20030132), -1);
    EXPECT_EQ(DayOfWeek(18991231), -1);  // before 1900
    EXPECT_EQ(DayOfWeek(-20030101), -1);
    EXPECT_EQ(DateToJulian(0), -1);
    EXPECT_EQ(DateToJulian(-20000101), -1);
    EXPECT_EQ(DateToJulian(19000000), -1);  // the packed empty date
    EXPECT_EQ(JulianToDate(0), -1);
    EXPECT_EQ(JulianToDate(INT_MIN), -1);

    int month = 13, year = 2000, in_month = -7, dow = -7, doy = -7, mj = -7;
    EXPECT_EQ(DateConv(&month, &in_month, &year, &dow, &doy, &mj), -1);
    month = 0;
    EXPECT_EQ(DateConv(&month, &in_month, &year, &dow, &doy, &mj), -1);
    month = 5, year = -3000;  // packs to a negative date with a negative month
    EXPECT_EQ(DateConv(&month, &in_month, &year, &dow, &doy, &mj), -1);
    EXPECT_EQ(in_month + dow + doy + mj, -28);  // nothing written
    EXPECT_EQ(DateConv(nullptr, &in_month, &year, &dow, &doy, &mj), -1);
}

TEST(Calendar, DayOfWeekRightFrom1900ToFebruary2100ThenOneDayLate) {
    each_day(date(1900, 1, 1), date(2100, 2, 28),
             [](sys_days t) { ASSERT_EQ(DayOfWeek(packed(t)), weekday(t)) << packed(t); });
    each_day(date(2100, 3, 1), date(2200, 2, 28), [](sys_days t) {
        ASSERT_EQ(DayOfWeek(packed(t)), (weekday(t) + 1) % 7) << packed(t);
    });
}

TEST(Calendar, JulianDayNumbersOfTheProlepticCalendar) {
    each_day(date(1, 1, 1), date(9999, 12, 31),
             [](sys_days t) { ASSERT_EQ(DateToJulian(packed(t)), julian(t)) << packed(t); });
    // The inverse from the year 101 on; before, years 1 .. 100 read as 1901 .. 2000.
    each_day(date(101, 1, 1), date(9999, 12, 31),
             [](sys_days t) { ASSERT_EQ(JulianToDate(julian(t)), packed(t)) << packed(t); });
    each_day(date(1, 1, 1), date(100, 12, 31), [](sys_days t) {
        ASSERT_EQ(JulianToDate(julian(t)), packed(t) + 19000000) << packed(t);
    });
    // The packed form ends with the year 214748, 531 cycles of 400 years after 2348.
    const int end = julian(date(2348, 12, 31)) + 531 * 146097;
    EXPECT_EQ(DateToJulian(2147481231), end);
    EXPECT_EQ(JulianToDate(end), 2147481231);
    EXPECT_EQ(JulianToDate(end + 1), -1);
    EXPECT_EQ(JulianToDate(INT_MAX), -1);
}

TEST(Calendar, ModifiedJulianDatesRightFromMarch1900ToFebruary2100) {
    each_day(date(1900, 3, 1), date(2100, 2, 28), [](sys_days t) {
        const Civil c = civil(t);
        ASSERT_EQ(DateToMJD(c.day, c.month, c.year), mjd(t)) << packed(t);
        int d = 0, m = 0, y = 0;
        MJDToDate(mjd(t), &d, &m, &y);
        ASSERT_EQ(y * 10000 + m * 100 + d, packed(t));
        ASSERT_EQ(MJDtoDOY(mjd(t)), day_of_year(t)) << packed(t);
    });
}

TEST(Calendar, ModifiedJulianDatesCountBothCenturyYearsAsLeapYears) {
    // 29 February 1900 and 2100 exist in this count: earlier dates come out one day
    // early, later ones one day late, and the true neighbours map onto the 29th.
    each_day(date(1858, 11, 17), date(1900, 2, 28), [](sys_days t) {
        const Civil c = civil(t);
        ASSERT_EQ(DateToMJD(c.day, c.month, c.year), mjd(t) - 1) << packed(t);
    });
    each_day(date(2100, 3, 1), date(2200, 2, 28), [](sys_days t) {
        const Civil c = civil(t);
        ASSERT_EQ(DateToMJD(c.day, c.month, c.year), mjd(t) + 1) << packed(t);
    });
    int d = 0, m = 0, y = 0;
    MJDToDate(mjd(date(1900, 2, 28)), &d, &m, &y);
    EXPECT_EQ(y * 10000 + m * 100 + d, 19000229);
    MJDToDate(mjd(date(2100, 3, 1)), &d, &m, &y);
    EXPECT_EQ(y * 10000 + m * 100 + d, 21000229);
    MJDToDate(0, &d, &m, &y);  // the origin of the MJD reads as 18 November 1858
    EXPECT_EQ(y * 10000 + m * 100 + d, 18581118);
    EXPECT_EQ(MJDtoDOY(-679019), -1);  // so far back that no month of a year results
}

TEST(Calendar, GpsWeeksModulo1024) {
    const sys_days origin = date(1980, 1, 6);
    each_day(origin, date(2100, 12, 31), [&](sys_days t) {
        ASSERT_EQ(MJDtoGPS(mjd(t)), static_cast<int>(((t - origin).count() / 7) % 1024)) << packed(t);
    });
    EXPECT_EQ(MJDtoGPS(44243), 0);   // truncation toward zero
    EXPECT_EQ(MJDtoGPS(44237), -1);
    EXPECT_EQ(MJDtoGPS(44244 + 7 * 1024), 0);
    EXPECT_EQ(MJDtoGPS(INT_MIN), static_cast<int>(((INT_MIN - 44244LL) / 7) % 1024));
}

TEST(Calendar, MonthViewOfEveryMonth) {
    for (int year = 1901; year <= 2099; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const sys_days first = date(year, static_cast<unsigned>(month), 1);
            const sys_days next = month == 12 ? date(year + 1, 1, 1)
                                              : date(year, static_cast<unsigned>(month + 1), 1);
            int m = month, y = year, in_month = 0, dow = 0, doy = 0, mj = 0;
            const int n = DateConv(&m, &in_month, &y, &dow, &doy, &mj);
            ASSERT_EQ(n, static_cast<int>((next - first).count())) << year << "-" << month;
            ASSERT_EQ(in_month, n);
            ASSERT_EQ(dow, weekday(first));
            ASSERT_EQ(doy, day_of_year(first));
            ASSERT_EQ(mj, mjd(first));
            ASSERT_EQ(m, month);  // inputs are not written back
            ASSERT_EQ(y, year);
        }
    }
    // A two-digit year counts from 1900.
    int m = 2, y = 96, in_month = 0, dow = 0, doy = 0, mj = 0;
    EXPECT_EQ(DateConv(&m, &in_month, &y, &dow, &doy, &mj), 29);
    EXPECT_EQ(mj, mjd(date(1996, 2, 1)));
    EXPECT_EQ(y, 96);
}

}  // namespace
