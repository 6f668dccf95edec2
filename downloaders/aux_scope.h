// What AuxFetch is asked for: the needs of the products in a folder or a
// list, or everything valid during a period, for the chosen missions.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "aux_select.h"
#include "fetch_parameters.h"

namespace NORBS_AUX {

inline constexpr const char* kServiceSection = "ORBSNT_SERVICE_SENTINELQC";
// The period when the parameter file names neither products nor dates.
inline constexpr int kDefaultPeriodDays = 30;

struct Scope {
    std::vector<Need> needs;
    bool products = false;           // needs of products (else periods)
    std::string description;         // one line for the user
    std::vector<std::string> notes;  // products left out, and why
};

// Reads missions, products_folder, products_list, start_date and stop_date
// of ORBSNT_SERVICE_SENTINELQC; `now` ends the default period.  Throws
// CFetchFailure(kBadArguments) naming a bad field or product.
Scope readScope(const NORBS_FETCH::CParameterFile& parameters, Instant now);

// "S1A,S1B" as mission letters; throws for anything else.
std::vector<char> parseMissions(const std::string& text);

// The instrument configuration of a product: the instrumentConfigurationID
// of its manifest, from a ".SAFE" folder or a zip archive holding one.
std::optional<int> productConfiguration(const std::string& productPath);

}  // namespace NORBS_AUX
