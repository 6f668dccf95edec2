// CTimeValue: the calendar of 1970..2100, every text form written and read,
// the arithmetic of values; the runtime's date parsing and scaled pauses.
#include "orbs_core_time_man_utility.h"
#include "orbs_file.h"
#include "orbs_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace {

CTimeValue makeTime(int day, int month, int year, int hours, int minutes, double seconds) {
    CTimeValue value;
    EXPECT_TRUE(value.setDateTime(day, month, year, hours, minutes, seconds));
    return value;
}

}  // namespace

TEST(TimeValueCalendar, DayNumbersAndDateLimits) {
    for (const auto& [day, month, year] : {std::tuple(31, 12, 1969), std::tuple(1, 1, 2101), std::tuple(29, 2, 2100),
                                           std::tuple(0, 5, 2015), std::tuple(31, 4, 2015), std::tuple(1, 13, 2015)})
        EXPECT_EQ(CTimeValue::dayNumberOf(day, month, year), CTimeValue::ERROR_DAY_NUMBER) << day << month << year;
    EXPECT_EQ(CTimeValue::daysBetweenDates(1, 1, 2000, 1, 3, 2000), 60);
    EXPECT_EQ(CTimeValue::daysBetweenDates(1, 1, 2000, 30, 2, 2000), CTimeValue::ERROR_DAY_NUMBER);
    EXPECT_EQ(CTimeValue::monthFromName("DECEMBER"), 12);
    EXPECT_EQ(CTimeValue::monthFromName("mar") + CTimeValue::monthFromName("JA"), -2);
    int day = 0, month = 0;
    EXPECT_TRUE(CTimeValue::dayOfYearToDate(2000, 60, day, month) && month * 100 + day == 229);
    EXPECT_TRUE(CTimeValue::dayOfYearToDate(2001, 60, day, month) && month * 100 + day == 301);
    EXPECT_FALSE(CTimeValue::dayOfYearToDate(2000, 367, day, month));
    CTimeValue value;
    EXPECT_TRUE(value.setDayOfYear(2000, 366, 0.0));
    EXPECT_EQ(value.formatDate(), "20001231");
    EXPECT_FALSE(value.setDayOfYear(2001, 366, 0.0));
}

// Day numbers, years and days of year agree on every day of 1970..2100.
TEST(TimeValueCalendar, EveryDayOfTheRangeRoundTrips) {
    int expectedYear = 1970, expectedDayOfYear = 0;
    for (int dayNumber = 25202; dayNumber <= CTimeValue::dayNumberOf(31, 12, 2100); ++dayNumber) {
        CTimeValue value;
        ASSERT_TRUE(value.setTotalSeconds(dayNumber * 86400.0));
        int year = 0, dayOfYear = 0;
        ASSERT_TRUE(value.getYearAndDayOfYear(year, dayOfYear));
        if (year != expectedYear) {
            ASSERT_EQ(year, ++expectedYear) << dayNumber;
            expectedDayOfYear = 0;
        }
        ASSERT_EQ(dayOfYear, ++expectedDayOfYear) << dayNumber;
        ASSERT_EQ(CTimeValue::dayNumberOf(value.getDay(), value.getMonth(), value.getYear()), dayNumber);
    }
    EXPECT_EQ(expectedYear * 1000 + expectedDayOfYear, 2100365);
}

TEST(TimeValueSetting, SecondsOfDayLimitsAndValidity) {
    CTimeValue value;
    EXPECT_TRUE(value.setDate(1, 1, 2015, 86400.0) && value.setDate(1, 1, 2015, -5.0));
    for (double seconds : {86400.5, std::nan("")}) {
        EXPECT_FALSE(value.setDate(1, 1, 2015, seconds));
        EXPECT_EQ(value.getTotalSeconds(), -1.0);
    }
    EXPECT_FALSE(value.setTotalSeconds(-1.0));
    EXPECT_TRUE(value.setTotalSeconds(25202 * 86400.0 + 3661.5));
    EXPECT_EQ(value.formatIso(true), "1970-01-01T01:01:01.50000000Z");
    CTimeValue copy;
    EXPECT_TRUE(copy.copyFrom(value) && CTimeValue::compare(copy, value) == 0);
    EXPECT_FALSE(copy.copyFrom(CTimeValue()));
}

TEST(TimeValueFormat, AllFormsOfOneValue) {
    const CTimeValue v = makeTime(5, 3, 2015, 12, 34, 56.123456);
    EXPECT_EQ((std::vector<std::string>{v.formatDate(), v.formatDate(true), v.formatDateTime(), v.formatTimeOfDayMicro(),
                                        v.formatTimeOfDayMilli(), v.formatCompact(), v.formatCompact(true),
                                        v.formatCompactUnderscore(), v.formatCompactUnderscore(true), v.formatIsoDashes(),
                                        v.formatIsoDashes(true), v.formatIso(), v.formatIso(true),
                                        v.formatDayMonthNameYear()}),
              (std::vector<std::string>{"20150305", "2015-03-05", "2015-03-05 12:34:56", "12:34:56.123456",
                                        "12:34:56.123", "20150305123456", "20150305123456.123456", "20150305_123456",
                                        "20150305_123456.123456", "2015-03-05T12-34-56", "2015-03-05T12-34-56.123456Z",
                                        "2015-03-05T12:34:56", "2015-03-05T12:34:56.12345600Z",
                                        "05-MAR-2015 12:34:56.12345600"}));
    int hours = 0, minutes = 0;
    double seconds = 0.0;
    EXPECT_TRUE(v.splitTimeOfDay(hours, minutes, seconds));
    EXPECT_NEAR(hours * 10000 + minutes * 100 + seconds, 123456.123456, 1e-9);
}

// Fractions are truncated, never rounded up into the next second, and
// decimal fractions whose double lies just below them keep their digits.
TEST(TimeValueFormat, RangeEndsAndFractionsTruncate) {
    const CTimeValue almost = makeTime(31, 12, 2015, 23, 59, 59.9999999);
    EXPECT_EQ(almost.formatCompact(true), "20151231235959.999999");
    EXPECT_EQ(almost.formatTimeOfDayMilli(), "23:59:59.999");
    EXPECT_EQ(almost.formatIso(true), "2015-12-31T23:59:59.99999990Z");
    EXPECT_EQ(makeTime(1, 6, 2015, 1, 2, 3.000001).formatTimeOfDayMicro(), "01:02:03.000001");
    EXPECT_EQ(makeTime(1, 6, 2015, 10, 0, 0.7).formatTimeOfDayMilli(), "10:00:00.700");
    EXPECT_EQ(makeTime(1, 6, 2015, 10, 20, 30.1).formatIso(true), "2015-06-01T10:20:30.10000000Z");
}

TEST(TimeValueArithmetic, CompareDifferencesAndShifts) {
    const CTimeValue a = makeTime(1, 1, 2015, 10, 0, 0.000001), b = makeTime(1, 1, 2015, 10, 0, 0.0);
    EXPECT_EQ(CTimeValue::compare(a, b) * 10 + CTimeValue::compare(b, a), 9);
    EXPECT_EQ(CTimeValue::secondsBetween(makeTime(2, 1, 2015, 0, 0, 0.0), makeTime(1, 1, 2015, 23, 59, 59.0)), 1.0);
    EXPECT_EQ(CTimeValue::daysBetween(makeTime(1, 3, 2000, 0, 0, 0.0), b), -5419);

    CTimeValue value = makeTime(1, 1, 1970, 0, 0, 0.0);
    value.addSeconds(-1.0);
    EXPECT_EQ(value.getTotalSeconds(), 25201 * 86400.0 + 86399.0);
    // A whole day back ends at 86400 s of the day two before.
    value = makeTime(1, 1, 2015, 0, 0, 0.0);
    const CTimeValue sameInstant = makeTime(31, 12, 2014, 0, 0, 0.0);
    value.addSeconds(-86400.0);
    EXPECT_EQ(value.getDayNumber(), sameInstant.getDayNumber() - 1);
    EXPECT_EQ(value.getSecondsOfDay(), 86400.0);
    EXPECT_EQ(CTimeValue::compare(value, sameInstant), -1);

    value = makeTime(1, 1, 2015, 23, 0, 0.0);
    value.addSeconds(3600.0);  // exactly 86400 s stays in its day
    EXPECT_EQ(value.getSecondsOfDay(), 86400.0);
    value = makeTime(1, 1, 2015, 23, 0, 0.0);
    value.addSeconds(2 * 86400.0 + 3605.0);
    EXPECT_EQ(value.formatDateTime(), "2015-01-04 00:00:05");
    value.addDays(-3);
    EXPECT_EQ(value.formatDateTime(), "2015-01-01 00:00:05");
    // A shift before day 0 leaves the value unchanged.
    ASSERT_TRUE(value.setTotalSeconds(10.0));
    value.addSeconds(-11.0);
    EXPECT_EQ(value.getTotalSeconds(), 10.0);
}

TEST(TimeValueParse, AcceptedTexts) {
    CTimeValue v;
    for (const char* text : {"05-MAR-2015 10:00:00.0", "5-MAR-2015 10:00:00.0", " 5-MAR-2015 10:00:00.0"})
        EXPECT_TRUE(v.parseDayMonthNameYear(text) && v.formatDateTime() == "2015-03-05 10:00:00") << text;
    EXPECT_TRUE(v.parseDayMonthNameYear("05-MAR-2015  1: 2: 3.5"));
    EXPECT_EQ(v.formatTimeOfDayMilli(), "01:02:03.500");
    EXPECT_TRUE(v.parseDayMonthNameYear("2015-03-05 10:20:30.25"));
    EXPECT_EQ(v.formatIso(true), "2015-03-05T10:20:30.25000000Z");
    EXPECT_TRUE(v.parseDayMonthNameYearDate("29-FEB-2016"));
    EXPECT_EQ(v.formatDateTime(), "2016-02-29 00:00:00");
    EXPECT_TRUE(v.parseIsoDate("2015-03-05"));
    EXPECT_EQ(v.formatDateTime(), "2015-03-05 00:00:00");
    EXPECT_TRUE(v.parseIsoSeconds("2015-03-05T10:20:30"));
    EXPECT_EQ(v.formatDateTime(), "2015-03-05 10:20:30");
    EXPECT_TRUE(v.parseIsoFraction("2015-03-05T10:20:30.123456"));
    EXPECT_EQ(v.formatTimeOfDayMicro(), "10:20:30.123456");
    EXPECT_TRUE(v.parseCompact("20150305102030250"));
    EXPECT_EQ(v.formatTimeOfDayMilli(), "10:20:30.250");
    EXPECT_TRUE(v.parseIsoFixed("2015-03-05 10:20:30.123456789"));
    EXPECT_EQ(v.formatIso(true), "2015-03-05T10:20:30.12345600Z");  // 9 characters of seconds
    EXPECT_TRUE(v.parseYearDayOfYear("ID:2015 064 10:20:30.500", 3));
    EXPECT_EQ(v.formatIso(true), "2015-03-05T10:20:30.50000000Z");
    EXPECT_TRUE(v.parseYearDayOfYear("2015 064 10:20:30.5"));  // last field cut short
    EXPECT_EQ(v.formatTimeOfDayMilli(), "10:20:30.500");
    EXPECT_TRUE(v.parseCompactMillis("20150305102030500"));
    EXPECT_EQ(v.formatTimeOfDayMilli(), "10:20:30.500");
}

TEST(TimeValueParse, RefusedTexts) {
    CTimeValue value;
    EXPECT_TRUE(value.parseDayMonthNameYear("05-mar-2015 10:00:00.0"));  // handed to the fixed parser
    EXPECT_FALSE(value.isValid());
    EXPECT_FALSE(value.parseDayMonthNameYear("30-FEB-2016 10:00:00.0") || value.isValid());
    for (const char* text : {"05-XYZ-2015", "05-MAR-1969", ""}) EXPECT_FALSE(value.parseDayMonthNameYearDate(text));
    // Every failure leaves a previously valid value invalid.
    for (const char* text : {"2015-03-0", "1969-03-05", "2015-00-05"}) {
        ASSERT_TRUE(value.parseIsoDate("2015-03-05"));
        EXPECT_FALSE(value.parseIsoDate(text) || value.isValid()) << text;
    }
    EXPECT_FALSE(value.parseIsoSeconds("2015-03-05T10:20:3") || value.parseIsoFraction("2015-03-05T10:20") ||
                 value.parseCompact("2015030510203") || value.parseCompact("20150005102030"));
    EXPECT_TRUE(value.parseIsoFixed("2015-03"));
    EXPECT_FALSE(value.isValid());
    for (const char* text : {"2015 064 10:20", "2015 064 -9:20:30.500", "---- 064 10:20:30.500"})
        EXPECT_FALSE(value.parseYearDayOfYear(text)) << text;
    EXPECT_FALSE(value.parseYearDayOfYear("2015 064 10:20:30.500", 40));
    for (const char* text : {"201503051020-9999", "201503051020", "20151305102030500"})
        EXPECT_FALSE(value.parseCompactMillis(text)) << text;
}

TEST(TimeValueText, EmptyDatesAndNow) {
    for (const char* text : {"[empty]", "01-JAN-1970", "32-JAN-2015"}) EXPECT_TRUE(isEmptyDate(text)) << text;
    for (const char* text : {"05-MAR-2015", "2015-03-05", ""}) EXPECT_FALSE(isEmptyDate(text)) << text;
    const std::string now = nowCompact();
    CTimeValue value;
    EXPECT_TRUE(value.parseCompact(now));
    EXPECT_EQ(value.formatCompact(), now);
}

TEST(RuntimeTime, BothDateFormsParseAndImpossibleDaysAreRefused) {
    const std::vector<std::tuple<std::string, int, int, int>> dates = {{"01-MAY-2019 00:00:00.000000", 1, 5, 2019},
                                                                        {"31-dec-2019 23:59:59.999999", 31, 12, 2019},
                                                                        {"2019-05-31 23:59:59.999999", 31, 5, 2019},
                                                                        {"29-FEB-2000 00:00:00.000000", 29, 2, 2000}};
    for (const auto& [text, day, month, year] : dates) {
        const OrbsTime time(text);
        EXPECT_TRUE(time.isValid() && time.getDay() == day && time.getMonth() == month && time.getYear() == year)
            << text;
    }
    EXPECT_EQ(OrbsTime("2019-05-31 23:58:57.25").getMicrosecond(), 250000);
    for (const char* text : {"31-APR-2019 00:00:00.000000", "29-FEB-1900 00:00:00.000000", "2019-13-01", "2019-05-00",
                             "[empty] 23:59:59.999999", "01-MAI-2019", "2019-05-01 24:00:00",
                             "2019-05-01 23:59:59.1234567", "2019-05-01T00:00:00", "2019-5-1"}) {
        const OrbsTime time(text);
        EXPECT_FALSE(time.isValid()) << text;
        EXPECT_EQ(time.getDay() + time.getMonth() + time.getYear(), 0) << text;
    }
}

TEST(RuntimePause, DelaysFollowThePauseScale) {
    auto elapsedMs = [](const char* scale, unsigned long requested) {
        ::setenv("ORBISCAN_PAUSE_SCALE", scale, 1);
        const auto start = std::chrono::steady_clock::now();
        sleepMs(requested);
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    EXPECT_LT(elapsedMs("0", 600000), 100);
    const auto scaled = elapsedMs("0.001", 60000);
    EXPECT_TRUE(scaled >= 60 && scaled < 3000) << scaled;
    // Not a non-negative number: real time, never a shortened wait.
    EXPECT_GE(elapsedMs("-1", 40), 40);
    ::setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
}
