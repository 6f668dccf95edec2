// Date and time texts: every parser of CTimeValue, the empty-date test and
// the runtime's OrbsTime on any text, and every format of a value a parser
// accepted, which must read back.
#include <cstdio>
#include "fuzz_support.h"
#include "orbs_core_time_man_utility.h"
#include "orbs_time.h"

namespace {
void formatAll(const CTimeValue& value) {
    if (!value.isValid()) return;
    int year = 0, dayOfYear = 0, hours = 0, minutes = 0;
    double seconds = 0;
    value.getYearAndDayOfYear(year, dayOfYear);
    value.splitTimeOfDay(hours, minutes, seconds);
    value.getDay();
    value.getMonth();
    value.getTotalSeconds();
    for (const bool withFraction : {false, true}) {
        value.formatDate(withFraction);
        value.formatCompact(withFraction);
        value.formatCompactUnderscore(withFraction);
        value.formatIsoDashes(withFraction);
        value.formatIso(withFraction);
    }
    value.formatDateTime();
    value.formatTimeOfDayMicro();
    value.formatTimeOfDayMilli();
    value.formatDayMonthNameYear();

    // Within the day (setDate also takes a negative time and 86400 s), the
    // texts it is written as read back as the same day and second.
    if (value.getSecondsOfDay() < 0 || value.getSecondsOfDay() >= 86400) return;
    CTimeValue date, compact;
    if (!date.parseIsoDate(value.formatDate(true)) || date.getDayNumber() != value.getDayNumber() ||
        !compact.parseCompact(value.formatCompact()) ||
        CTimeValue::secondsBetween(value, compact) < 0 || CTimeValue::secondsBetween(value, compact) >= 1) {
        std::fprintf(stderr, "%s does not read back\n", value.formatCompact(true).c_str());
        std::abort();
    }
}
}  // namespace

ORBS_FUZZ_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = orbs_fuzz::asText(data, size);
    using Parser = bool (CTimeValue::*)(std::string_view);
    for (const Parser parser : {&CTimeValue::parseDayMonthNameYear, &CTimeValue::parseDayMonthNameYearDate,
                                &CTimeValue::parseIsoFixed, &CTimeValue::parseIsoDate, &CTimeValue::parseIsoSeconds,
                                &CTimeValue::parseIsoFraction, &CTimeValue::parseCompact}) {
        CTimeValue value;
        (value.*parser)(text);
        formatAll(value);
    }
    for (const std::size_t offset : {std::size_t{0}, std::size_t{1}, size}) {
        CTimeValue value;
        value.parseYearDayOfYear(text, offset);
        formatAll(value);
        value = CTimeValue();
        value.parseCompactMillis(text, offset);
        formatAll(value);
    }
    isEmptyDate(text);
    const OrbsTime instant{std::string(text)};
    if (!instant.isValid() && (instant.getYear() != 0 || instant.getMicrosecond() != 0)) std::abort();
    return 0;
}
