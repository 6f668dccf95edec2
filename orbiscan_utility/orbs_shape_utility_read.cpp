// Reading a shapefile into a CShapeSet, and bringing geographic points into
// the set's cartographic system.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "orbs_core_generic_utility.h"
#include "orbs_shape_utility.h"
#include "orbs_transform_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceAtLevel;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

// The shapefile types a set reads.
bool readableType(int type) {
    switch (type) {
    case SHPT_POINT: case SHPT_POINTZ: case SHPT_POINTM:
    case SHPT_ARC: case SHPT_ARCZ: case SHPT_ARCM:
    case SHPT_POLYGON: case SHPT_POLYGONZ: case SHPT_POLYGONM:
    case SHPT_MULTIPOINT:
        return true;
    default:
        return false;
    }
}

bool hasVertexZ(int type) { return type == SHPT_POINTZ || type == SHPT_ARCZ || type == SHPT_POLYGONZ; }

// A companion of the file: the lower-case extension, or the upper-case one
// when only that exists; none when neither does.
std::optional<std::string> companion(const std::string& base, const std::string& extension) {
    if (fdfExistFile(base + extension)) return base + extension;
    std::string upper = extension;
    if (fdfExistFile(base + fdfToUpper(upper))) return base + upper;
    return std::nullopt;
}

// The z of the points of one record from the z field of the .dbf.
double zOfRecord(DBFHandle dbf, int record, int zField, double defaultZ) {
    if (zField < 0) return defaultZ;
    switch (DBFGetFieldInfo(dbf, zField, nullptr, nullptr, nullptr)) {
    case FTInteger: return DBFReadIntegerAttribute(dbf, record, zField);
    case FTDouble: return DBFReadDoubleAttribute(dbf, record, zField);
    case FTString: return std::strtod(DBFReadStringAttribute(dbf, record, zField), nullptr);
    default: return defaultZ;
    }
}

// The cartographic system and grid of a geocoded raster header.
struct HeaderGeometry {
    std::unique_ptr<YDF_MAP> map;
    double gridX = 0.0, gridY = 0.0, spacingX = 1.0, spacingY = -1.0;
};

std::optional<HeaderGeometry> geometryOf(CSectionDataGroup& header) {
    bool found = false;
    std::string geocoded = header.getString("GeocodedImage", &found);
    if (!found || fdfToUpper(geocoded) != "OK") return std::nullopt;  // slant range or unknown: ignored
    auto text = [&](const char* key) {
        bool present = false;
        std::string value = header.getString(key, &present);
        return present ? value : std::string();
    };
    auto number = [&](const char* key, double fallback) {
        bool present = false;
        const double value = header.getDouble(key, &present);
        return present ? value : fallback;
    };
    HeaderGeometry geometry;
    geometry.gridX = number("LonEasting", 0.0);
    geometry.gridY = number("LatNorthing", 0.0);
    geometry.spacingX = number("PixelSpacingLonEast", 1.0);
    geometry.spacingY = number("PixelSpacingLatNorth", -1.0);
    if (!text("State").empty()) {
        geometry.map = std::make_unique<YDF_MAP>();
        geometry.map->init(text("State"), text("Hemisphere"), text("Projection"), text("Zone"), text("Ellipsoid"),
                           text("DatumShift"));
    }
    return geometry;
}


}  // namespace

bool CShapeSet::InitFromShapeFile(const std::string& fileName, CSectionDataGroup* header,
                                  const std::string& /*classFieldName: classes are not read*/,
                                  const std::string& idFieldName, const std::string& zFieldName, bool ignoreHeader,
                                  double defaultZ) {
    traceAtLevel(15, "START - InitFromShapeFile(%s\n", fileName.c_str());
    if (fileName.empty()) {
        traceDebug("FAIL InitFromShapeFile(nullptr)\n");
        return false;
    }
    const std::string base = NORBS_SHAPE_UTILITY::pathWithoutExtension(fileName);
    const std::optional<std::string> shp = companion(base, ".shp");
    const std::optional<std::string> dbf = companion(base, ".dbf");
    const std::optional<std::string> shx = companion(base, ".shx");
    for (const auto& [found, name] : {std::pair{shp, base + ".shp"}, std::pair{dbf, base + ".dbf"},
                                      std::pair{shx, base + ".shx"}}) {
        if (!found) mError.set(ORBS_EC_FILE_NOT_FOUND, CORBS_SHAPE_SOURCE, name, __LINE__);
    }

    clearShapes();
    if (!fdfExistFile(fileName)) return fail(ORBS_EC_FILE_NOT_FOUND, fileName, __LINE__);
    if (fdfEndsWith(fileName, ".xml") || fdfEndsWith(fileName, ".disp")) {
        return initFromShapeXml(fileName, header == nullptr || ignoreHeader);
    }
    const std::optional<HeaderGeometry> geometry =
        header != nullptr && !ignoreHeader ? geometryOf(*header) : std::nullopt;

    if (!readDbfShapeInfo(dbf.value_or(base + ".dbf"), mDbfShapeInfo)) {
        return fail(ORBS_EC_FILE_NOT_OPENED, fileName, __LINE__);
    }
    traceAtLevel(15, "SHPOpen(%s)\n", fileName.c_str());
    const NORBS_SHAPE_UTILITY::ShpFile shapes(SHPOpenLL(shp.value_or(fileName).c_str(), "rb", NORBS_SHAPE_UTILITY::tracedHooks()));
    if (!shapes) return fail(ORBS_EC_FILE_NOT_FOUND, fileName, __LINE__);
    int entities = 0;
    int type = 0;
    double minBound[4] = {};
    double maxBound[4] = {};
    SHPGetInfo(shapes.get(), &entities, &type, minBound, maxBound);
    if (entities <= 0) return fail(ORBS_EC_FILE_NOT_OPENED, fileName, __LINE__);
    const NORBS_SHAPE_UTILITY::DbfFile table(DBFOpenLL(dbf.value_or(base + ".dbf").c_str(), "rb", NORBS_SHAPE_UTILITY::tracedHooks()));
    if (!table) return fail(ORBS_EC_FILE_NOT_OPENED, fileName, __LINE__);
    if (DBFGetRecordCount(table.get()) != entities) {
        traceDebug(" Shapes number = %d\n", entities);
        traceDebug(" Records number = %d\n", DBFGetRecordCount(table.get()));
        return fail(ORBS_EC_FILE_NOT_OPENED, fileName, __LINE__);
    }
    if (!readableType(type)) {
        traceDebug("\nWRONG TYPE = %d\n", type);
        return fail(ORBS_EC_FILE_NOT_OPENED, fileName, __LINE__);
    }

    const int zField = findDbfField(table.get(), zFieldName);
    int idField = -1;
    if (!idFieldName.empty() && idFieldName.find("NotOK") == std::string::npos) {
        traceAtLevel(15, "theIdFieldName = %s\n", idFieldName.c_str());
        idField = findDbfField(table.get(), idFieldName);
    } else {
        idField = findDbfField(table.get(), "CLASS");
        if (idField < 0) idField = findDbfField(table.get(), "ID");
    }

    std::vector<CShapeRecord> records;
    records.reserve(static_cast<std::size_t>(entities));
    int64_t totalPoints = 0;
    for (int i = 0; i < entities; ++i) {
        const NORBS_SHAPE_UTILITY::ShpObjectPtr object(SHPReadObject(shapes.get(), i));
        if (!object) return fail(ORBS_EC_FILE_NOT_OPENED, fileName, __LINE__);
        CShapeRecord& record = records.emplace_back(object->nVertices);
        record.mNumberOfParts = object->nParts;
        record.mPartStarts.assign(object->panPartStart, object->panPartStart + std::max(object->nParts, 0));
        record.mId = idField >= 0 ? DBFReadIntegerAttribute(table.get(), i, idField) : i + 1;
        const double recordZ = zOfRecord(table.get(), i, zField, defaultZ);
        for (int v = 0; v < object->nVertices; ++v) {
            CShapePoint& point = record.mPoints[static_cast<std::size_t>(v)];
            point.x = object->padfX[v];
            point.y = object->padfY[v];
            point.z = hasVertexZ(type) ? object->padfZ[v] : recordZ;
        }
        totalPoints += object->nVertices;
    }

    mShapes = std::move(records);
    mNumberOfShapes = entities;
    mShapeType = type;
    mXMin = minBound[0];
    mXMax = maxBound[0];
    mYMin = minBound[1];
    mYMax = maxBound[1];
    mTotalNumberOfPoints = totalPoints;
    if (geometry) {
        mGridX = geometry->gridX;
        mGridY = geometry->gridY;
        mGridSpacingX = geometry->spacingX;
        mGridSpacingY = geometry->spacingY;
    } else {
        mGridX = mGridY = 0.0;
        mGridSpacingX = 1.0;
        mGridSpacingY = -1.0;
    }
    if (geometry && geometry->map) {
        attachMap(std::make_unique<YDF_MAP>(*geometry->map));
        projectGeographicPoints();
    }
    return true;
}

bool CShapeSet::projectGeographicPoints() {
    if (!mHasMap || !mMap || forbsIsGeographicSystem(mMap->mState)) return false;
    YDF_MAP geographic;
    geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");

    std::vector<double> x, y, z;
    double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;  // the box always holds the origin
    for (std::size_t s = 0; s < mShapes.size(); ++s) {
        const CShapeRecord& shape = mShapes[s];
        if (static_cast<std::size_t>(shape.mNumberOfPoints) != shape.mPoints.size()) {
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, CORBS_SHAPE_SOURCE, __LINE__,
                                            fdfFormat("shape %zu", s));
        }
        for (const CShapePoint& point : shape.mPoints) {
            x.push_back(point.x);
            y.push_back(point.y);
            z.push_back(point.z);
            xMin = std::min(xMin, point.x);
            xMax = std::max(xMax, point.x);
            yMin = std::min(yMin, point.y);
            yMax = std::max(yMax, point.y);
        }
    }
    if (xMin < -180.0 || xMax > 180.0 || yMin < -90.0 || yMax > 90.0) return false;  // not degrees

    CMapTransform transformation;
    transformation.setInput(geographic);
    transformation.setOutput(*mMap);
    transformation.transform(x.data(), y.data(), z.data(), x.data(), y.data(), z.data(), x.size());
    std::size_t next = 0;
    for (CShapeRecord& shape : mShapes) {
        for (CShapePoint& point : shape.mPoints) {
            point.x = x[next];
            point.y = y[next];
            point.z = z[next];
            ++next;
        }
    }
    return true;
}
