// Date and time parsing: fixed-width fields, checked against the calendar.
#include "orbs_time.h"

#include <array>
#include <cctype>
#include <string_view>

#include "orbs_runtime.h"

namespace {

// Reads exactly `width` digits at `pos`.
bool readNumber(std::string_view text, std::size_t pos, std::size_t width, int& value) {
    if (pos + width > text.size()) return false;
    value = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int monthFromName(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kNames = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (name.size() != 3) return 0;
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (kNames[i] == upper) return static_cast<int>(i) + 1;
    return 0;
}

int daysInMonth(int month, int year) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

OrbsTime::OrbsTime(const std::string& text) {
    mValid = parse(text);
    if (!mValid) {
        mDay = mMonth = mYear = mHour = mMinute = mSecond = mMicrosecond = 0;
        OrbsLog::write("date: cannot parse '" + text + "'");
    }
}

bool OrbsTime::parse(const std::string& text) {
    const std::string_view view(text);
    std::size_t pos = 0;
    if (view.size() >= 11 && view[2] == '-' && view[6] == '-') {  // DD-MMM-YYYY
        mMonth = monthFromName(view.substr(3, 3));
        if (!readNumber(view, 0, 2, mDay) || mMonth == 0 || !readNumber(view, 7, 4, mYear)) return false;
        pos = 11;
    } else if (view.size() >= 10 && view[4] == '-' && view[7] == '-') {  // YYYY-MM-DD
        if (!readNumber(view, 0, 4, mYear) || !readNumber(view, 5, 2, mMonth) || !readNumber(view, 8, 2, mDay))
            return false;
        pos = 10;
    } else {
        return false;
    }
    if (mYear < 1 || mMonth < 1 || mMonth > 12 || mDay < 1 || mDay > daysInMonth(mMonth, mYear)) return false;
    if (pos == view.size()) return true;

    // " hh:mm:ss" with an optional fraction of up to six digits.
    if (view[pos] != ' ' || !readNumber(view, pos + 1, 2, mHour) || view.size() < pos + 9 || view[pos + 3] != ':' ||
        !readNumber(view, pos + 4, 2, mMinute) || view[pos + 6] != ':' || !readNumber(view, pos + 7, 2, mSecond))
        return false;
    if (mHour > 23 || mMinute > 59 || mSecond > 59) return false;
    pos += 9;
    if (pos == view.size()) return true;
    if (view[pos] != '.') return false;
    const std::size_t digits = view.size() - pos - 1;
    if (digits < 1 || digits > 6 || !readNumber(view, pos + 1, digits, mMicrosecond)) return false;
    for (std::size_t i = digits; i < 6; ++i) mMicrosecond *= 10;
    return true;
}
