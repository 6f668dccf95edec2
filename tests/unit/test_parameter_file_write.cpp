// Writing parameter files: the layout against hand-written golden files,
// and the in-place section update.  Raster headers written with writeToFile:
// the raster header and image footprint tests.
#include <cmath>

#include "test_parameter_file_support.h"

using namespace orbs_test;

namespace {

class ParameterFileWrite : public ParameterSetTest {
protected:
    void SetUp() override {
        ParameterSetTest::SetUp();
        NorvikCore::set_software_version("5.5.2.1=L64");
    }
};

}  // namespace

// The golden header read back and written again from a set without the
// SOFTWARE row (the writer adds it) gives the same bytes; texts that need
// escaping and reserved numbers survive a round trip.
TEST_F(ParameterFileWrite, HeaderSetMatchesTheGoldenLayoutAndRoundTrips) {
    CSectionDataGroup set;
    shapeHeaderSet(set);
    ASSERT_EQ(set.readXML(data("header_set.sml"), true), 1);
    EXPECT_EQ(set["SensorName"].getString(), "A & B's \"x\"");
    EXPECT_EQ(set["Counts"].getInteger(0, 1), CORBS_USER_PARAMETER_TO_FILL_INT);
    EXPECT_TRUE(std::isnan(set["pixels_latitude"].getDouble(2)));
    set["BandName"].clearValue(1);  // written as an empty element, read as the empty text
    set["OtherInfo"].setDimension(1, 2);
    set["OtherInfo"].setValue(0, 0, std::string("ORIGIN DATA"));
    set["OtherInfo"].setValue(0, 1, std::string("S1A"));
    ASSERT_EQ(set.writeXML(at("out.sml"), true, false), 1);
    EXPECT_EQ(readFile(at("out.sml")), readFile(data("header_set.sml")));
    // Writing again records SOFTWARE in its row instead of adding one.
    ASSERT_EQ(set.writeXML(at("out.sml"), true, true), 1);
    EXPECT_EQ(set["OtherInfo"].getRowNbr(), 2);
    EXPECT_EQ(readFile(at("out.sml")), readFile(data("header_set.sml")));

    const std::string text = "tab\tand <&> 'quotes' \x85 line\nbreaks\r\n end";
    set["CellType"].setValue(text);
    set["LatNorthing"].setValue(-1.0 / 3.0);
    set["PixelSpacingLatNorth"].setValue(CORBS_USER_OPTIONAL_PARAMETER_DBL);
    set["NrOfPixelsPerLine"].setValue(CORBS_USER_OPTIONAL_PARAMETER_INT);
    ASSERT_EQ(set.writeXML(at("rt.sml"), true, false), 1);
    CSectionDataGroup read;
    shapeHeaderSet(read);
    ASSERT_EQ(read.readXML(at("rt.sml"), true), 1);
    EXPECT_EQ(read["CellType"].getString(), text);
    EXPECT_EQ(read["LatNorthing"].getDouble(), -1.0 / 3.0);
    EXPECT_EQ(read["PixelSpacingLatNorth"].getDouble(), CORBS_USER_OPTIONAL_PARAMETER_DBL);
    EXPECT_EQ(read["NrOfPixelsPerLine"].getInteger(), CORBS_USER_OPTIONAL_PARAMETER_INT);
    EXPECT_EQ(read["BandName"].getString(1), "");
    EXPECT_FALSE(read["HeaderOffset"].isInitField());
    EXPECT_FALSE(read["State"].isInitField());
}

TEST_F(ParameterFileWrite, UpdatingSectionsKeepsEveryOtherByte) {
    fs::copy_file(data("update_before.sml"), at("u.sml"));
    CSectionDataGroup set;
    addSection(set, "Alpha", {{"value", S, I}});
    addSection(set, "Unset", {{"nothing", S, I}});
    addSection(set, "Beta", {{"name", S, T}});
    set["value"].setValue(5);
    set["name"].setValue(std::string("b"));
    ASSERT_EQ(set.writeXML(at("u.sml"), true, false), 1);
    EXPECT_EQ(readFile(at("u.sml")), readFile(data("update_after.sml")));

    // Carriage returns and a missing final new line survive an update.
    writeFile(at("crlf.sml"), "<HEADER_INFO>\r\n<Keep a='1'>x</Keep>\r\n</HEADER_INFO>");
    ASSERT_EQ(set.writeXML(at("crlf.sml"), true, false), 1);
    EXPECT_EQ(readFile(at("crlf.sml")),
              "<HEADER_INFO>\r\n<Keep a='1'>x</Keep>\r\n   <Alpha>\n      <value>5</value>\n   </Alpha>\n"
              "   <Beta>\n      <name>b</name>\n   </Beta>\n</HEADER_INFO>");

    writeFile(at("empty.sml"), "");
    EXPECT_EQ(set.writeXML(at("empty.sml"), true, false), 1);
    EXPECT_EQ(readFile(at("empty.sml")), "");
}
