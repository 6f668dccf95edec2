// Loading the process-wide general parameters from a command's set, and the
// getters that answer them.
#include <gtest/gtest.h>

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

// The members, and the getters, in one order for whole-object comparisons.
auto members(const CGeneralParameters& p) {
    return std::tuple(p.m_doppler_rg_poly_degree, p.m_doppler_az_poly_degree, p.m_doppler_az_poly_number,
                      p.m_delete_temporary_files, p.m_insert_geo_points_flag, p.m_max_incidence_angle_diff_in_a_swath,
                      p.m_make_tiff, p.m_quick_look_tiff, p.m_quick_look_png, p.m_saturation_default,
                      p.m_geocode_scene_limit_increment, p.m_verbose_bar, p.m_verbose_step, p.m_orbiscan_trace_level,
                      p.m_rename_the_file_using_parameters_flag, p.m_opencl_platform_id, p.m_opencl_device_id);
}
auto getters() {
    using namespace NorvikCore;
    return std::tuple(get_doppler_rg_poly_degree(), get_doppler_az_poly_degree(), get_doppler_az_poly_number(),
                      get_delete_temporary_files(), get_insert_geo_points_flag(),
                      get_max_incidence_angle_diff_in_a_swath(), get_make_tiff(), get_quick_look_tiff(),
                      get_quick_look_png(), get_saturation_default(), get_geocode_scene_limit_increment(),
                      get_verbose_bar(), get_verbose_step(), get_general_trace_level(),
                      get_rename_the_file_using_parameters_flag(), get_opencl_platform_id(), get_opencl_device_id());
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

TEST_F(GeneralParametersTest, ValuesOfAUsedSectionAndTheGetters) {
    // Without a loaded object each getter has its own default, which differs
    // from the loader's in places; an object not loaded is not asked.
    auto unloaded = std::make_unique<CGeneralParameters>();
    unloaded->m_opencl_device_id = 4;
    NorvikCore::set_generals_par_ptr(std::move(unloaded));
    EXPECT_EQ(getters(), std::tuple(2, 1, 250, true, true, 1.5, false, true, true, 0.333, 8000.0, false, false, 10,
                                    false, -1, -1));

    useGeneralSection("notok");
    const std::pair<const char*, int> integers[] = {{"doppler_rg_poly_degree", 3}, {"doppler_az_poly_degree", 4},
                                                    {"doppler_az_poly_number", 5}, {"orbiscan_trace_level", 6},
                                                    {"opencl_platform_id", 1},     {"opencl_device_id", 2}};
    for (const auto& [field, value] : integers) mSet.setValue(key(field), value);
    mSet.setValue(key("max_incidence_angle_diff_in_a_swath"), 2.5);
    mSet.setValue(key("geocode_scene_limit_increment"), 100.5);
    const std::pair<const char*, const char*> texts[] = {
        {"insert_geo_points_flag", "NotOK"}, {"make_tiff", ""},
        {"quick_look_format", "png+tiff"},   {"verbose_bar", "OK"},
        {"verbose_step", "NotOK"},           {"rename_the_file_using_parameters_flag", "yes"}};
    for (const auto& [field, value] : texts) mSet.setValue(key(field), std::string(value));
    auto loaded = std::make_unique<CGeneralParameters>(load());
    // "notok" is not exactly "NotOK": temporary files are deleted.
    const auto expected =
        std::tuple(3, 4, 5, true, false, 2.5, true, true, true, 0.5, 100.5, true, false, 6, true, 1, 2);
    EXPECT_EQ(members(*loaded), expected);
    EXPECT_EQ(NorvikCore::get_trace_level(), 6);  // the process takes the loaded level
    NorvikCore::set_generals_par_ptr(std::move(loaded));
    EXPECT_EQ(getters(), expected);
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
    for (const char* text : {"NOTOK", "NotOk", "NotOK ", " NotOK", ""}) {
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
