// Date and time parsing of the runtime.
#pragma once

#include <string>

// An instant parsed from "DD-MMM-YYYY hh:mm:ss.ffffff" (month as its English
// three-letter name, any letter case) or "YYYY-MM-DD hh:mm:ss.ffffff".  The
// time part may be left out (midnight) and the fraction may have one to six
// digits or be left out.  A text that does not parse, or names a day that
// does not exist, gives an invalid instant whose fields are all 0; the
// text is reported in the runtime log, never guessed at.
class OrbsTime {
public:
    explicit OrbsTime(const std::string& text);

    bool isValid() const { return mValid; }
    int getDay() const { return mDay; }
    int getMonth() const { return mMonth; }
    int getYear() const { return mYear; }
    int getHour() const { return mHour; }
    int getMinute() const { return mMinute; }
    int getSecond() const { return mSecond; }
    int getMicrosecond() const { return mMicrosecond; }

private:
    bool parse(const std::string& text);

    bool mValid = false;
    int mDay = 0;
    int mMonth = 0;
    int mYear = 0;
    int mHour = 0;
    int mMinute = 0;
    int mSecond = 0;
    int mMicrosecond = 0;
};
