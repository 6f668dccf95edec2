// Scene locator: range-Doppler geolocation on the WGS-84 ellipsoid.
//
// A pixel's line gives its azimuth time (first line time + line x line
// interval) and so the satellite's position S and velocity V; its column
// gives the slant range R (slant-range grid, or the ground-to-slant
// polynomial of a ground-range grid).  The ground point X is the solution of
//   |X - S| = R                       (range sphere)
//   V . (X - S) = lambda R fdc / 2    (Doppler cone; a plane at zero Doppler)
//   x^2/A^2 + y^2/A^2 + z^2/B^2 = 1   (ellipsoid raised by the terrain height)
// found by Newton's method from a point on the look side.
#include "orbs_scene_locator.h"

#include <cmath>
#include <optional>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_raster_header.h"

namespace {

constexpr double kSemiMajor = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kSemiMinor = kSemiMajor * (1.0 - kFlattening);
constexpr double kEccentricity2 = kFlattening * (2.0 - kFlattening);
constexpr double kSpeedOfLight = 299792458.0;
constexpr double kDegrees = 57.29577951308232;
constexpr int kMaxIterations = 30;
constexpr double kConvergedMetres = 1e-4;

double dot(const CVector3& a, const CVector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double norm(const CVector3& a) { return std::sqrt(dot(a, a)); }
CVector3 cross(const CVector3& a, const CVector3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
CVector3 scaled(const CVector3& a, double k) { return {a[0] * k, a[1] * k, a[2] * k}; }
CVector3 sum(const CVector3& a, const CVector3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
CVector3 difference(const CVector3& a, const CVector3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

double polynomialValue(const std::vector<double>& coefficients, double x) {
    double value = 0.0;
    for (auto it = coefficients.rbegin(); it != coefficients.rend(); ++it) value = value * x + *it;
    return value;
}

// Solves the 3 x 3 system m x = r by Cramer's rule; false when singular.
bool solve3(const std::array<CVector3, 3>& m, const CVector3& r, CVector3& x) {
    const double det = dot(m[0], cross(m[1], m[2]));
    if (det == 0.0 || !std::isfinite(det)) return false;
    // Rows of the inverse times r, through the columns' cross products.
    const CVector3 c0{m[0][0], m[1][0], m[2][0]}, c1{m[0][1], m[1][1], m[2][1]}, c2{m[0][2], m[1][2], m[2][2]};
    x = {dot(r, cross(c1, c2)) / det, dot(r, cross(c2, c0)) / det, dot(r, cross(c0, c1)) / det};
    return true;
}

}  // namespace

CVector3 geodeticToEarthFixed(double latitudeDeg, double longitudeDeg, double height) {
    const double lat = latitudeDeg / kDegrees;
    const double lon = longitudeDeg / kDegrees;
    const double n = kSemiMajor / std::sqrt(1.0 - kEccentricity2 * std::sin(lat) * std::sin(lat));
    return {(n + height) * std::cos(lat) * std::cos(lon), (n + height) * std::cos(lat) * std::sin(lon),
            (n * (1.0 - kEccentricity2) + height) * std::sin(lat)};
}

void earthFixedToGeodetic(const CVector3& point, double& latitudeDeg, double& longitudeDeg, double& height) {
    const double p = std::hypot(point[0], point[1]);
    double lat = std::atan2(point[2], p * (1.0 - kEccentricity2));
    double n = kSemiMajor;
    for (int i = 0; i < 10; ++i) {
        n = kSemiMajor / std::sqrt(1.0 - kEccentricity2 * std::sin(lat) * std::sin(lat));
        const double h = p / std::cos(lat) - n;
        const double next = std::atan2(point[2], p * (1.0 - kEccentricity2 * n / (n + h)));
        const bool done = std::fabs(next - lat) < 1e-14;
        lat = next;
        if (done) break;
    }
    n = kSemiMajor / std::sqrt(1.0 - kEccentricity2 * std::sin(lat) * std::sin(lat));
    height = std::fabs(lat) < 1.0 ? p / std::cos(lat) - n : point[2] / std::sin(lat) - n * (1.0 - kEccentricity2);
    latitudeDeg = lat * kDegrees;
    longitudeDeg = std::atan2(point[1], point[0]) * kDegrees;
    if (longitudeDeg == -180.0) longitudeDeg = 180.0;
}

CSceneLocator::CSceneLocator() = default;
CSceneLocator::~CSceneLocator() = default;

int CSceneLocator::init(const CSectionDataGroup& header) {
    reset();
    mRpc.reset();
    const std::optional<double> lines = headerNumber(header, "RasterInfo.NrOfLinesPerImage");
    const std::optional<double> pixels = headerNumber(header, "RasterInfo.NrOfPixelsPerLine");
    if (!lines || !pixels || *lines < 1 || *pixels < 1) {
        set(ORBS_EC_SCENE_GEOMETRY, CORBS_SCENE_LOCATOR_SOURCE, "RasterInfo needs NrOfLinesPerImage and NrOfPixelsPerLine",
            __LINE__);
        return 0;
    }
    mLines = static_cast<int>(*lines);
    mPixels = static_cast<int>(*pixels);
    mStart = CTimeValue();
    if (const auto text = headerString(header, "AcquisitionParameters.AcquisitionTime")) mStart.parseDayMonthNameYear(*text);

    if (const CSectionField* rpc = header.findField("AcquisitionParameters.LINE_NUM_COEFF");
        rpc != nullptr && rpc->isInitField(false)) {
        mRpc = std::make_unique<CRpcModel>();
        if (mRpc->init(header) == 0) {
            set(mRpc->get_error_code(), mRpc->get_error_source_name(), mRpc->get_error_other_info(),
                mRpc->get_error_source_line());
            return 0;
        }
        mHeight = mRpc->getHeightOffset();
        // The line interval of an RPC image serves only its stop time.
        CTimeValue end;
        if (const auto text = headerString(header, "AcquisitionParameters.EndAcquisitionTime")) end.parseDayMonthNameYear(*text);
        mLineInterval = mStart.isValid() && end.isValid() && mLines > 1
                            ? CTimeValue::secondsBetween(end, mStart) / (mLines - 1)
                            : 0.0;
        return 1;
    }
    return initRangeDoppler(header);
}

int CSceneLocator::initRangeDoppler(const CSectionDataGroup& header) {
    const auto missing = [this](const std::string& what, int line) {
        set(ORBS_EC_SCENE_GEOMETRY, CORBS_SCENE_LOCATOR_SOURCE, "the header has no " + what, line);
        return 0;
    };
    if (mOrbit.initFromHeader(header) == 0) {
        set(mOrbit.get_error_code(), mOrbit.get_error_source_name(), mOrbit.get_error_other_info(),
            mOrbit.get_error_source_line());
        return 0;
    }
    if (!mStart.isValid()) return missing("valid AcquisitionParameters.AcquisitionTime", __LINE__);
    mFirstLineTime = mOrbit.secondsFromReference(mStart);
    if (const auto interval = headerNumber(header, "Processing.AzimuthTimeInterval")) {
        mLineInterval = *interval;
    } else {
        CTimeValue end;
        if (const auto text = headerString(header, "AcquisitionParameters.EndAcquisitionTime")) end.parseDayMonthNameYear(*text);
        if (!end.isValid() || mLines < 2) return missing("Processing.AzimuthTimeInterval", __LINE__);
        mLineInterval = CTimeValue::secondsBetween(end, mStart) / (mLines - 1);
    }

    const std::optional<double> spacing = headerNumber(header, "Processing.PixelSpacingRg");
    if (!spacing) return missing("Processing.PixelSpacingRg", __LINE__);
    mRangeSpacing = *spacing;
    const auto groundToSlant = headerNumbers(header, "Processing.GroundToSlantCoeff");
    mGroundRange = groundToSlant && !groundToSlant->empty();
    if (mGroundRange) {
        mGroundToSlant = *groundToSlant;
        mGroundOrigin = headerNumber(header, "Processing.GroundRangeOrigin").value_or(0.0);
    } else if (const auto near = headerNumber(header, "Processing.NearSlantRange")) {
        mNearRange = *near;
    } else if (const auto time = headerNumber(header, "Processing.SlantRangeTimeFirstPixel")) {
        mNearRange = *time * kSpeedOfLight / 2.0;
    } else {
        return missing("Processing.NearSlantRange, SlantRangeTimeFirstPixel or GroundToSlantCoeff", __LINE__);
    }

    mUseDoppler = headerString(header, "InitialGeometry.AzimuthGeometry") == "DOPPLER_CENTROID";
    if (mUseDoppler) {
        const auto coefficients = headerNumbers(header, "Processing.DopCenRangeCoeff");
        const auto referenceTime = headerNumber(header, "Processing.DopCenRgRefTime");
        const auto frequency = headerNumber(header, "Processing.RangeDoppler_fref");
        if (!coefficients || !referenceTime || !frequency || *frequency <= 0.0) {
            return missing("Doppler centroid model (DopCenRangeCoeff, DopCenRgRefTime, RangeDoppler_fref)", __LINE__);
        }
        mDopplerCoefficients = *coefficients;
        mDopplerRangeTime = *referenceTime;
        mWavelength = kSpeedOfLight / *frequency;
    }
    const std::string look = headerString(header, "AcquisitionParameters.LookDirection").value_or("RIGHT");
    mLookSign = fdfCompareNoCase(look, "LEFT") == 0 ? -1.0 : 1.0;
    mHeight = headerNumber(header, "InitialGeometry.TerrainHeight").value_or(0.0);

    if (mOrbit.checkCoverage(mFirstLineTime, mFirstLineTime + (mLines - 1) * mLineInterval) == 0) {
        set(mOrbit.get_error_code(), mOrbit.get_error_source_name(), mOrbit.get_error_other_info(),
            mOrbit.get_error_source_line());
        return 0;
    }
    return 1;
}

double CSceneLocator::slantRange(double pixel) const {
    if (!mGroundRange) return mNearRange + pixel * mRangeSpacing;
    return polynomialValue(mGroundToSlant, pixel * mRangeSpacing - mGroundOrigin);
}

double CSceneLocator::dopplerCentroid(double range) const {
    if (!mUseDoppler) return 0.0;
    return polynomialValue(mDopplerCoefficients, 2.0 * range / kSpeedOfLight - mDopplerRangeTime);
}

bool CSceneLocator::locate(double line, double pixel, CGeoPoint& point) {
    if (mRpc) {
        if (mRpc->imageToGround(line, pixel, mHeight, point.latitude, point.longitude)) return true;
        set(mRpc->get_error_code(), mRpc->get_error_source_name(), mRpc->get_error_other_info(),
            mRpc->get_error_source_line());
        return false;
    }
    return locateRangeDoppler(line, pixel, point);
}

bool CSceneLocator::locateRangeDoppler(double line, double pixel, CGeoPoint& point) {
    const double time = mFirstLineTime + line * mLineInterval;
    if (!mOrbit.covers(time)) {
        set(ORBS_EC_ORBIT_COVERAGE, CORBS_SCENE_LOCATOR_SOURCE, fdfFormat("line %.1f is outside the orbit", line),
            __LINE__);
        return false;
    }
    CVector3 s, v;
    mOrbit.interpolate(time, s, v);
    const double range = slantRange(pixel);
    const double dopplerTerm = mWavelength * range * dopplerCentroid(range) / 2.0;
    const double a = kSemiMajor + mHeight;
    const double b = kSemiMinor + mHeight;

    // Start on a sphere through the sub-satellite point, on the look side.
    double satLat, satLon, satHeight;
    earthFixedToGeodetic(s, satLat, satLon, satHeight);
    const double rs = norm(s);
    const double re = rs - satHeight + mHeight;
    const double cosAngle = (rs * rs + re * re - range * range) / (2.0 * rs * re);
    if (!(range > satHeight - mHeight) || std::fabs(cosAngle) > 1.0) {
        set(ORBS_EC_SCENE_NO_SOLUTION, CORBS_SCENE_LOCATOR_SOURCE,
            fdfFormat("slant range %.1f m of pixel %.1f does not reach the ground", range, pixel), __LINE__);
        return false;
    }
    const CVector3 up = scaled(s, 1.0 / rs);
    const CVector3 side = cross(v, up);
    const CVector3 look = scaled(side, mLookSign / norm(side));
    CVector3 x = scaled(sum(scaled(up, cosAngle), scaled(look, std::sqrt(1.0 - cosAngle * cosAngle))), re);

    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        const CVector3 d = difference(x, s);
        const CVector3 f{dot(d, d) - range * range, dot(v, d) - dopplerTerm,
                         (x[0] * x[0] + x[1] * x[1]) / (a * a) + x[2] * x[2] / (b * b) - 1.0};
        const std::array<CVector3, 3> jacobian{scaled(d, 2.0), v,
                                               CVector3{2.0 * x[0] / (a * a), 2.0 * x[1] / (a * a), 2.0 * x[2] / (b * b)}};
        CVector3 step;
        if (!solve3(jacobian, f, step)) break;
        x = difference(x, step);
        if (norm(step) < kConvergedMetres) {
            double height;
            earthFixedToGeodetic(x, point.latitude, point.longitude, height);
            return true;
        }
    }
    set(ORBS_EC_SCENE_NO_SOLUTION, CORBS_SCENE_LOCATOR_SOURCE,
        fdfFormat("no ground point for line %.1f pixel %.1f", line, pixel), __LINE__);
    return false;
}

int CSceneLocator::footprint(int pointsPerEdge, CSceneFootprint& result) {
    const int n = std::max(pointsPerEdge, 2);
    const double lastLine = mLines - 1;
    const double lastPixel = mPixels - 1;
    std::vector<std::pair<double, double>> positions;  // (line, pixel) around the border
    for (int k = 0; k < n - 1; ++k) positions.emplace_back(0.0, lastPixel * k / (n - 1));
    for (int k = 0; k < n - 1; ++k) positions.emplace_back(lastLine * k / (n - 1), lastPixel);
    for (int k = 0; k < n - 1; ++k) positions.emplace_back(lastLine, lastPixel * (n - 1 - k) / (n - 1));
    for (int k = 0; k < n - 1; ++k) positions.emplace_back(lastLine * (n - 1 - k) / (n - 1), 0.0);

    result.border.resize(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (!locate(positions[i].first, positions[i].second, result.border[i])) return 0;
    }
    const auto m = static_cast<std::size_t>(n - 1);
    result.corners = {result.border[0], result.border[m], result.border[3 * m], result.border[2 * m]};
    result.south = result.north = result.border[0].latitude;
    result.west = result.east = result.border[0].longitude;
    for (const CGeoPoint& p : result.border) {
        result.south = std::min(result.south, p.latitude);
        result.north = std::max(result.north, p.latitude);
        result.west = std::min(result.west, p.longitude);
        result.east = std::max(result.east, p.longitude);
    }
    result.start = mStart;
    result.stop = mStart;
    if (mStart.isValid()) result.stop.addSeconds(lastLine * mLineInterval);
    return 1;
}

int locateSceneFootprint(const CSectionDataGroup& header, int pointsPerEdge, CSceneFootprint& result,
                         NORBS_ERRORS_CODE::CNorvikErrorCode& error) {
    CSceneLocator locator;
    if (locator.init(header) == 1 && locator.footprint(pointsPerEdge, result) == 1) return 1;
    error.set(locator.get_error_code(), locator.get_error_source_name(), locator.get_error_other_info(),
              locator.get_error_source_line());
    return 0;
}
