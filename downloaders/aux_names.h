// Names of the Sentinel-1 auxiliary files and products, and the UTC
// instants they carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace NORBS_AUX {

// Seconds since 1901-01-01 00:00 UTC (the count of the suite's CTimeValue).
using Instant = double;

// "YYYYMMDDThhmmss", as in file and product names.
std::optional<Instant> parseStamp(std::string_view text);
// "YYYY-MM-DD" (midnight) or "YYYY-MM-DDThh:mm:ss", as a user writes it.
std::optional<Instant> parseDate(std::string_view text);
Instant nowUtc();
// "2019-05-01T00:00:00.000Z", as catalogues take it.
std::string isoText(Instant instant);
// "2019-05-01T00:00:00", for messages.
std::string dateText(Instant instant);

// The four kinds, in the order of the folders on the command line.
enum class AuxType { kIns, kCal, kPoeorb, kResorb };
inline constexpr std::array<AuxType, 4> kAuxTypes = {AuxType::kIns, AuxType::kCal, AuxType::kPoeorb,
                                                     AuxType::kResorb};
// "AUX_INS", "AUX_CAL", "AUX_POEORB", "AUX_RESORB".
const char* typeName(AuxType type);
inline bool isOrbit(AuxType type) { return type == AuxType::kPoeorb || type == AuxType::kResorb; }

// One auxiliary file as a catalogue lists it, and where to fetch it.
struct AuxFile {
    AuxType type = AuxType::kPoeorb;
    std::string name;        // with its ending: ".EOF" for orbits, ".SAFE" for the others
    char mission = 'A';      // 'A'..'D'; '_' for a mission-independent file ("S1_")
    Instant start = 0;       // validity; calibration and instrument files have a start only
    Instant stop = 0;
    Instant created = 0;     // creation (orbits) or generation (the others)
    std::optional<int> configuration;  // instrument configuration, when the catalogue gives it
    std::string source;      // the catalogue's name, for messages
    std::string url;
    bool authorize = false;  // the download needs the login
    std::uint64_t size = 0;  // 0 when not known
    std::string md5;         // lower-case hex; empty when not known
};

// Type, mission and instants from a name such as
// "S1A_OPER_AUX_POEORB_OPOD_<created>_V<start>_<stop>.EOF" or
// "S1B_AUX_CAL_V<start>_G<generation>.SAFE" (endings optional, ".zip"
// allowed); the name in the result has its proper ending.  None for any
// other name.
std::optional<AuxFile> parseAuxName(std::string_view name);

// What a Sentinel-1 product's name says.
struct ProductName {
    std::string name;
    char mission = 'A';
    Instant start = 0;
    Instant stop = 0;
};
// "S1A_IW_GRDH_1SDV_<start>_<stop>_<orbit>_<take>_<id>" with or without
// ".SAFE", ".zip" or ".SAFE.zip"; none for any other name.
std::optional<ProductName> parseProductName(std::string_view name);

}  // namespace NORBS_AUX
