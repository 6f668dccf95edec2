// The legacy query of the search command translated to OData: every clause
// form, exact $filter texts, and the clauses that must be refused.
#include <gtest/gtest.h>

#include "fetch_failure.h"
#include "hub_catalogue.h"
#include "hub_query.h"

namespace {

using namespace NORBS_HUB;
using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::Outcome;

std::string translate(const std::string& query) { return odataFilter(parseLegacyQuery(query)); }

std::string stringAttribute(const std::string& name, const std::string& value) {
    return "Attributes/OData.CSC.StringAttribute/any(att:att/Name eq '" + name +
           "' and att/OData.CSC.StringAttribute/Value eq '" + value + "')";
}
std::string orbit(int n) {
    return "Attributes/OData.CSC.IntegerAttribute/any(att:att/Name eq 'relativeOrbitNumber' and "
           "att/OData.CSC.IntegerAttribute/Value eq " + std::to_string(n) + ")";
}
std::string channel(const std::string& c) {
    return "Attributes/OData.CSC.StringAttribute/any(att:att/Name eq 'polarisationChannels' and "
           "contains(att/OData.CSC.StringAttribute/Value,'" + c + "'))";
}

struct Translation { const char* query; std::string filter; };

TEST(HubQueryTranslation, EveryClauseFormGivesItsExactFilter) {
    const Translation cases[] = {
        {R"(platformname:"Sentinel-1")", "Collection/Name eq 'SENTINEL-1'"},
        {R"(platformname:"Sentinel-5 Precursor")", "Collection/Name eq 'SENTINEL-5P'"},
        {R"(productType:"GRD")", "contains(Name,'_GRD')"},
        {R"(productType:"SLC")", "contains(Name,'_SLC_')"},
        {R"(productType:"RAW")", "contains(Name,'_RAW_')"},
        {R"(productType:"OCN")", "contains(Name,'_OCN_')"},
        {R"(productType:"S2MSI1C")", stringAttribute("productType", "S2MSI1C")},
        {R"(productType:"IW_GRDH_1S")", stringAttribute("productType", "IW_GRDH_1S")},
        {R"(sensorOperationalMode:"IW")", stringAttribute("operationalMode", "IW")},
        {"polarisationMode:VV", channel("VV")},
        {"polarisationMode:VV VH", channel("VV") + " and " + channel("VH")},
        {"polarisationMode:HH+HV", channel("HH") + " and " + channel("HV")},
        {R"(orbitDirection:"ASCENDING")", stringAttribute("orbitDirection", "ASCENDING")},
        {R"(orbitDirection:"descending")", stringAttribute("orbitDirection", "DESCENDING")},
        {R"((relativeOrbitNumber:"117"))", orbit(117)},
        {R"((relativeOrbitNumber:"1" OR relativeOrbitNumber:"2" OR relativeOrbitNumber:"3"))",
         "(" + orbit(1) + " or " + orbit(2) + " or " + orbit(3) + ")"},
        {R"~((footprint:"Intersects(POLYGON((12.00000 46.00000,10.00000 46.00000,10.00000 44.00000,12.00000 44.00000,12.00000 46.00000)))"))~",
         "OData.CSC.Intersects(area=geography'SRID=4326;POLYGON((12 46,10 46,10 44,12 44,12 46))')"},
        // A ring written open is closed.
        {R"~((footprint:"Intersects(POLYGON((-1.5 2.25,3 4,5 -6.125)))"))~",
         "OData.CSC.Intersects(area=geography'SRID=4326;POLYGON((-1.5 2.25,3 4,5 -6.125,-1.5 2.25))')"},
        {"(beginPosition:[2019-05-01T00:00:00.000Z TO 2019-05-31T23:59:59.999Z])",
         "ContentDate/Start ge 2019-05-01T00:00:00.000Z and ContentDate/Start le 2019-05-31T23:59:59.999Z"},
        {"(beginPosition:[2019-05-01T00:00:00.000Z TO NOW])", "ContentDate/Start ge 2019-05-01T00:00:00.000Z"},
        {"(beginPosition:[* TO 2019-05-31T23:59:59.999Z])", "ContentDate/Start le 2019-05-31T23:59:59.999Z"},
        // The collection goes first whatever its place in the query.
        {R"(productType:"S2MSI1C" AND platformname:"Sentinel-2")",
         "Collection/Name eq 'SENTINEL-2' and " + stringAttribute("productType", "S2MSI1C")},
        {"", ""},
    };
    for (const Translation& c : cases) EXPECT_EQ(translate(c.query), c.filter) << c.query;
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

TEST(HubQueryTranslation, AreaOfInterestIsTheClosedFootprintRing) {
    const auto area = areaOfInterest(parseLegacyQuery(
        R"~(platformname:"Sentinel-1" AND (footprint:"Intersects(POLYGON((12 46,10 46,10 44)))"))~"));
    ASSERT_TRUE(area);
    ASSERT_EQ(area->size(), 4u);
    EXPECT_EQ(area->back().lon, 12);
    EXPECT_EQ(area->back().lat, 46);
    EXPECT_FALSE(areaOfInterest(parseLegacyQuery(R"(platformname:"Sentinel-1")")));
}

TEST(HubCatalogue, ODataProductTakesSizeChecksumsFootprintAndOnlineState) {
    const Product p = productFromOData(R"({"Id":"a-b","Name":"S1A_X.SAFE","ContentLength":1234,"Online":false,
        "ContentDate":{"Start":"2019-05-03T05:12:00.000000Z","End":"2019-05-03T05:12:25.000000Z"},
        "Footprint":"geography'SRID=4326;MULTIPOLYGON (((1 2, 3 4, 5 6, 1 2)), ((7 8, 9 10, 11 12, 7 8)))'",
        "GeoFootprint":null,
        "Checksum":[{"Value":"ABCDEF0123456789ABCDEF0123456789","Algorithm":"MD5"},{"Value":"ff","Algorithm":"BLAKE3"}]})",
                                       "http://127.0.0.1:9");
    EXPECT_EQ(p.size, 1234u);
    EXPECT_FALSE(p.online);
    EXPECT_EQ(p.md5, "abcdef0123456789abcdef0123456789");
    EXPECT_FALSE(p.blake3Only);
    EXPECT_EQ(p.downloadUrl, "http://127.0.0.1:9/odata/v1/Products(a-b)/$value");
    ASSERT_EQ(p.footprint.size(), 2u);
    EXPECT_EQ(p.footprint[1][0].lon, 7);
    EXPECT_EQ(productBase(p), "S1A_X");

    const Product blake = productFromOData(R"({"Id":"c","Name":"AUX","Checksum":[{"Value":"ff","Algorithm":"BLAKE3"}]})", "");
    EXPECT_TRUE(blake.blake3Only);
    EXPECT_TRUE(blake.online);
    EXPECT_EQ(productBase(blake), "AUX");
}

}  // namespace
