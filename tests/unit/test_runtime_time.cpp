// Date parsing and scaled pauses of the runtime.
#include "orbs_file.h"
#include "orbs_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

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
