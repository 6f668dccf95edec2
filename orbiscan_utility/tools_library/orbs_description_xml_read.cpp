// Reading parameter files: readXML, readFromXMLFile and the name
// resolution of readFile.
#include <cstdlib>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceDebug;

namespace {

// Fills the fields of one section from the tags of its element.
//
// Every search for a child of a container (section, vector, matrix, row,
// structure) is bounded by the container's subtree end, computed once per
// container: asking the tag list for it at each search would rescan the
// whole container for every element, and a matrix of R rows or a vector of
// N values would cost R^2 or N^2 tag visits.
class SectionReader {
public:
    explicit SectionReader(const CXmlTagList& tags) : mTags(tags) {}

    // false when the file contradicts itself (a container without its size).
    bool read(CSectionData& section, int sectionTag) {
        const int sectionEnd = mTags.getSubtreeEnd(sectionTag);
        for (int i = 0; i < section.getFieldsNbr(); ++i) {
            CSectionField& field = *section.getField(i);
            if (field.getParentIndex() != -1) continue;  // read with their owner
            const int fieldTag = findChild(sectionTag + 1, sectionEnd, nameId(field.getName()));
            if (fieldTag < 0) continue;  // absent fields stay unset
            if (!readField(field, fieldTag)) {
                traceDebug("readXML : cannot read the field %s of %s\n", field.getName().c_str(),
                           section.getName().c_str());
                return false;
            }
        }
        return true;
    }

private:
    // Names are compared as numbers, each looked up once (-1: no tag has it).
    int nameId(const std::string& name) const { return mTags.findNameId(name); }

    // The first tag with name number `name` in [from, end), or -1.  With
    // `end` the subtree end of a container that precedes `from`, this is
    // findTag(from, name, CXmlTagQuery::inside(container)).
    int findChild(int from, int end, int name) const {
        if (name < 0) return -1;
        for (int i = from; i < end; ++i) {
            if (mTags.getNameId(i) == name) return i;
        }
        return -1;
    }

    bool readField(CSectionField& field, int fieldTag) {
        switch (field.getShape()) {
        case CORBS_DS_SCALAR: store(field, 0, 0, fieldTag); return true;
        case CORBS_DS_VECTOR: return readVector(field, fieldTag);
        case CORBS_DS_MATRIX: return readMatrix(field, fieldTag);
        case CORBS_DS_MULTIPLE: return readMultiple(field, fieldTag);
        default: return true;
        }
    }

    // A container announcing more elements than any header holds comes from
    // a damaged file: its section fails to read (the command then reports
    // the file) instead of the process running out of memory.
    static constexpr long long kMaxAnnouncedElements = 100000000;

    std::optional<int> sizeAttribute(int tag, const char* name) const {
        const std::optional<std::string> text = mTags.getAttribute(tag, name);
        if (!text) return std::nullopt;
        const int size = std::max(NORBS_PARAMETER_FILE::parseInteger(*text), 0);
        if (size > kMaxAnnouncedElements) return std::nullopt;
        return size;
    }

    // Values are taken in document order; the "ID" attributes are not
    // consulted.
    bool readVector(CSectionField& field, int fieldTag) {
        const std::string type = NORBS_PARAMETER_FILE::typeWord(field.getDataTypeId());
        const int vector = findChild(fieldTag + 1, mTags.getSubtreeEnd(fieldTag), nameId("Vector" + type));
        if (vector < 0) return true;
        const std::optional<int> count = sizeAttribute(vector, "NumberOfElements");
        if (!count) return false;
        field.setDimension(1, *count);
        const int vectorEnd = mTags.getSubtreeEnd(vector);
        const int valueName = nameId("Value" + type);
        int cursor = vector;
        for (int i = 0; i < *count; ++i) {
            cursor = findChild(cursor + 1, vectorEnd, valueName);
            if (cursor < 0) break;
            store(field, 0, i, cursor);
        }
        return true;
    }

    bool readMatrix(CSectionField& field, int fieldTag) {
        const std::string type = NORBS_PARAMETER_FILE::typeWord(field.getDataTypeId());
        const int matrix = findChild(fieldTag + 1, mTags.getSubtreeEnd(fieldTag), nameId("Matrix" + type));
        if (matrix < 0) return true;
        const std::optional<int> rows = sizeAttribute(matrix, "NumberOfRows");
        const std::optional<int> cols = sizeAttribute(matrix, "NumberOfColumns");
        if (!rows || !cols || static_cast<long long>(*rows) * *cols > kMaxAnnouncedElements) return false;
        field.setDimension(*rows, *cols);
        const int matrixEnd = mTags.getSubtreeEnd(matrix);
        const int rowName = nameId("MatrixRow" + type);
        const int valueName = nameId("Value" + type);
        int row = matrix;
        for (int r = 0; r < *rows; ++r) {
            row = findChild(row + 1, matrixEnd, rowName);
            if (row < 0) break;
            const int rowEnd = mTags.getSubtreeEnd(row);
            int value = row;
            for (int c = 0; c < *cols; ++c) {
                value = findChild(value + 1, rowEnd, valueName);
                if (value < 0) break;
                store(field, r, c, value);
            }
        }
        return true;
    }

    bool readMultiple(CSectionField& field, int fieldTag) {
        const std::string& name = field.getName();
        const int fieldEnd = mTags.getSubtreeEnd(fieldTag);
        const int vectorOfStructs = findChild(fieldTag + 1, fieldEnd, nameId("VectorOfStructs_" + name));
        if (vectorOfStructs >= 0) {
            const std::optional<int> count = sizeAttribute(vectorOfStructs, "NumberOfElements");
            if (!count) return false;
            for (int j = 0; j < field.getSubFieldsNbr(); ++j) {
                if (CSectionField* sub = field.getSubField(j)) sub->setDimension(1, *count);
            }
            const int vectorOfStructsEnd = mTags.getSubtreeEnd(vectorOfStructs);
            const int valuesName = nameId("VectorOfStructsValues_" + name);
            int values = vectorOfStructs;
            for (int i = 0; i < *count; ++i) {
                values = findChild(values + 1, vectorOfStructsEnd, valuesName);
                if (values < 0) break;
                storeSubFields(field, i, values);
            }
            return true;
        }
        const int structure = findChild(fieldTag + 1, fieldEnd, nameId("Struct_" + name));
        if (structure >= 0) storeSubFields(field, 0, structure);
        return true;
    }

    void storeSubFields(CSectionField& field, int element, int container) {
        const int containerEnd = mTags.getSubtreeEnd(container);
        for (int j = 0; j < field.getSubFieldsNbr(); ++j) {
            CSectionField* sub = field.getSubField(j);
            if (sub == nullptr) continue;
            const int tag = findChild(container + 1, containerEnd, nameId(sub->getName()));
            // A sub-field whose shape does not fit the container has no
            // room for the element: it stays unset.
            if (tag >= 0 && sub->hasTables() && element < sub->getColNbr()) store(*sub, 0, element, tag);
        }
    }

    void store(CSectionField& field, int row, int col, int tag) {
        // The text is used in place: a NUL byte follows it, numbers convert there.
        const std::string_view text = mTags.getTextView(tag);
        switch (field.getDataTypeId()) {
        case CORBS_DS_INTEGER:
            field.setValue(row, col, NORBS_PARAMETER_FILE::parseInteger(text.data(), text.size()));
            break;
        case CORBS_DS_DOUBLE:
            field.setValue(row, col, NORBS_PARAMETER_FILE::parseDouble(text.data(), text.size()));
            break;
        case CORBS_DS_STRING:
            // The file's "&quot;&quot;" (still encoded here) is the empty
            // text; decoding would turn it into two quote characters.
            if (text.find("##quot##quot") != std::string_view::npos) {
                field.setValue(row, col, std::string());
            } else {
                NORBS_PARAMETER_FILE::decodeXmlText(text, mDecoded);
                field.setValue(row, col, mDecoded);
            }
            break;
        default:
            NORBS_ERROR_MANAGER::traceAtLevel(20, "Data Type ID : %d\n", field.getDataTypeId());
            raiseError(ORBS_EC_DATA_TYPE, CORBS_XML_SOURCE, __LINE__, field.getName());
        }
    }

    const CXmlTagList& mTags;
    std::string mDecoded;  // reused by every String value
};
}  // namespace

int CSectionDataGroup::readXML(const std::string& path, bool raise) {
    if (!fdfExistFile(path)) {
        if (raise) raiseError(ORBS_EC_FILE_NOT_FOUND, CORBS_XML_SOURCE, __LINE__, path);
        return 0;
    }
    std::string refusal;
    const std::unique_ptr<CXmlTagList> tags = forbs_xml_parser(path, CORBS_XML_TAG_CAPACITY, CORBS_XML_MAX_DEPTH,
                                                               CORBS_XML_MAX_LINE_LENGTH, true, &refusal);
    if (!tags) {
        if (raise)
            raiseError(ORBS_EC_XML_NOT_PARSED, CORBS_XML_SOURCE, __LINE__,
                       NORBS_PARAMETER_FILE::unparsedFileDetail(path, refusal));
        return 0;
    }
    clearAllFields();
    setFileName(path);
    const int root = tags->findTag(0, mHeaderName);
    if (root < 0) {
        traceDebug("NOT FOUND this->mInitialTag : %s\n", mHeaderName.c_str());
        return 0;
    }
    SectionReader reader(*tags);
    for (const auto& section : mSectionData) {
        const int sectionTag = tags->findTag(root + 1, section->getName());
        if (sectionTag < 0) continue;  // a section absent from the file stays unset
        if (!reader.read(*section, sectionTag)) return 0;
    }
    NORBS_PARAMETER_FILE::applyChannelsDefault(*this);
    return 1;
}

int CSectionDataGroup::readFromXMLFile(const std::string& path, const std::string& sectionName) {
    CSectionData* section = getSection(sectionName);
    if (section == nullptr || !fdfExistFile(path)) return 0;
    const std::unique_ptr<CXmlTagList> tags = forbs_xml_parser(path);
    if (!tags) return 0;
    const int sectionTag = tags->findTag(0, sectionName);
    if (sectionTag < 0) return 0;
    section->clearAll();
    setFileName(path);
    return SectionReader(*tags).read(*section, sectionTag) ? 1 : 0;
}

int CSectionDataGroup::readFile(const std::string& path, bool raise) {
    reset();
    const std::string base = NORBS_PARAMETER_FILE::parameterFileBase(path);
    const std::string xmlPath = base + ".sml";
    const std::string textPath = base + "_hdr";

    if (fdfExistFile(xmlPath)) {
        if (!readXML(xmlPath, false)) {
            set(ORBS_EC_XML_NOT_PARSED, CORBS_XML_SOURCE, xmlPath, __LINE__);
            return 0;
        }
        NORBS_PARAMETER_FILE::applyPolarizationRule(*this);
        return 1;
    }

    if (fdfExistFile(textPath)) {
        clearAllFields();
        setFileName(textPath);
        // A legacy header need not hold every section of the set: a missing
        // one is recorded (and raised when asked), the others are still read.
        for (const auto& section : mSectionData) {
            if (readTextSection(textPath, section->getName())) continue;
            set(ORBS_EC_FILE_NOT_FOUND, CORBS_XML_SOURCE, section->getName(), __LINE__);
            traceDebug("%s Not Found : %s\n", textPath.c_str(), section->getName().c_str());
            if (raise) {
                print(true, 15);
                raiseError(ORBS_EC_FILE_NOT_FOUND, CORBS_XML_SOURCE, __LINE__, section->getName());
            }
        }
        return 1;
    }

    if (fdfExistFile(path)) {
        if (!readXML(path, raise)) return 0;
        if (NORBS_PARAMETER_FILE::applyPolarizationRule(*this)) writeXML(path, false, true);
        return 1;
    }

    set(ORBS_EC_NO_PARAMETER_FILE, CORBS_XML_SOURCE, path, __LINE__);
    NORBS_ERROR_MANAGER::traceAtLevel(11, "%s Not Found\n", path.c_str());
    return 0;
}
