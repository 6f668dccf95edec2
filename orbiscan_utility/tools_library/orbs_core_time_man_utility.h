// Calendar dates with a time of day, as found in parameter files, raster
// headers and report names.
#ifndef ORBS_CORE_TIME_MAN_UTILITY_H
#define ORBS_CORE_TIME_MAN_UTILITY_H

#include <cstddef>
#include <string>
#include <string_view>

// A date between 1970 and 2100 with a time of day, held as a day number
// counted from 1901-01-01 (day 0) and the seconds elapsed since midnight.
// Copied by value; owns nothing.
//
// Every format operation returns a std::string instead of filling a caller
// buffer.
class CTimeValue {
public:
    // Day number reported for a date that does not exist or lies outside
    // the supported years.
    static constexpr int ERROR_DAY_NUMBER = -999999;
    static constexpr int FIRST_YEAR = 1970;
    static constexpr int LAST_YEAR = 2100;

    CTimeValue() = default;

    // --- Queries -----------------------------------------------------------
    bool isValid() const { return mValid; }
    int getDayNumber() const { return mDayNumber; }
    double getSecondsOfDay() const { return mSecondsOfDay; }

    // Day number of a date, or ERROR_DAY_NUMBER when the date is invalid.
    static int dayNumberOf(int day, int month, int year);
    // Day and month of a 1-based day of year. A day of year beyond the
    // year's length gives month 13; false when the day of year is below 1
    // or above 366.
    static bool dayOfYearToDate(int year, int dayOfYear, int& day, int& month);
    // 1..12 for "JAN".."DEC" (first three characters, case-sensitive), -1
    // otherwise.
    static int monthFromName(std::string_view name);

    // Year and 1-based day of year of the day number; false (both set to
    // ERROR_DAY_NUMBER) when the day number is negative, as for a value that
    // was never set.
    bool getYearAndDayOfYear(int& year, int& dayOfYear) const;
    int getDay() const;
    int getMonth() const;
    int getYear() const;
    int getDayOfYear() const;
    // Seconds since 1901-01-01 00:00, or -1.0 for an invalid value.
    double getTotalSeconds() const;
    // Hours and minutes of the time of day and the remaining seconds with
    // their fraction; always true.
    bool splitTimeOfDay(int& hours, int& minutes, double& seconds) const;

    // --- Arithmetic ----------------------------------------------------------
    // a's day number minus b's.
    static int daysBetween(const CTimeValue& a, const CTimeValue& b);
    // Day number of the second date minus that of the first, or
    // ERROR_DAY_NUMBER when either date is invalid.
    static int daysBetweenDates(int day1, int month1, int year1, int day2, int month2, int year2);
    static double secondsBetween(const CTimeValue& a, const CTimeValue& b);
    // 1 when a is later than b, -1 when earlier, 0 when equal.
    static int compare(const CTimeValue& a, const CTimeValue& b);
    // Shifts the value, keeping the seconds of day in [0, 86400]. A shift
    // that would end before day 0 (or beyond the day-number range, or by a
    // non-finite amount) leaves the value unchanged.
    void addSeconds(double delta);
    void addDays(int days);

    // --- Setting: true on success; on failure the value is left invalid ------
    bool setDate(int day, int month, int year, double secondsOfDay);
    bool setDateTime(int day, int month, int year, int hours, int minutes, double seconds);
    bool setDayOfYear(int year, int dayOfYear, double secondsOfDay);
    bool setTotalSeconds(double totalSeconds);
    // Current local time, to the whole second.
    bool setNow();
    bool copyFrom(const CTimeValue& other);

    // --- Parsing -------------------------------------------------------------
    // "DD-MMM-YYYY hh:mm:ss.ffffff"; texts that are not in this form are
    // handed to parseIsoFixed.
    bool parseDayMonthNameYear(std::string_view text);
    // "DD-MMM-YYYY", time 00:00.
    bool parseDayMonthNameYearDate(std::string_view text);
    // "YYYY-MM-DD hh:mm:ss.fffffffff" at fixed positions; always returns
    // true, isValid() tells whether the text held a date.
    bool parseIsoFixed(std::string_view text);
    // "YYYY-MM-DD", time 00:00.
    bool parseIsoDate(std::string_view text);
    // "YYYY-MM-DDThh:mm:ss".
    bool parseIsoSeconds(std::string_view text);
    // "YYYY-MM-DDThh:mm:ss.ffffff".
    bool parseIsoFraction(std::string_view text);
    // "YYYYMMDDhhmmss" optionally followed by milliseconds "fff".
    bool parseCompact(std::string_view text);
    // Record fields from offset: year (4), day of year (3) at +5, hours (2)
    // at +9, minutes (2) at +12, seconds (6) at +15. False when a field is
    // missing or holds the no-data marker.
    bool parseYearDayOfYear(std::string_view record, std::size_t offset = 0);
    // Record fields from offset: year (4), month (2) at +4, day (2) at +6,
    // hours (2) at +8, minutes (2) at +10, thousandths of a second (5) at
    // +12. False when a field is missing or holds the no-data marker.
    bool parseCompactMillis(std::string_view record, std::size_t offset = 0);

    // --- Formatting (fractions are truncated, never rounded) -----------------
    // "YYYYMMDD", or "YYYY-MM-DD" when dashed.
    std::string formatDate(bool dashed = false) const;
    // "YYYY-MM-DD hh:mm:ss".
    std::string formatDateTime() const;
    // "hh:mm:ss.ffffff".
    std::string formatTimeOfDayMicro() const;
    // "hh:mm:ss.fff".
    std::string formatTimeOfDayMilli() const;
    // "YYYYMMDDhhmmss", with ".ffffff" appended when withFraction.
    std::string formatCompact(bool withFraction = false) const;
    // "YYYYMMDD_hhmmss", with ".ffffff" appended when withFraction.
    std::string formatCompactUnderscore(bool withFraction = false) const;
    // "YYYY-MM-DDThh-mm-ss", or "YYYY-MM-DDThh-mm-ss.ffffffZ".
    std::string formatIsoDashes(bool withFraction = false) const;
    // "DD-MMM-YYYY hh:mm:ss.ffffffff".
    std::string formatDayMonthNameYear() const;
    // "YYYY-MM-DDThh:mm:ss", or "YYYY-MM-DDThh:mm:ss.ffffffffZ".
    std::string formatIso(bool withFraction = false) const;

private:
    double mSecondsOfDay = 0.0;
    bool mValid = false;
    // Never-set values carry the error day number so that calendar queries
    // on them report an error instead of a date in 1901.
    int mDayNumber = ERROR_DAY_NUMBER;
};

// Current local time as "YYYYMMDDhhmmss".
std::string nowCompact();

// True when the text names no date: the placeholders "[empty]" and
// "01-JAN-1970", or a "DD-MMM-YYYY" date whose day is not in its month.
bool isEmptyDate(std::string_view text);

#endif // ORBS_CORE_TIME_MAN_UTILITY_H
