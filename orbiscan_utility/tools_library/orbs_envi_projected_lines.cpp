// ENVI map lines of the cartographic systems resolved through the map
// files: the transverse Mercator grids of Japan in their fixed layout, and
// the other projections as ENVI readers understand them.
//
// ENVI readers take the projection from "coordinate system string" (an
// ESRI well-known text) when there is one, else from "projection info"
// (ENVI's projection code, the ellipsoid axes and the projection's
// parameters).  Both are written when ENVI has a code that states the
// system exactly; the well-known text alone otherwise.
#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <optional>
#include <vector>

#include "orbs_core_map_utility.h"
#include "orbs_description_section.h"
#include "orbs_envi_header.h"
#include "orbs_transform_utility.h"

namespace NORBS_ENVI_HEADER {

namespace {

// Projection parameters come back from radians: 15 significant digits
// print them as they were given (9, not 9.0000000000000018).  The axes keep
// every digit.
constexpr int kParameterDigits = 15;
constexpr int kAxisDigits = 17;

// ENVI's projection codes and the order of their parameters after the two
// axes (the layout ENVI readers, GDAL's driver included, expect).
enum EnviCode {
    kNoCode = 0,
    kTransverseMercator = 3,  // latitude and longitude of origin, false easting and northing, scale factor
    kLambertConic = 4,        // origin, false origin, standard parallels 1 and 2
    kAlbers = 9,              // same as the Lambert conic
    kLambertAzimuthal = 11,   // origin, false origin
    kPolarStereographic = 31, // latitude of true scale (its sign names the pole), central meridian, false origin
};

struct EnviProjection {
    const char* projection;  // entry of the projection table
    const char* name;        // the name of "map info"
    EnviCode code;
};

constexpr EnviProjection kEnviProjections[] = {
    {"GK", "Transverse Mercator", kTransverseMercator},
    {"MERCATOR", "Mercator", kNoCode},
    {"BING", "Mercator", kNoCode},
    {"LAMBERT_CONFORMAL_CONIC", "Lambert Conformal Conic", kLambertConic},
    {"LAMBERT72", "Lambert Conformal Conic", kLambertConic},
    {"LAMBERT2008", "Lambert Conformal Conic", kLambertConic},
    {"LAMBERTWGS84", "Lambert Conformal Conic", kLambertConic},
    {"POLAR_STEREOGRAPHIC", "Polar Stereographic", kPolarStereographic},
    {"UPS", "Polar Stereographic", kPolarStereographic},
    {"STEREOGRAPHIC", "Double Stereographic", kNoCode},
    {"NLOS", "Double Stereographic", kNoCode},
    {"GNOMONIC", "Gnomonic", kNoCode},
    {"MILLER", "Miller Cylindrical", kNoCode},
    {"SINUSOIDAL", "Sinusoidal", kNoCode},
    {"MOLLWEIDE", "Mollweide", kNoCode},
    {"ALBERS", "Albers Conical Equal Area", kAlbers},
    {"LAMBERT_AZIMUTHAL_EQUALAREA", "Lambert Azimuthal Equal Area", kLambertAzimuthal},
    {"LAMBERT_CYLINDRICAL_EQUALAREA", "Cylindrical Equal Area", kNoCode},
    {"CHOM", "Swiss Oblique Mercator", kNoCode},
};

const EnviProjection* enviProjectionOf(const YDF_MAP& system) {
    const NORBS_MAP_TRANSFORM::CProjectionEntry* entry = NORBS_MAP_TRANSFORM::projectionOf(system);
    if (entry == nullptr) return nullptr;
    for (const EnviProjection& projection : kEnviProjections) {
        if (std::string(entry->name) == projection.projection) return &projection;
    }
    return nullptr;
}

double degrees(double radians) { return radians * CORBS_RAD_TO_DEG; }

// The parameters of the ENVI code, when the code states the system
// exactly: a one-parallel Lambert cone or a polar stereographic grid given
// by a scale factor other than 1 has no ENVI form.
std::optional<std::vector<double>> enviParameters(const YDF_MAP& m, EnviCode code) {
    const double lat0 = degrees(m.mPhi0);
    const double lon0 = degrees(m.mCentralMeridian);
    const double x0 = m.mFalseEasting;
    const double y0 = m.mFalseNorthing;
    switch (code) {
    case kTransverseMercator: return std::vector<double>{lat0, lon0, x0, y0, m.mK0};
    case kLambertConic:
        if (m.mHasStandardParallel2) return std::vector<double>{lat0, lon0, x0, y0, degrees(m.mPhi1), degrees(m.mPhi2)};
        if (m.mK0 != 1.0) return std::nullopt;
        return std::vector<double>{lat0, lon0, x0, y0, degrees(m.mPhi1), degrees(m.mPhi1)};
    case kAlbers: return std::vector<double>{lat0, lon0, x0, y0, degrees(m.mPhi1), degrees(m.mPhi2)};
    case kLambertAzimuthal: return std::vector<double>{lat0, lon0, x0, y0};
    case kPolarStereographic: {
        const double pole = m.mHemisphere == "SOUTH" ? -90.0 : 90.0;
        if (m.mPhi1 != 0.0) return std::vector<double>{std::copysign(std::fabs(degrees(m.mPhi1)), pole), lon0, x0, y0};
        if (m.mK0 != 1.0) return std::nullopt;
        return std::vector<double>{pole, lon0, x0, y0};
    }
    case kNoCode: break;
    }
    return std::nullopt;
}

// The PROJ definition of the projections that keep their own formulas.
std::string ownFormulaDefinition(const YDF_MAP& m) {
    const std::string lon0 = number(degrees(m.mCentralMeridian), 17);
    // BING's sphere: its half circumference is 20037508.34 m.
    if (m.mProjection == "BING") return "+proj=merc +lon_0=" + lon0 + " +R=" + number(20037508.34 / std::numbers::pi, 17);
    if (m.mProjection == "MILLER") return "+proj=mill +lon_0=" + lon0 + " +R=" + number(m.mK0, 17);
    return {};
}

// A system on the WGS-84 datum: its ellipsoid with no datum shift, not a
// sphere.
bool onWgs84Datum(const YDF_MAP& m, const std::string& definition) {
    return m.mEllipsoid == "WGS84" && !NORBS_MAP_TRANSFORM::hasDatumShift(m) &&
           definition.find(" +R=") == std::string::npos;
}

struct ProjContext {
    PJ_CONTEXT* context = proj_context_create();
    ~ProjContext() { proj_context_destroy(context); }
};
using ProjObject = std::unique_ptr<PJ, decltype(&proj_destroy)>;

// The ESRI well-known text of the system's projection, "" when PROJ cannot
// express it.
std::string esriWkt(const YDF_MAP& m, const std::string& definition) {
    ProjContext proj;
    ProjObject crs(proj_create(proj.context, (definition + " +type=crs").c_str()), proj_destroy);
    if (!crs) return {};
    if (onWgs84Datum(m, definition)) {
        // Named, so that readers recognise the datum.
        ProjObject wgs84(proj_create(proj.context, "EPSG:4326"), proj_destroy);
        ProjObject named(wgs84 ? proj_crs_alter_geodetic_crs(proj.context, crs.get(), wgs84.get()) : nullptr,
                         proj_destroy);
        if (named) crs = std::move(named);
    }
    const char* wkt = proj_as_wkt(proj.context, crs.get(), PJ_WKT1_ESRI, nullptr);
    return wkt != nullptr ? wkt : std::string();
}

std::string japanLines(const YDF_MAP& m, double x, double y, double dx, double dy) {
    const std::string datum = m.mState.find("JAPAN_JPRC_JGD2011") != std::string::npos ? "D_JGD_2011" : "D_JGD_2000";
    const auto ten = [](double value) { return number(value, 10); };
    std::string lines = keyLine("map info", "{Transverse_Mercator, 1.0, 1.0, " + ten(x) + ", " + ten(y) + ", " + ten(dx) +
                                                ", " + ten(dy) + ", " + datum + ", units = Meters }");
    std::string info = "{ 3, 6378137.0, 6356752.3";
    const std::vector<double> parameters = enviParameters(m, kTransverseMercator).value_or(std::vector<double>{});
    for (double value : parameters) info += "," + ten(value);
    lines += keyLine("projection info", info + "," + datum + ",Transverse_Mercator,units = Meters}");
    const std::string wkt = m.getWkt();
    if (!wkt.empty()) lines += keyLine("coordinate system string", "{" + wkt + "}");
    return lines;
}

}  // namespace

std::string mapLinesOfProjectedSystem(CSectionDataGroup& set, double x, double y, double dx, double dy) {
    YDF_MAP system;
    if (!system.init(set)) return {};
    if (system.mState.find("JAPAN_JPRC_JGD2000") != std::string::npos ||
        system.mState.find("JAPAN_JPRC_JGD2011") != std::string::npos) {
        return japanLines(system, x, y, dx, dy);
    }
    const EnviProjection* envi = enviProjectionOf(system);
    if (envi == nullptr) return {};  // no map projection (geocentric coordinates)

    std::string definition = NORBS_MAP_TRANSFORM::projDefinition(system);
    if (definition.empty()) definition = ownFormulaDefinition(system);
    const std::string datum = onWgs84Datum(system, definition) ? ", WGS-84" : "";
    std::string lines = keyLine("map info", std::string("{") + envi->name + ", 1, 1, " + number(x) + ", " + number(y) +
                                                ", " + number(dx) + ", " + number(dy) + datum + ", units=Meters}");
    if (const auto parameters = enviParameters(system, envi->code)) {
        std::string info = "{" + std::to_string(envi->code) + ", " + number(system.mAbl[0], kAxisDigits) + ", " +
                           number(system.mAbl[1], kAxisDigits);
        for (double value : *parameters) info += ", " + number(value, kParameterDigits);
        lines += keyLine("projection info", info + datum + ", " + envi->name + "}");
    }
    // PROJ's text, made from the system's own definition: the system's
    // texts of these projections fix some parameters (the standard parallel
    // and false origin of the cylindrical equal-area one) or name the JGD
    // 2000 datum (GENERIC_UTM), and they quote their numbers, which readers
    // refuse.
    const std::string wkt = esriWkt(system, definition);
    if (!wkt.empty()) lines += keyLine("coordinate system string", "{" + wkt + "}");
    return lines;
}

}  // namespace NORBS_ENVI_HEADER
