// Reading the suite's XML shape description into a CShapeSet.
//
//   <SHAPES TYPE="POLYGON">
//     <CLASSES_NUMBER>n</CLASSES_NUMBER> <CLASS_NAME>..</CLASS_NAME> x n
//     [<CLASSES_RGB/> <CLASS_RGB RED=".." GREEN=".." BLUE=".."/> x n]
//     [<GEOCODED/> <State>..</State> <Zone>..</Zone> ... the cartographic fields]
//     [<UPPER_LEFT_X/Y>..] [<GRID_SIZE_X/Y>..]
//     <TOTAL_NUMBER_OF_POINTS>..</TOTAL_NUMBER_OF_POINTS> <SHAPES_NUMBER>s</SHAPES_NUMBER>
//     [<DBF_FIELDS_NAME NUMBER="m"/> <FIELD TYPE="FTString">name</FIELD> x m]
//     per shape: <CLASS_OF_SHAPE>id</CLASS_OF_SHAPE> [<PARTS_NUMBER>k</PARTS_NUMBER> <PART>..</PART> x k]
//                [<AREA>..</AREA>] <FIELD>value</FIELD> x m
//                <POINTS_LIST NUMBER_OF_POINT="p"/> <POINT X=".." Y=".." Z=".."/> x p
//
// Elements are looked for in this order, each after the previous one; the
// optional ones only up to the next shape, so that one shape never takes
// another's.
#include <cmath>
#include <cstdlib>

#include "orbs_core_generic_utility.h"
#include "orbs_description_xml.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_shape_utility.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceAtLevel;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

// The tag list grows with the document as it is read, so the room for
// elements grows by itself from its start; a document beyond the largest
// room is refused.
constexpr int kFirstElementRoom = 40000;
constexpr int kLargestElementRoom = 10000000;

class XmlShapeReader {
public:
    XmlShapeReader(const CXmlTagList& tags, const std::string& fileName) : mTags(tags), mFileName(fileName) {}

    // Elements are searched from the cursor up to the limit.
    void setLimit(int limit) { mLimit = limit; }
    int cursor() const { return mCursor; }

    int next(const char* name) {
        const int tag = find(name);
        if (tag < 0) fail(name);
        return mCursor = tag;
    }
    int optional(const char* name) {
        const int tag = find(name);
        if (tag >= 0) mCursor = tag;
        return tag;
    }
    int find(const char* name) const {
        const int tag = mTags.findTag(mCursor + 1, name);
        return tag >= 0 && tag < mLimit ? tag : -1;
    }

    std::string text(int tag) const { return NORBS_PARAMETER_FILE::decodeXmlText(mTags.getTextView(tag)); }
    int integer(int tag) const { return std::atoi(text(tag).c_str()); }
    double number(int tag) const { return std::strtod(text(tag).c_str(), nullptr); }
    std::string attribute(int tag, const char* name) const {
        const std::optional<std::string> value = mTags.getAttribute(tag, name);
        if (!value) fail(name);
        return *value;
    }
    // A count announced by the file: never more than the elements it holds.
    int count(int value, const char* name) const {
        if (value < 0 || value > mTags.getTagsNbr()) fail(name);
        return value;
    }

    [[noreturn]] void fail(const char* element) const {
        traceDebug("Shape description %s: no valid %s\n", mFileName.c_str(), element);
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, CORBS_SHAPE_SOURCE, __LINE__, mFileName);
    }

private:
    const CXmlTagList& mTags;
    const std::string& mFileName;
    int mCursor = -1;
    int mLimit = 0;
};

// The cartographic system the tags after <GEOCODED/> name, without datum
// shift: the fields of a raster header's "CartographicSystem" section under
// their bare names.
std::unique_ptr<YDF_MAP> mapOf(const XmlShapeReader& reader, const CXmlTagList& tags) {
    CSectionDataGroupDescription description;
    CSectionDataGroup set;
    if (description.init("", "HEADER_INFO") != 1 || set.init(&description, {"CartographicSystem"}) != 1) {
        reader.fail("CartographicSystem");
    }
    const CSectionData& section = *set.getSection("CartographicSystem");
    for (int i = 0; i < section.getFieldsNbr(); ++i) {
        CSectionField& field = *section.getField(i);
        if (field.getName() == "DatumShift") continue;
        const int tag = reader.find(field.getName().c_str());
        if (tag < 0) {
            if (field.getName() == "State") {
                traceDebug("Not found the tag : State\n");
                reader.fail("State");
            }
            continue;
        }
        if (!tags.hasText(tag)) {
            if (field.getName() == "State") {
                traceDebug("Found A NULL tag  : State\n");
                reader.fail("State");
            }
            continue;
        }
        if (field.getDataTypeId() == CORBS_DS_STRING) field.setValue(reader.text(tag));
        if (field.getDataTypeId() == CORBS_DS_DOUBLE) field.setValue(reader.number(tag));
    }
    auto map = std::make_unique<YDF_MAP>();
    map->init(set);
    return map;
}

}  // namespace

bool CShapeSet::initFromShapeXml(const std::string& fileName, bool absoluteCoordinates) {
    const std::unique_ptr<CXmlTagList> tags = forbs_xml_parser(fileName, kFirstElementRoom);
    if (!tags || tags->getTagsNbr() > kLargestElementRoom) {
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, CORBS_SHAPE_SOURCE, __LINE__, fileName);
    }
    clearShapes();
    XmlShapeReader reader(*tags, fileName);
    const int firstShape = tags->findTag(0, "CLASS_OF_SHAPE");
    reader.setLimit(firstShape >= 0 ? firstShape : tags->getTagsNbr());

    const int typeIndex = NORBS_SHAPE_UTILITY::shapeTypeIndex(reader.attribute(reader.next("SHAPES"), "TYPE"));
    if (typeIndex == NORBS_SHAPE_UTILITY::kNoShapeType) reader.fail("TYPE");
    mShapeType = NORBS_SHAPE_UTILITY::shapeTypeCode(typeIndex);

    const int classes = reader.count(reader.integer(reader.next("CLASSES_NUMBER")), "CLASSES_NUMBER");
    for (int c = 0; c < classes; ++c) mClassNames.push_back(reader.text(reader.next("CLASS_NAME")));
    if (reader.optional("CLASSES_RGB") >= 0) {
        for (int c = 0; c < classes; ++c) {
            const int tag = reader.next("CLASS_RGB");
            mClassColours.push_back({static_cast<uint8_t>(std::atoi(reader.attribute(tag, "RED").c_str())),
                                     static_cast<uint8_t>(std::atoi(reader.attribute(tag, "GREEN").c_str())),
                                     static_cast<uint8_t>(std::atoi(reader.attribute(tag, "BLUE").c_str()))});
        }
    }
    if (reader.optional("GEOCODED") >= 0) attachMap(mapOf(reader, *tags));

    auto headerNumber = [&](const char* name, double fallback) {
        const int tag = reader.find(name);
        return tag >= 0 ? reader.number(tag) : fallback;
    };
    mGridX = headerNumber("UPPER_LEFT_X", 0.0);
    mGridY = headerNumber("UPPER_LEFT_Y", 0.0);
    const bool gridGiven = reader.find("GRID_SIZE_X") >= 0;
    mGridSpacingX = gridGiven ? headerNumber("GRID_SIZE_X", 1.0) : 1.0;
    mGridSpacingY = gridGiven ? headerNumber("GRID_SIZE_Y", -1.0) : -1.0;
    traceAtLevel(15, "Init from xml : %s\n", fileName.c_str());
    traceAtLevel(15, "theXGreedSize : %f\ntheYGreedSize : %f\ntheXUpperLeft : %f\ntheYUpperLeft : %f\n",
                 mGridSpacingX, mGridSpacingY, mGridX, mGridY);

    mTotalNumberOfPoints = reader.count(reader.integer(reader.next("TOTAL_NUMBER_OF_POINTS")), "TOTAL_NUMBER_OF_POINTS");
    const int shapes = reader.count(reader.integer(reader.next("SHAPES_NUMBER")), "SHAPES_NUMBER");
    int fields = 0;
    mDbfShapeInfo.setValue("DbfShapeInfo.NumberOfShape", shapes);
    if (const int names = reader.optional("DBF_FIELDS_NAME"); names >= 0) {
        fields = reader.count(std::atoi(reader.attribute(names, "NUMBER").c_str()), "NUMBER");
        mDbfShapeInfo["DbfShapeInfo.FieldName"].setDimension(1, fields);
        mDbfShapeInfo["DbfShapeInfo.FieldType"].setDimension(1, fields);
        for (int f = 0; f < fields; ++f) {
            const int tag = reader.next("FIELD");
            mDbfShapeInfo.setValue("DbfShapeInfo.FieldName", f, reader.text(tag));
            mDbfShapeInfo.setValue("DbfShapeInfo.FieldType", f, reader.attribute(tag, "TYPE"));
        }
    }
    mDbfShapeInfo.setValue("DbfShapeInfo.NumberOfFields", fields);
    mDbfShapeInfo["DbfShapeInfo.FieldData"].setDimension(shapes, fields);

    bool first = true;
    int64_t total = 0;
    for (int s = 0; s < shapes; ++s) {
        reader.setLimit(tags->getTagsNbr());
        const int id = reader.integer(reader.next("CLASS_OF_SHAPE"));
        const int nextShape = tags->findTag(reader.cursor() + 1, "CLASS_OF_SHAPE");
        reader.setLimit(nextShape >= 0 ? nextShape : tags->getTagsNbr());

        std::vector<int32_t> partStarts = {0};
        if (const int parts = reader.optional("PARTS_NUMBER"); parts >= 0) {
            partStarts.assign(static_cast<std::size_t>(reader.count(reader.integer(parts), "PARTS_NUMBER")), 0);
            for (int32_t& start : partStarts) start = reader.integer(reader.next("PART"));
        }
        const int area = reader.optional("AREA");
        for (int f = 0; f < fields; ++f) {
            mDbfShapeInfo.setValue("DbfShapeInfo.FieldData", s, f, reader.text(reader.next("FIELD")));
        }
        const int list = reader.next("POINTS_LIST");
        const int points = reader.count(std::atoi(reader.attribute(list, "NUMBER_OF_POINT").c_str()), "NUMBER_OF_POINT");
        if (points < 1) reader.fail("NUMBER_OF_POINT");

        // A part starts at one of the shape's points.
        for (const int32_t start : partStarts)
            if (start < 0 || start >= points) reader.fail("PART");
        total += points;

        CShapeRecord& record = mShapes.emplace_back(points);
        record.mId = id;
        record.mArea = area >= 0 ? reader.number(area) : 0.0;
        record.mPartStarts = partStarts;
        record.mNumberOfParts = static_cast<int32_t>(partStarts.size());
        for (CShapePoint& point : record.mPoints) {
            const int tag = reader.next("POINT");
            point.x = std::strtod(reader.attribute(tag, "X").c_str(), nullptr);
            point.y = std::strtod(reader.attribute(tag, "Y").c_str(), nullptr);
            point.z = std::strtod(reader.attribute(tag, "Z").c_str(), nullptr);
            // Image coordinates without a cartographic system are kept
            // positive whatever the sign of the grid.
            if (absoluteCoordinates) {
                point.x = std::fabs(point.x);
                point.y = std::fabs(point.y);
            }
            mXMin = first ? point.x : std::min(mXMin, point.x);
            mXMax = first ? point.x : std::max(mXMax, point.x);
            mYMin = first ? point.y : std::min(mYMin, point.y);
            mYMax = first ? point.y : std::max(mYMax, point.y);
            first = false;
        }
    }
    // The total is what callers hold limits against: a description whose
    // total is not the number of its points contradicts itself.
    if (total != mTotalNumberOfPoints) reader.fail("TOTAL_NUMBER_OF_POINTS");
    mNumberOfShapes = shapes;
    return true;
}
