// The legacy text format: reading hand-written headers, refusing broken
// lines, and writing sections into an existing text header.
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

TEST_F(ParameterFileText, WrittenSectionsReplaceTheirOldTextAndReadBack) {
    writeFile(at("img_hdr"), "[Keep]\nx = 1\n\n[RasterInfo]\nNrOfLinesPerImage = 1\nOld = 2\n\n[Tail]\ny = 3\n");
    NorvikCore::set_software_version("9.9");
    CSectionDataGroup written;
    shapeLegacySet(written);
    written["NrOfLinesPerImage"].setValue(7);
    written["CellType"].setValue(std::string("two words"));
    written["LatNorthing"].setValue(0.1);
    written["Grid"].setDimension(2, 2);
    written["Grid"].setValue(1, 1, 4);
    written["first"].setValue(CORBS_USER_PARAMETER_TO_FILL_INT);
    written["second"].setValue(2);
    written["lat"].setDimension(1, 2);
    written["lon"].setDimension(1, 2);
    written["lon"].setValue(1, -2.5);
    ASSERT_EQ(written.writeToFile(at("img_hdr"), false, true), 1);
    EXPECT_TRUE(fs::exists(at("img.sml")));

    const std::string expected =
        "[Keep]\nx = 1\n\n"
        "[RasterInfo]\nNrOfLinesPerImage = 7\nCellType = \"two words\"\n"
        "OtherInfo = {\"SOFTWARE\" \"9.9\"}\n\n"
        "[Tail]\ny = 3\n"
        "[RegistrationCoordinates]\nLatNorthing = 0.100000000000000005551115123126\n"
        "Grid = {0 0}\n     {0 4}\n"
        "Pair = {-999988887 2}\n"
        "Track = {0 0}\n      {0 -2.5}\n\n";
    EXPECT_EQ(readFile(at("img_hdr")), expected);

    // Without the parameter file of the base the text header reads back.
    fs::remove(at("img.sml"));
    CSectionDataGroup read;
    shapeLegacySet(read);
    ASSERT_EQ(read.readFile(at("img_hdr"), true), 1);
    EXPECT_EQ(read["CellType"].getString() + "|" + read["OtherInfo"].getString(0, 1), "two words|9.9");
    EXPECT_EQ(read["LatNorthing"].getDouble(), 0.1);
    EXPECT_EQ(read["first"].getInteger(), CORBS_USER_PARAMETER_TO_FILL_INT);
    EXPECT_EQ(read["lon"].getDouble(1), -2.5);
}
