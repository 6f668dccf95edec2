// The cartographic system of a raster that has no parameter file, read
// from its own header: the coordinate system of its GeoTIFF keys, named
// with the states of the map files.
//
// Coordinate systems that are one of the map files' families (geographic
// WGS 84, WGS 84 / UTM, ETRS89 / LAEA Europe, the Japanese plane
// rectangular zones) take their names; the others are recognised by their
// projection method, with the method's parameters as the image
// parameters of the system and the ellipsoid among those the map files
// admit for it.  The datum is taken as aligned with WGS 84, as the map
// files' ellipsoids without datum shift are.
#include <proj.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orbs_core_map_utility.h"
#include "orbs_description_section.h"
#include "orbs_raster_header.h"
#include "orbs_raster_interface.h"

namespace {

struct ProjContext {
    PJ_CONTEXT* context = proj_context_create();
    ~ProjContext() { proj_context_destroy(context); }
};
using ProjObject = std::unique_ptr<PJ, decltype(&proj_destroy)>;

// The "CartographicSystem" fields of a system (angles in degrees).
struct CartographicFields {
    std::string state;
    std::string hemisphere;
    std::string zone;
    std::string ellipsoid;
    std::vector<std::pair<std::string, double>> numbers;
};

// First codes of the coordinate system series of the map files.
constexpr int kUtmNorth = 32600;  // WGS 84 / UTM zone n N is 32600 + n
constexpr int kUtmSouth = 32700;
constexpr int kJgd2000 = 2443;    // JGD2000 / Japan Plane Rectangular CS I
constexpr int kJgd2011 = 6669;    // JGD2011 / Japan Plane Rectangular CS I
constexpr std::array<const char*, 19> kJapanZones{"I",   "II",  "III",  "IV", "V",   "VI",   "VII",
                                                  "VIII", "IX", "X",    "XI", "XII", "XIII", "XIV",
                                                  "XV",  "XVI", "XVII", "XVIII", "XIX"};

std::optional<CartographicFields> fieldsOfCode(int code) {
    if (code == 4326) return CartographicFields{CORBS_GEO_GLOBAL, "", "", "", {}};
    if (code > kUtmNorth && code <= kUtmNorth + 60) {
        return CartographicFields{"UTM-GLOBAL", "NORTH", std::to_string(code - kUtmNorth), "", {}};
    }
    if (code > kUtmSouth && code <= kUtmSouth + 60) {
        return CartographicFields{"UTM-GLOBAL", "SOUTH", std::to_string(code - kUtmSouth), "", {}};
    }
    if (code == 3035) return CartographicFields{"ETRS89_LAEA_EUROPE", "", "", "", {}};
    for (const auto& [first, state] : {std::pair{kJgd2000, "JAPAN_JPRC_JGD2000"}, std::pair{kJgd2011, "JAPAN_JPRC_JGD2011"}}) {
        if (code >= first && code < first + static_cast<int>(kJapanZones.size())) {
            return CartographicFields{state, "NORTH", kJapanZones[static_cast<std::size_t>(code - first)], "", {}};
        }
    }
    return std::nullopt;
}

// A projection method (EPSG method code) and the parameters (EPSG
// parameter codes) that give each image parameter; parameter 0 sets the
// field to 0 (a latitude of true scale the state's map file would give
// otherwise).
struct Parameter {
    const char* field;
    int epsg;
};
struct Method {
    int epsg;
    const char* state;
    int poleParameter;  // its sign names the hemisphere; 0 for none
    std::vector<Parameter> parameters;
};

const std::vector<Method>& methods() {
    const Parameter falseOrigin[] = {{"ProjectionDatumFalseEasting", 8806}, {"ProjectionDatumFalseNorthing", 8807}};
    const std::vector<Parameter> conic{{"CentralOfProjLatitude", 8821},        {"CentralOfProjLongitude", 8822},
                                       {"StandardParallel1", 8823},            {"StandardParallel2", 8824},
                                       {"ProjectionDatumFalseEasting", 8826},  {"ProjectionDatumFalseNorthing", 8827}};
    static const std::vector<Method> table{
        {9801, "LAMBERT_CONFORMAL_CONIC", 0,
         {{"CentralOfProjLatitude", 8801}, {"StandardParallel1", 8801}, {"CentralOfProjLongitude", 8802},
          {"ScaleFactor", 8805}, falseOrigin[0], falseOrigin[1]}},
        {9802, "LAMBERT_CONFORMAL_CONIC", 0, conic},
        {9822, "ALBERS", 0, conic},
        {9810, "POLAR_STEREOGRAPHIC", 8801,
         {{"CentralOfProjLongitude", 8802}, {"ScaleFactor", 8805}, {"LatitudeOfTrueScale", 0}, falseOrigin[0],
          falseOrigin[1]}},
        {9829, "POLAR_STEREOGRAPHIC", 8832,
         {{"LatitudeOfTrueScale", 8832}, {"CentralOfProjLongitude", 8833}, falseOrigin[0], falseOrigin[1]}},
        {9820, "LAMBERT_AZIMUTHAL_EQUALAREA", 0,
         {{"CentralOfProjLatitude", 8801}, {"CentralOfProjLongitude", 8802}, falseOrigin[0], falseOrigin[1]}},
        {9804, "MERCATOR", 0,
         {{"CentralOfProjLongitude", 8802}, {"ScaleFactor", 8805}, {"LatitudeOfTrueScale", 0}, falseOrigin[0],
          falseOrigin[1]}},
        {9805, "MERCATOR", 0,
         {{"LatitudeOfTrueScale", 8823}, {"CentralOfProjLongitude", 8802}, falseOrigin[0], falseOrigin[1]}},
    };
    return table;
}

// A parameter of a conversion in degrees, metres or unity.
std::optional<double> parameterOf(PJ_CONTEXT* context, PJ* conversion, int epsg) {
    const std::string code = std::to_string(epsg);
    for (int i = 0; i < proj_coordoperation_get_param_count(context, conversion); ++i) {
        const char* authority = nullptr;
        const char* parameterCode = nullptr;
        const char* category = nullptr;
        double value = 0.0;
        double toUnit = 1.0;
        if (proj_coordoperation_get_param(context, conversion, i, nullptr, &authority, &parameterCode, &value, nullptr,
                                          &toUnit, nullptr, nullptr, nullptr, &category) == 0 ||
            parameterCode == nullptr || code != parameterCode) {
            continue;
        }
        value *= toUnit;
        return category != nullptr && std::string(category) == "angular" ? value * CORBS_RAD_TO_DEG : value;
    }
    return std::nullopt;
}

// The map files' name of the ellipsoid admitted for `state` closest to the
// axes a and b, none when no admitted one lies within a millimetre (GRS 1980
// and WGS 84 differ by 0.1 mm, less than the datum differences ignored
// here).
std::optional<std::string> admittedEllipsoid(const std::string& state, const std::string& hemisphere, double a,
                                             double b) {
    CMapNames names{state, hemisphere, "", "", "", ""};
    const CMapInfoLists lists = YDF_MAP().read_map_info(names);
    std::optional<std::string> closest;
    double closestDistance = 1e-3;
    for (const std::string& ellipsoid : lists.ellipsoids) {
        CMapNames candidate{state, hemisphere, "", "", ellipsoid, ""};
        YDF_MAP system;
        system.read_map_info(candidate);
        const double distance = std::max(std::fabs(system.mAbl[0] - a), std::fabs(system.mAbl[1] - b));
        if (distance <= closestDistance) {
            closest = ellipsoid;
            closestDistance = distance;
        }
    }
    return closest;
}

std::optional<CartographicFields> fieldsOfMethod(PJ_CONTEXT* context, PJ* crs) {
    ProjObject ellipsoid(proj_get_ellipsoid(context, crs), proj_destroy);
    double a = 0.0, b = 0.0, inverseFlattening = 0.0;
    int computed = 0;
    if (!ellipsoid || !proj_ellipsoid_get_parameters(context, ellipsoid.get(), &a, &b, &computed, &inverseFlattening)) {
        return std::nullopt;
    }
    const PJ_TYPE type = proj_get_type(crs);
    if (type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS) {
        if (!admittedEllipsoid(CORBS_GEO_GLOBAL, "", a, b)) return std::nullopt;
        return CartographicFields{CORBS_GEO_GLOBAL, "", "", "", {}};
    }
    if (type != PJ_TYPE_PROJECTED_CRS) return std::nullopt;
    ProjObject conversion(proj_crs_get_coordoperation(context, crs), proj_destroy);
    const char* authority = nullptr;
    const char* code = nullptr;
    if (!conversion || !proj_coordoperation_get_method_info(context, conversion.get(), nullptr, &authority, &code) ||
        code == nullptr) {
        return std::nullopt;
    }
    for (const Method& method : methods()) {
        if (std::to_string(method.epsg) != code) continue;
        CartographicFields fields{method.state, "NORTH", "", "", {}};
        if (method.poleParameter != 0) {
            const std::optional<double> pole = parameterOf(context, conversion.get(), method.poleParameter);
            if (pole && *pole < 0.0) fields.hemisphere = "SOUTH";
        }
        for (const Parameter& parameter : method.parameters) {
            const std::optional<double> value =
                parameter.epsg == 0 ? 0.0 : parameterOf(context, conversion.get(), parameter.epsg);
            if (!value) return std::nullopt;
            fields.numbers.emplace_back(parameter.field, *value);
        }
        const std::optional<std::string> name = admittedEllipsoid(fields.state, fields.hemisphere, a, b);
        if (!name) return std::nullopt;
        fields.ellipsoid = *name;
        return fields;
    }
    return std::nullopt;
}

}  // namespace

bool forbsReadRasterHeaderMap(const std::string& image, CSectionDataGroup& cartographicSection) {
    NNORVIK_DA_RASTER_INTERFACE::NorvikRasterInterface raster;
    if (raster.open(image) == 0 || raster.get_projection().empty()) return false;
    std::string definition = raster.get_projection();
    if (definition.rfind("+", 0) == 0) definition += " +type=crs";

    ProjContext proj;
    ProjObject crs(proj_create(proj.context, definition.c_str()), proj_destroy);
    if (!crs) return false;
    const char* authority = proj_get_id_auth_name(crs.get(), 0);
    const char* code = proj_get_id_code(crs.get(), 0);
    std::optional<CartographicFields> fields;
    if (authority != nullptr && code != nullptr && std::string(authority) == "EPSG") fields = fieldsOfCode(std::atoi(code));
    if (!fields) fields = fieldsOfMethod(proj.context, crs.get());
    if (!fields) return false;

    const auto text = [&cartographicSection](const char* field, const std::string& value) {
        if (!value.empty()) cartographicSection.setValue(std::string("CartographicSystem.") + field, value);
    };
    text("State", fields->state);
    text("Hemisphere", fields->hemisphere);
    text("Zone", fields->zone);
    text("Ellipsoid", fields->ellipsoid);
    for (const auto& [field, value] : fields->numbers) cartographicSection.setValue("CartographicSystem." + field, value);
    return true;
}
