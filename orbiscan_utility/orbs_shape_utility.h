// Shapefile utility: CShapeSet, the core library's in-memory form of an ESRI
// shapefile (.shp, .shx and .dbf, read and written through shapelib) or of
// the suite's XML shape description.
//
// A set holds shapes of points grouped in parts, each with an integer id,
// the file's bounding box, the attribute table of the .dbf in the parameter
// section "DbfShapeInfo" (described by auxiliary/key_files/DbfShapeInfo.key)
// and optionally the cartographic system of the points.
#pragma once

#include <shapefil.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orbs_core_map_utility.h"
#include "orbs_description_section.h"
#include "orbs_errors.h"

inline constexpr const char* CORBS_SHAPE_SOURCE = "orbiscan_utility/orbs_shape_utility";
inline constexpr const char* CORBS_DBF_SECTION = "DbfShapeInfo";

// One vertex: easting or longitude, northing or latitude, height or
// attribute value, and two spare values.
struct CShapePoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double spare1 = 0.0;
    double spare2 = 0.0;
};

// One shape: its points, all parts together, and the first point of each
// part.
struct CShapeRecord {
    explicit CShapeRecord(int pointCount = 0);

    int32_t mNumberOfPoints = 0;
    std::vector<CShapePoint> mPoints;
    std::vector<int32_t> mPartStarts;
    int32_t mNumberOfParts = 0;
    int32_t mId = 1;
    double mArea = 0.0;  // given by the XML shape description
};

// A point of a convex hull: the leading id is what compare_ID orders.
struct CHullPoint {
    int32_t id = 0;
    double x = 0.0;
    double y = 0.0;
    int32_t dropped = 0;
};

namespace NORBS_SHAPE_UTILITY {

// The type table: twelve shapefile type codes numbered 0 to 11.
constexpr int kShapeTypeCount = 12;
constexpr int kNoShapeType = 12;
// "POINT", "ARC", "POLYGON", "POLYGONZ", "POLYGONM", "MULTIPOINT", or
// "WRONG" for a code outside the table.
const char* shapeTypeName(int code);
// The index of a name (compared whole, case-sensitively); 12 for any other.
int shapeTypeIndex(const std::string& name);
// The code of an index; -1 above 11.
int shapeTypeCode(int index);
// The index of a code; 12 for a code outside 1..28 or not in the table.
int shapeTypeIndexOfCode(int code);

// qsort comparators over CHullPoint: by angle about the pivot of the hull
// being computed (collinear points are marked dropped), and by id.
int compare_angle(const void* a, const void* b);
int compare_ID(const void* a, const void* b);

// "(Easting = x , Northing = y , High = z)".
std::string pointText(const CShapePoint& point);

// shapelib handles that close themselves.
struct ShpCloser {
    void operator()(SHPInfo* handle) const { SHPClose(handle); }
};
struct DbfCloser {
    void operator()(DBFInfo* handle) const { DBFClose(handle); }
};
struct ObjectDestroyer {
    void operator()(SHPObject* object) const { SHPDestroyObject(object); }
};
using ShpFile = std::unique_ptr<SHPInfo, ShpCloser>;
using DbfFile = std::unique_ptr<DBFInfo, DbfCloser>;
using ShpObjectPtr = std::unique_ptr<SHPObject, ObjectDestroyer>;

// shapelib's file hooks with its messages sent to the process trace
// instead of the standard error.
SAHooks* tracedHooks();

// A file path without the extension of its name ("/d/aoi.shp" gives
// "/d/aoi"), from which the companions are named.
std::string pathWithoutExtension(const std::string& path);

}  // namespace NORBS_SHAPE_UTILITY

class CShapeSet {
public:
    // An empty set with its "DbfShapeInfo" section (read from the key files
    // directory).
    CShapeSet();
    CShapeSet(const CShapeSet&) = delete;
    CShapeSet& operator=(const CShapeSet&) = delete;

    // Reads a shapefile (or an ".xml" / ".disp" shape description).  The
    // header, when given, is the parameter set of a geocoded raster whose
    // cartographic system and grid the points refer to.  False with the
    // reason in mError: 40002 for a missing file or companion, 40001 for an
    // empty file, a .dbf whose record count differs or that holds fewer
    // records than it announces, a type outside the table.  A .dbf that
    // cannot be opened raises 40002.
    bool InitFromShapeFile(const std::string& fileName, CSectionDataGroup* header = nullptr,
                           const std::string& classFieldName = "", const std::string& idFieldName = "",
                           const std::string& zFieldName = "", bool ignoreHeader = false, double defaultZ = 0.0);
    // Releases shapes, classes and the cartographic system; counts to 0.
    void clearShapes();

    // Fills the "DbfShapeInfo" section of a set from a .dbf file: with a
    // selection (one entry per record), only the records whose entry is
    // positive.  Raises 40002 when the file cannot be opened; false when it
    // holds fewer records than its header announces.  A name containing
    // "trace" also writes the section next to it (".dbf_hdr").
    static bool readDbfShapeInfo(const std::string& fileName, CSectionDataGroup& group,
                                 const std::vector<int>* selection = nullptr);
    int getNumberOfFields();
    int getNumberOfShape();
    std::optional<std::string> getFieldName(int i);
    std::optional<std::string> getFieldType(int i);
    int getFieldSize(int i);
    int findFieldIndex(const std::string& name);
    std::optional<std::string> getFieldData(int record, int field);
    // The index of a field in an open .dbf, -1 when absent.
    static int findDbfField(DBFHandle dbf, const std::string& name);

    // Reads the XML shape description; raises 40001 with the file name when
    // it cannot be read or lacks an element.
    bool initFromShapeXml(const std::string& fileName, bool absoluteCoordinates);

    // Converts geographic points (degrees) into the set's cartographic
    // system; false when there is nothing to convert.
    bool projectGeographicPoints();

    // The convex hull of a point list, sorted by id.
    static std::vector<CHullPoint> convexHull(std::vector<CHullPoint> points);

    // Writes the set as a shapefile (.shp, .shx, .dbf, and ".prj" when a
    // cartographic system is attached); raises 40003 when a file cannot be
    // created.
    void writeGenericShape(const std::string& fileName, const std::string& zFieldName = "");

    NORBS_ERRORS_CODE::CNorvikErrorCode mError;
    std::vector<CShapeRecord> mShapes;
    int32_t mNumberOfShapes = 0;
    int32_t mShapeType = 0;
    double mXMin = 0.0;
    double mXMax = 0.0;
    double mYMin = 0.0;
    double mYMax = 0.0;
    std::vector<std::string> mClassNames;
    std::vector<std::array<uint8_t, 3>> mClassColours;
    // The raster grid the points refer to: origin and spacing.
    double mGridX = 0.0;
    double mGridY = 0.0;
    double mGridSpacingX = 1.0;
    double mGridSpacingY = -1.0;
    int64_t mTotalNumberOfPoints = 0;
    bool mHasMap = false;
    std::unique_ptr<YDF_MAP> mMap;
    CSectionDataGroup mDbfShapeInfo;

private:
    bool fail(int code, const std::string& text, int line);
    void attachMap(std::unique_ptr<YDF_MAP> map);
};
