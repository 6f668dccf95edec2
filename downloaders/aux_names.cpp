// Auxiliary file and product names.
#include "aux_names.h"

#include <ctime>
#include <regex>

#include "orbs_core_time_man_utility.h"

namespace NORBS_AUX {

namespace {

// Function-local patterns: built on first use, whatever the order in which
// static objects of other files are made.
const std::regex& stampPattern() {
    static const std::regex pattern(R"((\d{8})T(\d{2})(\d{2})(\d{2}))");
    return pattern;
}
const std::regex& datePattern() {
    static const std::regex pattern(R"((\d{4})-(\d{2})-(\d{2})(?:T(\d{2}):(\d{2}):(\d{2}))?)");
    return pattern;
}
const std::regex& orbitPattern() {
    static const std::regex pattern(
        R"(S1([A-D])_OPER_AUX_(POEORB|RESORB)_OPOD_(\d{8}T\d{6})_V(\d{8}T\d{6})_(\d{8}T\d{6})(\.EOF)?)");
    return pattern;
}
const std::regex& adfPattern() {
    static const std::regex pattern(R"(S1([A-D_])_AUX_(CAL|INS)_V(\d{8}T\d{6})_G(\d{8}T\d{6})(\.SAFE)?(\.zip)?)");
    return pattern;
}
const std::regex& productPattern() {
    static const std::regex pattern(
        R"(S1([A-D])_[A-Z0-9]{2}_[A-Z0-9_]{4}_[A-Z0-9_]{4}_(\d{8}T\d{6})_(\d{8}T\d{6})_\d{6}_[0-9A-F]{6}_[0-9A-F]{4}(\.SAFE)?(\.zip)?)");
    return pattern;
}

std::optional<Instant> instantOf(int year, int month, int day, int hours, int minutes, int seconds) {
    if (hours > 23 || minutes > 59 || seconds > 59) return std::nullopt;
    CTimeValue value;
    if (!value.setDateTime(day, month, year, hours, minutes, seconds)) return std::nullopt;
    return value.getTotalSeconds();
}

CTimeValue valueOf(Instant instant) {
    CTimeValue value;
    value.setTotalSeconds(instant);
    return value;
}

int number(const std::ssub_match& match) { return match.matched ? std::stoi(match.str()) : 0; }

// The name without the endings that only say how it is packed.
std::string baseName(std::string name) {
    for (const char* ending : {".zip", ".SAFE", ".EOF"})
        if (name.ends_with(ending)) name.resize(name.size() - std::string_view(ending).size());
    return name;
}

}  // namespace

std::optional<Instant> parseStamp(std::string_view text) {
    std::match_results<std::string_view::const_iterator> m;
    if (!std::regex_match(text.begin(), text.end(), m, stampPattern())) return std::nullopt;
    const std::string day = m[1].str();
    return instantOf(std::stoi(day.substr(0, 4)), std::stoi(day.substr(4, 2)), std::stoi(day.substr(6, 2)),
                     std::stoi(m[2].str()), std::stoi(m[3].str()), std::stoi(m[4].str()));
}

std::optional<Instant> parseDate(std::string_view text) {
    const std::string copy(text);
    std::smatch m;
    if (!std::regex_match(copy, m, datePattern())) return std::nullopt;
    return instantOf(number(m[1]), number(m[2]), number(m[3]), number(m[4]), number(m[5]), number(m[6]));
}

Instant nowUtc() {
    CTimeValue epoch;
    epoch.setDate(1, 1, 1970, 0.0);
    return epoch.getTotalSeconds() + static_cast<double>(std::time(nullptr));
}

std::string isoText(Instant instant) { return valueOf(instant).formatIso() + ".000Z"; }

std::string dateText(Instant instant) { return valueOf(instant).formatIso(); }

const char* typeName(AuxType type) {
    switch (type) {
    case AuxType::kIns: return "AUX_INS";
    case AuxType::kCal: return "AUX_CAL";
    case AuxType::kPoeorb: return "AUX_POEORB";
    case AuxType::kResorb: return "AUX_RESORB";
    }
    return "";
}

std::optional<AuxFile> parseAuxName(std::string_view name) {
    const std::string text(name);
    std::smatch m;
    AuxFile file;
    std::optional<Instant> start, stop, created;
    if (std::regex_match(text, m, orbitPattern())) {
        file.type = m[2] == "POEORB" ? AuxType::kPoeorb : AuxType::kResorb;
        created = parseStamp(m[3].str());
        start = parseStamp(m[4].str());
        stop = parseStamp(m[5].str());
        file.name = baseName(text) + ".EOF";
    } else if (std::regex_match(text, m, adfPattern())) {
        file.type = m[2] == "CAL" ? AuxType::kCal : AuxType::kIns;
        start = stop = parseStamp(m[3].str());
        created = parseStamp(m[4].str());
        file.name = baseName(text) + ".SAFE";
    } else {
        return std::nullopt;
    }
    if (!start || !stop || !created) return std::nullopt;
    file.mission = m[1].str().front();
    file.start = *start;
    file.stop = *stop;
    file.created = *created;
    return file;
}

std::optional<ProductName> parseProductName(std::string_view name) {
    const std::string text(name);
    std::smatch m;
    if (!std::regex_match(text, m, productPattern())) return std::nullopt;
    const auto start = parseStamp(m[2].str());
    const auto stop = parseStamp(m[3].str());
    if (!start || !stop) return std::nullopt;
    return ProductName{baseName(text), m[1].str().front(), *start, *stop};
}

}  // namespace NORBS_AUX
