// Loading the general parameters from a command's parameter set.
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_general_parameters.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr const char* kSection = "GENERAL_PARAMETERS_CMD";

std::string key(const char* field) { return std::string(kSection) + "." + field; }

// A field of the section that holds a value, or null.
CSectionField* setField(CSectionDataGroup& set, const char* field) {
    CSectionField* found = set.findField(key(field));
    return (found != nullptr && found->isInitField()) ? found : nullptr;
}

// Boolean options are true unless they read exactly "NotOK".
bool flag(const CSectionField& field) { return field.getString() != "NotOK"; }

}  // namespace

int CGeneralParameters::load(CSectionDataGroup& set) {
    m_loaded = false;
    if (set.getSection(kSection) != nullptr && setField(set, "delete_temporary_files") != nullptr) {
        const CSectionField* f = nullptr;
        m_opencl_platform_id = (f = setField(set, "opencl_platform_id")) ? f->getInteger() : -1;
        m_geocode_scene_limit_increment =
            (f = setField(set, "geocode_scene_limit_increment")) ? f->getDouble() : -8000.0;
        m_opencl_device_id = (f = setField(set, "opencl_device_id")) ? f->getInteger() : -1;
        if ((f = setField(set, "doppler_rg_poly_degree"))) m_doppler_rg_poly_degree = f->getInteger();
        if ((f = setField(set, "doppler_az_poly_degree"))) m_doppler_az_poly_degree = f->getInteger();
        if ((f = setField(set, "doppler_az_poly_number"))) m_doppler_az_poly_number = f->getInteger();
        m_delete_temporary_files = flag(*setField(set, "delete_temporary_files"));
        m_insert_geo_points_flag = (f = setField(set, "insert_geo_points_flag")) ? flag(*f) : false;
        m_max_incidence_angle_diff_in_a_swath = 1.5;
        if ((f = setField(set, "max_incidence_angle_diff_in_a_swath"))) {
            m_max_incidence_angle_diff_in_a_swath = f->getDouble();
            if (NorvikCore::get_trace_level() > 9)
                NORBS_ERROR_MANAGER::traceInfo("this->max_incidence_angle_diff_in_a_swath : %g\n",
                                               m_max_incidence_angle_diff_in_a_swath);
        }
        // Mandatory once the section is used: the raising reads end the run
        // with 130005 when they are unset.
        m_make_tiff = set[key("make_tiff")].getString() != "NotOK";
        m_saturation_default = set[key("saturation_default")].getDouble();
        if ((f = setField(set, "quick_look_format"))) {
            const std::string format = f->getString();
            m_quick_look_tiff = format.find("tiff") != std::string::npos;
            m_quick_look_png = format.find("png") != std::string::npos;
        } else {
            m_quick_look_tiff = true;
            m_quick_look_png = false;
        }
        m_orbiscan_trace_level = (f = setField(set, "orbiscan_trace_level")) ? f->getInteger() : 10;
        m_rename_the_file_using_parameters_flag =
            (f = setField(set, "rename_the_file_using_parameters_flag")) ? flag(*f) : false;
        m_verbose_bar = (f = setField(set, "verbose_bar")) ? flag(*f) : false;
        m_verbose_step = (f = setField(set, "verbose_step")) ? flag(*f) : false;
    } else {
        m_doppler_rg_poly_degree = 2;
        m_doppler_az_poly_degree = 1;
        m_doppler_az_poly_number = 250;
        m_delete_temporary_files = true;
        m_insert_geo_points_flag = false;
        m_max_incidence_angle_diff_in_a_swath = 1.5;
        m_make_tiff = false;
        m_quick_look_tiff = false;
        m_quick_look_png = false;
        m_saturation_default = 0.33;
        m_geocode_scene_limit_increment = 8000.0;
        m_verbose_bar = false;
        m_verbose_step = false;
        m_orbiscan_trace_level = 10;
        m_rename_the_file_using_parameters_flag = false;
        m_opencl_platform_id = -1;
        m_opencl_device_id = -1;
    }
    NorvikCore::set_trace_level(m_orbiscan_trace_level);
    m_loaded = true;
    return 1;
}
