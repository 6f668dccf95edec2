// The legacy query text the search command builds (key:value clauses
// joined by AND, relative orbits in an OR group, a footprint polygon and a
// sensing date range), and its translation to an OData $filter.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace NORBS_HUB {

struct LonLat {
    double lon = 0;
    double lat = 0;
};
using Ring = std::vector<LonLat>;  // closed: the last point repeats the first

struct LegacyClause {
    std::string key;    // "platformname", "footprint", ...
    std::string value;  // without its double quotes
    std::string text;   // the clause as written, for messages
};

// AND of OR groups (most groups hold one clause).
using LegacyQuery = std::vector<std::vector<LegacyClause>>;

// Throws CFetchFailure(kQueryRefused) naming the clause it cannot read.
LegacyQuery parseLegacyQuery(const std::string& query);
// The OData $filter; throws CFetchFailure(kQueryRefused) naming a clause it
// cannot translate (a clause is never dropped).  The collection test comes
// first: the catalogue searches fastest with it.
std::string odataFilter(const LegacyQuery& query);
// The footprint polygon of the query, closed; none without one.
std::optional<Ring> areaOfInterest(const LegacyQuery& query);
// "x y,x y,..." (WKT coordinates, lon-lat) as a ring, closed when it was not.
std::optional<Ring> parseCoordinates(const std::string& text);

}  // namespace NORBS_HUB
