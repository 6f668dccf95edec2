// The projection table and CMapTransform.
#include "orbs_transform_utility.h"

#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::raiseError;

namespace {

constexpr const char* kSource = "map_info_utility/orbs_transform_utility";

// Points per block of a transformation.
constexpr std::size_t kBlockSize = 8192;

// BING: the half circumference of its sphere, in metres.
constexpr double kBingHalfCircumference = 20037508.34;

std::string degrees(double radians) { return fdfFormat("%.17g", radians * CORBS_RAD_TO_DEG); }
std::string number(double value) { return fdfFormat("%.17g", value); }

// The parameters every PROJ definition of a system shares.
std::string falseOrigin(const YDF_MAP& m) { return " +x_0=" + number(m.mFalseEasting) + " +y_0=" + number(m.mFalseNorthing); }
std::string ellipsoid(const YDF_MAP& m) { return " +a=" + number(m.mAbl[0]) + " +b=" + number(m.mAbl[1]); }
std::string origin(const YDF_MAP& m) {
    return " +lat_0=" + degrees(m.mPhi0) + " +lon_0=" + degrees(m.mCentralMeridian);
}

// ---------------------------------------------------------------------------
// PROJ definitions of the PROJ-backed projections.

std::string tmercDefinition(const YDF_MAP& m) {
    return "+proj=tmerc" + origin(m) + " +k_0=" + number(m.mK0) + falseOrigin(m) + ellipsoid(m);
}

// A latitude of true scale, when given, replaces the scale factor.
std::string mercDefinition(const YDF_MAP& m) {
    const std::string scale = m.mPhi1 != 0.0 ? " +lat_ts=" + degrees(m.mPhi1) : " +k_0=" + number(m.mK0);
    return "+proj=merc +lon_0=" + degrees(m.mCentralMeridian) + scale + falseOrigin(m) + ellipsoid(m);
}

// The map files give the national sets in their one-parallel form (origin
// and standard parallel at the same latitude, with a scale factor); with a
// second standard parallel the cone is the two-parallel one, which has no
// scale factor.
std::string lccDefinition(const YDF_MAP& m) {
    std::string definition = "+proj=lcc" + origin(m) + " +lat_1=" + degrees(m.mPhi1);
    definition += m.mHasStandardParallel2 ? " +lat_2=" + degrees(m.mPhi2) : " +k_0=" + number(m.mK0);
    return definition + falseOrigin(m) + ellipsoid(m);
}

// The pole is the hemisphere's; a latitude of true scale, when given,
// replaces the scale factor and takes the pole's sign.
std::string polarDefinition(const YDF_MAP& m) {
    const double pole = m.mHemisphere == "SOUTH" ? -90.0 : 90.0;
    const std::string scale = m.mPhi1 != 0.0 ? " +lat_ts=" + number(std::copysign(std::fabs(m.mPhi1) * CORBS_RAD_TO_DEG, pole))
                                             : " +k_0=" + number(m.mK0);
    return "+proj=stere +lat_0=" + number(pole) + " +lon_0=" + degrees(m.mCentralMeridian) + scale + falseOrigin(m) +
           ellipsoid(m);
}

// Oblique stereographic on the conformal sphere (the national form, as in
// NLOS).
std::string stereaDefinition(const YDF_MAP& m) {
    return "+proj=sterea" + origin(m) + " +k_0=" + number(m.mK0) + falseOrigin(m) + ellipsoid(m);
}

// CHOM: the Swiss oblique Mercator.
std::string somercDefinition(const YDF_MAP& m) {
    return "+proj=somerc" + origin(m) + " +k_0=" + number(m.mK0) + falseOrigin(m) + ellipsoid(m);
}

// Spherical: the sphere radius is the scale factor field.
std::string gnomDefinition(const YDF_MAP& m) {
    NORBS_ERROR_MANAGER::traceInfo("GNOMONIC R  = %f\n", m.mK0);
    return "+proj=gnom" + origin(m) + falseOrigin(m) + " +R=" + number(m.mK0);
}

std::string sinuDefinition(const YDF_MAP& m) {
    return "+proj=sinu +lon_0=" + degrees(m.mCentralMeridian) + falseOrigin(m) + ellipsoid(m);
}

std::string mollDefinition(const YDF_MAP& m) {
    return "+proj=moll +lon_0=" + degrees(m.mCentralMeridian) + falseOrigin(m) + ellipsoid(m);
}

std::string aeaDefinition(const YDF_MAP& m) {
    return "+proj=aea" + origin(m) + " +lat_1=" + degrees(m.mPhi1) + " +lat_2=" + degrees(m.mPhi2) + falseOrigin(m) +
           ellipsoid(m);
}

std::string laeaDefinition(const YDF_MAP& m) { return "+proj=laea" + origin(m) + falseOrigin(m) + ellipsoid(m); }

std::string ceaDefinition(const YDF_MAP& m) {
    return "+proj=cea +lat_ts=" + degrees(m.mPhi1) + " +lon_0=" + degrees(m.mCentralMeridian) + falseOrigin(m) +
           ellipsoid(m);
}

// ---------------------------------------------------------------------------
// The adapter shared by every PROJ-backed projection.

template <std::string (*Definition)(const YDF_MAP&)>
void prepareProj(YDF_MAP& system, CProjectionEngine& engine) {
    engine.projectionDefinition = Definition(system);
    engine.projection = engine.create(engine.projectionDefinition);
}

void projTransform(const YDF_MAP& system, PJ_DIRECTION direction, double* x, double* y, std::size_t count) {
    const CProjectionEngine* engine = system.projectionEngine();
    if (engine == nullptr || engine->projection == nullptr) return;
    proj_errno_reset(engine->projection);
    proj_trans_generic(engine->projection, direction, x, sizeof(double), count, y, sizeof(double), count, nullptr, 0, 0,
                       nullptr, 0, 0);
}

void projForward(const YDF_MAP& system, double* x, double* y, std::size_t count) {
    projTransform(system, PJ_FWD, x, y, count);
}

void projInverse(const YDF_MAP& system, double* x, double* y, std::size_t count) {
    projTransform(system, PJ_INV, x, y, count);
}

// ---------------------------------------------------------------------------
// The projections with their own formulas.

void prepareNothing(YDF_MAP&, CProjectionEngine&) {}

void geoForward(const YDF_MAP&, double* x, double* y, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        x[i] *= CORBS_RAD_TO_DEG;
        y[i] *= CORBS_RAD_TO_DEG;
    }
}

void geoInverse(const YDF_MAP&, double* x, double* y, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        x[i] *= CORBS_DEG_TO_RAD;
        y[i] *= CORBS_DEG_TO_RAD;
    }
}

void bingForward(const YDF_MAP& m, double* x, double* y, std::size_t count) {
    const double centralMeridian = m.mCentralMeridian * CORBS_RAD_TO_DEG;
    for (std::size_t i = 0; i < count; ++i) {
        const double lonDegrees = x[i] * CORBS_RAD_TO_DEG;
        const double latDegrees = y[i] * CORBS_RAD_TO_DEG;
        x[i] = (lonDegrees - centralMeridian) * kBingHalfCircumference / 180.0;
        y[i] = std::log(std::tan((latDegrees + 90.0) * std::numbers::pi / 360.0)) * CORBS_RAD_TO_DEG *
               kBingHalfCircumference / 180.0;
    }
}

void bingInverse(const YDF_MAP& m, double* x, double* y, std::size_t count) {
    const double centralMeridian = m.mCentralMeridian * CORBS_RAD_TO_DEG;
    for (std::size_t i = 0; i < count; ++i) {
        const double lonDegrees = x[i] * 180.0 / kBingHalfCircumference + centralMeridian;
        const double t = y[i] * 180.0 / kBingHalfCircumference / CORBS_RAD_TO_DEG;
        const double latDegrees = std::atan(std::exp(t)) * 360.0 / std::numbers::pi - 90.0;
        x[i] = lonDegrees * CORBS_DEG_TO_RAD;
        y[i] = latDegrees * CORBS_DEG_TO_RAD;
    }
}

void millerForward(const YDF_MAP& m, double* x, double* y, std::size_t count) {
    const double radius = m.mK0;
    for (std::size_t i = 0; i < count; ++i) {
        x[i] = (x[i] - m.mCentralMeridian) * radius;
        y[i] = radius * std::log(std::tan(0.4 * y[i] + std::numbers::pi / 4.0)) / 0.8;
    }
}

void millerInverse(const YDF_MAP& m, double* x, double* y, std::size_t count) {
    const double radius = m.mK0;
    for (std::size_t i = 0; i < count; ++i) {
        const double latitude = 2.5 * std::atan(std::exp(0.8 * y[i] / radius)) - 1.9634954084936207;
        x[i] = x[i] / radius + m.mCentralMeridian;
        y[i] = latitude;
    }
}

// The projection table.
using NORBS_MAP_TRANSFORM::CProjectionEntry;
const CProjectionEntry kProjections[] = {
    {"GEO", prepareNothing, geoForward, geoInverse},
    {"GK", prepareProj<tmercDefinition>, projForward, projInverse},
    {"MERCATOR", prepareProj<mercDefinition>, projForward, projInverse},
    {"BING", prepareNothing, bingForward, bingInverse},
    {"LAMBERT_CONFORMAL_CONIC", prepareProj<lccDefinition>, projForward, projInverse},
    {"LAMBERT72", prepareProj<lccDefinition>, projForward, projInverse},
    {"LAMBERT2008", prepareProj<lccDefinition>, projForward, projInverse},
    {"LAMBERTWGS84", prepareProj<lccDefinition>, projForward, projInverse},
    {"POLAR_STEREOGRAPHIC", prepareProj<polarDefinition>, projForward, projInverse},
    {"UPS", prepareProj<polarDefinition>, projForward, projInverse},
    {"STEREOGRAPHIC", prepareProj<stereaDefinition>, projForward, projInverse},
    {"GNOMONIC", prepareProj<gnomDefinition>, projForward, projInverse},
    {"MILLER", prepareNothing, millerForward, millerInverse},
    {"SINUSOIDAL", prepareProj<sinuDefinition>, projForward, projInverse},
    {"MOLLWEIDE", prepareProj<mollDefinition>, projForward, projInverse},
    {"ALBERS", prepareProj<aeaDefinition>, projForward, projInverse},
    {"LAMBERT_AZIMUTHAL_EQUALAREA", prepareProj<laeaDefinition>, projForward, projInverse},
    {"LAMBERT_CYLINDRICAL_EQUALAREA", prepareProj<ceaDefinition>, projForward, projInverse},
    {"CHOM", prepareProj<somercDefinition>, projForward, projInverse},
    {"NLOS", prepareProj<stereaDefinition>, projForward, projInverse},
};

void copyArray(const double* from, double* to, std::size_t count) {
    if (from != to) std::memmove(to, from, count * sizeof(double));
}

}  // namespace

// ---------------------------------------------------------------------------

CProjectionEngine::CProjectionEngine() : mContext(proj_context_create()) {}

CProjectionEngine::~CProjectionEngine() {
    proj_destroy(projection);
    proj_destroy(geocentric);
    proj_context_destroy(mContext);
}

PJ* CProjectionEngine::create(const std::string& definition) {
    PJ* object = proj_create(mContext, definition.c_str());
    if (object == nullptr) {
        const std::string reason = proj_context_errno_string(mContext, proj_context_errno(mContext));
        NORBS_ERROR_MANAGER::traceInfo("PROJ refuses %s: %s\n", definition.c_str(), reason.c_str());
        raiseError(ORBS_EC_MAP_INFO, kSource, __LINE__, "Map projection not valid (" + reason + "): " + definition);
    }
    return object;
}

namespace NORBS_MAP_TRANSFORM {

const CProjectionEntry* findProjection(const std::string& name) {
    for (const CProjectionEntry& entry : kProjections) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

const CProjectionEntry* projectionOf(const YDF_MAP& system) {
    if (system.isCartesian()) return nullptr;
    if (forbsIsGeographicSystem(system.mState)) return findProjection("GEO");
    if (system.mState == "UTM-GLOBAL" || system.mState == "GENERIC_UTM") return findProjection("GK");
    if (system.mState == "ALBERS") return findProjection("ALBERS");
    return findProjection(system.mProjection);
}

void prepare(YDF_MAP& system, CProjectionEngine& engine) {
    if (system.mAbw[0] > 0.0) {
        engine.geocentric = engine.create("+proj=cart +a=" + number(system.mAbw[0]) + " +es=" + number(system.mEx[6]));
    }
    if (system.isCartesian()) return;
    const CProjectionEntry* entry = projectionOf(system);
    if (entry == nullptr) {
        raiseError(ORBS_EC_MAP_INFO, kSource, __LINE__, "Map projection not valid: " + system.mProjection);
    }
    entry->prepare(system, engine);
}

std::string projDefinition(const YDF_MAP& system) {
    const CProjectionEngine* engine = system.projectionEngine();
    return engine != nullptr ? engine->projectionDefinition : std::string();
}

void geographicToGeocentric(const YDF_MAP& system, const double* lon, const double* lat, const double* h, double* x,
                            double* y, double* z, std::size_t count) {
    const double a = system.mAbw[0];
    const double e2 = system.mEx[6];
    for (std::size_t i = 0; i < count; ++i) {
        const double sinLat = std::sin(lat[i]);
        const double cosLat = std::cos(lat[i]);
        const double n = a / std::sqrt(1.0 - e2 * sinLat * sinLat);
        const double height = h[i];
        const double longitude = lon[i];
        x[i] = (n + height) * cosLat * std::cos(longitude);
        y[i] = (n + height) * cosLat * std::sin(longitude);
        z[i] = ((1.0 - e2) * n + height) * sinLat;
    }
}

void geocentricToGeographic(const YDF_MAP& system, double* x, double* y, double* z, std::size_t count) {
    const CProjectionEngine* engine = system.projectionEngine();
    if (engine == nullptr || engine->geocentric == nullptr) return;
    proj_errno_reset(engine->geocentric);
    proj_trans_generic(engine->geocentric, PJ_INV, x, sizeof(double), count, y, sizeof(double), count, z,
                       sizeof(double), count, nullptr, 0, 0);
}

bool hasDatumShift(const YDF_MAP& system) { return system.mDsp[8] == 3.0 || system.mDsp[8] == 7.0; }

void shiftDatum(const YDF_MAP& system, double* x, double* y, double* z, std::size_t count) {
    const auto& d = system.mDsp;
    if (d[8] == 3.0) {
        for (std::size_t i = 0; i < count; ++i) {
            x[i] -= d[0];
            y[i] -= d[1];
            z[i] -= d[2];
        }
    } else if (d[8] == 7.0) {
        const auto& r = system.mRmat;
        const double scale = d[7];
        for (std::size_t i = 0; i < count; ++i) {
            const double dx = x[i] - d[0];
            const double dy = y[i] - d[1];
            const double dz = z[i] - d[2];
            x[i] = scale * (r[0][0] * dx + r[1][0] * dy + r[2][0] * dz);
            y[i] = scale * (r[0][1] * dx + r[1][1] * dy + r[2][1] * dz);
            z[i] = scale * (r[0][2] * dx + r[1][2] * dy + r[2][2] * dz);
        }
    }
    // Any other form has nothing to shift: applying the reset (zero) matrix
    // would move every point to the origin.
}

}  // namespace NORBS_MAP_TRANSFORM

void geo2map(double* x, double* y, std::size_t count, const YDF_MAP& system) {
    if (const auto* entry = NORBS_MAP_TRANSFORM::projectionOf(system)) entry->forward(system, x, y, count);
}

void map2geo(double* x, double* y, std::size_t count, const YDF_MAP& system) {
    if (const auto* entry = NORBS_MAP_TRANSFORM::projectionOf(system)) entry->inverse(system, x, y, count);
}

// ---------------------------------------------------------------------------

void CMapTransform::setInput(const YDF_MAP& system) {
    mInput = &system;
    chooseCase();
}

void CMapTransform::setOutput(const YDF_MAP& system) {
    mOutput = &system;
    chooseCase();
}

void CMapTransform::chooseCase() {
    // A system that was never initialised has no projection to run.
    if (mInput == nullptr || mOutput == nullptr || mInput->mState.empty() || mOutput->mState.empty()) {
        mCase = Case::NotSet;
    } else if (mInput == mOutput || mInput->isSameSystem(*mOutput)) {
        mCase = Case::Copy;
    } else if (!mInput->isCartesian() && !mOutput->isCartesian() && mInput->mAbw[0] == mOutput->mAbw[0] &&
               mInput->mEx[6] == mOutput->mEx[6] && !NORBS_MAP_TRANSFORM::hasDatumShift(*mOutput)) {
        // The geocentric round trip on one ellipsoid is the identity.
        mCase = Case::Direct;
    } else {
        mCase = Case::Geocentric;
    }
}

void CMapTransform::growWorkArrays(std::size_t count) {
    if (count <= mCapacity) return;
    for (std::vector<double>* work : {&mLon, &mLat, &mHeight, &mX, &mY, &mZ}) work->resize(count);
    mCapacity = count;
}

bool CMapTransform::transform(const double* xIn, const double* yIn, const double* zIn, double* xOut, double* yOut,
                              double* zOut, std::size_t count) {
    if (mCase == Case::NotSet) return false;
    if (mCase == Case::Geocentric) growWorkArrays(std::min(count, kBlockSize));
    for (std::size_t start = 0; start < count; start += kBlockSize) {
        const std::size_t n = std::min(kBlockSize, count - start);
        transformBlock(xIn + start, yIn + start, zIn + start, xOut + start, yOut + start, zOut + start, n);
    }
    return true;
}

void CMapTransform::transformBlock(const double* xIn, const double* yIn, const double* zIn, double* xOut,
                                  double* yOut, double* zOut, std::size_t n) {
    using namespace NORBS_MAP_TRANSFORM;
    if (mCase != Case::Geocentric) {
        copyArray(xIn, xOut, n);
        copyArray(yIn, yOut, n);
        copyArray(zIn, zOut, n);
        if (mCase == Case::Direct) {
            map2geo(xOut, yOut, n, *mInput);
            geo2map(xOut, yOut, n, *mOutput);
        }
        return;
    }
    if (mInput->isCartesian()) {
        copyArray(xIn, mX.data(), n);
        copyArray(yIn, mY.data(), n);
        copyArray(zIn, mZ.data(), n);
    } else {
        copyArray(xIn, mLon.data(), n);
        copyArray(yIn, mLat.data(), n);
        copyArray(zIn, mHeight.data(), n);
        map2geo(mLon.data(), mLat.data(), n, *mInput);
        geographicToGeocentric(*mInput, mLon.data(), mLat.data(), mHeight.data(), mX.data(), mY.data(), mZ.data(), n);
    }
    shiftDatum(*mOutput, mX.data(), mY.data(), mZ.data(), n);
    copyArray(mX.data(), xOut, n);
    copyArray(mY.data(), yOut, n);
    copyArray(mZ.data(), zOut, n);
    if (!mOutput->isCartesian()) {
        geocentricToGeographic(*mOutput, xOut, yOut, zOut, n);
        geo2map(xOut, yOut, n, *mOutput);
    }
}
