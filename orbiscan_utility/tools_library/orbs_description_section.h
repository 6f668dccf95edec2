// Parameter sets: named sections of named, typed fields.
//
// A field is addressed by "SECTION.field" (or by its bare name, first match
// in any section).  Commands read their configuration and rasters carry
// their metadata through these classes; the file formats are in
// orbs_description_xml.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orbs_errors.h"

// Shapes of a field.
constexpr int CORBS_DS_SCALAR = 0;
constexpr int CORBS_DS_VECTOR = 1;
constexpr int CORBS_DS_MATRIX = 2;
constexpr int CORBS_DS_MULTIPLE = 3;

// Data types of a field.  A MULTIPLE field has the sub-field type: its
// elements are the sub-fields themselves.
constexpr int CORBS_DS_INTEGER = 0;
constexpr int CORBS_DS_DOUBLE = 1;
constexpr int CORBS_DS_STRING = 2;
constexpr int CORBS_DS_SUB_FIELD = 3;

// Reserved values of templates: a mandatory value the user must fill and an
// optional value left empty.
constexpr int32_t CORBS_USER_PARAMETER_TO_FILL_INT = -999988887;
constexpr double CORBS_USER_PARAMETER_TO_FILL_DBL = -99998888.7;
constexpr int32_t CORBS_USER_OPTIONAL_PARAMETER_INT = -999988885;
constexpr double CORBS_USER_OPTIONAL_PARAMETER_DBL = -99998888.5;
inline constexpr const char* CORBS_USER_PARAMETER_TO_FILL = "USER_PARAMETER_TO_FILL";
inline constexpr const char* CORBS_USER_OPTIONAL_PARAMETER = "USER_OPTIONAL_PARAMETER";
// Integer answered by a non-raising read that finds no value (the Double
// one is NorvikCore::get_nan_double_val(), the String one the empty text).
constexpr int32_t CORBS_MISSING_INT = -999999;
// A text holding this mark anywhere stands for the empty text.
inline constexpr const char* CORBS_EMPTY_TEXT_MARK = "&quot;&quot;";
// Answer of an indexed Double read past the end of a "PulseDuration" field.
constexpr double CORBS_PULSE_DURATION_PAST_END = -9999.0;

// Error codes of the parameter sets.
constexpr int ORBS_EC_VALUE_NOT_FOUND = 90002;
constexpr int ORBS_EC_SECTION_NAME_MISSING = 130000;
constexpr int ORBS_EC_FLAG_TABLE_MISSING = 130001;
constexpr int ORBS_EC_FIELD_NOT_FOUND = 130002;
constexpr int ORBS_EC_DATA_TYPE = 130004;
constexpr int ORBS_EC_FIELD_NOT_SET = 130005;
constexpr int ORBS_EC_NO_FLAG_TABLE = 130006;
constexpr int ORBS_EC_INDEX_OUT_OF_RANGE = 130007;

inline constexpr const char* CORBS_SECTION_SOURCE = "tools_library/orbs_description_section";

class CSectionDataGroup;
class CSectionDataGroupDescription;

// The elements of one data type with their set flags, kept row by row and
// each row only as far as its last written element.  A field dimensioned
// from a size that a file announces thus holds memory for the elements the
// file gives, never for the ones it only announces.
template <class T>
class CSectionCells {
public:
    struct Cell {
        T value{};
        bool set = false;
    };

    void clear() { mRows.clear(); }
    // The element, or none when it was never written.
    const Cell* find(int row, int col) const {
        const auto r = static_cast<std::size_t>(row), c = static_cast<std::size_t>(col);
        return r < mRows.size() && c < mRows[r].size() ? &mRows[r][c] : nullptr;
    }
    // The element, made room for (rows and columns grow geometrically).
    Cell& at(int row, int col) {
        const auto r = static_cast<std::size_t>(row), c = static_cast<std::size_t>(col);
        if (r >= mRows.size()) mRows.resize(r + 1);
        if (c >= mRows[r].size()) mRows[r].resize(c + 1);
        return mRows[r][c];
    }

private:
    std::vector<std::vector<Cell>> mRows;
};

// One field.  Element forms: scalar = (0, 0), indexed = (0, i), matrix =
// (r, c).  Every getter takes an optional out-flag `found`; see the
// implementation files for which failures a flag turns into a missing value
// and which still raise.
class CSectionField {
public:
    // A SCALAR is dimensioned 1 x 1 at once, a VECTOR or MATRIX stays 0 x 0
    // without tables until setDimension, a MULTIPLE gets `subFieldsNbr`
    // empty sub-field slots for its creator to fill.  A null name makes a
    // field that holds nothing.
    CSectionField(const char* name, int shape, int dataTypeId, int parentIndex = -1, int subFieldsNbr = 0);
    CSectionField(const std::string& name, int shape, int dataTypeId, int parentIndex = -1, int subFieldsNbr = 0)
        : CSectionField(name.c_str(), shape, dataTypeId, parentIndex, subFieldsNbr) {}
    ~CSectionField();
    CSectionField(const CSectionField&) = delete;
    CSectionField& operator=(const CSectionField&) = delete;

    // A MULTIPLE field whose sub-fields all have the given shape and type.
    static std::unique_ptr<CSectionField> createMultiple(const std::string& name, int subFieldShape,
                                                         int dataTypeId,
                                                         const std::vector<std::string>& subFieldNames);
    // MULTIPLE only: fills slot i; 1 when stored.
    int setSubField(int i, std::unique_ptr<CSectionField> subField);

    const std::string& getName() const;
    bool hasName() const { return mName.has_value(); }
    int getParentIndex() const { return mParentIndex; }
    void setParentIndex(int index) { mParentIndex = index; }
    int getShape() const { return mShape; }
    int getDataTypeId() const { return mDataTypeId; }
    int getRowNbr() const { return mRowNbr; }
    int getColNbr() const { return mColNbr; }
    int getElementsNbr() const;
    int getSubFieldsNbr() const;
    CSectionField* getSubField(int i) const;
    int getAppendedNbr() const { return mAppendedNbr; }
    bool hasTables() const { return mHasTables; }

    bool isInitField(bool raiseOnMisuse = false) const;
    // The set flag of one element; false outside the tables.
    bool isElementSet(int row, int col) const;

    std::string getString(bool* found = nullptr) const;
    std::string getString(int i, bool* found = nullptr) const;
    std::string getString(int row, int col, bool* found = nullptr) const;
    int getInteger(bool* found = nullptr) const;
    int getInteger(int i, bool* found = nullptr) const;
    int getInteger(int row, int col, bool* found = nullptr) const;
    double getDouble(bool* found = nullptr) const;
    double getDouble(int i, bool* found = nullptr) const;
    double getDouble(int row, int col, bool* found = nullptr) const;

    // 1 when stored, 0 when the field has no name or no tables.
    int setValue(const std::string& text);
    int setValue(int i, const std::string& text);
    int setValue(int row, int col, const std::string& text);
    int setValue(int value);
    int setValue(int i, int value);
    int setValue(int row, int col, int value);
    int setValue(double value);
    int setValue(int i, double value);
    int setValue(int row, int col, double value);

    // (Re)allocates the tables with every element unset.  Without `force`
    // only VECTOR and MATRIX fields are dimensioned (others: 0).
    int setDimension(int rows, int cols, bool force = false);

    // Unsets one element; 0 outside the tables.
    int clearValue();
    int clearValue(int i);
    int clearValue(int row, int col);
    // Back to the state of a new field: a SCALAR unset, a VECTOR or MATRIX
    // without tables, a MULTIPLE with every sub-field cleared.
    void clearAll();

    void print() const;

private:
    friend class CSectionDataGroup;

    enum class Form { Scalar, Indexed, Matrix };
    // What a read of the given type and element would meet; 0 when it can
    // deliver a value, else the error code that describes the obstacle
    // (ORBS_EC_VALUE_NOT_FOUND for a field without name).
    int probeRead(int dataTypeId, Form form, int row, int col) const;
    // Same for a write: 0, ORBS_EC_NO_FLAG_TABLE (no name or no tables),
    // ORBS_EC_DATA_TYPE or ORBS_EC_INDEX_OUT_OF_RANGE.
    int probeWrite(int dataTypeId, int row, int col) const;

    // Shared body of the raising getters: 1 when element (row, col) may be
    // read, 0 when the missing value is to be answered; raises otherwise.
    int admitRead(int dataTypeId, Form form, int row, int col, bool* found, bool* pulseDurationPastEnd) const;
    int admitWrite(int dataTypeId, int row, int col) const;
    // The stored value of an element, the type's zero when never written.
    int32_t integerAt(int row, int col) const;
    double doubleAt(int row, int col) const;
    const std::string& stringAt(int row, int col) const;
    void clearTables();
    [[noreturn]] void raise(int code, int line) const;

    int mParentIndex = -1;
    std::optional<std::string> mName;
    int mShape = CORBS_DS_SCALAR;
    int mDataTypeId = CORBS_DS_INTEGER;
    int mRowNbr = 0;
    int mColNbr = 0;
    // Values with their set flags; only the table of the data type is used.
    // Absent (mHasTables false) until the field is dimensioned.
    bool mHasTables = false;
    CSectionCells<int32_t> mIntegers;
    CSectionCells<double> mDoubles;
    CSectionCells<std::string> mStrings;
    std::vector<std::unique_ptr<CSectionField>> mSubFields;  // MULTIPLE only
    int mAppendedNbr = 0;
};

// One section.  The field list is flat: a MULTIPLE field is followed by its
// sub-fields, so that they are found by name like any other field.
class CSectionData {
public:
    explicit CSectionData(const char* name);
    explicit CSectionData(const std::string& name) : CSectionData(name.c_str()) {}
    CSectionData(const CSectionData&) = delete;
    CSectionData& operator=(const CSectionData&) = delete;

    const std::string& getName() const;
    int getFieldsNbr() const { return static_cast<int>(mFields.size()); }
    CSectionField* getField(int i) const;
    // Raising lookup: prints the section and raises 130002 on a miss.
    CSectionField& getField(const std::string& name) const;
    // First field of that exact name, or null.
    CSectionField* findField(const std::string& name) const;

    // Appends a field (a MULTIPLE with its sub-fields, which take its
    // position as parent index); returns the field's position.
    int addField(std::unique_ptr<CSectionField> field);

    // Top-level fields that hold a value.
    int getSetFieldsNbr() const;
    bool hasSetField() const { return getSetFieldsNbr() > 0; }
    void clearAll();

    const std::string& getHeaderTagName() const { return mHeaderTagName; }
    void setHeaderTagName(const std::string& name) { mHeaderTagName = name; }

    void print(bool allFields) const;

private:
    std::optional<std::string> mName;
    std::vector<std::unique_ptr<CSectionField>> mOwnedFields;  // top-level fields
    std::vector<CSectionField*> mFields;                       // flat list
    std::string mHeaderTagName = "HEADER_INFO";
};

// One parameter set.  It is its own error-code holder: the non-raising
// getters and setters leave the reason of a failure in it.
class CSectionDataGroup : public NORBS_ERRORS_CODE::CNorvikErrorCode {
public:
    CSectionDataGroup();
    CSectionDataGroup(const CSectionDataGroup&) = delete;
    CSectionDataGroup& operator=(const CSectionDataGroup&) = delete;

    // Raising lookup (130002 on a miss).
    CSectionField& operator[](const std::string& key) const;
    CSectionField* findField(const std::string& key) const;

    CSectionData* getSection(const std::string& name) const;
    CSectionData* getSection(int i) const;
    int getSectionsNbr() const { return mSectionDataNbr; }
    CSectionData& addSection(std::unique_ptr<CSectionData> section);
    void removeAllSections();
    // Every field of every section back to unset.
    void clearAllFields();

    const std::string& getHeaderName() const { return mHeaderName; }
    void setHeaderName(const std::string& name) { mHeaderName = name; }
    const std::optional<std::string>& getFileName() const { return mFileName; }
    void setFileName(const std::string& name) { mFileName = name; }

    // Non-raising reads and writes: on failure the missing value (or 0 for
    // a write), the flag cleared and the reason recorded in the set.
    double getDouble(const std::string& key, bool* found = nullptr);
    double getDouble(const std::string& key, int i, bool* found = nullptr);
    double getDouble(const std::string& key, int row, int col, bool* found = nullptr);
    int getInteger(const std::string& key, bool* found = nullptr);
    int getInteger(const std::string& key, int i, bool* found = nullptr);
    int getInteger(const std::string& key, int row, int col, bool* found = nullptr);
    std::string getString(const std::string& key, bool* found = nullptr);
    std::string getString(const std::string& key, int i, bool* found = nullptr);
    std::string getString(const std::string& key, int row, int col, bool* found = nullptr);
    int setValue(const std::string& key, int value);
    int setValue(const std::string& key, int i, int value);
    int setValue(const std::string& key, int row, int col, int value);
    int setValue(const std::string& key, double value);
    int setValue(const std::string& key, int i, double value);
    int setValue(const std::string& key, int row, int col, double value);
    int setValue(const std::string& key, const std::string& value);
    int setValue(const std::string& key, int i, const std::string& value);
    int setValue(const std::string& key, int row, int col, const std::string& value);

    void print(bool allFields, int minimumTraceLevel) const;

    // Parameter files (orbs_description_xml*.cpp).
    int readFile(const std::string& path, bool raise);
    int readXML(const std::string& path, bool raise);
    int readFromXMLFile(const std::string& path, const std::string& sectionName);
    int writeToFile(const std::string& path, bool writeEnviHeader, bool writeTextFormat);
    int writeXML(const std::string& path, bool raise, bool overwrite);
    // Legacy text format: one section read from, or every set section
    // written into, a text header.  1 on success.
    int readTextSection(const std::string& path, const std::string& sectionName);
    int writeTextSections(const std::string& path);

    // Shaping from descriptions (orbs_init_from_parameter_file.cpp).
    // A set of legacy ".key" sections, one per name, read from
    // ORBISCAN_KEY_FILES_DIR.
    explicit CSectionDataGroup(const std::vector<std::string>& keySectionNames);
    // The named sections of a description, every field unset; 0 when a
    // section is not described.
    int init(const CSectionDataGroupDescription* description, const std::vector<std::string>& sectionNames);
    // A command's set: shaped from its description, read from its parameter
    // file, its environment checked, the general parameters loaded once per
    // process.  1 on success, 0 when the set cannot be built or read.
    int initFromParameterFile(const std::string& descriptionName, const std::string& environment,
                              const std::string& parameterFile, const std::vector<std::string>& sectionNames);
    // Values of the sections (and fields) of the same name in another set.
    int copyDataSections(const CSectionDataGroup& other);
    // 1 when every section of `other` has a section here containing its name.
    int checkCompatibility(const CSectionDataGroup& other) const;

private:
    // The field of a key, or null with the failure recorded and traced.
    CSectionField* locateField(const std::string& key);
    // Locates the field of a non-raising access and checks it; the field
    // when the access may proceed, else null with the failure recorded.
    CSectionField* admitRead(const std::string& key, int dataTypeId, CSectionField::Form form, int row, int col,
                             bool* pulseDurationPastEnd);
    CSectionField* admitWrite(const std::string& key, int dataTypeId, int row, int col);
    // Ends a read: records 90002 when no value was delivered after all.
    bool finishRead(bool delivered, const std::string& key, bool* found);
    void recordFailure(int code, const std::string& key, int line);
    void traceFileName() const;

    int mSectionDataNbr = 0;
    std::vector<std::unique_ptr<CSectionData>> mSectionData;
    std::string mHeaderName = "HEADER_INFO";
    std::optional<std::string> mFileName;
};
