// Calendar dates with a time of day: conversions, arithmetic and the text
// forms used by parameter files, raster headers and report names.
#include "orbs_core_time_man_utility.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace {

constexpr double SECONDS_PER_DAY = 86400.0;

constexpr std::array<int, 12> DAYS_IN_MONTH = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Days of a common year elapsed at the end of each month.
constexpr std::array<int, 12> CUMULATIVE_DAYS = {31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr std::array<const char*, 12> MONTH_NAMES = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Value of a record field that is missing or written as a no-data marker.
constexpr int NO_DATA = -999999;

bool isLeapYear(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool isSupportedYear(int year) {
    return year >= CTimeValue::FIRST_YEAR && year <= CTimeValue::LAST_YEAR;
}

// Day number of 1 January. Leap days are counted by the four-year rule
// alone, which is exact for every supported year (2000 is a leap year and
// 2100's own February never enters the count).
long long firstDayOfYear(long long year) {
    const long long n = year - 1901;
    return 365 * n + n / 4;
}

int saturateToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Texts are not zero-terminated: a position past the end reads as the
// terminator would, so every parser sees a short text as one whose
// remaining fields are empty.
char charAt(std::string_view text, std::size_t pos) {
    return pos < text.size() ? text[pos] : '\0';
}

std::string_view fieldAt(std::string_view text, std::size_t pos, std::size_t width) {
    return pos < text.size() ? text.substr(pos, width) : std::string_view();
}

// Decimal integer at a position, at most `width` characters, stopping at
// the first non-digit; 0 when no digit is there.
int readIntAt(std::string_view text, std::size_t pos, std::size_t width = std::string_view::npos) {
    long long value = 0;
    for (const char c : fieldAt(text, pos, width)) {
        if (!isDigit(c)) {
            break;
        }
        value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(value);
}

// Unsigned decimal number ("12", "12.5", ".5") at a position, at most
// `width` characters; 0.0 when none is there.
double readDecimalAt(std::string_view text, std::size_t pos, std::size_t width = std::string_view::npos) {
    const std::string_view field = fieldAt(text, pos, width);
    if (field.empty() || !(isDigit(field.front()) || field.front() == '.')) {
        return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
    return result.ec == std::errc() ? value : 0.0;
}

// --- Fixed-width record fields ----------------------------------------------

// Field text without its surrounding blanks. A field cut short by the end of
// the record keeps the characters that are there.
std::string_view trimmedField(std::string_view text, std::size_t offset, std::size_t width) {
    std::string_view field = fieldAt(text, offset, width);
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    return field;
}

// No-data markers are written as a minus sign followed by minus signs and
// nines ("-999", "----", "-99.99"). An empty field (blank, or wholly past
// the end of the record) carries no data either.
bool isNoDataField(std::string_view field, bool allowPoint) {
    if (field.empty()) {
        return true;
    }
    if (field.front() != '-') {
        return false;
    }
    return std::all_of(field.begin(), field.end(),
                       [allowPoint](char c) { return c == '-' || c == '9' || (allowPoint && c == '.'); });
}

// Integer field of a fixed-width record: optional sign and digits up to the
// first other character (0 when there are none); NO_DATA for a no-data field.
int fdfReadFixedWidthInt(std::string_view text, std::size_t offset, std::size_t width) {
    std::string_view field = trimmedField(text, offset, width);
    if (isNoDataField(field, false)) {
        return NO_DATA;
    }
    const bool negative = field.front() == '-';
    if (field.front() == '-' || field.front() == '+') {
        field.remove_prefix(1);
    }
    const long long magnitude = readIntAt(field, 0);
    return negative ? static_cast<int>(-magnitude) : static_cast<int>(magnitude);
}

// Decimal field of a fixed-width record, read like fdfReadFixedWidthInt.
double fdfReadFixedWidthDouble(std::string_view text, std::size_t offset, std::size_t width) {
    std::string_view field = trimmedField(text, offset, width);
    if (isNoDataField(field, true)) {
        return NO_DATA;
    }
    const bool negative = field.front() == '-';
    if (field.front() == '-' || field.front() == '+') {
        field.remove_prefix(1);
    }
    const double magnitude = readDecimalAt(field, 0);
    return negative ? -magnitude : magnitude;
}

// --- Formatting helpers ------------------------------------------------------

struct DateParts {
    int year = CTimeValue::ERROR_DAY_NUMBER;
    int month = CTimeValue::ERROR_DAY_NUMBER;
    int day = CTimeValue::ERROR_DAY_NUMBER;
};

DateParts dateParts(const CTimeValue& value) {
    DateParts parts;
    int dayOfYear = 0;
    if (value.getYearAndDayOfYear(parts.year, dayOfYear)) {
        CTimeValue::dayOfYearToDate(parts.year, dayOfYear, parts.day, parts.month);
    }
    return parts;
}

const char* monthName(int month) {
    return month >= 1 && month <= 12 ? MONTH_NAMES[month - 1] : "???";
}

struct ClockParts {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int fraction = 0;  // the first `digits` decimals of the seconds
};

// Splits seconds of day into clock fields. The fraction is truncated on the
// decimal digits of the shortest text that reads back as the same double, so
// that 3.25 gives 25000000 and 56.123456 gives 123456 although the double
// lies a hair below, while 0.9999999 still gives 999999 and never becomes
// the next second. Non-positive seconds give hours and minutes 0 and
// negative seconds and fraction.
ClockParts clockParts(double secondsOfDay, int digits) {
    ClockParts parts;
    if (!std::isfinite(secondsOfDay)) {
        return parts;
    }
    // Large enough for any finite double in fixed notation.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(secondsOfDay), std::chars_format::fixed);
    if (result.ec != std::errc()) {
        return parts;
    }
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = text.find('.');
    const std::string_view fractionText =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);

    // The integer part of the shortest text equals floor(|s|): an integer
    // near a non-integer double is itself a different double.
    const int whole = readIntAt(text, 0);
    int fraction = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = charAt(fractionText, static_cast<std::size_t>(i));
        fraction = fraction * 10 + (isDigit(c) ? c - '0' : 0);
    }
    if (secondsOfDay > 0.0) {
        parts.hours = whole / 3600;
        parts.minutes = whole % 3600 / 60;
        parts.seconds = whole % 60;
        parts.fraction = fraction;
    } else {
        parts.seconds = -whole;
        parts.fraction = -fraction;
    }
    return parts;
}

[[gnu::format(printf, 1, 2)]] std::string formatText(const char* format, ...) {
    char buffer[160];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) {
        return {};
    }
    return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

// Normalises a "DD-MMM-YYYY..." text in place (a one-digit day gets a
// leading blank, blanks in the year become zeros) and reads its date.
// Returns false when the year is not supported or the month is no month
// name; the day is read only otherwise.
bool readDayMonthNameYear(std::string& text, int& day, int& month, int& year) {
    if (charAt(text, 1) == '-') {
        text.insert(0, 1, ' ');
    }
    for (std::size_t i = 7; i <= 10 && i < text.size(); ++i) {
        if (text[i] == ' ') {
            text[i] = '0';
        }
    }
    year = readIntAt(text, 7, 4);
    month = CTimeValue::monthFromName(fieldAt(text, 3, 3));
    if (!isSupportedYear(year) || month < 1) {
        return false;
    }
    // A blank tens digit stands for 0 and a blank units digit for 1; any
    // other non-digit makes the day 0, which no month has.
    const char tens = charAt(text, 0);
    const char units = charAt(text, 1);
    const int tensValue = tens == ' ' ? 0 : (isDigit(tens) ? tens - '0' : -1);
    const int unitsValue = units == ' ' ? 1 : (isDigit(units) ? units - '0' : -1);
    day = (tensValue < 0 || unitsValue < 0) ? 0 : tensValue * 10 + unitsValue;
    return true;
}

}  // namespace

// --- Calendar -------------------------------------------------------------------

int CTimeValue::dayNumberOf(int day, int month, int year) {
    if (!isSupportedYear(year) || month < 1 || month > 12 || day < 1) {
        return ERROR_DAY_NUMBER;
    }
    const bool leap = isLeapYear(year);
    const int monthLength = (month == 2 && leap) ? 29 : DAYS_IN_MONTH[month - 1];
    if (day > monthLength) {
        return ERROR_DAY_NUMBER;
    }
    const int daysBeforeMonth = (month > 1 ? CUMULATIVE_DAYS[month - 2] : 0) + (leap && month >= 3 ? 1 : 0);
    return static_cast<int>(firstDayOfYear(year)) + daysBeforeMonth + day - 1;
}

bool CTimeValue::dayOfYearToDate(int year, int dayOfYear, int& day, int& month) {
    const bool leap = isLeapYear(year);
    month = 13;
    for (int m = 1; m <= 12; ++m) {
        if (CUMULATIVE_DAYS[m - 1] + (leap && m >= 2 ? 1 : 0) >= dayOfYear) {
            month = m;
            break;
        }
    }
    const int daysBeforeMonth = month == 1 ? 0 : CUMULATIVE_DAYS[month - 2] + (leap && month >= 3 ? 1 : 0);
    day = dayOfYear - daysBeforeMonth;
    return dayOfYear >= 1 && dayOfYear <= 366;
}

int CTimeValue::monthFromName(std::string_view name) {
    if (name.size() < 3) {
        return -1;
    }
    const std::string_view prefix = name.substr(0, 3);
    for (std::size_t i = 0; i < MONTH_NAMES.size(); ++i) {
        if (prefix == MONTH_NAMES[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}

bool CTimeValue::getYearAndDayOfYear(int& year, int& dayOfYear) const {
    if (mDayNumber < 0) {
        year = ERROR_DAY_NUMBER;
        dayOfYear = ERROR_DAY_NUMBER;
        return false;
    }
    // No year is longer than 366 days, so this starts at or below the answer.
    long long candidate = 1901 + mDayNumber / 366;
    while (firstDayOfYear(candidate + 1) <= mDayNumber) {
        ++candidate;
    }
    while (firstDayOfYear(candidate) > mDayNumber) {
        --candidate;
    }
    year = static_cast<int>(candidate);
    dayOfYear = static_cast<int>(mDayNumber - firstDayOfYear(candidate) + 1);
    return true;
}

int CTimeValue::getDay() const {
    return dateParts(*this).day;
}

int CTimeValue::getMonth() const {
    return dateParts(*this).month;
}

int CTimeValue::getYear() const {
    return dateParts(*this).year;
}

int CTimeValue::getDayOfYear() const {
    int year = 0;
    int dayOfYear = 0;
    getYearAndDayOfYear(year, dayOfYear);
    return dayOfYear;
}

double CTimeValue::getTotalSeconds() const {
    return mValid ? mDayNumber * SECONDS_PER_DAY + mSecondsOfDay : -1.0;
}

bool CTimeValue::splitTimeOfDay(int& hours, int& minutes, double& seconds) const {
    const ClockParts parts = clockParts(mSecondsOfDay, 0);
    hours = parts.hours;
    minutes = parts.minutes;
    // Exact: the whole hours and minutes are below the seconds of day.
    seconds = mSecondsOfDay - (hours * 3600.0 + minutes * 60.0);
    return true;
}

// --- Arithmetic -------------------------------------------------------------------

int CTimeValue::daysBetween(const CTimeValue& a, const CTimeValue& b) {
    return saturateToInt(static_cast<long long>(a.mDayNumber) - b.mDayNumber);
}

int CTimeValue::daysBetweenDates(int day1, int month1, int year1, int day2, int month2, int year2) {
    const int first = dayNumberOf(day1, month1, year1);
    const int second = dayNumberOf(day2, month2, year2);
    if (first == ERROR_DAY_NUMBER || second == ERROR_DAY_NUMBER) {
        return ERROR_DAY_NUMBER;
    }
    return second - first;
}

double CTimeValue::secondsBetween(const CTimeValue& a, const CTimeValue& b) {
    const double days = static_cast<double>(a.mDayNumber) - b.mDayNumber;
    return days * SECONDS_PER_DAY + (a.mSecondsOfDay - b.mSecondsOfDay);
}

int CTimeValue::compare(const CTimeValue& a, const CTimeValue& b) {
    if (a.mDayNumber != b.mDayNumber) {
        return a.mDayNumber > b.mDayNumber ? 1 : -1;
    }
    if (a.mSecondsOfDay != b.mSecondsOfDay) {
        return a.mSecondsOfDay > b.mSecondsOfDay ? 1 : -1;
    }
    return 0;
}

void CTimeValue::addSeconds(double delta) {
    if (!std::isfinite(delta)) {
        return;
    }
    // Whole days are carried in a double: exact, and free of int overflow.
    double day = mDayNumber;
    double seconds = mSecondsOfDay + delta;
    if (seconds > SECONDS_PER_DAY) {
        const double days = std::trunc(seconds / SECONDS_PER_DAY);
        day += days;
        seconds -= days * SECONDS_PER_DAY;
    }
    // Also catches a quotient above rounded up to the next whole day.
    if (seconds < 0.0) {
        const double days = std::trunc(-seconds / SECONDS_PER_DAY) + 1.0;
        day -= days;
        seconds += days * SECONDS_PER_DAY;
    }
    if (day < 0.0 || day > INT_MAX) {
        return;
    }
    mDayNumber = static_cast<int>(day);
    mSecondsOfDay = seconds;
}

void CTimeValue::addDays(int days) {
    addSeconds(days * SECONDS_PER_DAY);
}

// --- Setting --------------------------------------------------------------------

bool CTimeValue::setDate(int day, int month, int year, double secondsOfDay) {
    mValid = false;
    mDayNumber = dayNumberOf(day, month, year);
    if (mDayNumber == ERROR_DAY_NUMBER) {
        return false;
    }
    mSecondsOfDay = secondsOfDay;
    // Exactly 86400 (a leap second, or the end of the day) and negative
    // seconds are accepted; NaN and infinities would break every format.
    if (!std::isfinite(secondsOfDay) || secondsOfDay > SECONDS_PER_DAY) {
        return false;
    }
    mValid = true;
    return true;
}

bool CTimeValue::setDateTime(int day, int month, int year, int hours, int minutes, double seconds) {
    return setDate(day, month, year, hours * 3600.0 + minutes * 60.0 + seconds);
}

bool CTimeValue::setDayOfYear(int year, int dayOfYear, double secondsOfDay) {
    int day = 0;
    int month = 0;
    // A day of year out of range yields a day or month that setDate rejects.
    dayOfYearToDate(year, dayOfYear, day, month);
    return setDate(day, month, year, secondsOfDay);
}

bool CTimeValue::setTotalSeconds(double totalSeconds) {
    mValid = false;
    if (!std::isfinite(totalSeconds) || totalSeconds < 0.0) {
        return false;
    }
    double day = std::trunc(totalSeconds / SECONDS_PER_DAY);
    double rest = totalSeconds - day * SECONDS_PER_DAY;
    if (rest < 0.0) {  // the quotient was rounded up to the next whole day
        day -= 1.0;
        rest += SECONDS_PER_DAY;
    }
    if (day > INT_MAX) {
        return false;
    }
    mDayNumber = static_cast<int>(day);
    mSecondsOfDay = rest;
    mValid = true;
    return true;
}

bool CTimeValue::setNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        mValid = false;
        return false;
    }
    return setDateTime(local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                       local.tm_sec);
}

bool CTimeValue::copyFrom(const CTimeValue& other) {
    const DateParts parts = dateParts(other);
    return setDate(parts.day, parts.month, parts.year, other.mSecondsOfDay);
}

// --- Parsing --------------------------------------------------------------------

bool CTimeValue::parseDayMonthNameYear(std::string_view text) {
    std::string copy(text);
    int day = 0;
    int month = 0;
    int year = 0;
    if (!readDayMonthNameYear(copy, day, month, year)) {
        return parseIsoFixed(text);
    }
    // Blanks in the time part stand for zeros (" 1: 2: 3.5").
    for (std::size_t i = 12; i < copy.size(); ++i) {
        if (copy[i] == ' ') {
            copy[i] = '0';
        }
    }
    const int hours = readIntAt(copy, 12, 2);
    const int minutes = readIntAt(copy, 15, 2);
    const double seconds = readDecimalAt(copy, 18);
    return setDate(day, month, year, hours * 3600.0 + minutes * 60.0 + seconds);
}

bool CTimeValue::parseDayMonthNameYearDate(std::string_view text) {
    std::string copy(text);
    int day = 0;
    int month = 0;
    int year = 0;
    if (!readDayMonthNameYear(copy, day, month, year)) {
        mValid = false;
        return false;
    }
    return setDate(day, month, year, 0.0);
}

bool CTimeValue::parseIsoFixed(std::string_view text) {
    setDateTime(readIntAt(text, 8, 2), readIntAt(text, 5, 2), readIntAt(text, 0, 4), readIntAt(text, 11, 2),
                readIntAt(text, 14, 2), readDecimalAt(text, 17, 9));
    return true;
}

namespace {
// Year (at 0) and month (at 5) of an ISO text of at least minLength
// characters; false for a short text, a year outside the calendar or month 0.
bool readIsoYearMonth(std::string_view text, std::size_t minLength, int& year, int& month) {
    year = readIntAt(text, 0);
    month = readIntAt(text, 5);
    return text.size() >= minLength && isSupportedYear(year) && month != 0;
}
}  // namespace

bool CTimeValue::parseIsoDate(std::string_view text) {
    int year = 0, month = 0;
    if (!readIsoYearMonth(text, 10, year, month)) return mValid = false;
    return setDate(readIntAt(text, 8), month, year, 0.0);
}

bool CTimeValue::parseIsoSeconds(std::string_view text) {
    int year = 0, month = 0;
    if (!readIsoYearMonth(text, 19, year, month)) return mValid = false;
    return setDateTime(readIntAt(text, 8), month, year, readIntAt(text, 11), readIntAt(text, 14),
                       readIntAt(text, 17));
}

bool CTimeValue::parseIsoFraction(std::string_view text) {
    int year = 0, month = 0;
    if (!readIsoYearMonth(text, 19, year, month)) return mValid = false;
    return setDateTime(readIntAt(text, 8), month, year, readIntAt(text, 11), readIntAt(text, 14),
                       readDecimalAt(text, 17));
}

bool CTimeValue::parseCompact(std::string_view text) {
    const int year = readIntAt(text, 0, 4);
    const int month = readIntAt(text, 4, 2);
    if (text.size() < 14 || !isSupportedYear(year) || month == 0) {
        mValid = false;
        return false;
    }
    // Milliseconds cut short by the end of the text read the digits present.
    const int millis = text.size() > 14 ? readIntAt(text, 14, 3) : 0;
    return setDateTime(readIntAt(text, 6, 2), month, year, readIntAt(text, 8, 2), readIntAt(text, 10, 2),
                       readIntAt(text, 12, 2) + millis / 1000.0);
}

bool CTimeValue::parseYearDayOfYear(std::string_view record, std::size_t offset) {
    mValid = false;
    if (offset > record.size()) {
        return false;
    }
    const int year = fdfReadFixedWidthInt(record, offset, 4);
    const int dayOfYear = fdfReadFixedWidthInt(record, offset + 5, 3);
    const int hours = fdfReadFixedWidthInt(record, offset + 9, 2);
    const int minutes = fdfReadFixedWidthInt(record, offset + 12, 2);
    const double seconds = fdfReadFixedWidthDouble(record, offset + 15, 6);
    // A missing time field must not turn into a large negative time of day.
    if (year == NO_DATA || dayOfYear == NO_DATA || hours == NO_DATA || minutes == NO_DATA || seconds == NO_DATA) {
        return false;
    }
    return setDayOfYear(year, dayOfYear, hours * 3600.0 + minutes * 60.0 + seconds);
}

bool CTimeValue::parseCompactMillis(std::string_view record, std::size_t offset) {
    mValid = false;
    if (offset > record.size()) {
        return false;
    }
    const int year = fdfReadFixedWidthInt(record, offset, 4);
    const int month = fdfReadFixedWidthInt(record, offset + 4, 2);
    const int day = fdfReadFixedWidthInt(record, offset + 6, 2);
    const int hours = fdfReadFixedWidthInt(record, offset + 8, 2);
    const int minutes = fdfReadFixedWidthInt(record, offset + 10, 2);
    const int millis = fdfReadFixedWidthInt(record, offset + 12, 5);
    if (year == NO_DATA || month == NO_DATA || day == NO_DATA || hours == NO_DATA || minutes == NO_DATA ||
        millis == NO_DATA) {
        return false;
    }
    return setDateTime(day, month, year, hours, minutes, millis / 1000.0);
}

// --- Formatting -----------------------------------------------------------------

std::string CTimeValue::formatDate(bool dashed) const {
    const DateParts d = dateParts(*this);
    return dashed ? formatText("%04d-%02d-%02d", d.year, d.month, d.day)
                  : formatText("%04d%02d%02d", d.year, d.month, d.day);
}

std::string CTimeValue::formatDateTime() const {
    const DateParts d = dateParts(*this);
    const ClockParts c = clockParts(mSecondsOfDay, 0);
    return formatText("%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, c.hours, c.minutes, c.seconds);
}

std::string CTimeValue::formatTimeOfDayMicro() const {
    const ClockParts c = clockParts(mSecondsOfDay, 6);
    return formatText("%02d:%02d:%02d.%06d", c.hours, c.minutes, c.seconds, c.fraction);
}

std::string CTimeValue::formatTimeOfDayMilli() const {
    const ClockParts c = clockParts(mSecondsOfDay, 3);
    return formatText("%02d:%02d:%02d.%03d", c.hours, c.minutes, c.seconds, c.fraction);
}

std::string CTimeValue::formatCompact(bool withFraction) const {
    const DateParts d = dateParts(*this);
    const ClockParts c = clockParts(mSecondsOfDay, 6);
    return withFraction ? formatText("%04d%02d%02d%02d%02d%02d.%06d", d.year, d.month, d.day, c.hours, c.minutes,
                                     c.seconds, c.fraction)
                        : formatText("%04d%02d%02d%02d%02d%02d", d.year, d.month, d.day, c.hours, c.minutes,
                                     c.seconds);
}

std::string CTimeValue::formatCompactUnderscore(bool withFraction) const {
    const DateParts d = dateParts(*this);
    const ClockParts c = clockParts(mSecondsOfDay, 6);
    return withFraction ? formatText("%04d%02d%02d%s%02d%02d%02d.%06d", d.year, d.month, d.day, "_", c.hours,
                                     c.minutes, c.seconds, c.fraction)
                        : formatText("%04d%02d%02d%s%02d%02d%02d", d.year, d.month, d.day, "_", c.hours,
                                     c.minutes, c.seconds);
}

std::string CTimeValue::formatIsoDashes(bool withFraction) const {
    const DateParts d = dateParts(*this);
    const ClockParts c = clockParts(mSecondsOfDay, 6);
    return withFraction ? formatText("%04d-%02d-%02dT%02d-%02d-%02d.%06dZ", d.year, d.month, d.day, c.hours,
                                     c.minutes, c.seconds, c.fraction)
                        : formatText("%04d-%02d-%02dT%02d-%02d-%02d", d.year, d.month, d.day, c.hours, c.minutes,
                                     c.seconds);
}

std::string CTimeValue::formatDayMonthNameYear() const {
    const DateParts d = dateParts(*this);
    const ClockParts c = clockParts(mSecondsOfDay, 8);
    return formatText("%02d-%3.3s-%04d %02d:%02d:%02d.%08d", d.day, monthName(d.month), d.year, c.hours,
                      c.minutes, c.seconds, c.fraction);
}

std::string CTimeValue::formatIso(bool withFraction) const {
    const DateParts d = dateParts(*this);
    const ClockParts c = clockParts(mSecondsOfDay, 8);
    return withFraction ? formatText("%04d-%02d-%02dT%02d:%02d:%02d.%08dZ", d.year, d.month, d.day, c.hours,
                                     c.minutes, c.seconds, c.fraction)
                        : formatText("%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day, c.hours, c.minutes,
                                     c.seconds);
}

// --- Free functions ---------------------------------------------------------------

std::string nowCompact() {
    CTimeValue now;
    now.setNow();
    return now.formatCompact();
}

bool isEmptyDate(std::string_view text) {
    // A time is appended so that a bare "DD-MMM-YYYY" date takes the full
    // parser; ISO dates and other texts fall back to the fixed-position
    // parser, which never reports failure.
    std::string dated(text);
    dated += " 23:59:59.999999";
    CTimeValue value;
    const bool parsed = value.parseDayMonthNameYear(dated);
    return !parsed || text.find("01-JAN-1970") != std::string_view::npos ||
           text.find("[empty]") != std::string_view::npos;
}
