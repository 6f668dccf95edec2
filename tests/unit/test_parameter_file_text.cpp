// The legacy text format: reading hand-written headers and refusing broken
// lines.  The service never writes this format.
#include <cmath>

#include "test_parameter_file_support.h"

using namespace orbs_test;

namespace {

class ParameterFileText : public ParameterSetTest {
protected:
    static void shapeLegacySet(CSectionDataGroup& set) {
        addSection(set, "RasterInfo",
                   {{"NrOfLinesPerImage", S, I}, {"CellType", S, T}, {"BandName", V, T}, {"OtherInfo", M, T}});
        CSectionData& registration = addSection(set, "RegistrationCoordinates",
                                                {{"LatNorthing", S, D}, {"pixels_latitude", V, D}, {"Grid", M, I}});
        addMultiple(registration, "Pair", S, I, {"first", "second"});
        addMultiple(registration, "Track", V, D, {"lat", "lon"});
    }
};

}  // namespace

TEST_F(ParameterFileText, LegacyHeaderReadsEveryShape) {
    CSectionDataGroup set;
    shapeLegacySet(set);
    ASSERT_EQ(set.readTextSection(data("legacy_hdr"), "RasterInfo"), 1);
    ASSERT_EQ(set.readTextSection(data("legacy_hdr"), "RegistrationCoordinates"), 1);
    EXPECT_EQ(set["NrOfLinesPerImage"].getInteger(), 12);
    EXPECT_EQ(set["CellType"].getString(), "FLOAT COMPLEX");
    ASSERT_EQ(set["BandName"].getColNbr(), 2);
    EXPECT_EQ(set["BandName"].getString(0) + "|" + set["BandName"].getString(1), "band one|two");
    EXPECT_EQ(set["LatNorthing"].getDouble(), 45.25);
    ASSERT_EQ(set["pixels_latitude"].getColNbr(), 4);
    EXPECT_TRUE(std::isnan(set["pixels_latitude"].getDouble(2)));
    EXPECT_EQ(set["pixels_latitude"].getDouble(3), CORBS_USER_PARAMETER_TO_FILL_DBL);
    ASSERT_EQ(set["Grid"].getRowNbr() * 10 + set["Grid"].getColNbr(), 23);
    EXPECT_EQ(set["Grid"].getInteger(1, 2), 6);
    EXPECT_EQ(set["second"].getInteger(), 8);
    EXPECT_FALSE(set["Track"].isInitField());
    EXPECT_EQ(set.readTextSection(data("legacy_hdr"), "Missing"), 0);
}

TEST_F(ParameterFileText, BrokenLinesRaise) {
    CSectionDataGroup set;
    shapeLegacySet(set);
    const std::pair<const char*, const char*> broken[] = {
        {"[RasterInfo]\nNrOfLinesPerImage 12\n", "RasterInfo"},
        {"[RasterInfo]\nCellType =   \n", "RasterInfo"},
        {"[RegistrationCoordinates]\nPair = {1}\n", "RegistrationCoordinates"}};
    for (const auto& [text, section] : broken) {
        writeFile(at("bad_hdr"), text);
        EXPECT_EQ(raisedCode([&] { set.readTextSection(at("bad_hdr"), section); }), ORBS_EC_FIELD_NOT_FOUND) << text;
    }
    // The section ends at the next heading: its broken line is not read.
    writeFile(at("d_hdr"), "[RasterInfo]\nNrOfLinesPerImage = 5\n[Other]\nbroken\n");
    EXPECT_EQ(set.readTextSection(at("d_hdr"), "RasterInfo"), 1);
}
