// YDF_MAP: set-up from names or image parameters, well-known text and the
// trace dump.  The map files are read in orbs_read_write_map_info.cpp, the
// projections prepared in orbs_transform_utility.cpp.
#include "orbs_core_map_utility.h"

#include <algorithm>
#include <cmath>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_transform_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceDebug;
using NORBS_ERROR_MANAGER::traceInfo;

namespace {

CRasterHeaderMapReader gRasterHeaderMapReader = nullptr;

std::string upperName(std::string name) {
    fdfToUpper(name);
    return name == "NONE" ? std::string() : name;
}

// The WKT of the geographic WGS-84 system, the part the projected ones share
// without the blanks after the commas.
constexpr const char* kGeoGlobalWkt =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

std::string utmWkt(const YDF_MAP& m) {
    const std::string hemisphereLetter = m.mHemisphere.substr(0, 1);
    return fdfFormat(
        "PROJCS[\"UTM_Zone_%s%s\", GEOGCS[\"GCS_WGS_1984\", DATUM[\"D_WGS_1984\", SPHEROID[\"WGS_1984\", 6378137.0, "
        "298.257223563]], PRIMEM[\"Greenwich\", 0.0], UNIT[\"Degree\", 0.0174532925199433]], "
        "PROJECTION[\"Transverse_Mercator\"], PARAMETER[\"False_Easting\", %f], PARAMETER[\"False_Northing\", %f], "
        "PARAMETER[\"Central_Meridian\", %f], PARAMETER[\"Scale_Factor\", %f], PARAMETER[\"Latitude_Of_Origin\", "
        "0.0], UNIT[\"Meter\", 1.0]]",
        m.mZone.c_str(), hemisphereLetter.c_str(), m.mFalseEasting, m.mFalseNorthing,
        m.mCentralMeridian * CORBS_RAD_TO_DEG, m.mK0);
}

std::string grs80TransverseMercatorWkt(const YDF_MAP& m) {
    const bool jgd2011 = m.mState == "JAPAN_JPRC_JGD2011";
    std::string wkt = "PROJCS[\"Transverse_Mercator\", GEOGCS[\"";
    wkt += jgd2011 ? "GCS_JGD_2011" : "GCS_JGD_2000";
    wkt += "\", DATUM[\"";
    wkt += jgd2011 ? "D_JGD_2011" : "D_JGD_2000";
    wkt += "\"";
    wkt += ", SPHEROID[\"GRS_1980\", 6378137.0, 298.257222101]], PRIMEM[\"Greenwich\", 0.0], UNIT[\"Degree\", "
           "0.0174532925199433]], PROJECTION[\"Transverse_Mercator\"]";
    const std::pair<const char*, double> parameters[] = {
        {"false_easting", m.mFalseEasting},
        {"false_northing", m.mFalseNorthing},
        {"central_meridian", m.mCentralMeridian * CORBS_RAD_TO_DEG},
        {"scale_factor", m.mK0},
        {"latitude_of_origin", m.mPhi0 * CORBS_RAD_TO_DEG},
    };
    for (const auto& [name, value] : parameters) wkt += fdfFormat(", PARAMETER[\"%s\",\" %f\"]", name, value);
    return wkt + ", UNIT[\"Meter\", 1.0]]";
}

std::string cylindricalEqualAreaWkt(const YDF_MAP& m) {
    return "PROJCS[\"Cylindrical_Equal_Area\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
           "6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]],"
           "PROJECTION[\"Cylindrical_Equal_Area\"],PARAMETER[\"standard_parallel_1\",0],"
           "PARAMETER[\"central_meridian\"," +
           fdfFormat("%f", m.mCentralMeridian * CORBS_RAD_TO_DEG) +
           "],PARAMETER[\"false_easting\",0],PARAMETER[\"false_northing\",0],UNIT[\"Meter\",1]]";
}

template <std::size_t N>
std::string values(const std::array<double, N>& array) {
    std::string text;
    for (double value : array) text += fdfFormat(" %.12g", value);
    return text;
}

}  // namespace

bool forbsIsGeographicSystem(const std::string& state, const std::string& projection) {
    const std::string geoGlobal = CORBS_GEO_GLOBAL;
    std::string head = state.substr(0, geoGlobal.size());
    std::string upperProjection = projection;
    return fdfToUpper(head) == geoGlobal || fdfToUpper(upperProjection) == "GEO";
}

void forbsSetRasterHeaderMapReader(CRasterHeaderMapReader reader) { gRasterHeaderMapReader = reader; }

YDF_MAP::YDF_MAP() = default;
YDF_MAP::~YDF_MAP() = default;
YDF_MAP::YDF_MAP(YDF_MAP&& other) noexcept = default;
YDF_MAP& YDF_MAP::operator=(YDF_MAP&& other) noexcept = default;

YDF_MAP::YDF_MAP(const YDF_MAP& other) { *this = other; }

YDF_MAP& YDF_MAP::operator=(const YDF_MAP& other) {
    if (this == &other) return *this;
    copyParameters(other);
    mEngine.reset();
    if (other.mEngine) prepareProjection();
    return *this;
}

void YDF_MAP::copyParameters(const YDF_MAP& o) {
    mState = o.mState;
    mHemisphere = o.mHemisphere;
    mProjection = o.mProjection;
    mZone = o.mZone;
    mEllipsoid = o.mEllipsoid;
    mDatumShift = o.mDatumShift;
    mAbw = o.mAbw;
    mAbg = o.mAbg;
    mAbl = o.mAbl;
    mAk0 = o.mAk0;
    mBk0 = o.mBk0;
    mK0 = o.mK0;
    mCx = o.mCx;
    mCy = o.mCy;
    mDx = o.mDx;
    mDy = o.mDy;
    mDsp = o.mDsp;
    mEx = o.mEx;
    mRmat = o.mRmat;
    mPhi0 = o.mPhi0;
    mPhi1 = o.mPhi1;
    mPhi2 = o.mPhi2;
    mCentralMeridian = o.mCentralMeridian;
    mFalseEasting = o.mFalseEasting;
    mFalseNorthing = o.mFalseNorthing;
    mReferenceHeight = o.mReferenceHeight;
    mHasStandardParallel2 = o.mHasStandardParallel2;
}

void YDF_MAP::reset() { copyParameters(YDF_MAP()); mEngine.reset(); }

bool YDF_MAP::isSameSystem(const YDF_MAP& o) const {
    return mState == o.mState && mHemisphere == o.mHemisphere && mProjection == o.mProjection && mZone == o.mZone &&
           mEllipsoid == o.mEllipsoid && mDatumShift == o.mDatumShift && mAbw == o.mAbw && mAbg == o.mAbg &&
           mAbl == o.mAbl && mAk0 == o.mAk0 && mBk0 == o.mBk0 && mK0 == o.mK0 && mCx == o.mCx && mCy == o.mCy &&
           mDx == o.mDx && mDy == o.mDy && mDsp == o.mDsp && mEx == o.mEx && mRmat == o.mRmat && mPhi0 == o.mPhi0 &&
           mPhi1 == o.mPhi1 && mPhi2 == o.mPhi2 && mCentralMeridian == o.mCentralMeridian &&
           mFalseEasting == o.mFalseEasting && mFalseNorthing == o.mFalseNorthing &&
           mHasStandardParallel2 == o.mHasStandardParallel2;
}

void YDF_MAP::init(const std::string& state, const std::string& hemisphere, const std::string& projection,
                   const std::string& zone, const std::string& ellipsoid, const std::string& datumShift,
                   const CMapOverrides& overrides) {
    CMapNames names{upperName(state),     upperName(hemisphere), upperName(projection),
                    upperName(zone),      upperName(ellipsoid),  upperName(datumShift)};
    if (names.state == "LAMBERT_EQUALAREA") names.state = names.projection = "LAMBERT_CYLINDRICAL_EQUALAREA";

    reset();
    traceInfo("Before  aExit=read_map_info( \n");
    const CMapInfoLists lists = read_map_info(names);
    traceInfo("After  aExit=read_map_info( \n");
    const bool problem = check_map_info(names, lists);
    traceInfo("After  aExit=check_map_info( \n");
    if (problem) {
        traceDebug("\n\nBefore check_map_info\nstate = %s\nhemi = %s\nproj = %s\nzone = %s\nellipsoid = %s\nldsp = %s\n",
                   names.state.c_str(), names.hemisphere.c_str(), names.projection.c_str(), names.zone.c_str(),
                   names.ellipsoid.c_str(), names.datumShift.c_str());
        raiseError(ORBS_EC_MAP_INFO, CORBS_MAP_SOURCE, __LINE__,
                   "Cartographic system not valid: " + names.state + " " + names.hemisphere + " " +
                       names.projection + " " + names.zone + " " + names.ellipsoid + " " + names.datumShift);
    }
    mState = names.state;
    mHemisphere = names.hemisphere;
    mProjection = names.projection;
    mZone = names.zone;
    mEllipsoid = names.ellipsoid;
    mDatumShift = names.datumShift;

    if (mDsp[8] == 7.0) prepareSevenParameterShift();
    mCentralMeridian *= CORBS_DEG_TO_RAD;
    mPhi0 *= CORBS_DEG_TO_RAD;
    mPhi1 *= CORBS_DEG_TO_RAD;

    if (overrides.falseNorthing) mFalseNorthing = *overrides.falseNorthing;
    if (overrides.falseEasting) mFalseEasting = *overrides.falseEasting;
    if (overrides.centralMeridian) mCentralMeridian = *overrides.centralMeridian;
    if (overrides.northOrigin) mPhi0 = *overrides.northOrigin;
    if (overrides.secondLatitude) mPhi1 = *overrides.secondLatitude;
    if (overrides.scaleFactor) mK0 = *overrides.scaleFactor;
    if (overrides.standardParallel2) {
        mPhi2 = *overrides.standardParallel2;
        mHasStandardParallel2 = true;
    }
    prepareProjection();
}

// The map file gives the rotations in arc-seconds (position-vector
// convention) and the scale difference in ppm.  Going from WGS-84 to the
// local datum inverts the Helmert transformation: the transposed rotation
// and the inverse scale.
void YDF_MAP::prepareSevenParameterShift() {
    const double arcSecond = CORBS_DEG_TO_RAD / 3600.0;
    const double rx = mDsp[3] * arcSecond;
    const double ry = mDsp[4] * arcSecond;
    const double rz = mDsp[5] * arcSecond;
    mRmat = {{{1.0, -rz, ry}, {rz, 1.0, -rx}, {-ry, rx, 1.0}}};
    mDsp[7] = 1.0 / (1.0 + mDsp[6] * 1e-6);
}

void YDF_MAP::prepareProjection() {
    mEngine = std::make_unique<CProjectionEngine>();
    NORBS_MAP_TRANSFORM::prepare(*this, *mEngine);
}

bool YDF_MAP::init(CSectionDataGroup& parameters) {
    auto key = [](const char* name) { return std::string("CartographicSystem.") + name; };
    bool found = false;
    const std::string state = parameters.getString(key("State"), &found);
    if (!found) return false;
    auto text = [&](const char* name) {
        bool present = false;
        std::string value = parameters.getString(key(name), &present);
        return present ? value : std::string();
    };
    auto number = [&](const std::string& fullKey) -> std::optional<double> {
        bool present = false;
        const double value = parameters.getDouble(fullKey, &present);
        return present ? std::optional<double>(value) : std::nullopt;
    };
    auto angle = [&](const char* name) -> std::optional<double> {
        const std::optional<double> value = number(key(name));
        return value ? std::optional<double>(*value * CORBS_DEG_TO_RAD) : std::nullopt;
    };

    CMapOverrides overrides;
    overrides.falseNorthing = number(key("ProjectionDatumFalseNorthing"));
    overrides.falseEasting = number(key("ProjectionDatumFalseEasting"));
    overrides.centralMeridian = angle("CentralOfProjLongitude");
    overrides.northOrigin = angle("CentralOfProjLatitude");
    // The later key wins when both are present.
    for (const char* name : {"ScaleFactor", "SphereRadius"}) {
        if (const auto value = number(key(name))) overrides.scaleFactor = value;
    }
    for (const char* name : {"LatitudeOfTrueScale", "AngleOfAzimuth", "StandardParallel1"}) {
        if (const auto value = angle(name)) overrides.secondLatitude = value;
    }
    overrides.standardParallel2 = angle("StandardParallel2");

    init(state, text("Hemisphere"), text("Projection"), text("Zone"), text("Ellipsoid"), text("DatumShift"),
         overrides);
    mReferenceHeight = number("ReferenceHeight").value_or(0.0);
    return true;
}

bool YDF_MAP::initFromHeaderFile(const std::string& image, bool raise) {
    const std::string parameterFile = image + "_hdr";
    NORBS_ERROR_MANAGER::traceAtLevel(15, "\n\nINIT MAP from  parameter file [%s]\n\n", parameterFile.c_str());
    CSectionDataGroupDescription description;
    CSectionDataGroup header;
    bool read = description.init("", "HEADER_INFO") == 1 && header.init(&description, {"CartographicSystem"}) == 1 &&
                header.readFile(parameterFile, false) == 1;
    if (!read && gRasterHeaderMapReader != nullptr) read = gRasterHeaderMapReader(image, header);
    if (!read) {
        if (raise) raiseError(ORBS_EC_IMAGE_HEADER, CORBS_MAP_SOURCE, __LINE__, image);
        return false;
    }
    return init(header);
}

std::string YDF_MAP::getWkt() const {
    if (mState == CORBS_GEO_GLOBAL) return kGeoGlobalWkt;
    if (mState == "UTM-GLOBAL") return utmWkt(*this);
    if (mState == "GENERIC_UTM" || mState == "JAPAN_JPRC_JGD2000" || mState == "JAPAN_JPRC_JGD2011") {
        return grs80TransverseMercatorWkt(*this);
    }
    if (mState == "LAMBERT_CYLINDRICAL_EQUALAREA") return cylindricalEqualAreaWkt(*this);
    return std::string();
}

void YDF_MAP::printMap() const {
    traceInfo("--------- MAP - parameters  - START --------------\n");
    traceInfo("State = %s\n", mState.c_str());
    traceInfo("  Hemisphere = %s\n", mHemisphere.c_str());
    traceInfo("  Projection = %s\n", mProjection.c_str());
    traceInfo("  Zone = %s\n", mZone.c_str());
    traceInfo("  Ellipsoid = %s\n", mEllipsoid.c_str());
    traceInfo(" local datum shift = %s\n", mDatumShift.c_str());
    traceInfo("a,b axis Ell WGS84 = %.12g , %.12g\n", mAbw[0], mAbw[1]);
    traceInfo("a,b axis Ell GEM6 = %.12g , %.12g\n", mAbg[0], mAbg[1]);
    traceInfo("a,b axis Ell local = %.12g , %.12g\n", mAbl[0], mAbl[1]);
    traceInfo("Scale factor A = %.12g\n", mAk0);
    traceInfo("Scale factor B = %.12g\n", mBk0);
    traceInfo("Scale Factor = %.12g\n", mK0);
    traceInfo("North origin = %.12g\n", mPhi0);
    traceInfo("Central meridian = %.12g\n", mCentralMeridian);
    traceInfo("False origin East = %.12g\n", mFalseEasting);
    traceInfo("False origin North = %.12g\n", mFalseNorthing);
    traceInfo("\n Datum shift parameter = %s", values(mDsp).c_str());
    traceInfo("\n eccentricity = %s", values(mEx).c_str());
    traceInfo("\n\n rotation matrix\n");
    for (const auto& row : mRmat) traceInfo("%s\n", values(row).c_str());
    traceInfo("--------- MAP - parameters  - END --------------\n");
}
