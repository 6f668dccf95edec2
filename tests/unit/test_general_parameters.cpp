// Loading the process-wide general parameters from a command's set.
#include <tuple>

#include "orbs_general_parameters.h"
#include "orbs_init_from_xml_schema.h"
#include "test_parameter_file_support.h"

namespace orbs_test {
namespace {

std::string key(const char* field) { return std::string("GENERAL_PARAMETERS_CMD.") + field; }

class GeneralParametersTest : public ParameterSetTest {
protected:
    // The section as the shipped command schema describes it, every field
    // unset: a field the loader reads with another data type would raise.
    void shapeGeneralSection() {
        const std::string root = "PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD";
        CSectionDataGroupDescription description;
        ASSERT_EQ(description.init(std::string(ORBS_SOURCE_DIR) + "/auxiliary/xml_schema_files/" + root + ".xsd", root),
                  1);
        mSet.addSection(buildSection(*description.getSection("GENERAL_PARAMETERS_CMD")));
    }
    // The section in use: the three fields it cannot do without.
    void useGeneralSection(const std::string& deleteFlag = "OK") {
        shapeGeneralSection();
        mSet.setValue(key("delete_temporary_files"), deleteFlag);
        mSet.setValue(key("make_tiff"), std::string("NotOK"));
        mSet.setValue(key("saturation_default"), 0.5);
    }
    CGeneralParameters load() {
        CGeneralParameters parameters;
        EXPECT_EQ(parameters.load(mSet), 1);
        EXPECT_TRUE(parameters.m_loaded);
        return parameters;
    }
    CSectionDataGroup mSet;
};

// The members in one order for whole-object comparisons.
auto members(const CGeneralParameters& p) {
    return std::tuple(p.m_doppler_rg_poly_degree, p.m_doppler_az_poly_degree, p.m_doppler_az_poly_number,
                      p.m_delete_temporary_files, p.m_insert_geo_points_flag, p.m_max_incidence_angle_diff_in_a_swath,
                      p.m_make_tiff, p.m_quick_look_tiff, p.m_quick_look_png, p.m_saturation_default,
                      p.m_geocode_scene_limit_increment, p.m_verbose_bar, p.m_verbose_step, p.m_orbiscan_trace_level,
                      p.m_rename_the_file_using_parameters_flag, p.m_opencl_platform_id, p.m_opencl_device_id);
}
const auto kSectionAbsent =
    std::tuple(2, 1, 250, true, false, 1.5, false, false, false, 0.33, 8000.0, false, false, 10, false, -1, -1);

TEST_F(GeneralParametersTest, SectionAbsentOrUnusedGivesTheDefaults) {
    addSection(mSet, "MAIN_TEST_CMD", {{"output_folder", S, T}});
    EXPECT_EQ(members(load()), kSectionAbsent);
    EXPECT_EQ(NorvikCore::get_trace_level(), 10);

    // Without "delete_temporary_files" the section is not used at all, and
    // its mandatory fields are not asked for.
    shapeGeneralSection();
    mSet.setValue(key("orbiscan_trace_level"), 3);
    mSet.setValue(key("quick_look_format"), std::string("png"));
    NorvikCore::set_trace_level(0);
    EXPECT_EQ(members(load()), kSectionAbsent);
    EXPECT_EQ(NorvikCore::get_trace_level(), 10);
}

TEST_F(GeneralParametersTest, UnsetFieldsFlagTextsAndMandatoryFieldsOfAUsedSection) {
    useGeneralSection();
    CGeneralParameters p;
    p.m_doppler_rg_poly_degree = 7;  // the Doppler settings stay as they were
    p.m_doppler_az_poly_degree = 8;
    p.m_doppler_az_poly_number = 9;
    p.load(mSet);
    EXPECT_EQ(members(p),
              std::tuple(7, 8, 9, true, false, 1.5, false, true, false, 0.5, -8000.0, false, false, 10, false, -1, -1));

    // Only "NotOK" itself keeps the temporary files; formats are named in lower case.
    for (const char* text : {"NOTOK", "NotOK ", ""}) {
        mSet.setValue(key("delete_temporary_files"), std::string(text));
        EXPECT_TRUE(load().m_delete_temporary_files) << '"' << text << '"';
    }
    mSet.setValue(key("delete_temporary_files"), std::string("NotOK"));
    mSet.setValue(key("quick_look_format"), std::string("PNG TIFF"));
    const CGeneralParameters loaded = load();
    EXPECT_FALSE(loaded.m_delete_temporary_files || loaded.m_quick_look_tiff || loaded.m_quick_look_png);

    mSet["GENERAL_PARAMETERS_CMD.make_tiff"].clearValue();
    EXPECT_EQ(raisedCode([&] { p.load(mSet); }), ORBS_EC_FIELD_NOT_SET);
    mSet.setValue(key("make_tiff"), std::string("OK"));
    mSet["GENERAL_PARAMETERS_CMD.saturation_default"].clearValue();
    EXPECT_EQ(raisedCode([&] { p.load(mSet); }), ORBS_EC_FIELD_NOT_SET);
}

}  // namespace
}  // namespace orbs_test
