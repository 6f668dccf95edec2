// Scene locator: where on the WGS-84 ellipsoid an image in radar geometry
// lies, from the acquisition geometry of its header (range-Doppler
// geolocation on the state vectors, or its rational polynomial model), and
// when it was acquired.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "orbs_core_time_man_utility.h"
#include "orbs_errors.h"
#include "orbs_orbit.h"
#include "orbs_rpc_model.h"

class CSectionDataGroup;

// Error codes of the locator (the orbit and RPC model add theirs).
constexpr int ORBS_EC_SCENE_GEOMETRY = 250001;  // the header lacks the image size or its timing
constexpr int ORBS_EC_SCENE_NO_SOLUTION = 250002;  // a pixel has no ground point (range below the orbit height...)

inline constexpr const char* CORBS_SCENE_LOCATOR_SOURCE = "geolib/orbs_scene_locator";

struct CGeoPoint {
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees, in (-180, 180]
};

// What the locator tells of one image.
struct CSceneFootprint {
    // The image border, sampled along each edge: first line (first to last
    // pixel), last pixel (first to last line), last line (last to first
    // pixel), first pixel (last to first line); each corner once.
    std::vector<CGeoPoint> border;
    // Corners: (first line, first pixel), (first line, last pixel),
    // (last line, first pixel), (last line, last pixel).
    std::array<CGeoPoint, 4> corners{};
    // Smallest and largest latitude and longitude of the border (longitudes
    // as located: an image across the antimeridian spans nearly 360).
    double south = 0.0, north = 0.0, west = 0.0, east = 0.0;
    // Acquisition of the first and the last line; invalid when the header
    // of an RPC image gives none.
    CTimeValue start;
    CTimeValue stop;
};

// WGS-84 conversions shared by the locator and its users.
CVector3 geodeticToEarthFixed(double latitudeDeg, double longitudeDeg, double height);
void earthFixedToGeodetic(const CVector3& point, double& latitudeDeg, double& longitudeDeg, double& height);

class CSceneLocator : public NORBS_ERRORS_CODE::CNorvikErrorCode {
public:
    CSceneLocator();
    ~CSceneLocator();

    // Reads the geometry from a raster header set (sections RasterInfo,
    // AcquisitionParameters, InitialGeometry, Processing, StateVectorData);
    // an image with an RPC model uses it.  1, or 0 with the error items.
    int init(const CSectionDataGroup& header);

    int getLines() const { return mLines; }
    int getPixels() const { return mPixels; }
    // The ground point of a pixel (line and pixel from 0) at the header's
    // terrain height; false with the error items set when there is none.
    bool locate(double line, double pixel, CGeoPoint& point);
    // The border sampled with `pointsPerEdge` points on each edge (at least
    // 2, the corners); 1, or 0 with the error items.
    int footprint(int pointsPerEdge, CSceneFootprint& result);

private:
    bool locateRangeDoppler(double line, double pixel, CGeoPoint& point);
    int initRangeDoppler(const CSectionDataGroup& header);
    double slantRange(double pixel) const;
    double dopplerCentroid(double slantRange) const;

    int mLines = 0;
    int mPixels = 0;
    std::unique_ptr<CRpcModel> mRpc;
    YDF_ORBIT mOrbit;
    CTimeValue mStart;
    double mFirstLineTime = 0.0;  // seconds from the orbit reference
    double mLineInterval = 0.0;
    bool mGroundRange = false;
    double mNearRange = 0.0;
    double mRangeSpacing = 0.0;
    double mGroundOrigin = 0.0;
    std::vector<double> mGroundToSlant;
    bool mUseDoppler = false;
    std::vector<double> mDopplerCoefficients;
    double mDopplerRangeTime = 0.0;
    double mWavelength = 0.0;
    double mLookSign = 1.0;  // +1 right-looking, -1 left-looking
    double mHeight = 0.0;
};

// The footprint of the image described by `header`, with the error items
// left in `error` on failure; 1 or 0.
int locateSceneFootprint(const CSectionDataGroup& header, int pointsPerEdge, CSceneFootprint& result,
                         NORBS_ERRORS_CODE::CNorvikErrorCode& error);
