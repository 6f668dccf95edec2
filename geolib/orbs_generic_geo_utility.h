// Image footprints: the rectangle that an image, or a list of images,
// covers in a cartographic system, snapped to grid sizes.
//
// A geocoded image's rectangle comes from its registration coordinates; an
// image in radar geometry is located with the scene locator (its border,
// sampled along each edge, carried to the output system through
// CMapTransform), an image with a rational polynomial model from the model.
#pragma once

#include <string>
#include <vector>

#include "orbs_core_map_utility.h"
#include "orbs_core_time_man_utility.h"
#include "orbs_errors.h"

class CSectionDataGroup;

inline constexpr const char* CORBS_GEO_UTILITY_SOURCE = "geolib/orbs_generic_geo_utility";

constexpr int ORBS_EC_IMAGE_LIST_EMPTY = 70018;

// Grid sizes of image footprints: degrees in a geographic system, metres in
// the others.
constexpr double CORBS_GEOGRAPHIC_GRID_SIZE = 0.00016666;
constexpr double CORBS_MAP_GRID_SIZE = 20.0;
// Points located on each edge of an image border (corners included), and
// on each edge of a rectangle carried to another system.  The edges are
// curves in the output system: each extreme of the samples is then refined
// between the samples beside it, so that the bounds hold the curved edges.
constexpr int CORBS_FOOTPRINT_POINTS_PER_EDGE = 16;
constexpr int CORBS_RECTANGLE_POINTS_PER_EDGE = 64;

// A rectangle snapped to grid sizes: the footprint of one or several images.
class CCommonGrid {
public:
    double mWest = 0.0;              // first easting (or longitude)
    double mEast = 0.0;              // last easting
    double mEastingGridSize = 0.0;   // column spacing, positive
    double mNorth = 0.0;             // first northing (or latitude)
    double mSouth = 0.0;             // last northing
    double mNorthingGridSize = 0.0;  // row spacing, negative for north-up grids
    int mNumberOfRow = 0;
    int mNumberOfCol = 0;
    bool mValid = false;       // the grid has rows and columns
    bool mGeocoded = false;    // the extent came from geocoded registration coordinates
    bool mSlantRange = false;  // the extent came from the corners of an image in radar geometry
    // Earliest and latest acquisition times, "DD-MMM-YYYY hh:mm:ss.ffffffff".
    std::string mStartTime;
    std::string mStopTime;

    // Trace dump (trace level above 9).
    void print() const;

    // Widens the rectangle (y1, y2 northings in any order; x1 western, x2
    // eastern) outwards to whole multiples of the grid sizes.  False, the
    // grid unchanged, when a size is zero (at most FLT_MIN in magnitude).
    bool snapToGrid(double y1, double northingGridSize, double y2, double x1, double eastingGridSize, double x2);

    // Whether an image is in radar geometry (its parameter file read with
    // every header section).  An unreadable header issues warning 40012
    // with the image name and answers false.
    static bool isSlantRangeImage(const std::string& image);

    // The image's grid and extent from its parameter file (or from `header`
    // when given): rows and columns from the image size, the extent from
    // the registration coordinates of a geocoded image or from the corners
    // of an image with a rational polynomial model (slant range), zeroed
    // otherwise.  False when the file cannot be read or gives no image size
    // (the grid invalid); otherwise whether the grid is valid.
    bool initExtentFromHeader(const std::string& image, CSectionDataGroup* header = nullptr);

    // The extent of an image in radar geometry in the output system, from
    // its acquisition geometry, snapped with the grid size g (+g east, -g
    // north), and its acquisition start and stop.  In a geographic output
    // system, `acrossAntimeridian` (when given) is set to 1 for an image
    // across the antimeridian (its eastern bound then lies beyond 180), else
    // to 0.  False, with the reason traced, when the geometry cannot be read.
    bool imageExtent(const std::string& image, const YDF_MAP& output, int* acrossAntimeridian, double gridSize);

    // The union of the extents of the images in the output system, snapped,
    // with the earliest start and the latest stop.  An image whose
    // geometry cannot be read raises 40001 with its name; an empty list
    // raises 70018.
    void footprintOfImages(const std::vector<std::string>& images, const YDF_MAP& output, int* acrossAntimeridian,
                           double eastingGridSize, double northingGridSize);

private:
    bool locateImage(const std::string& image, const YDF_MAP& output, int* acrossAntimeridian, double gridSize,
                     CTimeValue& start, CTimeValue& stop);
    void zeroExtent();
};

// Bounds of a located image in an output system.
struct CImageBounds {
    double west = 0.0, east = 0.0, south = 0.0, north = 0.0;
    bool acrossAntimeridian = false;  // geographic output only
    CTimeValue start;
    CTimeValue stop;
};

// The bounds of the image in radar geometry (or with a rational polynomial
// model) described by `header` in the output system: its border located
// with CORBS_FOOTPRINT_POINTS_PER_EDGE points per edge, carried through
// CMapTransform, each extreme refined.  1, or 0 with the error items in
// `error`.
int forbsLocateImageBounds(const CSectionDataGroup& header, const YDF_MAP& output, CImageBounds& bounds,
                           NORBS_ERRORS_CODE::CNorvikErrorCode& error);

// ---------------------------------------------------------------------------
// The rectangle of an image list, as the product search builds its area of
// interest from one.

// West, north, east and south of a rectangle.
struct CMapRectangle {
    double west = 0.0;
    double north = 0.0;
    double east = 0.0;
    double south = 0.0;
};

// The box of an image list and what it was made from.
struct CImageListBox {
    CMapRectangle box;      // the grid's bounds, in `system`
    CCommonGrid grid;       // the snapped grid (sizes, rows, columns, times)
    YDF_MAP system;         // "GEO-GLOBAL", or the first image's own system
    bool slantRange = false;  // decided from the first image
};

// The box of an image list: the first image decides.  In radar geometry
// (CCommonGrid::isSlantRangeImage; an unreadable header warns 40012 and
// counts as geocoded), the footprint of every image in "GEO-GLOBAL" with the
// grid sizes +/-CORBS_GEOGRAPHIC_GRID_SIZE.  Otherwise the first image's
// extent in its own cartographic system (YDF_MAP::initFromHeaderFile,
// raising 40004 for an unreadable header), widened outwards with
// +/-CORBS_GEOGRAPHIC_GRID_SIZE in a geographic system and
// +/-CORBS_MAP_GRID_SIZE otherwise; the other images are not read.  Traces
// "West : ", "East : ", "North : " and "South : " at trace level 5 or more.
// Raises 70018 for an empty list, 40001 for an image in radar geometry
// whose geometry cannot be read, 250001 for a first image whose header
// gives no extent.
CImageListBox forbsImageListBox(const std::vector<std::string>& images);

// The bounds in degrees ("GEO-GLOBAL") of a rectangle given in a map
// system: its border, CORBS_RECTANGLE_POINTS_PER_EDGE points per edge and
// each extreme refined (not only the corners: straight map edges are
// curves in degrees), carried to "GEO-GLOBAL" and bounded.  A rectangle holding a pole reaches it, over
// every longitude; one across the antimeridian has its eastern bound beyond
// 180.  A rectangle in a geographic system comes back unchanged.  Used by
// the product search for a geocoded first image in a projected system (the
// hub wants degrees).  Raises 70000 when a border point has no geographic
// position in the system.
CMapRectangle forbsRectangleToDegrees(const YDF_MAP& system, const CMapRectangle& rectangle);
