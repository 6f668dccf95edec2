// Reading parameter files: hand-written inputs, failures and the name
// resolution of readFile.  One section read alone: the map file tests.
#include "test_parameter_file_support.h"

using namespace orbs_test;

namespace {

class ParameterFileRead : public ParameterSetTest {
protected:
    // The sections of loose_layout.sml and of the readFile tests.
    static void shapeChannelSet(CSectionDataGroup& set) {
        addSection(set, "ChannelInfo",
                   {{"Description", V, T}, {"Polarization", S, T}, {"IncidenceAngle", S, CORBS_DS_DOUBLE}});
        addSection(set, "RasterInfo", {{"NrOfLinesPerImage", S, I}, {"NrOfChannels", S, I}, {"CellType", S, T},
                                       {"BandName", V, T}, {"HeaderOffset", S, I}});
    }
};

}  // namespace

TEST_F(ParameterFileRead, ValuesComeInDocumentOrderAndAbsentFieldsAreCleared) {
    CSectionDataGroup set;
    shapeChannelSet(set);
    set["HeaderOffset"].setValue(64);  // not in the file: cleared by the read
    ASSERT_EQ(set.readXML(data("loose_layout.sml"), true), 1);
    CSectionField& description = set["Description"];
    ASSERT_EQ(description.getColNbr(), 3);
    EXPECT_EQ(description.getString(0), "HH");  // its ID says 5
    EXPECT_FALSE(description.isElementSet(0, 2));
    EXPECT_EQ(set["IncidenceAngle"].getDouble(), 31.5);
    EXPECT_EQ(set["CellType"].getString(), "");  // set: an unset text raises
    EXPECT_FALSE(set["BandName"].isInitField());  // no vector element inside
    EXPECT_FALSE(set["HeaderOffset"].isInitField());
    EXPECT_FALSE(set["Polarization"].isInitField());  // readXML leaves it to readFile
}

TEST_F(ParameterFileRead, FailuresRaiseOnlyWhenAsked) {
    CSectionDataGroup set;
    shapeChannelSet(set);
    EXPECT_EQ(raisedCode([&] { set.readXML(at("missing.sml"), true); }), ORBS_EC_FILE_NOT_FOUND);
    EXPECT_EQ(set.readXML(at("missing.sml"), false), 0);

    writeFile(at("bad.sml"), "<HEADER_INFO><RasterInfo></HEADER_INFO>");
    EXPECT_EQ(raisedCode([&] { set.readXML(at("bad.sml"), true); }), ORBS_EC_XML_NOT_PARSED);
    EXPECT_EQ(set.readXML(at("bad.sml"), false), 0);

    set.setHeaderName("OTHER_ROOT");  // a file of another root: Hostile.ParameterFiles
    writeFile(at("sizeless.sml"), "<OTHER_ROOT><RasterInfo><BandName><VectorString><ValueString>a</ValueString>"
                                  "</VectorString></BandName></RasterInfo></OTHER_ROOT>");
    EXPECT_EQ(set.readXML(at("sizeless.sml"), true), 0);
    // A damaged size fails the read rather than exhausting memory.
    writeFile(at("huge.sml"), "<OTHER_ROOT><RasterInfo><BandName><VectorString NumberOfElements=\"2000000000\">"
                              "</VectorString></BandName></RasterInfo></OTHER_ROOT>");
    EXPECT_EQ(set.readXML(at("huge.sml"), true), 0);
}

TEST_F(ParameterFileRead, ReadFilePrefersTheParameterFileOfTheBase) {
    fs::copy_file(data("loose_layout.sml"), at("img.sml"));
    writeFile(at("img_hdr"), "[RasterInfo]\nNrOfLinesPerImage = 99\n");
    CSectionDataGroup set;
    shapeChannelSet(set);
    ASSERT_EQ(set.readFile(at("img_hdr"), true), 1);
    EXPECT_EQ(set["NrOfLinesPerImage"].getInteger(), 12);
    EXPECT_EQ(set["Polarization"].getString(), "HH");
    EXPECT_EQ(set.get_error_code(), 0);
    ASSERT_EQ(set.readFile(at("img.raw"), true), 0);  // base "img.raw": nothing there
    EXPECT_EQ(set.get_error_code(), ORBS_EC_NO_PARAMETER_FILE);
    EXPECT_EQ(set.get_error_other_info(), at("img.raw"));

    fs::remove(at("img.sml"));
    ASSERT_EQ(set.readFile(at("img.sml"), false), 1);  // the legacy header of the base
    EXPECT_EQ(set["NrOfLinesPerImage"].getInteger(), 99);
    EXPECT_EQ(set.get_error_code(), ORBS_EC_FILE_NOT_FOUND);  // no [ChannelInfo] in it
    EXPECT_EQ(set.get_error_other_info(), "ChannelInfo");
    EXPECT_EQ(raisedCode([&] { set.readFile(at("img_hdr"), true); }), ORBS_EC_FILE_NOT_FOUND);
}

TEST_F(ParameterFileRead, ReadFileOfAnOtherNameRewritesTheDefaultedPolarization) {
    fs::copy_file(data("loose_layout.sml"), at("meta.xml"));
    CSectionDataGroup set;
    shapeChannelSet(set);
    ASSERT_EQ(set.readFile(at("meta.xml"), true), 1);
    EXPECT_EQ(set["Polarization"].getString(), "HH");
    EXPECT_NE(readFile(at("meta.xml")).find("<Polarization>HH</Polarization>"), std::string::npos);

    const std::string rewritten = readFile(at("meta.xml"));
    ASSERT_EQ(set.readFile(at("meta.xml"), true), 1);  // nothing to default any more
    EXPECT_EQ(readFile(at("meta.xml")), rewritten);
}
