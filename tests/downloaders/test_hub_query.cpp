// The legacy query of the search command translated to OData: the clauses
// that must be refused, and hostile hub answers.
#include <gtest/gtest.h>

#include "fetch_failure.h"
#include "hub_catalogue.h"
#include "hub_query.h"

namespace {

using namespace NORBS_HUB;
using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::Outcome;

std::string translate(const std::string& query) { return odataFilter(parseLegacyQuery(query)); }

// The HubFetchRun tests compare what the hub finds through each grammar;
// "+" between channels is the one form its legacy search reads otherwise.
TEST(HubQueryTranslation, ChannelsJoinedByPlusAreBothRequired) {
    const std::string channel = "Attributes/OData.CSC.StringAttribute/any(att:att/Name eq 'polarisationChannels' and "
                                "contains(att/OData.CSC.StringAttribute/Value,'";
    EXPECT_EQ(translate("polarisationMode:HH+HV"), channel + "HH'))" + " and " + channel + "HV'))");
    EXPECT_EQ(translate(""), "");
}

TEST(HubQueryTranslation, ClausesThatCannotBeTranslatedAreRefusedByName) {
    const char* refused[] = {
        R"(platformname:"Sentinel-1" AND cloudcoverpercentage:[0 TO 30])",  // unknown key
        R"(orbitDirection:"SIDEWAYS")",
        R"((relativeOrbitNumber:"x17"))",
        "polarisationMode:VX",
        R"(productType:"GRD' or 1 eq 1")",                                     // no way into the filter grammar
        R"~((footprint:"Intersects(POINT(1 2))"))~",
        "(beginPosition:[yesterday TO NOW])",
        R"(platformname:"Sentinel-1)",
        "justtext",
    };
    for (const char* query : refused) {
        try {
            translate(query);
            ADD_FAILURE() << "accepted: " << query;
        } catch (const CFetchFailure& failure) {
            EXPECT_EQ(failure.outcome(), Outcome::kQueryRefused) << query;
            EXPECT_NE(std::string(failure.what()).find('\''), std::string::npos) << failure.what();
        }
    }
}

// Size, online state, footprints and the MD5 the downloads are checked
// against: the HubFetchRun tests.  Here the forms the local hub never sends.
TEST(HubCatalogue, ODataProductTakesUpperCaseMd5AndMultiPolygons) {
    const Product p = productFromOData(R"({"Id":"a-b","Name":"S1A_X.SAFE","GeoFootprint":null,
        "Footprint":"geography'SRID=4326;MULTIPOLYGON (((1 2, 3 4, 5 6, 1 2)), ((7 8, 9 10, 11 12, 7 8)))'",
        "Checksum":[{"Value":"ABCDEF0123456789ABCDEF0123456789","Algorithm":"MD5"},{"Value":"ff","Algorithm":"BLAKE3"}]})",
                                       "http://127.0.0.1:9");
    EXPECT_EQ(p.md5, "abcdef0123456789abcdef0123456789");
    EXPECT_FALSE(p.blake3Only);
    ASSERT_EQ(p.footprint.size(), 2u);
    EXPECT_EQ(p.footprint[1][0].lon, 7);
    EXPECT_TRUE(productFromOData(R"({"Id":"c","Name":"AUX","Checksum":[{"Value":"ff","Algorithm":"BLAKE3"}]})", "").blake3Only);
}

// A footprint of a million characters: a matcher that recursed per
// character overflowed the stack.
TEST(HubCatalogue, LongFootprintIsOneRing) {
    std::string wkt = "geography'SRID=4326;POLYGON ((";
    for (int i = 0; i < 100000; ++i) wkt += "1.5 2.5, ";
    const std::vector<Ring> rings = parseWktPolygons(wkt + "1.5 2.5))'");
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].size(), 100001u);
}

}  // namespace
