// Writes the map definition files and their map_list into the directory
// given as the only argument.
//
// Every number comes from the EPSG registry (and, for a few world
// projections, the ESRI registry) as PROJ's database holds it: the tables
// below name the record each value is read from.  Derived values (the
// eccentricity terms, the one-parallel form of a Lambert conic, an authalic
// radius) are computed from those records, with PROJ where PROJ does it.
#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_read_write_map_info.h"

namespace {

using Names = std::vector<std::string>;

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kArcSecond = kDegree / 3600.0;

const Names kBothHemispheres = {"NORTH", "SOUTH"};
const Names kNorth = {"NORTH"};

// ---------------------------------------------------------------------------
// Reading PROJ's database.

// EPSG parameter codes.
enum Parameter : int {
    kLatitudeOfNaturalOrigin = 8801,
    kLongitudeOfNaturalOrigin = 8802,
    kScaleFactorAtNaturalOrigin = 8805,
    kFalseEasting = 8806,
    kFalseNorthing = 8807,
    kLatitudeOfProjectionCentre = 8811,
    kLongitudeOfProjectionCentre = 8812,
    kAzimuthOfInitialLine = 8813,
    kScaleFactorOnInitialLine = 8815,
    kEastingAtProjectionCentre = 8816,
    kNorthingAtProjectionCentre = 8817,
    kLatitudeOfFalseOrigin = 8821,
    kLongitudeOfFalseOrigin = 8822,
    kLatitudeOfFirstParallel = 8823,
    kLatitudeOfSecondParallel = 8824,
    kEastingAtFalseOrigin = 8826,
    kNorthingAtFalseOrigin = 8827,
    kLatitudeOfStandardParallel = 8832,
    kLongitudeOfOrigin = 8833,
    kXTranslation = 8605,
    kYTranslation = 8606,
    kZTranslation = 8607,
    kXRotation = 8608,
    kYRotation = 8609,
    kZRotation = 8610,
    kScaleDifference = 8611,
};

// The parameters of a conversion or transformation: angles in degrees,
// rotations in arc-seconds, lengths in metres, scales as plain numbers, the
// scale difference in ppm.
struct Operation {
    std::string source;  // "EPSG:31370"
    int method = 0;
    std::map<int, double> values;

    double at(int parameter) const {
        const auto found = values.find(parameter);
        if (found == values.end()) {
            throw std::runtime_error(source + " has no parameter " + std::to_string(parameter));
        }
        return found->second;
    }
    bool has(int parameter) const { return values.count(parameter) != 0; }
};

struct Ellipsoid {
    double a = 0.0;
    double b = 0.0;
};

class Registry {
public:
    Registry() : mContext(proj_context_create()) {}
    ~Registry() {
        for (PJ* object : mObjects) proj_destroy(object);
        proj_context_destroy(mContext);
    }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    PJ* crs(const std::string& authority, const std::string& code) {
        return keep(proj_create_from_database(mContext, authority.c_str(), code.c_str(), PJ_CATEGORY_CRS, false,
                                              nullptr),
                    authority + ":" + code);
    }

    Operation conversion(const std::string& authority, const std::string& code) {
        return operation(keep(proj_crs_get_coordoperation(mContext, crs(authority, code)), authority + ":" + code),
                         authority + ":" + code);
    }

    Operation transformation(const std::string& code) {
        return operation(keep(proj_create_from_database(mContext, "EPSG", code.c_str(),
                                                        PJ_CATEGORY_COORDINATE_OPERATION, false, nullptr),
                              "EPSG:" + code),
                         "EPSG:" + code);
    }

    Ellipsoid ellipsoid(const std::string& code) {
        return axes(keep(proj_create_from_database(mContext, "EPSG", code.c_str(), PJ_CATEGORY_ELLIPSOID, false,
                                                   nullptr),
                         "EPSG:" + code));
    }

    Ellipsoid ellipsoidOf(const std::string& authority, const std::string& code) {
        return axes(keep(proj_get_ellipsoid(mContext, crs(authority, code)), authority + ":" + code));
    }

    // The radius PROJ gives the sphere of the ellipsoid's surface area
    // ("+R_A"): the easting of one radian of longitude on the equator.
    double authalicRadius(const Ellipsoid& e) {
        char definition[128];
        std::snprintf(definition, sizeof definition, "+proj=eqc +R_A +a=%.17g +b=%.17g", e.a, e.b);
        return proj_trans(keep(proj_create(mContext, definition), definition), PJ_FWD, proj_coord(1, 0, 0, 0)).xy.x;
    }

    // The Lambert conic of a two-parallel CRS in its one-parallel form,
    // converted by PROJ.  PROJ converts only from a false origin off the
    // pole, so the cone is first anchored at its first standard parallel:
    // same cone, the false northing there taken from the original
    // definition.
    Operation lambertOneParallel(const std::string& code) {
        const Operation twoParallels = conversion("EPSG", code);
        const Ellipsoid axesOf = ellipsoidOf("EPSG", code);
        const double lat1 = twoParallels.at(kLatitudeOfFirstParallel);
        const double lat2 = twoParallels.at(kLatitudeOfSecondParallel);
        const double lonF = twoParallels.at(kLongitudeOfFalseOrigin);
        char definition[512];
        std::snprintf(definition, sizeof definition,
                      "+proj=lcc +lat_0=%.17g +lon_0=%.17g +lat_1=%.17g +lat_2=%.17g +x_0=%.17g +y_0=%.17g +a=%.17g "
                      "+b=%.17g",
                      twoParallels.at(kLatitudeOfFalseOrigin), lonF, lat1, lat2, twoParallels.at(kEastingAtFalseOrigin),
                      twoParallels.at(kNorthingAtFalseOrigin), axesOf.a, axesOf.b);
        PJ* original = keep(proj_create(mContext, definition), definition);
        const PJ_COORD anchor = proj_trans(original, PJ_FWD, proj_coord(lonF * kDegree, lat1 * kDegree, 0, 0));
        PJ* anchored = keep(proj_create_conversion_lambert_conic_conformal_2sp(
                                mContext, lat1, lonF, lat1, lat2, twoParallels.at(kEastingAtFalseOrigin),
                                anchor.xy.y, "degree", kDegree, "metre", 1.0),
                            "anchored conic");
        PJ* source = crs("EPSG", code);
        PJ* projected = keep(proj_create_projected_crs(mContext, "anchored", keep(proj_crs_get_geodetic_crs(mContext, source), code),
                                                       anchored, keep(proj_crs_get_coordinate_system(mContext, source), code)),
                             "anchored CRS");
        PJ* oneParallel = keep(proj_convert_conversion_to_other_method(
                                   mContext, keep(proj_crs_get_coordoperation(mContext, projected), code),
                                   9801 /* Lambert Conic Conformal (1SP) */, nullptr),
                               "EPSG:" + code + " in one-parallel form");
        Operation result = operation(oneParallel, "EPSG:" + code);
        result.source = "EPSG:" + code + " (one-parallel form)";
        return result;
    }

private:
    PJ* keep(PJ* object, const std::string& what) {
        if (object == nullptr) throw std::runtime_error("PROJ has no " + what);
        mObjects.push_back(object);
        return object;
    }

    Ellipsoid axes(PJ* ellipsoid) {
        Ellipsoid result;
        int computed = 0;
        double inverseFlattening = 0.0;
        proj_ellipsoid_get_parameters(mContext, ellipsoid, &result.a, &result.b, &computed, &inverseFlattening);
        return result;
    }

    Operation operation(PJ* object, const std::string& source) {
        Operation result;
        result.source = source;
        const char* methodCode = nullptr;
        proj_coordoperation_get_method_info(mContext, object, nullptr, nullptr, &methodCode);
        result.method = methodCode != nullptr ? std::atoi(methodCode) : 0;
        const int count = proj_coordoperation_get_param_count(mContext, object);
        for (int i = 0; i < count; ++i) {
            const char* code = nullptr;
            const char* category = nullptr;
            double value = 0.0;
            double toUnit = 1.0;
            proj_coordoperation_get_param(mContext, object, i, nullptr, nullptr, &code, &value, nullptr, &toUnit,
                                          nullptr, nullptr, nullptr, &category);
            if (code == nullptr) continue;
            const int parameter = std::atoi(code);
            const std::string kind = category != nullptr ? category : "";
            if (kind == "angular") {
                const bool rotation = parameter >= kXRotation && parameter <= kZRotation;
                value = inUnit(value, toUnit, rotation ? kArcSecond : kDegree);
            } else if (parameter == kScaleDifference) {
                value = inUnit(value, toUnit, 1e-6);
            } else {
                value = inUnit(value, toUnit, 1.0);
            }
            result.values[parameter] = value;
        }
        return result;
    }

    // A value in another unit: a record already in that unit is taken as
    // it is, so that 15 degrees stay 15 and not 14.999999999999998.
    static double inUnit(double value, double toBase, double unitToBase) {
        return std::fabs(toBase / unitToBase - 1.0) < 1e-12 ? value : value * toBase / unitToBase;
    }

    PJ_CONTEXT* mContext;
    std::vector<PJ*> mObjects;
};

// ---------------------------------------------------------------------------
// Map files.

class MapFile {
public:
    MapFile(std::string name, std::string comment)
        : mName(std::move(name)), mComment(std::move(comment)), mSection(forbsCreateMapSection()) {}

    const std::string& name() const { return mName; }

    MapFile& list(const char* key, const Names& names) {
        CSectionField& field = mSection->getField(key);
        field.setDimension(1, static_cast<int>(names.size()));
        for (std::size_t i = 0; i < names.size(); ++i) field.setValue(static_cast<int>(i), names[i]);
        return *this;
    }
    MapFile& number(const char* key, double value) {
        mSection->getField(key).setValue(value);
        return *this;
    }
    MapFile& numbers(const char* key, const std::vector<double>& values) {
        CSectionField& field = mSection->getField(key);
        field.setDimension(1, static_cast<int>(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) field.setValue(static_cast<int>(i), values[i]);
        return *this;
    }
    MapFile& matrix(const char* key, const std::vector<double>& values, int columns) {
        CSectionField& field = mSection->getField(key);
        const int rows = static_cast<int>(values.size()) / columns;
        field.setDimension(rows, columns);
        for (std::size_t i = 0; i < values.size(); ++i) {
            field.setValue(static_cast<int>(i) / columns, static_cast<int>(i) % columns, values[i]);
        }
        return *this;
    }

    void write(const std::filesystem::path& directory) const {
        std::ofstream out(directory / mName, std::ios::binary | std::ios::trunc);
        out << "<?xml version=\"1.0\" ?>\n<!-- " << mComment << " -->\n<" << CORBS_MAP_FILE_ROOT << ">\n"
            << NORBS_PARAMETER_FILE::sectionToXml(*mSection, 1) << "</" << CORBS_MAP_FILE_ROOT << ">\n";
        if (!out) throw std::runtime_error("cannot write " + (directory / mName).string());
    }

private:
    std::string mName;
    std::string mComment;
    std::unique_ptr<CSectionData> mSection;
};

std::string fileName(const std::string& kind, const std::string& name) { return kind + "_" + name + "_map"; }

// How the projection parameters of a CRS become map file fields.
enum class Reading {
    Natural,             // latitude and longitude of natural origin, scale factor, false origin
    LambertOneParallel,  // a two-parallel Lambert conic in its one-parallel form
    PolarVariantB,       // latitude of standard parallel and longitude of origin
    ObliqueMercatorB,    // projection centre, azimuth, scale on the initial line
    Albers,              // false origin and first standard parallel
    CylindricalEqualArea,
    SphereOfSemiMajorAxis,  // spherical: the radius is the semi-major axis
    AuthalicSphere,         // spherical: the radius is the authalic radius
    None,
};

void putNatural(MapFile& file, const Operation& op) {
    if (op.has(kLatitudeOfNaturalOrigin)) file.number("phi0", op.at(kLatitudeOfNaturalOrigin));
    file.number("cm", op.at(kLongitudeOfNaturalOrigin));
    if (op.has(kScaleFactorAtNaturalOrigin)) file.number("k0", op.at(kScaleFactorAtNaturalOrigin));
    file.number("x0", op.at(kFalseEasting)).number("y0", op.at(kFalseNorthing));
}

void putProjection(MapFile& file, Registry& registry, const std::string& authority, const std::string& code,
                   Reading reading) {
    switch (reading) {
    case Reading::Natural: putNatural(file, registry.conversion(authority, code)); break;
    case Reading::LambertOneParallel: {
        const Operation op = registry.lambertOneParallel(code);
        putNatural(file, op);
        file.number("phi1", op.at(kLatitudeOfNaturalOrigin));
        break;
    }
    case Reading::PolarVariantB: {
        const Operation op = registry.conversion(authority, code);
        file.number("phi1", op.at(kLatitudeOfStandardParallel)).number("cm", op.at(kLongitudeOfOrigin));
        file.number("x0", op.at(kFalseEasting)).number("y0", op.at(kFalseNorthing));
        break;
    }
    case Reading::ObliqueMercatorB: {
        const Operation op = registry.conversion(authority, code);
        file.number("phi0", op.at(kLatitudeOfProjectionCentre)).number("cm", op.at(kLongitudeOfProjectionCentre));
        file.number("phi1", op.at(kAzimuthOfInitialLine)).number("k0", op.at(kScaleFactorOnInitialLine));
        file.number("x0", op.at(kEastingAtProjectionCentre)).number("y0", op.at(kNorthingAtProjectionCentre));
        break;
    }
    case Reading::Albers: {
        const Operation op = registry.conversion(authority, code);
        file.number("phi0", op.at(kLatitudeOfFalseOrigin)).number("cm", op.at(kLongitudeOfFalseOrigin));
        file.number("phi1", op.at(kLatitudeOfFirstParallel));
        file.number("x0", op.at(kEastingAtFalseOrigin)).number("y0", op.at(kNorthingAtFalseOrigin));
        break;
    }
    case Reading::CylindricalEqualArea: {
        const Operation op = registry.conversion(authority, code);
        file.number("phi1", op.at(kLatitudeOfFirstParallel)).number("cm", op.at(kLongitudeOfNaturalOrigin));
        file.number("x0", op.at(kFalseEasting)).number("y0", op.at(kFalseNorthing));
        break;
    }
    case Reading::SphereOfSemiMajorAxis:
        putNatural(file, registry.conversion(authority, code));
        file.number("k0", registry.ellipsoidOf(authority, code).a);
        break;
    case Reading::AuthalicSphere:
        putNatural(file, registry.conversion(authority, code));
        file.number("k0", registry.authalicRadius(registry.ellipsoidOf(authority, code)));
        break;
    case Reading::None: break;
    }
}

// ---------------------------------------------------------------------------
// The tables.

struct EllipsoidSource {
    const char* name;
    const char* epsg;  // ellipsoid record
};

// GEM6 has no record in the EPSG registry, so it has no file here.
const EllipsoidSource kEllipsoids[] = {
    {"WGS84", "7030"},              // WGS 84
    {"GRS80", "7019"},              // GRS 1980
    {"BESSEL", "7004"},             // Bessel 1841
    {"CLARKE1866", "7008"},         // Clarke 1866
    {"INTERNATIONAL1924", "7022"},  // International 1924
};

struct DatumShiftSource {
    const char* name;
    const char* epsg;  // transformation record, local datum to WGS 84
};

const DatumShiftSource kDatumShifts[] = {
    {"ED50", "1133"},         // ED50 to WGS 84 (1): geocentric translations
    {"TOKYO", "15484"},       // Tokyo to WGS 84 (108): geocentric translations
    {"DHDN", "1777"},         // DHDN to WGS 84 (2): position vector
    {"OSGB36", "1314"},       // OSGB36 to WGS 84 (6): position vector
    {"BD72", "15929"},        // BD72 to WGS 84 (3): coordinate frame
    {"AMERSFOORT", "15934"},  // Amersfoort to WGS 84 (3): coordinate frame
    {"CH1903", "1753"},       // CH1903 to WGS 84 (1): coordinate frame
};

struct ProjectionSource {
    const char* name;
    const char* authority;
    const char* code;  // CRS whose projection parameters the file holds
    Reading reading;
    Names ellipsoids;
    Names datumShifts;
    const char* description;
};

const ProjectionSource kProjections[] = {
    {"GEO", "", "", Reading::None, {"WGS84"}, {"WGS84"}, "geographic degrees"},
    // Transverse Mercator: the zone files hold the parameters.
    {"GK", "", "", Reading::None, {}, {}, "Transverse Mercator (Gauss-Kruger); parameters in the zone files"},
    {"MERCATOR", "EPSG", "3395", Reading::Natural, {"WGS84"}, {"WGS84"}, "WGS 84 / World Mercator"},
    {"CHOM", "EPSG", "21781", Reading::ObliqueMercatorB, {"BESSEL"}, {"CH1903", "WGS84"},
     "CHOM: the Swiss oblique Mercator of CH1903 / LV03 (PROJ somerc)"},
    {"BING", "EPSG", "3857", Reading::Natural, {"WGS84"}, {"WGS84"},
     "spherical web Mercator; central meridian of WGS 84 / Pseudo-Mercator"},
    {"LAMBERT_CONFORMAL_CONIC", "EPSG", "3034", Reading::LambertOneParallel, {"GRS80"}, {"WGS84"},
     "ETRS89-extended / LCC Europe, one-parallel form"},
    {"LAMBERT72", "EPSG", "31370", Reading::LambertOneParallel, {"INTERNATIONAL1924"}, {"BD72", "WGS84"},
     "BD72 / Belgian Lambert 72, one-parallel form"},
    {"LAMBERT2008", "EPSG", "3812", Reading::LambertOneParallel, {"GRS80"}, {"WGS84"},
     "ETRS89 / Belgian Lambert 2008, one-parallel form"},
    {"LAMBERTWGS84", "EPSG", "3447", Reading::LambertOneParallel, {"GRS80"}, {"WGS84"},
     "Belgian Lambert on the WGS 84 compatible ETRS89: ETRS89 / Belgian Lambert 2005, one-parallel form"},
    {"POLAR_STEREOGRAPHIC", "EPSG", "3413", Reading::PolarVariantB, {"WGS84"}, {"WGS84"},
     "WGS 84 / NSIDC Sea Ice Polar Stereographic North; the pole follows the hemisphere"},
    {"UPS", "EPSG", "5041", Reading::Natural, {"WGS84"}, {"WGS84"},
     "WGS 84 / UPS North (E,N); the pole follows the hemisphere"},
    {"STEREOGRAPHIC", "EPSG", "2953", Reading::Natural, {"GRS80", "WGS84"}, {"WGS84"},
     "oblique stereographic of NAD83(CSRS) / New Brunswick Stereographic"},
    {"NLOS", "EPSG", "28992", Reading::Natural, {"BESSEL"}, {"AMERSFOORT", "WGS84"},
     "NLOS: the Netherlands oblique stereographic of Amersfoort / RD New (PROJ sterea)"},
    {"GNOMONIC", "ESRI", "102034", Reading::SphereOfSemiMajorAxis, {"WGS84"}, {"WGS84"},
     "North Pole Gnomonic on the sphere of the WGS 84 semi-major axis"},
    {"MILLER", "ESRI", "54003", Reading::AuthalicSphere, {"WGS84"}, {"WGS84"},
     "World Miller Cylindrical on the WGS 84 authalic sphere"},
    {"SINUSOIDAL", "ESRI", "54008", Reading::Natural, {"WGS84"}, {"WGS84"}, "World Sinusoidal"},
    {"MOLLWEIDE", "ESRI", "54009", Reading::Natural, {"WGS84"}, {"WGS84"}, "World Mollweide"},
    {"ALBERS", "EPSG", "3577", Reading::Albers, {"GRS80"}, {"WGS84"},
     "GDA94 / Australian Albers; the second standard parallel comes from the image parameters"},
    {"LAMBERT_AZIMUTHAL_EQUALAREA", "EPSG", "6931", Reading::Natural, {"WGS84"}, {"WGS84"},
     "WGS 84 / NSIDC EASE-Grid 2.0 North"},
    {"LAMBERT_CYLINDRICAL_EQUALAREA", "ESRI", "54034", Reading::CylindricalEqualArea, {"WGS84"}, {"WGS84"},
     "World Cylindrical Equal Area"},
};

struct StateSource {
    const char* name;
    Names hemispheres;
    Names projections;
    Names zones;
    Names ellipsoids;
    Names datumShifts;
    const char* authority;  // CRS of the state's own parameters, when it has them
    const char* code;
};

Names utmZones() {
    Names zones;
    for (int zone = 1; zone <= 60; ++zone) zones.push_back(std::to_string(zone));
    return zones;
}

const Names kJapanZones = {"I",   "II",  "III", "IV",  "V",    "VI", "VII", "VIII", "IX",  "X",
                           "XI",  "XII", "XIII", "XIV", "XV", "XVI", "XVII", "XVIII", "XIX"};

std::vector<StateSource> states() {
    const Names allDatumShifts = {"WGS84", "ED50", "TOKYO", "DHDN", "OSGB36", "BD72", "AMERSFOORT", "CH1903"};
    return {
        {"GEO-GLOBAL", kBothHemispheres, {"GEO"}, {}, {}, {}, "", ""},
        {"CARTESIAN-GLOBAL", kBothHemispheres, {}, {}, {"WGS84"}, allDatumShifts, "", ""},
        {"UTM-GLOBAL", kBothHemispheres, {"GK"}, utmZones(), {"WGS84"}, {"WGS84"}, "", ""},
        {"GENERIC_UTM", kBothHemispheres, {"GK"}, utmZones(),
         {"GRS80", "WGS84", "INTERNATIONAL1924", "BESSEL", "CLARKE1866"},
         {"WGS84", "ED50", "DHDN", "OSGB36", "TOKYO"}, "", ""},
        {"MERCATOR", kBothHemispheres, {"MERCATOR", "CHOM"}, {}, {}, {}, "", ""},
        {"BING", kBothHemispheres, {"BING"}, {}, {}, {}, "", ""},
        {"LAMBERT_CONFORMAL_CONIC", kBothHemispheres, {"LAMBERT_CONFORMAL_CONIC"}, {}, {}, {}, "", ""},
        {"LAMBERT72", kNorth, {"LAMBERT72"}, {}, {}, {}, "", ""},
        {"LAMBERT2008", kNorth, {"LAMBERT2008"}, {}, {}, {}, "", ""},
        {"LAMBERTWGS84", kNorth, {"LAMBERTWGS84"}, {}, {}, {}, "", ""},
        {"POLAR_STEREOGRAPHIC", kBothHemispheres, {"POLAR_STEREOGRAPHIC"}, {}, {}, {}, "", ""},
        {"UPS", kBothHemispheres, {"UPS"}, {}, {}, {}, "", ""},
        {"STEREOGRAPHIC", kBothHemispheres, {"STEREOGRAPHIC", "NLOS"}, {}, {}, {}, "", ""},
        {"GNOMONIC", kBothHemispheres, {"GNOMONIC"}, {}, {}, {}, "", ""},
        {"MILLER", kBothHemispheres, {"MILLER"}, {}, {}, {}, "", ""},
        {"SINUSOIDAL", kBothHemispheres, {"SINUSOIDAL"}, {}, {}, {}, "", ""},
        {"MOLLWEIDE", kBothHemispheres, {"MOLLWEIDE"}, {}, {}, {}, "", ""},
        {"ALBERS", kBothHemispheres, {"ALBERS"}, {}, {}, {}, "", ""},
        {"LAMBERT_AZIMUTHAL_EQUALAREA", kBothHemispheres, {"LAMBERT_AZIMUTHAL_EQUALAREA"}, {}, {}, {}, "", ""},
        {"LAMBERT_CYLINDRICAL_EQUALAREA", kBothHemispheres, {"LAMBERT_CYLINDRICAL_EQUALAREA"}, {}, {}, {}, "", ""},
        // ETRS89 / LAEA Europe.
        {"ETRS89_LAEA_EUROPE", kNorth, {"LAMBERT_AZIMUTHAL_EQUALAREA"}, {}, {"GRS80"}, {"WGS84"}, "EPSG", "3035"},
        {"JAPAN_JPRC_JGD2000", kNorth, {"GK"}, kJapanZones, {"GRS80"}, {"WGS84"}, "", ""},
        {"JAPAN_JPRC_JGD2011", kNorth, {"GK"}, kJapanZones, {"GRS80"}, {"WGS84"}, "", ""},
    };
}

// First CRS codes of the zone series.
constexpr int kUtmNorthFirst = 32601;  // WGS 84 / UTM zone 1N
constexpr int kUtmSouthFirst = 32701;  // WGS 84 / UTM zone 1S
constexpr int kJgd2000First = 2443;    // JGD2000 / Japan Plane Rectangular CS I
constexpr int kJgd2011First = 6669;    // JGD2011 / Japan Plane Rectangular CS I

std::vector<MapFile> buildFiles(Registry& registry) {
    std::vector<MapFile> files;
    for (const StateSource& state : states()) {
        MapFile& file = files.emplace_back(fileName("state", state.name), std::string("state ") + state.name);
        file.list("hemisphere", state.hemispheres).list("projection", state.projections);
        if (!state.zones.empty()) file.list("zone", state.zones);
        if (!state.ellipsoids.empty()) file.list("ellipsoid", state.ellipsoids);
        if (!state.datumShifts.empty()) file.list("datumshift", state.datumShifts);
        if (*state.code != '\0') putProjection(file, registry, state.authority, state.code, Reading::Natural);
    }
    for (const std::string& hemisphere : kBothHemispheres) {
        files.emplace_back(fileName("hemisphere", hemisphere), "hemisphere " + hemisphere + ": no parameters of its own");
    }
    for (const ProjectionSource& projection : kProjections) {
        const std::string source = *projection.code != '\0'
                                       ? std::string(" from ") + projection.authority + ":" + projection.code
                                       : std::string();
        MapFile& file = files.emplace_back(fileName("projection", projection.name),
                                           std::string("projection ") + projection.name + ": " +
                                               projection.description + source);
        if (!projection.ellipsoids.empty()) file.list("ellipsoid", projection.ellipsoids);
        if (!projection.datumShifts.empty()) file.list("datumshift", projection.datumShifts);
        putProjection(file, registry, projection.authority, projection.code, projection.reading);
    }
    const Names zones = utmZones();
    for (std::size_t i = 0; i < zones.size(); ++i) {
        for (const auto& [hemisphere, first] : {std::pair{"NORTH", kUtmNorthFirst}, std::pair{"SOUTH", kUtmSouthFirst}}) {
            const std::string code = std::to_string(first + static_cast<int>(i));
            MapFile& file = files.emplace_back(fileName(std::string("zone_") + hemisphere, zones[i]),
                                               "UTM zone from EPSG:" + code);
            putNatural(file, registry.conversion("EPSG", code));
        }
    }
    for (std::size_t i = 0; i < kJapanZones.size(); ++i) {
        const std::string code = std::to_string(kJgd2000First + static_cast<int>(i));
        const std::string code2011 = std::to_string(kJgd2011First + static_cast<int>(i));
        const Operation zone = registry.conversion("EPSG", code);
        if (zone.values != registry.conversion("EPSG", code2011).values) {
            throw std::runtime_error("EPSG:" + code + " and EPSG:" + code2011 + " differ");
        }
        MapFile& file = files.emplace_back(fileName("zone_NORTH", kJapanZones[i]),
                                           "Japan Plane Rectangular CS zone from EPSG:" + code + " and EPSG:" + code2011);
        putNatural(file, zone);
    }
    for (const EllipsoidSource& source : kEllipsoids) {
        const Ellipsoid e = registry.ellipsoid(source.epsg);
        const double f = (e.a - e.b) / e.a;
        const double e2 = (e.a * e.a - e.b * e.b) / (e.a * e.a);
        const double ep2 = (e.a * e.a - e.b * e.b) / (e.b * e.b);
        const double n = (e.a - e.b) / (e.a + e.b);
        MapFile& file = files.emplace_back(fileName("ellipsoid", source.name),
                                           std::string("ellipsoid ") + source.name + " from EPSG:" + source.epsg);
        // The geocentric conversion works on "abw", the projections on
        // "abl": both hold the ellipsoid's own axes.
        file.numbers("abw", {e.a, e.b}).numbers("abl", {e.a, e.b});
        file.numbers("ex", {e.a, e.b, f, f != 0.0 ? 1.0 / f : 0.0, std::sqrt(e2), std::sqrt(ep2), e2, ep2, n, n * n,
                            e.a * e.a / e.b});
    }
    const std::vector<double> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    files.emplace_back(fileName("datumshift", "WGS84"), "datum shift WGS84: none")
        .numbers("dsp", {0, 0, 0, 0, 0, 0, 0, 1, 0})
        .matrix("rmat", identity, 3);
    for (const DatumShiftSource& source : kDatumShifts) {
        const Operation op = registry.transformation(source.epsg);
        MapFile& file = files.emplace_back(fileName("datumshift", source.name),
                                           std::string("datum shift ") + source.name + " from EPSG:" + source.epsg);
        const bool translationOnly = !op.has(kXRotation);
        // Coordinate-frame rotations are position-vector rotations with the
        // opposite sign.
        const bool coordinateFrame = op.method == 9607 || op.method == 1032;
        const double sign = coordinateFrame ? -1.0 : 1.0;
        if (translationOnly) {
            file.numbers("dsp", {op.at(kXTranslation), op.at(kYTranslation), op.at(kZTranslation), 0, 0, 0, 0, 1, 3})
                .matrix("rmat", identity, 3);
        } else {
            const double scaleDifference = op.at(kScaleDifference);
            file.numbers("dsp", {op.at(kXTranslation), op.at(kYTranslation), op.at(kZTranslation),
                                 sign * op.at(kXRotation), sign * op.at(kYRotation), sign * op.at(kZRotation),
                                 scaleDifference, 1.0 / (1.0 + scaleDifference * 1e-6), 7});
        }
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path directory = argv[1];
        std::filesystem::create_directories(directory);
        Registry registry;
        const std::vector<MapFile> files = buildFiles(registry);
        std::ofstream list(directory / CORBS_MAP_LIST_FILE, std::ios::binary | std::ios::trunc);
        for (const MapFile& file : files) {
            file.write(directory);
            list << file.name() << "\n";
        }
        list << "# Map definition files of the cartographic systems, one name per line above this one.\n";
        if (!list) throw std::runtime_error("cannot write the map list");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "map files: %s\n", error.what());
        return 1;
    }
    return 0;
}
