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
    EXPECT_EQ(mSet.getSection("RasterInfo"), mSet.getSection(1));
    EXPECT_EQ(mSet.getSection(2), nullptr);
    EXPECT_EQ(raisedCode([&] { mSet.getSection(0)->getField("CellType"); }), ORBS_EC_FIELD_NOT_FOUND);
}

TEST_F(SectionModel, NewFieldsAreUnsetAndVectorsNeedDimensions) {
    CSectionField& bands = mSet["BandName"];
    EXPECT_FALSE(mSet["CellType"].isInitField(true));
    EXPECT_FALSE(bands.isInitField(true));
    EXPECT_EQ(bands.setValue(0, std::string("HH")), 0);  // no tables yet
    EXPECT_EQ(mSet["CellType"].setDimension(2, 2), 0);   // a scalar is not re-dimensioned

    ASSERT_EQ(bands.setDimension(1, 3), 1);
    EXPECT_TRUE(bands.isInitField(true));  // dimensioned counts as holding a value
    EXPECT_EQ(raisedCode([&] { bands.getString(0); }), ORBS_EC_FIELD_NOT_SET);
    mSet["Levels"].setDimension(1, 3);
    EXPECT_EQ(mSet["Levels"].getDouble(0), 0.0);

    bands.setValue(1, std::string("HV"));
    EXPECT_EQ(bands.getString(1), "HV");
    EXPECT_EQ(bands.getAppendedNbr(), 2);
    bands.clearValue(1);
    EXPECT_EQ(raisedCode([&] { bands.getString(1); }), ORBS_EC_FIELD_NOT_SET);

    bands.clearAll();
    EXPECT_FALSE(bands.isInitField(false));
    EXPECT_EQ(bands.getColNbr(), 0);
}

TEST_F(SectionModel, ScalarReadsRaiseOrAnswerMissingValues) {
    CSectionField& ratio = mSet["Ratio"];
    bool found = true;
    EXPECT_EQ(raisedCode([&] { ratio.getDouble(); }), ORBS_EC_FIELD_NOT_SET);
    EXPECT_TRUE(std::isnan(ratio.getDouble(&found)));
    EXPECT_FALSE(found);
    EXPECT_EQ(raisedCode([&] { mSet["CellType"].getString(&found); }), ORBS_EC_FIELD_NOT_SET);  // texts always raise

    // Wrong data type: the flag turns the raise into a missing value.
    EXPECT_EQ(raisedCode([&] { ratio.getInteger(); }), ORBS_EC_DATA_TYPE);
    EXPECT_EQ(ratio.getInteger(&found), CORBS_MISSING_INT);
    EXPECT_FALSE(found);
    // Wrong shape raises even with a flag.
    mSet["Levels"].setDimension(1, 2);
    EXPECT_EQ(raisedCode([&] { mSet["Levels"].getDouble(&found); }), ORBS_EC_DATA_TYPE);
}

TEST_F(SectionModel, IndexedAndMatrixReadsCheckTheirRange) {
    CSectionField& levels = mSet["Levels"];
    levels.setDimension(1, 5);
    levels.setValue(4, 2.5);
    bool found = false;
    EXPECT_EQ(levels.getDouble(4), 2.5);
    EXPECT_EQ(raisedCode([&] { levels.getDouble(5, &found); }), ORBS_EC_INDEX_OUT_OF_RANGE);
    mSet["PulseDuration"].setDimension(1, 5);
    EXPECT_EQ(mSet["PulseDuration"].getDouble(5), -9999.0);  // by name, past its end

    // Numbers accept index 0 on a scalar, texts and larger indexes do not.
    EXPECT_EQ(mSet["RasterInfo.NrOfLinesPerImage"].getInteger(0), 2);
    EXPECT_EQ(raisedCode([&] { mSet["RasterInfo.NrOfLinesPerImage"].getInteger(1); }), ORBS_EC_DATA_TYPE);
    mSet["CellType"].setValue(std::string("FLOAT"));
    EXPECT_EQ(raisedCode([&] { mSet["CellType"].getString(0); }), ORBS_EC_DATA_TYPE);
    EXPECT_EQ(raisedCode([&] { mSet["BandName"].getString(0); }), ORBS_EC_FIELD_NOT_SET);  // no elements

    CSectionField& grid = mSet["Grid"];
    grid.setDimension(2, 3);
    grid.setValue(1, 2, 42);
    EXPECT_EQ(grid.getInteger(1, 2), 42);
    EXPECT_EQ(raisedCode([&] { grid.getInteger(2, 0); }), ORBS_EC_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(raisedCode([&] { grid.getInteger(0, 3); }), ORBS_EC_INDEX_OUT_OF_RANGE);
    mSet["OtherInfo"].setDimension(1, 2);
    EXPECT_EQ(raisedCode([&] { mSet["OtherInfo"].getString(1, 0); }), ORBS_EC_FIELD_NOT_SET);
}

TEST_F(SectionModel, WritesCheckTypeAndRangeAndKeepTheEmptyTextRule) {
    CSectionField& grid = mSet["Grid"];
    grid.setDimension(2, 2);
    EXPECT_EQ(raisedCode([&] { grid.setValue(0, 0, 1.5); }), ORBS_EC_DATA_TYPE);
    EXPECT_EQ(raisedCode([&] { grid.setValue(2, 0, 1); }), ORBS_EC_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(raisedCode([&] { grid.setValue(0, 2, 1); }), ORBS_EC_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(grid.setValue(1, 1, 7), 1);
    EXPECT_TRUE(grid.isElementSet(1, 1) && !grid.isElementSet(0, 1));

    CSectionField& type = mSet["CellType"];
    // A text holding the empty-text mark anywhere is the empty text.
    for (const char* text : {"&quot;&quot;", "a&quot;&quot;b"}) {
        type.setValue(std::string(text));
        EXPECT_TRUE(type.isInitField());
        EXPECT_EQ(type.getString(), "") << text;
    }
    type.setValue(std::string("&quot;x&quot;"));
    EXPECT_EQ(type.getString(), "&quot;x&quot;");

    grid.setDimension(1, 1);  // re-dimensioning discards the values
    EXPECT_FALSE(grid.isElementSet(0, 0));
}

TEST_F(SectionModel, MultipleFieldsListTheirSubFieldsFlat) {
    CSectionData& sensor = addSection(mSet, "Sensor", {{"Name", S, T}});
    addMultiple(sensor, "Pair", S, I, {"first", "second"});
    addMultiple(sensor, "Track", V, D, {"lat", "lon"});
    ASSERT_EQ(sensor.getFieldsNbr(), 7);
    EXPECT_EQ(sensor.getField(5)->getParentIndex(), 4);
    EXPECT_EQ(sensor.getField(7), nullptr);

    CSectionField& pair = mSet["Sensor.Pair"];
    EXPECT_EQ(pair.getSubFieldsNbr(), 2);
    EXPECT_EQ(pair.getSubField(2), nullptr);
    mSet["Sensor.first"].setValue(1);
    EXPECT_FALSE(pair.isInitField());  // every sub-field must be set
    mSet["second"].setValue(2);
    EXPECT_TRUE(pair.isInitField());

    CSectionField& track = mSet["Sensor.Track"];
    mSet["lat"].setDimension(1, 4);
    EXPECT_EQ(track.getElementsNbr(), 4);
    EXPECT_FALSE(track.isInitField());
    mSet["lon"].setDimension(1, 4);
    EXPECT_TRUE(track.isInitField());
    EXPECT_EQ(sensor.getSetFieldsNbr(), 2);

    sensor.clearAll();
    EXPECT_FALSE(pair.isInitField());
    EXPECT_FALSE(track.isInitField());
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
    EXPECT_EQ(mSet.getDouble("RasterInfo.PulseDuration", 2, &found), -9999.0);
    EXPECT_TRUE(found);
    EXPECT_EQ(mSet.setValue("Ratio", 0.5), 1);
    EXPECT_EQ(mSet.get_error_code(), 0);
    EXPECT_EQ(mSet.getDouble("Ratio", &found), 0.5);
}
