// Parameter sets in memory: lookup, field state, reads, writes and the
// non-raising group access.
#include <cmath>
#include <functional>

#include "test_parameter_file_support.h"

using namespace orbs_test;

namespace {

class SectionModel : public ParameterSetTest {
protected:
    void SetUp() override {
        ParameterSetTest::SetUp();
        addSection(mSet, "Processing", {{"NrOfLinesPerImage", S, I}});
        addSection(mSet, "RasterInfo",
                   {{"NrOfLinesPerImage", S, I}, {"CellType", S, T}, {"Ratio", S, D}, {"BandName", V, T},
                    {"Levels", V, D}, {"PulseDuration", V, D}, {"Grid", M, I}, {"OtherInfo", M, T}});
        mSet["Processing.NrOfLinesPerImage"].setValue(1);
        mSet["RasterInfo.NrOfLinesPerImage"].setValue(2);
    }
    CSectionDataGroup mSet;
};

}  // namespace

TEST_F(SectionModel, KeysNameTheSectionOrSearchEverySection) {
    EXPECT_EQ(mSet["RasterInfo.NrOfLinesPerImage"].getInteger(), 2);
    EXPECT_EQ(mSet["NrOfLinesPerImage"].getInteger(), 1);  // first section that has it
    EXPECT_EQ(mSet.findField("RasterInfo.Missing"), nullptr);
    EXPECT_EQ(mSet.findField("NoSection.CellType"), nullptr);
    EXPECT_EQ(mSet.findField("rasterinfo.CellType"), nullptr);  // exact, case-sensitive

    const std::string raised = raisedBy([&] { mSet["RasterInfo.Missing"]; });
    const std::string where = std::to_string(ORBS_EC_FIELD_NOT_FOUND) + "@tools_library/orbs_description_section:";
    EXPECT_TRUE(raised.starts_with(where) && raised.ends_with(":RasterInfo.Missing")) << raised;
    EXPECT_EQ(raisedCode([&] { mSet.getSection(0)->getField("CellType"); }), ORBS_EC_FIELD_NOT_FOUND);
}

TEST_F(SectionModel, NewFieldsAreUnsetAndVectorsNeedDimensions) {
    CSectionField& bands = mSet["BandName"];
    EXPECT_FALSE(mSet["CellType"].isInitField(true));
    EXPECT_FALSE(bands.isInitField(true));
    EXPECT_EQ(bands.setValue(0, std::string("HH")), 0);  // no tables yet

    ASSERT_EQ(bands.setDimension(1, 3), 1);
    EXPECT_TRUE(bands.isInitField(true));  // dimensioned counts as holding a value
    EXPECT_EQ(raisedCode([&] { bands.getString(0); }), ORBS_EC_FIELD_NOT_SET);
    mSet["Levels"].setDimension(1, 3);
    EXPECT_EQ(mSet["Levels"].getDouble(0), 0.0);

    bands.setValue(1, std::string("HV"));
    EXPECT_EQ(bands.getString(1), "HV");
    bands.clearValue(1);
    EXPECT_EQ(raisedCode([&] { bands.getString(1); }), ORBS_EC_FIELD_NOT_SET);
}

// Reads and writes raise on an unset value, a wrong data type or shape and
// an index out of range; number reads with a flag answer a missing value.
TEST_F(SectionModel, FieldReadsAndWritesCheckTypeShapeAndRange) {
    CSectionField& ratio = mSet["Ratio"];
    CSectionField& levels = mSet["Levels"];
    CSectionField& grid = mSet["Grid"];
    CSectionField& lines = mSet["RasterInfo.NrOfLinesPerImage"];
    levels.setDimension(1, 5);
    grid.setDimension(2, 3);
    mSet["OtherInfo"].setDimension(1, 2);
    bool found = true;
    const std::pair<std::function<void()>, int> raises[] = {
        {[&] { ratio.getDouble(); }, ORBS_EC_FIELD_NOT_SET},
        {[&] { mSet["CellType"].getString(&found); }, ORBS_EC_FIELD_NOT_SET},  // texts always raise
        {[&] { ratio.getInteger(); }, ORBS_EC_DATA_TYPE},
        {[&] { levels.getDouble(&found); }, ORBS_EC_DATA_TYPE},  // a wrong shape raises even with a flag
        {[&] { levels.getDouble(5, &found); }, ORBS_EC_INDEX_OUT_OF_RANGE},
        {[&] { lines.getInteger(1); }, ORBS_EC_DATA_TYPE},  // numbers accept index 0 on a scalar, texts do not
        {[&] { mSet["CellType"].setValue(std::string("FLOAT")); mSet["CellType"].getString(0); }, ORBS_EC_DATA_TYPE},
        {[&] { grid.getInteger(2, 0); }, ORBS_EC_INDEX_OUT_OF_RANGE},
        {[&] { grid.getInteger(0, 3); }, ORBS_EC_INDEX_OUT_OF_RANGE},
        {[&] { mSet["OtherInfo"].getString(1, 0); }, ORBS_EC_FIELD_NOT_SET},
        {[&] { grid.setValue(0, 0, 1.5); }, ORBS_EC_DATA_TYPE},
        {[&] { grid.setValue(2, 0, 1); }, ORBS_EC_INDEX_OUT_OF_RANGE},
        {[&] { grid.setValue(0, 3, 1); }, ORBS_EC_INDEX_OUT_OF_RANGE}};
    for (std::size_t i = 0; i < std::size(raises); ++i) EXPECT_EQ(raisedCode(raises[i].first), raises[i].second) << i;

    EXPECT_TRUE(std::isnan(ratio.getDouble(&found)));
    EXPECT_FALSE(found);
    found = true;
    EXPECT_EQ(ratio.getInteger(&found), CORBS_MISSING_INT);  // wrong data type: the flag turns the raise into this
    EXPECT_FALSE(found);
    levels.setValue(4, 2.5);
    EXPECT_EQ(levels.getDouble(4), 2.5);
    EXPECT_EQ(lines.getInteger(0), 2);
    EXPECT_EQ(grid.setValue(1, 2, 42), 1);
    EXPECT_EQ(grid.getInteger(1, 2), 42);
    EXPECT_TRUE(grid.isElementSet(1, 2) && !grid.isElementSet(0, 2));
    grid.setDimension(1, 1);  // re-dimensioning discards the values
    EXPECT_FALSE(grid.isElementSet(0, 0));

    CSectionField& type = mSet["CellType"];
    // A text holding the empty-text mark anywhere is the empty text.
    for (const char* text : {"&quot;&quot;", "a&quot;&quot;b"}) {
        type.setValue(std::string(text));
        EXPECT_TRUE(type.isInitField());
        EXPECT_EQ(type.getString(), "") << text;
    }
    type.setValue(std::string("&quot;x&quot;"));
    EXPECT_EQ(type.getString(), "&quot;x&quot;");
}

// Every group read and write records the code of its failure instead of
// raising, and a success clears it.
TEST_F(SectionModel, GroupAccessRecordsFailuresWithoutRaising) {
    bool found = true;
    mSet["CellType"].setValue(std::string("FLOAT"));
    mSet["Levels"].setDimension(1, 2);
    mSet["PulseDuration"].setDimension(1, 2);
    EXPECT_TRUE(std::isnan(mSet.getDouble("RasterInfo.CellType", &found)));
    EXPECT_FALSE(found);
    EXPECT_EQ(mSet.get_error_code(), ORBS_EC_DATA_TYPE);
    EXPECT_EQ(mSet.get_error_other_info(), "RasterInfo.CellType");
    const std::pair<std::function<bool()>, int> failures[] = {
        {[&] { return mSet.getInteger("RasterInfo.Nothing", &found) == CORBS_MISSING_INT; }, ORBS_EC_FIELD_NOT_FOUND},
        {[&] { return mSet.getString("Ratio").empty(); }, ORBS_EC_DATA_TYPE},
        {[&] { return std::isnan(mSet.getDouble("Ratio", &found)); }, ORBS_EC_FIELD_NOT_SET},
        {[&] { return mSet.getString("CellType", 0).empty(); }, ORBS_EC_DATA_TYPE},  // a text needs a vector
        {[&] { return std::isnan(mSet.getDouble("Levels", 2, &found)); }, ORBS_EC_INDEX_OUT_OF_RANGE},
        {[&] { return mSet.getInteger("Grid", 0, 0) == CORBS_MISSING_INT; }, ORBS_EC_INDEX_OUT_OF_RANGE},
        {[&] { return mSet.setValue("BandName", 0, std::string("HH")) == 0; }, ORBS_EC_NO_FLAG_TABLE},
        {[&] { return mSet.setValue("Ratio", 3) == 0; }, ORBS_EC_DATA_TYPE},
        {[&] { return mSet.setValue("Levels", 0, 5, 1.0) == 0; }, ORBS_EC_INDEX_OUT_OF_RANGE}};
    for (std::size_t i = 0; i < std::size(failures); ++i) {
        EXPECT_TRUE(failures[i].first()) << i;
        EXPECT_EQ(mSet.get_error_code(), failures[i].second) << i;
    }
    EXPECT_EQ(mSet.getDouble("RasterInfo.PulseDuration", 2, &found), -9999.0);  // by name, past its end
    EXPECT_TRUE(found);
    EXPECT_EQ(mSet.setValue("Ratio", 0.5), 1);
    EXPECT_EQ(mSet.get_error_code(), 0);
    EXPECT_EQ(mSet.getDouble("Ratio", &found), 0.5);
}
