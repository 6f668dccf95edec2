// Descriptions of parameter sets: the sections and typed fields of a
// command's parameter file or of a raster header, read from the suite's XML
// Schema files (".xsd") or from legacy ".key" text descriptions.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One field of a section description.
struct CFieldDescription {
    std::string name;
    int shape = 0;       // CORBS_DS_SCALAR ... CORBS_DS_MULTIPLE
    int dataTypeId = 0;  // CORBS_DS_INTEGER, _DOUBLE or _STRING
    // MULTIPLE only: the shape of every sub-field and their names.
    int subFieldShape = 0;
    std::vector<std::string> subFieldNames;
};

struct CSectionDescription {
    std::string name;
    std::vector<CFieldDescription> fields;
};

class CSectionDataGroupDescription {
public:
    // Reads a schema; 1 on success, 0 when the schema or its root element
    // is not found.  Without a path (or with a path that does not exist)
    // the schema is prepared from the description directory first.
    int init(const std::string& schemaPath, const std::string& rootName);

    // The first section description whose name contains `name`.
    const CSectionDescription* getSection(const std::string& name) const;

    const std::string& getRootName() const { return mRootName; }
    int getSectionsNbr() const { return static_cast<int>(mSections.size()); }
    const CSectionDescription& getSection(int i) const { return mSections[static_cast<std::size_t>(i)]; }

private:
    std::string mRootName = "HEADER_INFO";
    std::vector<CSectionDescription> mSections;
};

// Shape and data type of a schema type name; -1 when it names none, and
// shape -2 for "xs:anyType" (the element is skipped).
int schemaTypeShape(const std::string& typeName);
int schemaTypeDataType(const std::string& typeName);
constexpr int CORBS_SCHEMA_SKIPPED = -2;

// Flattens the schema `name` (its include lines replaced by the included
// files) into `outputPath`, or into the working directory when none is
// given; returns the path of the flattened schema.
std::string prepareSchema(const std::string& name, const std::optional<std::string>& outputPath = std::nullopt);

class CSectionData;

// A section with every field of a description in order, each MULTIPLE
// followed by its sub-fields; all fields unset.
std::unique_ptr<CSectionData> buildSection(const CSectionDescription& description);

// The section description `sectionName` of a legacy ".key" text file.
// Raises 130000 without a section name, 130004 for an invalid type code
// (after printing the fields read so far), 40002 when the file is missing
// and 130002 when it never names the section.
CSectionDescription readKeyDescription(const std::string& keyPath, const std::string& sectionName);

// A legacy type code ("I", "VD", "MS", "3D" ...): shape, data type and the
// count of a MULTIPLE; false when the code is invalid.
bool parseKeyTypeCode(const std::string& code, int& shape, int& dataTypeId, int& count);
