// Writing parameter files: the layout against hand-written golden files,
// the in-place section update and writeToFile's naming and derived fields.
#include <algorithm>
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

// A raster header set for writeToFile: geographic or not.
void shapeRasterSet(CSectionDataGroup& set, const char* state) {
    addSection(set, "CartographicSystem", {{"State", S, T}});
    addSection(set, "RegistrationCoordinates", {{"LatNorthing", S, D}, {"LonEasting", S, D},
                                                {"PixelSpacingLatNorth", S, D}, {"PixelSpacingLonEast", S, D}});
    addSection(set, "DEMCoordinates", {{"NorthingCoordinateBegin", S, D}, {"NorthingGridSize", S, D},
                                       {"NorthingCoordinateEnd", S, D}, {"EastingCoordinateBegin", S, D},
                                       {"EastingGridSize", S, D}, {"EastingCoordinateEnd", S, D}});
    addSection(set, "ChannelInfo", {{"Description", V, T}, {"Polarization", S, T}});
    addSection(set, "RasterInfo", {{"NrOfLinesPerImage", S, I}, {"NrOfPixelsPerLine", S, I},
                                   {"NrOfChannels", S, I}, {"OtherInfo", M, T}});
    set["State"].setValue(std::string(state));
    set["LatNorthing"].setValue(40.0);
    set["LonEasting"].setValue(10.0);
    set["PixelSpacingLatNorth"].setValue(-0.5);
    set["PixelSpacingLonEast"].setValue(0.25);
    set["NrOfLinesPerImage"].setValue(10);
    set["NrOfPixelsPerLine"].setValue(20);
    set["Description"].setDimension(1, 2);
    set["Description"].setValue(0, std::string("VV"));
    set["Description"].setValue(1, std::string("VH"));
}

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

TEST_F(ParameterFileWrite, CommandSetUsesTheBareRootAndTemplateWords) {
    CSectionDataGroup set;
    shapeCommandSet(set);
    set["output_folder"].setValue(std::string("/data/out/"));
    set["relative_orbit"].setValue(CORBS_USER_PARAMETER_TO_FILL_INT);
    set["ratio"].setValue(CORBS_USER_OPTIONAL_PARAMETER_DBL);
    set["orbits"].setDimension(1, 2);
    set["orbits"].setValue(0, 12);
    set["orbits"].setValue(1, CORBS_USER_OPTIONAL_PARAMETER_INT);
    set["delete_temporary_files"].setValue(std::string("OK"));
    ASSERT_EQ(set.writeXML(at("cmd.sml"), true, false), 1);
    EXPECT_EQ(readFile(at("cmd.sml")), readFile(data("command_set.sml")));
}

TEST_F(ParameterFileWrite, UnsetSetGivesDeclarationAndRootOnly) {
    CSectionDataGroup set;
    shapeCommandSet(set);
    set.setHeaderName("MY_HEADER_INFO_X");  // contains HEADER_INFO: schema attributes
    ASSERT_EQ(set.writeXML(at("empty.sml"), true, false), 1);
    const std::string text = readFile(at("empty.sml"));
    EXPECT_EQ(text.substr(0, 41), "<?xml version=\"1.0\" ?>\n<MY_HEADER_INFO_X ");
    EXPECT_EQ(text.substr(text.size() - 23), "\">\n</MY_HEADER_INFO_X>\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
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

TEST_F(ParameterFileWrite, FailuresToOpenAreReportedOrRaised) {
    CSectionDataGroup set;
    addSection(set, "Alpha", {{"value", S, I}});
    set["value"].setValue(1);
    EXPECT_EQ(set.writeXML(at("no/such/dir/x.sml"), true, false), 0);
    // A device that takes no data: opening works, writing does not.
    EXPECT_EQ(raisedCode([&] { set.writeXML("/dev/full", true, true); }), ORBS_EC_WRITE_FAILED);
    EXPECT_EQ(set.writeXML("/dev/full", false, true), 0);
}

TEST_F(ParameterFileWrite, WriteToFileNamesDerivesAndRewritesFromScratch) {
    CSectionDataGroup set;
    shapeRasterSet(set, "geo-global");
    writeFile(at("img.sml"), "<HEADER_INFO>\n<Stale>1</Stale>\n</HEADER_INFO>\n");
    ASSERT_EQ(set.writeToFile(at("img_HDR"), false, false), 1);
    EXPECT_EQ(set["Polarization"].getString(), "VV");
    EXPECT_EQ(set["NrOfChannels"].getInteger(), 1);
    // The grid runs from the last line's northing up to the first one.
    const char* grid[] = {"NorthingCoordinateBegin", "NorthingGridSize", "NorthingCoordinateEnd",
                          "EastingCoordinateBegin", "EastingGridSize", "EastingCoordinateEnd"};
    const double expected[] = {10 * -0.5 + 40.0, 0.5, 40.0, 10.0, 0.25, 20 * 0.25 + 10.0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(set[grid[i]].getDouble(), expected[i]) << grid[i];
    const std::string text = readFile(at("img.sml"));
    EXPECT_EQ(text.find("Stale"), std::string::npos);
    EXPECT_NE(text.find("<EastingCoordinateEnd>15</EastingCoordinateEnd>"), std::string::npos);
    EXPECT_NE(text.find("<ValueString ID = \"1\">5.5.2.1:L64</ValueString>"), std::string::npos);
    EXPECT_FALSE(fs::exists(at("img_HDR")));

    CSectionDataGroup projected;
    shapeRasterSet(projected, "UTM-GLOBAL");
    ASSERT_EQ(projected.writeToFile(at("utm.sml"), false, false), 1);
    EXPECT_FALSE(projected["NorthingGridSize"].isInitField());
    EXPECT_TRUE(fs::exists(at("utm.sml")));
}
