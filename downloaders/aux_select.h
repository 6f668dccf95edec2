// Which auxiliary files a product needs, or a period holds, chosen from
// the files a catalogue lists.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "aux_names.h"

namespace NORBS_AUX {

// Seconds of one orbit: 175 orbits in 12 days.
inline constexpr double kOrbitPeriod = 12.0 * 86400.0 / 175.0;
// Seconds an orbit file must reach beyond the product on either side.
inline constexpr double kOrbitMargin = 60.0;

// What the scope asks for: the files one product needs, or every file
// valid for one mission during a period.
struct Need {
    std::string label;        // the product's name, or the mission and period
    char mission = 'A';
    Instant start = 0;
    Instant stop = 0;
    std::optional<int> configuration;  // a product's instrument configuration, when known
    bool period = false;
};

struct Choice {
    std::vector<AuxFile> files;  // none when nothing qualifies
    std::string note;            // how the choice was made, when the user should know
};

// The interval an orbit search must cover for `need`: overlapping it is
// what every file of a choice has in common.
struct Span {
    Instant from = 0;
    Instant to = 0;
};
Span orbitSpan(const Need& need);

// Orbits (AUX_POEORB and AUX_RESORB files among `files`).  A product: the
// file of its mission with the newest creation among those that start an
// orbit and a margin before the product and end a margin after it,
// precise orbits before restituted ones; when no restituted file covers
// that alone, the two consecutive ones that do together.  A period: every
// precise orbit file overlapping it (the newest creation of each validity),
// and restituted ones where the precise ones leave a gap.
Choice chooseOrbits(const Need& need, const std::vector<AuxFile>& files);

// Calibration or instrument files (`type`) among `files`, of the need's
// mission or mission-independent, of its instrument configuration when
// both are known.  A product: the latest validity start not after the
// product's start, then the latest generation.  A period: the file in force
// at its start and every later validity start within it, each in its
// latest generation.
Choice chooseAdf(const Need& need, AuxType type, const std::vector<AuxFile>& files);

}  // namespace NORBS_AUX
