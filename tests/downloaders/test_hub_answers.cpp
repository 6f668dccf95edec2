// Answers of a hostile hub that once ended HubFetch.  (The other parsers'
// faults stay as inputs of their fuzz targets, tests/fuzz/seeds/.)
#include <gtest/gtest.h>

#include "hub_catalogue.h"

namespace {

// A footprint of a million characters: a matcher that recursed per
// character overflowed the stack.
TEST(HubAnswers, LongFootprintIsOneRing) {
    std::string wkt = "geography'SRID=4326;POLYGON ((";
    for (int i = 0; i < 100000; ++i) wkt += "1.5 2.5, ";
    const std::vector<NORBS_HUB::Ring> rings = NORBS_HUB::parseWktPolygons(wkt + "1.5 2.5))'");
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].size(), 100001u);
}

}  // namespace
