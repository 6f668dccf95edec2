// CShapeSet: the type table, the set itself and its attribute table.
#include "orbs_shape_utility.h"

#include <algorithm>
#include <filesystem>

#include "orbs_core_generic_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::raiseError;

namespace {

struct ShapeType {
    int code;
    const char* name;      // given by shapeTypeName
    const char* accepted;  // accepted by shapeTypeIndex, or null
};

const ShapeType kShapeTypes[NORBS_SHAPE_UTILITY::kShapeTypeCount] = {
    {1, "POINT", "POINT"},           {11, "POINT", nullptr},           {21, "POINT", nullptr},
    {3, "ARC", "ARC"},               {13, "ARC", nullptr},             {23, "ARC", nullptr},
    {5, "POLYGON", "POLYGON"},       {15, "POLYGONZ", "POLYGONZ"},     {25, "POLYGONM", "POLYGONM"},
    {8, "MULTIPOINT", "MULTIPOINT"}, {18, "MULTIPOINT", "MULTIPOINTZ"}, {28, "MULTIPOINT", "MULTIPOINTM"},
};

const char* fieldTypeName(DBFFieldType type) {
    switch (type) {
    case FTString: return "FTString";
    case FTInteger: return "FTInteger";
    case FTDouble: return "FTDouble";
    case FTLogical: return "FTLogical";
    default: return "FTInvalid";
    }
}

// An attribute as text.  Numbers get 15 significant digits, the precision a
// .dbf numeric field holds; a null number and any other field type are
// "WRONG".
std::string attributeText(DBFHandle dbf, int record, int field, DBFFieldType type) {
    if (type == FTString) {
        const char* text = DBFReadStringAttribute(dbf, record, field);
        return text != nullptr ? text : "WRONG";
    }
    if ((type != FTInteger && type != FTDouble) || DBFIsAttributeNULL(dbf, record, field)) return "WRONG";
    if (type == FTInteger) return fdfFormat("%d", DBFReadIntegerAttribute(dbf, record, field));
    return fdfFormat("%.15g", DBFReadDoubleAttribute(dbf, record, field));
}

std::string dbfKey(const char* field) { return std::string(CORBS_DBF_SECTION) + "." + field; }

}  // namespace

namespace NORBS_SHAPE_UTILITY {

const char* shapeTypeName(int code) {
    const int index = shapeTypeIndexOfCode(code);
    return index < kShapeTypeCount ? kShapeTypes[index].name : "WRONG";
}

int shapeTypeIndex(const std::string& name) {
    for (int i = 0; i < kShapeTypeCount; ++i) {
        if (kShapeTypes[i].accepted != nullptr && name == kShapeTypes[i].accepted) return i;
    }
    return kNoShapeType;
}

int shapeTypeCode(int index) { return index >= 0 && index < kShapeTypeCount ? kShapeTypes[index].code : -1; }

int shapeTypeIndexOfCode(int code) {
    for (int i = 0; i < kShapeTypeCount; ++i) {
        if (kShapeTypes[i].code == code) return i;
    }
    return kNoShapeType;
}

std::string pointText(const CShapePoint& p) {
    return fdfFormat("(Easting = %f , Northing = %f , High = %f)", p.x, p.y, p.z);
}

SAHooks* tracedHooks() {
    static SAHooks hooks = [] {
        SAHooks h;
        SASetupDefaultHooks(&h);
        h.Error = [](const char* message) { NORBS_ERROR_MANAGER::traceDebug("shapelib: %s\n", message); };
        return h;
    }();
    return &hooks;
}

std::string pathWithoutExtension(const std::string& path) {
    std::string drive, directory, name, extension;
    fdfSplitPath(path, drive, directory, name, extension);
    return path.substr(0, path.size() - extension.size());
}

}  // namespace NORBS_SHAPE_UTILITY

CShapeRecord::CShapeRecord(int pointCount)
    : mNumberOfPoints(std::max(pointCount, 0)), mPoints(static_cast<std::size_t>(std::max(pointCount, 0))) {}

CShapeSet::CShapeSet() : mDbfShapeInfo(std::vector<std::string>{CORBS_DBF_SECTION}) {}

void CShapeSet::clearShapes() {
    mShapes.clear();
    mNumberOfShapes = 0;
    mShapeType = 0;
    mXMin = mXMax = mYMin = mYMax = 0.0;
    mClassNames.clear();
    mClassColours.clear();
    mTotalNumberOfPoints = 0;
    mHasMap = false;
    mMap.reset();
}

bool CShapeSet::fail(int code, const std::string& text, int line) {
    mError.set(code, CORBS_SHAPE_SOURCE, text, line);
    return false;
}

void CShapeSet::attachMap(std::unique_ptr<YDF_MAP> map) {
    mMap = std::move(map);
    mHasMap = mMap != nullptr;
}

bool CShapeSet::readDbfShapeInfo(const std::string& fileName, CSectionDataGroup& group,
                                 const std::vector<int>* selection) {
    const NORBS_SHAPE_UTILITY::DbfFile table(DBFOpenLL(fileName.c_str(), "rb", NORBS_SHAPE_UTILITY::tracedHooks()));
    if (!table) raiseError(ORBS_EC_FILE_NOT_FOUND, CORBS_SHAPE_SOURCE, __LINE__, fileName);
    DBFInfo* const dbf = table.get();
    const int records = DBFGetRecordCount(dbf);
    const int fields = DBFGetFieldCount(dbf);
    // The header's record count is believed only as far as the file holds
    // the records: a truncated table (or a forged count) would otherwise
    // cost memory for records that are not there.
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(fileName, sizeError);
    const auto header = static_cast<std::uintmax_t>(std::max(dbf->nHeaderLength, 0));
    if (sizeError || dbf->nRecordLength <= 0 || size < header ||
        static_cast<std::uintmax_t>(records) > (size - header) / static_cast<std::uintmax_t>(dbf->nRecordLength)) {
        NORBS_ERROR_MANAGER::traceDebug("%s holds fewer records than the %d it announces\n", fileName.c_str(), records);
        return false;
    }
    std::vector<int> chosen;
    for (int r = 0; r < records; ++r) {
        if (selection == nullptr || (static_cast<std::size_t>(r) < selection->size() && (*selection)[r] > 0)) {
            chosen.push_back(r);
        }
    }
    const int shapes = static_cast<int>(chosen.size());
    group.setValue(dbfKey("NumberOfShape"), shapes);
    group.setValue(dbfKey("NumberOfFields"), fields);
    group[dbfKey("FieldName")].setDimension(1, fields);
    group[dbfKey("FieldType")].setDimension(1, fields);
    group[dbfKey("FieldSize")].setDimension(1, fields);
    group[dbfKey("FieldData")].setDimension(shapes, fields);
    for (int f = 0; f < fields; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        const DBFFieldType type = DBFGetFieldInfo(dbf, f, name, &width, &decimals);
        group.setValue(dbfKey("FieldName"), f, std::string(name));
        group.setValue(dbfKey("FieldType"), f, std::string(fieldTypeName(type)));
        group.setValue(dbfKey("FieldSize"), f, width);
        for (int s = 0; s < shapes; ++s) {
            group.setValue(dbfKey("FieldData"), s, f, attributeText(dbf, chosen[static_cast<std::size_t>(s)], f, type));
        }
    }
    if (fileName.find("trace") != std::string::npos) {
        const std::string traceFile = NORBS_SHAPE_UTILITY::pathWithoutExtension(fileName) + ".dbf_hdr";
        if (group.writeXML(traceFile, false, true) == 0) {
            raiseError(ORBS_EC_FILE_NOT_FOUND, CORBS_SHAPE_SOURCE, __LINE__, traceFile);
        }
    }
    return true;
}

int CShapeSet::getNumberOfFields() {
    bool found = false;
    const int count = mDbfShapeInfo.getInteger(dbfKey("NumberOfFields"), &found);
    return found ? count : 0;
}

int CShapeSet::getNumberOfShape() {
    bool found = false;
    const int count = mDbfShapeInfo.getInteger(dbfKey("NumberOfShape"), &found);
    return found ? count : 0;
}

std::optional<std::string> CShapeSet::getFieldName(int i) {
    if (i < 0 || i >= getNumberOfFields()) return std::nullopt;
    bool found = false;
    std::string name = mDbfShapeInfo.getString(dbfKey("FieldName"), i, &found);
    return found ? std::optional(name) : std::nullopt;
}

std::optional<std::string> CShapeSet::getFieldType(int i) {
    if (i < 0 || i >= getNumberOfFields()) return std::nullopt;
    bool found = false;
    std::string type = mDbfShapeInfo.getString(dbfKey("FieldType"), i, &found);
    return found ? std::optional(type) : std::nullopt;
}

int CShapeSet::getFieldSize(int i) {
    if (i < 0 || i >= getNumberOfFields()) return -1;
    bool found = false;
    const int size = mDbfShapeInfo.getInteger(dbfKey("FieldSize"), i, &found);
    return found ? size : -1;
}

int CShapeSet::findFieldIndex(const std::string& name) {
    for (int i = 0; i < getNumberOfFields(); ++i) {
        if (getFieldName(i) == name) return i;
    }
    return -1;
}

std::optional<std::string> CShapeSet::getFieldData(int record, int field) {
    if (record < 0 || record >= getNumberOfShape() || field < 0 || field >= getNumberOfFields()) return std::nullopt;
    bool found = false;
    std::string text = mDbfShapeInfo.getString(dbfKey("FieldData"), record, field, &found);
    return found ? std::optional(text) : std::nullopt;
}

int CShapeSet::findDbfField(DBFHandle dbf, const std::string& name) {
    return dbf != nullptr && !name.empty() ? DBFGetFieldIndex(dbf, name.c_str()) : -1;
}
