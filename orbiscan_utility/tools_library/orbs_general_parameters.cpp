// Getters of the general parameters with their defaults without object.
#include "orbs_general_parameters.h"

#include "orbs_utility_global_vars.h"

namespace {

// The loaded object, or none.  Only a loaded object answers.
const CGeneralParameters* loaded() {
    const CGeneralParameters* p = NorvikCore::get_generals_par_ptr();
    return (p != nullptr && p->m_loaded) ? p : nullptr;
}

template <typename T, typename Member>
T answer(Member member, T fallback) {
    const CGeneralParameters* p = loaded();
    return p ? p->*member : fallback;
}

}  // namespace

namespace NorvikCore {

int get_opencl_platform_id() { return answer(&CGeneralParameters::m_opencl_platform_id, -1); }
int get_opencl_device_id() { return answer(&CGeneralParameters::m_opencl_device_id, -1); }
double get_geocode_scene_limit_increment() {
    return answer(&CGeneralParameters::m_geocode_scene_limit_increment, 8000.0);
}
int get_doppler_rg_poly_degree() { return answer(&CGeneralParameters::m_doppler_rg_poly_degree, 2); }
int get_doppler_az_poly_degree() { return answer(&CGeneralParameters::m_doppler_az_poly_degree, 1); }
int get_doppler_az_poly_number() { return answer(&CGeneralParameters::m_doppler_az_poly_number, 250); }
bool get_delete_temporary_files() { return answer(&CGeneralParameters::m_delete_temporary_files, true); }
// The defaults without object differ on purpose from the loader's
// section-absent values (true, true, 0.333): callers rely on each getter's own.
bool get_insert_geo_points_flag() { return answer(&CGeneralParameters::m_insert_geo_points_flag, true); }
bool get_make_tiff() { return answer(&CGeneralParameters::m_make_tiff, false); }
bool get_quick_look_tiff() { return answer(&CGeneralParameters::m_quick_look_tiff, true); }
bool get_quick_look_png() { return answer(&CGeneralParameters::m_quick_look_png, true); }
double get_saturation_default() { return answer(&CGeneralParameters::m_saturation_default, 0.333); }
int get_general_trace_level() { return answer(&CGeneralParameters::m_orbiscan_trace_level, 10); }
bool get_rename_the_file_using_parameters_flag() {
    return answer(&CGeneralParameters::m_rename_the_file_using_parameters_flag, false);
}
double get_max_incidence_angle_diff_in_a_swath() {
    return answer(&CGeneralParameters::m_max_incidence_angle_diff_in_a_swath, 1.5);
}
bool get_verbose_bar() { return answer(&CGeneralParameters::m_verbose_bar, false); }
bool get_verbose_step() { return answer(&CGeneralParameters::m_verbose_step, false); }

}  // namespace NorvikCore
