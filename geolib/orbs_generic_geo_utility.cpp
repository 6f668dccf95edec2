// Image footprints: grids snapped to their sizes, the extents of single
// images, the union of an image list, and rectangles carried to degrees.
#include "orbs_generic_geo_utility.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_raster_header.h"
#include "orbs_scene_locator.h"
#include "orbs_transform_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceAtLevel;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

// The smallest grid size: FLT_MIN.
constexpr double kSmallestGridSize = 1.1754943508222875e-38;
// Degrees per metre of ground: the grid sizes of an image with a rational
// polynomial model are given in degrees.
constexpr double kDegreesPerMetre = 8.333e-6;

// "GEO-GLOBAL", built once per map directory.
const YDF_MAP& geographicSystem() {
    static std::unique_ptr<YDF_MAP> system;
    static std::string builtFrom;
    std::string mapDirectory;
    fdfGetEnv(mapDirectory, "ORBISCAN_MAP_FILES_DIR");
    if (!system || builtFrom != mapDirectory) {
        auto fresh = std::make_unique<YDF_MAP>();
        fresh->init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        system = std::move(fresh);
        builtFrom = mapDirectory;
    }
    return *system;
}

// A point of a closed border at parameter u, one unit per edge (the first
// line or northern edge, the last pixel or eastern edge, the last line or
// southern edge, the first pixel or western edge), in the output system;
// false when it has none.
using BorderPoint = std::function<bool(double u, double& x, double& y)>;

// The position (s across, t down, both in [0, 1]) of border parameter u.
void onUnitSquare(double u, double& s, double& t) {
    u = std::fmod(u, 4.0);
    if (u < 0.0) u += 4.0;
    const int edge = std::min(static_cast<int>(u), 3);
    const double f = u - edge;
    const double positions[4][2] = {{f, 0.0}, {1.0, f}, {1.0 - f, 1.0}, {0.0, 1.0 - f}};
    s = positions[edge][0];
    t = positions[edge][1];
}

// Golden-section steps of the refinement of an extreme: they shrink the
// interval between the samples around it 2 000 times, which leaves the
// bound within a millionth of the chord's sagitta of the true one.
constexpr int kRefinementSteps = 16;

// The largest value of f over [a, b], starting from its value `best` at
// the middle sample; f is smooth there, with a single peak.
double refinedMaximum(const std::function<double(double)>& f, double a, double b, double best) {
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - ratio * (b - a), d = a + ratio * (b - a);
    double fc = f(c), fd = f(d);
    for (int i = 0; i < kRefinementSteps; ++i) {
        best = std::max({best, fc, fd});
        if (fc > fd) {
            b = d, d = c, fd = fc;
            c = b - ratio * (b - a), fc = f(c);
        } else {
            a = c, c = d, fc = fd;
            d = a + ratio * (b - a), fd = f(d);
        }
    }
    return std::max({best, fc, fd});
}

// The bounds of a closed border: sampled with `perEdge` points per edge
// (corners included), then each extreme refined between the samples beside
// it, since a straight edge in one system is a curve in another whose
// extreme may lie between two samples.  In degrees (`degrees`), a border
// spanning more than 180 degrees of longitude lies across the antimeridian
// (`across` set): its longitudes west of it count + 360, so that the
// eastern bound lies beyond 180.  This is the footprint rule (a negative
// western bound becomes the eastern one plus 360) applied to the two sides
// of the antimeridian rather than to the extremes of the border, which a
// sampled border places on the antimeridian itself.  False when a sample
// has no position.
bool boundsOfBorder(const BorderPoint& point, int perEdge, bool degrees, CMapRectangle& r, bool& across) {
    const int segments = std::max(perEdge, 2) - 1;
    const int count = 4 * segments;
    std::vector<double> x(static_cast<std::size_t>(count)), y(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (!point(static_cast<double>(k) / segments, x[k], y[k])) return false;
    }
    const auto [lowest, highest] = std::minmax_element(x.begin(), x.end());
    across = degrees && *highest - *lowest > 180.0;
    const auto unwrapped = [across](double lon) { return across && lon < 0.0 ? lon + 360.0 : lon; };
    for (double& lon : x) lon = unwrapped(lon);

    // West, east, south, north: the coordinate and the sign that makes the
    // bound a maximum.
    const std::pair<bool, double> extremes[4] = {{true, -1.0}, {true, 1.0}, {false, -1.0}, {false, 1.0}};
    double bound[4];
    for (int e = 0; e < 4; ++e) {
        const auto [useX, sign] = extremes[e];
        const std::vector<double>& values = useX ? x : y;
        const auto at = std::max_element(values.begin(), values.end(),
                                         [sign = sign](double a, double b) { return sign * a < sign * b; });
        const double u = static_cast<double>(at - values.begin()) / segments;
        const auto f = [&point, &unwrapped, useX = useX, sign = sign](double v) {
            double px = 0.0, py = 0.0;
            if (!point(v, px, py)) return -HUGE_VAL;
            return sign * (useX ? unwrapped(px) : py);
        };
        bound[e] = sign * refinedMaximum(f, u - 1.0 / segments, u + 1.0 / segments, sign * *at);
    }
    r = {bound[0], bound[3], bound[1], bound[2]};
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// CCommonGrid

void CCommonGrid::print() const {
    traceDebug("COMMON GRID SIZE - START \n");
    if (!mValid) {
        traceDebug(" NOT INIT \n");
    } else {
        traceDebug(" mNumberOfRow  %d\n", mNumberOfRow);
        traceDebug(" mNumberOfCol  %d\n", mNumberOfCol);
        traceDebug(" mNorthingGridSize  %.12g\n", mNorthingGridSize);
        traceDebug(" mEastingGridSize  %.12g\n", mEastingGridSize);
        traceDebug(" Northing  %.12g\n", mNorth);
        traceDebug(" Easting  %.12g\n", mWest);
    }
    traceDebug("COMMON GRID SIZE - END \n");
}

bool CCommonGrid::snapToGrid(double y1, double northingGridSize, double y2, double x1, double eastingGridSize,
                             double x2) {
    if (std::fabs(northingGridSize) <= kSmallestGridSize || std::fabs(eastingGridSize) <= kSmallestGridSize) {
        return false;
    }
    const double a = std::fabs(northingGridSize);
    mNorthingGridSize = -a;
    mEastingGridSize = eastingGridSize;
    mValid = true;
    const double firstColumn = std::floor(x1 / eastingGridSize);
    const double lastColumn = std::ceil(x2 / eastingGridSize);
    mWest = eastingGridSize * firstColumn;
    mEast = eastingGridSize * lastColumn;
    mNumberOfCol = static_cast<int>(std::lround(lastColumn - firstColumn));
    const double firstRow = std::ceil(std::max(y1, y2) / a);
    const double lastRow = std::floor(std::min(y1, y2) / a);
    mNorth = a * firstRow;
    mSouth = a * lastRow;
    mNumberOfRow = static_cast<int>(std::lround(firstRow - lastRow));
    return true;
}

bool CCommonGrid::isSlantRangeImage(const std::string& image) {
    CSectionDataGroup header;
    if (readRasterHeader(header, image, false) != 1) {
        NORBS_ERROR_MANAGER::issueWarning(CORBS_GEO_UTILITY_SOURCE, __LINE__, ORBS_EC_NO_PARAMETER_FILE, "%s",
                                          image.c_str());
        return false;
    }
    return forbsIsRadarGeometry(header);
}

void CCommonGrid::zeroExtent() {
    mWest = mEast = mNorth = mSouth = 0.0;
    mEastingGridSize = mNorthingGridSize = 0.0;
}

bool CCommonGrid::initExtentFromHeader(const std::string& image, CSectionDataGroup* header) {
    CSectionDataGroup read;
    if (header == nullptr) {
        if (readRasterHeader(read, image, false, kRasterHeaderInfoSections) != 1) return false;
        header = &read;
    }
    zeroExtent();
    mGeocoded = mSlantRange = false;
    const std::optional<double> lines = headerNumber(*header, "RasterInfo.NrOfLinesPerImage");
    const std::optional<double> pixels = headerNumber(*header, "RasterInfo.NrOfPixelsPerLine");
    if (!lines || !pixels) {
        mNumberOfRow = mNumberOfCol = 0;
        mValid = false;
        return false;
    }
    mNumberOfRow = static_cast<int>(*lines);
    mNumberOfCol = static_cast<int>(*pixels);
    mValid = mNumberOfRow != 0 && mNumberOfCol != 0;

    const auto registration = [header](const char* field) {
        return headerNumber(*header, std::string("RegistrationCoordinates.") + field);
    };
    if (forbsIsGeocodedHeader(*header)) {
        const auto north = registration("LatNorthing");
        const auto west = registration("LonEasting");
        const auto northingSize = registration("PixelSpacingLatNorth");
        const auto eastingSize = registration("PixelSpacingLonEast");
        if (north && west && northingSize && eastingSize) {
            mGeocoded = true;
            mNorth = *north;
            mNorthingGridSize = *northingSize;
            mSouth = mNorth + *lines * mNorthingGridSize;
            mWest = *west;
            mEastingGridSize = *eastingSize;
            mEast = mWest + *pixels * mEastingGridSize;
        }
        return mValid;
    }
    const CSectionField* rpc = header->findField("AcquisitionParameters.LINE_NUM_COEFF");
    if (rpc != nullptr && rpc->isInitField(false)) {
        CSceneFootprint corners;
        NORBS_ERRORS_CODE::CNorvikErrorCode error;
        if (locateSceneFootprint(*header, 2, corners, error) == 0) {
            traceDebug("%s: no corners from the RPC model: %s\n", image.c_str(), error.get_error_other_info().c_str());
            return mValid;
        }
        mSlantRange = true;
        mNorth = mSouth = corners.corners[0].latitude;
        mWest = mEast = corners.corners[0].longitude;
        for (const CGeoPoint& corner : corners.corners) {
            mNorth = std::max(mNorth, corner.latitude);
            mSouth = std::min(mSouth, corner.latitude);
            mWest = std::min(mWest, corner.longitude);
            mEast = std::max(mEast, corner.longitude);
        }
        mNorthingGridSize = registration("PixelSpacingLatNorth").value_or(0.0) * kDegreesPerMetre;
        mEastingGridSize = registration("PixelSpacingLonEast").value_or(0.0) * kDegreesPerMetre;
    }
    return mValid;
}

bool CCommonGrid::locateImage(const std::string& image, const YDF_MAP& output, int* acrossAntimeridian,
                              double gridSize, CTimeValue& start, CTimeValue& stop) {
    CSectionDataGroup header;
    NORBS_ERRORS_CODE::CNorvikErrorCode error;
    CImageBounds bounds;
    if (readRasterHeader(header, image, false) != 1) {
        error.set(ORBS_EC_NO_PARAMETER_FILE, CORBS_GEO_UTILITY_SOURCE, image + ": no parameter file", __LINE__);
    } else {
        forbsLocateImageBounds(header, output, bounds, error);
    }
    if (error.get_error_code() != 0) {
        NORBS_ERROR_MANAGER::traceInfo("%s cannot be located: [EC %d] %s\n", image.c_str(), error.get_error_code(),
                                       error.get_error_other_info().c_str());
        return false;
    }
    if (output.isGeographic() && acrossAntimeridian != nullptr) *acrossAntimeridian = bounds.acrossAntimeridian ? 1 : 0;
    start = bounds.start;
    stop = bounds.stop;
    return snapToGrid(bounds.north, -gridSize, bounds.south, bounds.west, gridSize, bounds.east);
}

bool CCommonGrid::imageExtent(const std::string& image, const YDF_MAP& output, int* acrossAntimeridian,
                              double gridSize) {
    CTimeValue start, stop;
    if (!locateImage(image, output, acrossAntimeridian, gridSize, start, stop)) return false;
    mSlantRange = true;
    mStartTime = start.isValid() ? start.formatDayMonthNameYear() : std::string();
    mStopTime = stop.isValid() ? stop.formatDayMonthNameYear() : std::string();
    return true;
}

void CCommonGrid::footprintOfImages(const std::vector<std::string>& images, const YDF_MAP& output,
                                    int* acrossAntimeridian, double eastingGridSize, double northingGridSize) {
    if (images.empty()) raiseError(ORBS_EC_IMAGE_LIST_EMPTY, CORBS_GEO_UTILITY_SOURCE, __LINE__, "no image to locate");
    CMapRectangle all;
    CTimeValue earliest, latest;
    int anyAcross = 0;
    for (std::size_t i = 0; i < images.size(); ++i) {
        CCommonGrid one;
        CTimeValue start, stop;
        int across = 0;
        if (!one.locateImage(images[i], output, &across, eastingGridSize, start, stop)) {
            raiseError(ORBS_EC_FILE_NOT_OPENED, CORBS_GEO_UTILITY_SOURCE, __LINE__, images[i]);
        }
        anyAcross |= across;
        traceDebug("West : %.12g\n", one.mWest);
        traceDebug("East : %.12g\n", one.mEast);
        traceDebug("North : %.12g\n", one.mNorth);
        traceDebug("South : %.12g\n", one.mSouth);
        if (start.isValid() && (!earliest.isValid() || CTimeValue::secondsBetween(start, earliest) < 0.0)) earliest = start;
        if (stop.isValid() && (!latest.isValid() || CTimeValue::secondsBetween(stop, latest) > 0.0)) latest = stop;
        if (i == 0) {
            all = {one.mWest, one.mNorth, one.mEast, one.mSouth};
        } else {
            all = {std::min(all.west, one.mWest), std::max(all.north, one.mNorth), std::max(all.east, one.mEast),
                   std::min(all.south, one.mSouth)};
        }
    }
    if (acrossAntimeridian != nullptr && output.isGeographic()) *acrossAntimeridian = anyAcross;
    mSlantRange = true;
    mStartTime = earliest.isValid() ? earliest.formatDayMonthNameYear() : std::string();
    mStopTime = latest.isValid() ? latest.formatDayMonthNameYear() : std::string();
    snapToGrid(all.north, northingGridSize, all.south, all.west, eastingGridSize, all.east);
    if (NorvikCore::get_trace_level() > 14) print();
}

// ---------------------------------------------------------------------------

int forbsLocateImageBounds(const CSectionDataGroup& header, const YDF_MAP& output, CImageBounds& bounds,
                           NORBS_ERRORS_CODE::CNorvikErrorCode& error) {
    CSceneLocator locator;
    CSceneFootprint corners;
    if (locator.init(header) == 0 || locator.footprint(2, corners) == 0) {
        error.set(locator.get_error_code(), locator.get_error_source_name(), locator.get_error_other_info(),
                  locator.get_error_source_line());
        return 0;
    }
    CMapTransform transform;
    transform.setInput(geographicSystem());
    transform.setOutput(output);
    const double lastLine = locator.getLines() - 1;
    const double lastPixel = locator.getPixels() - 1;
    bool outside = false;
    const BorderPoint point = [&](double u, double& x, double& y) {
        double s = 0.0, t = 0.0;
        onUnitSquare(u, s, t);
        CGeoPoint ground;
        if (!locator.locate(t * lastLine, s * lastPixel, ground)) return false;
        x = ground.longitude;
        y = ground.latitude;
        double z = 0.0;
        if (transform.transform(&x, &y, &z, &x, &y, &z, 1) && std::isfinite(x) && std::isfinite(y)) return true;
        outside = true;
        return false;
    };
    CMapRectangle r;
    if (!boundsOfBorder(point, CORBS_FOOTPRINT_POINTS_PER_EDGE, output.isGeographic(), r, bounds.acrossAntimeridian)) {
        if (outside) {
            error.set(ORBS_EC_MAP_INFO, CORBS_GEO_UTILITY_SOURCE,
                      "the image border has no position in the system " + output.mState, __LINE__);
        } else {
            error.set(locator.get_error_code(), locator.get_error_source_name(), locator.get_error_other_info(),
                      locator.get_error_source_line());
        }
        return 0;
    }
    bounds.west = r.west;
    bounds.east = r.east;
    bounds.south = r.south;
    bounds.north = r.north;
    bounds.start = corners.start;
    bounds.stop = corners.stop;
    return 1;
}

// ---------------------------------------------------------------------------

CImageListBox forbsImageListBox(const std::vector<std::string>& images) {
    if (images.empty()) raiseError(ORBS_EC_IMAGE_LIST_EMPTY, CORBS_GEO_UTILITY_SOURCE, __LINE__, "no image in the list");
    const std::string& first = images.front();
    CImageListBox result;
    result.slantRange = CCommonGrid::isSlantRangeImage(first);
    CCommonGrid& grid = result.grid;
    if (result.slantRange) {
        result.system.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        grid.footprintOfImages(images, result.system, nullptr, CORBS_GEOGRAPHIC_GRID_SIZE, -CORBS_GEOGRAPHIC_GRID_SIZE);
    } else {
        const bool read = grid.initExtentFromHeader(first);
        if (read && grid.mSlantRange) {
            // The corners of a rational polynomial model are in degrees,
            // whatever system the header names.
            result.system.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        } else if (!result.system.initFromHeaderFile(first, true)) {
            raiseError(ORBS_EC_IMAGE_HEADER, CORBS_GEO_UTILITY_SOURCE, __LINE__,
                       first + ": the header names no cartographic system");
        }
        if (!read) {
            raiseError(ORBS_EC_SCENE_GEOMETRY, CORBS_GEO_UTILITY_SOURCE, __LINE__,
                       first + ": no parameter file giving the image size");
        }
        if (!grid.mGeocoded && !grid.mSlantRange) {
            raiseError(ORBS_EC_SCENE_GEOMETRY, CORBS_GEO_UTILITY_SOURCE, __LINE__,
                       first + ": the header gives neither registration coordinates nor an RPC model");
        }
        const double step = result.system.isGeographic() ? CORBS_GEOGRAPHIC_GRID_SIZE : CORBS_MAP_GRID_SIZE;
        const CCommonGrid extent = grid;
        grid.snapToGrid(extent.mNorth, -step, extent.mSouth, extent.mWest, step, extent.mEast);
    }
    result.box = {grid.mWest, grid.mNorth, grid.mEast, grid.mSouth};
    traceAtLevel(5, "West : %.12g\n", result.box.west);
    traceAtLevel(5, "East : %.12g\n", result.box.east);
    traceAtLevel(5, "North : %.12g\n", result.box.north);
    traceAtLevel(5, "South : %.12g\n", result.box.south);
    return result;
}

CMapRectangle forbsRectangleToDegrees(const YDF_MAP& system, const CMapRectangle& rectangle) {
    if (system.isGeographic()) return rectangle;
    const CMapRectangle r{std::min(rectangle.west, rectangle.east), std::max(rectangle.north, rectangle.south),
                          std::max(rectangle.west, rectangle.east), std::min(rectangle.north, rectangle.south)};
    CMapTransform toDegrees;
    toDegrees.setInput(system);
    toDegrees.setOutput(geographicSystem());
    const BorderPoint point = [&](double u, double& x, double& y) {
        double s = 0.0, t = 0.0;
        onUnitSquare(u, s, t);
        x = r.west + s * (r.east - r.west);
        y = r.north - t * (r.north - r.south);
        double z = 0.0;
        return toDegrees.transform(&x, &y, &z, &x, &y, &z, 1) && std::isfinite(x) && std::isfinite(y);
    };
    CMapRectangle degrees;
    bool across = false;
    if (!boundsOfBorder(point, CORBS_RECTANGLE_POINTS_PER_EDGE, true, degrees, across)) {
        raiseError(ORBS_EC_MAP_INFO, CORBS_GEO_UTILITY_SOURCE, __LINE__,
                   "the rectangle has points without geographic position in the system " + system.mState);
    }
    // A pole inside the rectangle is its northern (southern) bound, and the
    // rectangle then spans every longitude; its border cannot tell.
    CMapTransform toMap;
    toMap.setInput(geographicSystem());
    toMap.setOutput(system);
    for (const double pole : {90.0, -90.0}) {
        double px = 0.0, py = pole, pz = 0.0;
        toMap.transform(&px, &py, &pz, &px, &py, &pz, 1);
        if (!std::isfinite(px) || !std::isfinite(py) || px < r.west || px > r.east || py < r.south || py > r.north) {
            continue;
        }
        (pole > 0.0 ? degrees.north : degrees.south) = pole;
        degrees.west = -180.0;
        degrees.east = 180.0;
    }
    return degrees;
}
