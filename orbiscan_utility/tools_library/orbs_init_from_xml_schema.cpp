// Reading descriptions from XML Schema files and legacy ".key" files.
#include "orbs_init_from_xml_schema.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <string_view>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr const char* kSchemaSource = "orbiscan_utility/tools_library/orbs_init_from_xml_schema";
constexpr int kSchemaTagCapacity = 40000;
constexpr std::size_t kMaxKeyFields = 5050;

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string attribute(const CXmlTagList& tags, int i, const char* name) {
    return tags.getAttribute(i, name).value_or("");
}

// The first tag named `name` inside the subtree of `owner`, not looking
// into nested elements; -1 when none.
int findOwnTag(const CXmlTagList& tags, int owner, const char* name) {
    const int end = tags.getSubtreeEnd(owner);
    for (int i = owner + 1; i < end; ++i) {
        if (tags.getName(i) == "xs:element") i = tags.getSubtreeEnd(i) - 1;
        else if (tags.getName(i) == name) return i;
    }
    return -1;
}

// The first "xs:element" nested in `owner`, or -1.
int findNestedElement(const CXmlTagList& tags, int owner) {
    const int end = tags.getSubtreeEnd(owner);
    for (int i = owner + 1; i < end; ++i)
        if (tags.getName(i) == "xs:element") return i;
    return -1;
}

// A field element of a section: its description, or none when it is not a
// field (skipped type or no shape).  A type that names a shape but no data
// type still makes a field, of data type -1: shaping a set from it fails
// loudly (130004) instead of the field silently missing from the set.
std::optional<CFieldDescription> readFieldElement(const CXmlTagList& tags, int element) {
    CFieldDescription field;
    field.name = attribute(tags, element, "name");
    std::optional<std::string> type = tags.getAttribute(element, "type");
    if (!type) {
        int base = findOwnTag(tags, element, "xs:restriction");
        if (base < 0) base = findOwnTag(tags, element, "xs:extension");
        if (base >= 0) type = attribute(tags, base, "base");
    }
    if (!type) {
        const int nested = findNestedElement(tags, element);
        const std::string nestedName = nested >= 0 ? attribute(tags, nested, "name") : "";
        const bool vectorOfStructs = nestedName.starts_with("VectorOfStructs_");
        if (vectorOfStructs || nestedName.starts_with("Struct_")) {
            // A structure: its typed elements are the sub-fields.  They all
            // share one shape and one data type.  The shape comes from the
            // container (a VectorOfStructs holds vectors, a Struct scalars),
            // because the value elements are declared with scalar types in
            // both; the data type is the first one a sub-field names.
            field.shape = CORBS_DS_MULTIPLE;
            field.subFieldShape = vectorOfStructs ? CORBS_DS_VECTOR : CORBS_DS_SCALAR;
            field.dataTypeId = -1;
            const int end = tags.getSubtreeEnd(nested);
            for (int i = nested + 1; i < end; ++i) {
                if (tags.getName(i) != "xs:element") continue;
                const auto name = tags.getAttribute(i, "name");
                const auto subType = tags.getAttribute(i, "type");
                if (!name || !subType) continue;
                field.subFieldNames.push_back(*name);
                if (field.dataTypeId < 0) field.dataTypeId = schemaTypeDataType(*subType);
            }
            return field;
        }
        type = nested >= 0 ? tags.getAttribute(nested, "ref").value_or("NOT_FOUND") : "NOT_FOUND";
    }
    field.shape = schemaTypeShape(*type);
    field.dataTypeId = schemaTypeDataType(*type);
    if (field.shape < 0) return std::nullopt;
    return field;
}

// The fields of a section element: the "xs:element" tags at the depth of
// the first one nested in it.
std::vector<CFieldDescription> readSectionFields(const CXmlTagList& tags, int section) {
    std::vector<CFieldDescription> fields;
    const int first = findNestedElement(tags, section);
    if (first < 0) return fields;
    const int depth = tags.getDepth(first);
    const int end = tags.getSubtreeEnd(section);
    for (int i = first; i < end; ++i) {
        if (tags.getDepth(i) != depth || tags.getName(i) != "xs:element") continue;
        if (auto field = readFieldElement(tags, i)) fields.push_back(std::move(*field));
    }
    return fields;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

}  // namespace

int schemaTypeShape(const std::string& type) {
    if (contains(type, "xs:anyType")) return CORBS_SCHEMA_SKIPPED;
    if (contains(type, "xs:") || contains(type, "OrbiscanFlagType") || contains(type, "OrbiscanInterpolationType"))
        return CORBS_DS_SCALAR;
    if (contains(type, "Vector")) return CORBS_DS_VECTOR;
    if (contains(type, "Matrix")) return CORBS_DS_MATRIX;
    return -1;
}

int schemaTypeDataType(const std::string& type) {
    if (contains(type, "xs:double")) return CORBS_DS_DOUBLE;
    if (contains(type, "xs:long")) return CORBS_DS_INTEGER;
    if (contains(type, "xs:string")) return CORBS_DS_STRING;
    if (contains(type, "Double")) return CORBS_DS_DOUBLE;
    if (contains(type, "Integer")) return CORBS_DS_INTEGER;
    if (contains(type, "String") || contains(type, "OrbiscanFlagType")) return CORBS_DS_STRING;
    if (contains(type, "OrbiscanInterpolationType")) return CORBS_DS_STRING;
    return -1;
}

std::string prepareSchema(const std::string& name, const std::optional<std::string>& outputPath) {
    // A name that already holds ".xsd" is not given a second one, for the
    // input as for the output: "X.xsd.xsd" can never be a schema.
    const std::string fileName = name + (contains(name, ".xsd") ? "" : ".xsd");
    std::string output;
    if (outputPath) {
        output = *outputPath;
    } else {
        std::string workingDir;
        if (fdfGetEnv(workingDir, "ORBISCAN_WORKING_DIR") != 0)
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_ENVIRONMENT, kSchemaSource, __LINE__, "ORBISCAN_WORKING_DIR");
        output = workingDir + fileName;
    }
    std::string schemaDir;
    fdfGetEnv(schemaDir, "ORBISCAN_XML_SCHEMA_DES_FILES_DIR");
    std::ifstream in(schemaDir + fileName, std::ios::binary);
    if (!in) return output;

    // The whole flattened text is built before the output is opened, so that
    // a working directory that is the schema directory itself cannot
    // truncate the schema while it is being read.
    std::string flattened;
    for (std::string line; std::getline(in, line);) {
        if (contains(line, "<include") || contains(line, "<xs:include")) {
            // The included file is named after schemaLocation= and its
            // opening quote, up to and including the first ".xsd".
            constexpr std::string_view kLocation = "schemaLocation=";
            const std::size_t at = line.find(kLocation);
            const std::size_t begin = at == std::string::npos ? std::string::npos : at + kLocation.size() + 1;
            const std::size_t xsd = begin >= line.size() ? std::string::npos : line.find(".xsd", begin);
            if (xsd != std::string::npos) {
                std::ifstream included(schemaDir + line.substr(begin, xsd + 4 - begin), std::ios::binary);
                for (std::string piece; std::getline(included, piece);) flattened.append(piece).append("\n");
                continue;
            }
            // An include line that names no schema file is kept as it is.
        }
        flattened.append(line).append("\n");
    }
    in.close();
    // A cut schema would be read as a broken parameter file: a failed write
    // is reported as what it is.
    if (const int error = fdfWriteWholeFile(output, flattened))
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_WRITE_FAILED, kSchemaSource, __LINE__, fdfWriteFailure(output, error));
    return output;
}

int CSectionDataGroupDescription::init(const std::string& schemaPath, const std::string& rootName) {
    mSections.clear();
    mRootName = rootName.empty() ? "HEADER_INFO" : rootName;

    std::string path = schemaPath;
    if (path.empty() || !fdfExistFile(path)) path = prepareSchema(path.empty() ? mRootName : path);
    if (!fdfExistFile(path)) return 0;

    std::string refusal;
    const std::unique_ptr<CXmlTagList> tags =
        forbs_xml_parser(path, kSchemaTagCapacity, CORBS_XML_MAX_DEPTH, CORBS_XML_MAX_LINE_LENGTH, true, &refusal);
    if (!tags)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_XML_NOT_PARSED, kSchemaSource, __LINE__,
                                        NORBS_PARAMETER_FILE::unparsedFileDetail(path, refusal));

    int root = -1;
    for (int i = 0; i < tags->getTagsNbr() && root < 0; ++i)
        if (tags->getName(i) == "xs:element" && contains(attribute(*tags, i, "name"), mRootName.c_str())) root = i;
    if (root < 0) return 0;

    // Sections: the elements at the depth of the first one found past the
    // root's type and sequence tags.
    int depth = -1;
    for (int i = root + 3; i < tags->getTagsNbr(); ++i) {
        if (depth < 0) {
            if (tags->getName(i) != "xs:element") continue;
            depth = tags->getDepth(i);
        }
        if (tags->getDepth(i) < depth) break;
        if (tags->getDepth(i) > depth || tags->getName(i) != "xs:element") continue;
        const std::optional<std::string> name = tags->getAttribute(i, "name");
        if (!name) break;
        if (NorvikCore::get_trace_level() > 19)
            NORBS_ERROR_MANAGER::traceInfo("Section[%zu] = %s\n", mSections.size(), name->c_str());
        mSections.push_back({*name, readSectionFields(*tags, i)});
    }
    return 1;
}

const CSectionDescription* CSectionDataGroupDescription::getSection(const std::string& name) const {
    for (const CSectionDescription& section : mSections)
        if (section.name.find(name) != std::string::npos) return &section;
    return nullptr;
}

bool parseKeyTypeCode(const std::string& code, int& shape, int& dataTypeId, int& count) {
    std::size_t i = 0;
    count = 0;
    while (i < code.size() && std::isdigit(static_cast<unsigned char>(code[i]))) {
        count = count * 10 + (code[i] - '0');
        if (count > 1000000) return false;
        ++i;
    }
    shape = CORBS_DS_SCALAR;
    if (i < code.size() && (code[i] == 'M' || code[i] == 'V'))
        shape = code[i++] == 'M' ? CORBS_DS_MATRIX : CORBS_DS_VECTOR;
    if (i + 1 != code.size()) return false;
    switch (code[i]) {
        case 'I': dataTypeId = CORBS_DS_INTEGER; return true;
        case 'D':
        case 'F': dataTypeId = CORBS_DS_DOUBLE; return true;
        case 'S': dataTypeId = CORBS_DS_STRING; return true;
        default: return false;
    }
}

std::unique_ptr<CSectionData> buildSection(const CSectionDescription& description) {
    auto section = std::make_unique<CSectionData>(description.name);
    for (const CFieldDescription& field : description.fields) {
        if (field.shape == CORBS_DS_MULTIPLE)
            section->addField(CSectionField::createMultiple(field.name, field.subFieldShape, field.dataTypeId,
                                                            field.subFieldNames));
        else
            section->addField(std::make_unique<CSectionField>(field.name, field.shape, field.dataTypeId));
    }
    return section;
}

CSectionDescription readKeyDescription(const std::string& keyPath, const std::string& sectionName) {
    if (sectionName.empty())
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_SECTION_NAME_MISSING, CORBS_SECTION_SOURCE, __LINE__, keyPath);
    std::ifstream in(keyPath, std::ios::binary);
    if (!in) NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_FOUND, kSchemaSource, __LINE__, keyPath);

    CSectionDescription section{sectionName, {}};
    bool inSection = false;
    for (std::string record; std::getline(in, record, ';');) {
        // Blanks before the "[" of a section record are tolerated (beyond the
        // one new line that usually follows the previous ";"), so that files
        // with "\r\n" line ends or indented records still name their section.
        const std::size_t start = record.find_first_not_of(" \t\r\n");
        const std::string text = start == std::string::npos ? "" : record.substr(start);
        if (!inSection) {
            // A record whose first or second character is "[" names a section.
            const std::size_t open = text.size() > 1 && text[1] == '[' ? 1 : 0;
            if (text.empty() || text[open] != '[') continue;
            const std::size_t close = text.find(']', open);
            inSection = text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1) ==
                        sectionName;
            continue;
        }
        // Every record holding "=" up to the end of the file is a field.
        const std::size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        const std::vector<std::string> left = words(text.substr(0, eq));
        const std::vector<std::string> right = words(text.substr(eq + 1));
        CFieldDescription field;
        int count = 0;
        // A record must hold one name and a valid code, and a MULTIPLE
        // exactly its N sub-field names: a malformed record would shape a
        // section other than the one described.
        if (left.size() != 1 || right.empty() || !parseKeyTypeCode(right[0], field.shape, field.dataTypeId, count) ||
            (count > 0 && right.size() != static_cast<std::size_t>(count) + 1)) {
            if (NorvikCore::get_trace_level() >= 1) buildSection(section)->print(true);
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_DATA_TYPE, CORBS_SECTION_SOURCE, __LINE__, text);
        }
        field.name = left[0];
        if (count > 0) {
            field.subFieldShape = field.shape;
            field.shape = CORBS_DS_MULTIPLE;
            field.subFieldNames.assign(right.begin() + 1, right.end());
        }
        section.fields.push_back(std::move(field));
        if (section.fields.size() == kMaxKeyFields) {
            if (NorvikCore::get_trace_level() > 9)
                NORBS_ERROR_MANAGER::traceInfo("CORBS_DS_MAX_NBR_FIELDS = %zu\n", kMaxKeyFields);
            break;
        }
    }
    // A file that never names the section describes none of its fields.
    if (!inSection)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FIELD_NOT_FOUND, CORBS_SECTION_SOURCE, __LINE__, sectionName);
    return section;
}
