// Process-wide options of the section GENERAL_PARAMETERS_CMD.  The object is
// loaded once from the first command parameter set of the process and held
// by the core environment; the NorvikCore getters answer fixed defaults
// while no object is loaded.
#pragma once

class CSectionDataGroup;

class CGeneralParameters {
public:
    // Fills the object from a command's parameter set; returns 1.  With the
    // section present, unset "make_tiff" or "saturation_default" raise 130005.
    int load(CSectionDataGroup& set);

    int m_doppler_rg_poly_degree = 2;
    int m_doppler_az_poly_degree = 1;
    int m_doppler_az_poly_number = 250;
    bool m_delete_temporary_files = true;
    bool m_insert_geo_points_flag = false;
    double m_max_incidence_angle_diff_in_a_swath = 1.5;
    bool m_make_tiff = false;
    bool m_quick_look_tiff = false;
    bool m_quick_look_png = false;
    double m_saturation_default = 0.33;
    double m_geocode_scene_limit_increment = 8000.0;
    bool m_verbose_bar = false;
    bool m_verbose_step = false;
    int m_orbiscan_trace_level = 10;
    bool m_rename_the_file_using_parameters_flag = false;
    int m_opencl_platform_id = -1;
    int m_opencl_device_id = -1;
    bool m_loaded = false;
};

namespace NorvikCore {

// Each getter answers its own default while no general parameters are loaded.
int get_opencl_platform_id();
int get_opencl_device_id();
double get_geocode_scene_limit_increment();
int get_doppler_rg_poly_degree();
int get_doppler_az_poly_degree();
int get_doppler_az_poly_number();
bool get_delete_temporary_files();
bool get_insert_geo_points_flag();
bool get_make_tiff();
bool get_quick_look_tiff();
bool get_quick_look_png();
double get_saturation_default();
int get_general_trace_level();
bool get_rename_the_file_using_parameters_flag();
double get_max_incidence_angle_diff_in_a_swath();
bool get_verbose_bar();
bool get_verbose_step();

}  // namespace NorvikCore
