// Loading the process-wide general parameters from a command's set, and the
// getters that answer them.
#include <gtest/gtest.h>

#include <tuple>

#include "orbs_general_parameters.h"
#include "test_parameter_file_support.h"

namespace orbs_test {
namespace {

std::string key(const char* field) { return std::string("GENERAL_PARAMETERS_CMD.") + field; }

class GeneralParametersTest : public ParameterSetTest {
protected:
    // The section as the command schemas describe it, every field unset.
    void shapeGeneralSection() {
        const int I = CORBS_DS_INTEGER, D = CORBS_DS_DOUBLE, S = CORBS_DS_STRING, one = CORBS_DS_SCALAR;
        addSection(mSet, "GENERAL_PARAMETERS_CMD",
                   {{"doppler_rg_poly_degree", one, I}, {"doppler_az_poly_degree", one, I},
                    {"doppler_az_poly_number", one, I}, {"delete_temporary_files", one, S},
                    {"insert_geo_points_flag", one, S}, {"max_incidence_angle_diff_in_a_swath", one, D},
                    {"make_tiff", one, S}, {"quick_look_format", one, S}, {"saturation_default", one, D},
                    {"geocode_scene_limit_increment", one, D}, {"verbose_bar", one, S}, {"verbose_step", one, S},
                    {"orbiscan_trace_level", one, I}, {"rename_the_file_using_parameters_flag", one, S},
                    {"opencl_platform_id", one, I}, {"opencl_device_id", one, I}});
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

// The members in table order, for whole-object comparisons.
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
    addSection(mSet, "MAIN_TEST_CMD", {{"output_folder", CORBS_DS_SCALAR, CORBS_DS_STRING}});
    EXPECT_EQ(members(load()), kSectionAbsent);
    EXPECT_EQ(NorvikCore::get_trace_level(), 10);

    // Without "delete_temporary_files" the section is not used at all, and
    // its mandatory fields are not asked for.
    shapeGeneralSection();
    mSet.setValue(key("orbiscan_trace_level"), 3);
    mSet.setValue(key("geocode_scene_limit_increment"), 100.0);
    mSet.setValue(key("quick_look_format"), std::string("png"));
    NorvikCore::set_trace_level(0);
    EXPECT_EQ(members(load()), kSectionAbsent);
    EXPECT_EQ(NorvikCore::get_trace_level(), 10);
}

TEST_F(GeneralParametersTest, UnsetFieldsOfAUsedSection) {
    useGeneralSection();
    CGeneralParameters p;
    p.m_doppler_rg_poly_degree = 7;  // the Doppler settings stay as they were
    p.m_doppler_az_poly_degree = 8;
    p.m_doppler_az_poly_number = 9;
    p.load(mSet);
    EXPECT_EQ(members(p),
              std::tuple(7, 8, 9, true, false, 1.5, false, true, false, 0.5, -8000.0, false, false, 10, false, -1, -1));
}

TEST_F(GeneralParametersTest, ValuesOfAUsedSection) {
    useGeneralSection("notok");
    const std::pair<const char*, int> integers[] = {{"doppler_rg_poly_degree", 3}, {"doppler_az_poly_degree", 4},
                                                    {"doppler_az_poly_number", 5}, {"orbiscan_trace_level", 3},
                                                    {"opencl_platform_id", 1},     {"opencl_device_id", 2}};
    for (const auto& [field, value] : integers) mSet.setValue(key(field), value);
    mSet.setValue(key("max_incidence_angle_diff_in_a_swath"), 2.5);
    mSet.setValue(key("geocode_scene_limit_increment"), 100.5);
    const std::pair<const char*, const char*> texts[] = {
        {"insert_geo_points_flag", "NotOK"}, {"make_tiff", ""},
        {"quick_look_format", "png+tiff"},   {"verbose_bar", "OK"},
        {"verbose_step", "NotOK"},           {"rename_the_file_using_parameters_flag", "yes"}};
    for (const auto& [field, value] : texts) mSet.setValue(key(field), std::string(value));
    captureTrace(10);
    // "notok" is not exactly "NotOK": temporary files are deleted.
    EXPECT_EQ(members(load()),
              std::tuple(3, 4, 5, true, false, 2.5, true, true, true, 0.5, 100.5, true, false, 3, true, 1, 2));
    EXPECT_NE(trace().find("this->max_incidence_angle_diff_in_a_swath : 2.5"), std::string::npos);
    EXPECT_EQ(NorvikCore::get_trace_level(), 3);  // the process takes the loaded level
}

TEST_F(GeneralParametersTest, FlagAndFormatTexts) {
    useGeneralSection();
    for (const char* text : {"NOTOK", "NotOk", "NotOK ", " NotOK", ""}) {
        mSet.setValue(key("delete_temporary_files"), std::string(text));
        EXPECT_TRUE(load().m_delete_temporary_files) << '"' << text << '"';
    }
    mSet.setValue(key("delete_temporary_files"), std::string("NotOK"));
    EXPECT_FALSE(load().m_delete_temporary_files);
    // The formats are named in lower case; anything else selects neither.
    mSet.setValue(key("quick_look_format"), std::string("PNG TIFF"));
    const CGeneralParameters p = load();
    EXPECT_FALSE(p.m_quick_look_tiff || p.m_quick_look_png);
}

TEST_F(GeneralParametersTest, UnsetMandatoryFieldsRaise) {
    useGeneralSection();
    mSet["GENERAL_PARAMETERS_CMD.make_tiff"].clearValue();
    CGeneralParameters p;
    EXPECT_EQ(raisedCode([&] { p.load(mSet); }), ORBS_EC_FIELD_NOT_SET);
    mSet.setValue(key("make_tiff"), std::string("OK"));
    mSet["GENERAL_PARAMETERS_CMD.saturation_default"].clearValue();
    EXPECT_EQ(raisedCode([&] { p.load(mSet); }), ORBS_EC_FIELD_NOT_SET);
}

TEST_F(GeneralParametersTest, GettersWithAndWithoutLoadedObject) {
    EXPECT_EQ(NorvikCore::get_opencl_device_id(), -1);
    EXPECT_EQ(NorvikCore::get_doppler_rg_poly_degree(), 2);
    EXPECT_EQ(NorvikCore::get_doppler_az_poly_degree(), 1);
    EXPECT_EQ(NorvikCore::get_doppler_az_poly_number(), 250);
    EXPECT_FALSE(NorvikCore::get_make_tiff());
    EXPECT_TRUE(NorvikCore::get_quick_look_tiff());
    EXPECT_FALSE(NorvikCore::get_rename_the_file_using_parameters_flag());
    EXPECT_DOUBLE_EQ(NorvikCore::get_max_incidence_angle_diff_in_a_swath(), 1.5);
    EXPECT_FALSE(NorvikCore::get_verbose_bar() || NorvikCore::get_verbose_step());

    // A loaded object answers its own values, also where the loader's
    // defaults differ from the getters' defaults.
    useGeneralSection("NotOK");
    mSet.setValue(key("opencl_device_id"), 4);
    auto loaded = std::make_unique<CGeneralParameters>();
    loaded->load(mSet);
    NorvikCore::set_generals_par_ptr(std::move(loaded));
    EXPECT_FALSE(NorvikCore::get_delete_temporary_files());
    EXPECT_FALSE(NorvikCore::get_insert_geo_points_flag());
    EXPECT_FALSE(NorvikCore::get_quick_look_png());
    EXPECT_DOUBLE_EQ(NorvikCore::get_saturation_default(), 0.5);
    EXPECT_DOUBLE_EQ(NorvikCore::get_geocode_scene_limit_increment(), -8000.0);
    EXPECT_EQ(NorvikCore::get_opencl_device_id(), 4);
}

}  // namespace
}  // namespace orbs_test
