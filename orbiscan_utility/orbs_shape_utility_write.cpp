// Writing a CShapeSet as a shapefile through shapelib.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "orbs_core_generic_utility.h"
#include "orbs_shape_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::raiseError;

namespace {

// Field widths: an integer keeps the width it was read with, else the
// widest 32-bit value; a double 24
// characters with 15 decimals (15 significant digits survive a round trip),
// a text its widest value (at most the 254 characters a field holds).
constexpr int kIntegerWidth = 11;
constexpr int kDoubleWidth = 24;
constexpr int kDoubleDecimals = 15;
constexpr int kLargestTextWidth = 254;


struct FieldColumn {
    std::string name;
    DBFFieldType type = FTString;
    int width = 1;
    int decimals = 0;
};

DBFFieldType typeOf(const std::string& name) {
    if (name == "FTInteger") return FTInteger;
    if (name == "FTDouble") return FTDouble;
    if (name == "FTLogical") return FTLogical;
    return FTString;
}

void writeAttribute(DBFHandle dbf, int record, int field, DBFFieldType type, const std::optional<std::string>& text) {
    // A value that was not a number when read ("WRONG") stays empty.
    if (!text || (type != FTString && *text == "WRONG")) {
        DBFWriteNULLAttribute(dbf, record, field);
        return;
    }
    switch (type) {
    case FTInteger: DBFWriteIntegerAttribute(dbf, record, field, std::atoi(text->c_str())); break;
    case FTDouble: DBFWriteDoubleAttribute(dbf, record, field, std::strtod(text->c_str(), nullptr)); break;
    case FTLogical: DBFWriteLogicalAttribute(dbf, record, field, text->empty() ? '?' : (*text)[0]); break;
    default: DBFWriteStringAttribute(dbf, record, field, text->c_str()); break;
    }
}

}  // namespace

void CShapeSet::writeGenericShape(const std::string& fileName, const std::string& zFieldName) {
    const std::string base = NORBS_SHAPE_UTILITY::pathWithoutExtension(fileName);
    const NORBS_SHAPE_UTILITY::ShpFile shapes(SHPCreateLL((base + ".shp").c_str(), mShapeType, NORBS_SHAPE_UTILITY::tracedHooks()));
    if (!shapes) raiseError(ORBS_EC_COPY_FAILED, CORBS_SHAPE_SOURCE, __LINE__, base + ".shp");
    const NORBS_SHAPE_UTILITY::DbfFile table(DBFCreateLL((base + ".dbf").c_str(), "LDID/87", NORBS_SHAPE_UTILITY::tracedHooks()));
    if (!table) raiseError(ORBS_EC_COPY_FAILED, CORBS_SHAPE_SOURCE, __LINE__, base + ".dbf");
    if (mHasMap && mMap) mMap->writePrjFile(base + ".prj");

    std::vector<FieldColumn> columns;
    for (int f = 0; f < getNumberOfFields(); ++f) {
        FieldColumn column{getFieldName(f).value_or(fdfFormat("FIELD%d", f)), typeOf(getFieldType(f).value_or(""))};
        switch (column.type) {
        case FTInteger: column.width = getFieldSize(f) > 0 ? getFieldSize(f) : kIntegerWidth; break;
        case FTDouble: column.width = kDoubleWidth; column.decimals = kDoubleDecimals; break;
        case FTLogical: column.width = 1; break;
        default:
            column.width = std::max(getFieldSize(f), 1);
            for (int r = 0; r < mNumberOfShapes; ++r) {
                column.width = std::max(column.width, static_cast<int>(getFieldData(r, f).value_or("").size()));
            }
            column.width = std::min(column.width, kLargestTextWidth);
        }
        DBFAddField(table.get(), column.name.c_str(), column.type, column.width, column.decimals);
        columns.push_back(column);
    }
    const int zField = zFieldName.empty() ? -1
                                          : DBFAddField(table.get(), zFieldName.c_str(), FTDouble, kDoubleWidth,
                                                        kDoubleDecimals);

    for (int s = 0; s < mNumberOfShapes; ++s) {
        const CShapeRecord& shape = mShapes[static_cast<std::size_t>(s)];
        std::vector<double> x, y, z;
        for (const CShapePoint& point : shape.mPoints) {
            x.push_back(point.x);
            y.push_back(point.y);
            z.push_back(point.z);
        }
        NORBS_SHAPE_UTILITY::ShpObjectPtr object;
        if (shape.mPoints.empty()) {
            NORBS_ERROR_MANAGER::logPrint("Shape inconsistency number of point 0 to shape %d / %d \n", s,
                                          mNumberOfShapes);
            object.reset(SHPCreateSimpleObject(SHPT_NULL, 0, nullptr, nullptr, nullptr));
        } else {
            object.reset(SHPCreateObject(mShapeType, -1, static_cast<int>(shape.mPartStarts.size()),
                                         shape.mPartStarts.data(), nullptr, static_cast<int>(x.size()), x.data(),
                                         y.data(), z.data(), nullptr));
        }
        SHPWriteObject(shapes.get(), -1, object.get());
        for (std::size_t f = 0; f < columns.size(); ++f) {
            writeAttribute(table.get(), s, static_cast<int>(f), columns[f].type, getFieldData(s, static_cast<int>(f)));
        }
        if (zField >= 0) DBFWriteDoubleAttribute(table.get(), s, zField, z.empty() ? 0.0 : z.front());
    }
    NORBS_ERROR_MANAGER::traceAtLevel(15, "writeGenericShape END\n");
}
