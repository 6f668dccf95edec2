// Raster header metadata: header sets, the cell-type and data-units tables,
// the key/value list "RasterInfo.OtherInfo" and the non-raising readers of
// optional header values.
#include "orbs_raster_header.h"

#include <algorithm>
#include <array>
#include <memory>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_utility_global_vars.h"

const std::vector<std::string> kRasterHeaderSections{
    "EnvisatDescriptionRecord", "EnvisatFixHeader", "user_defined_section", "CartographicSystem",
    "RegistrationCoordinates", "DEMCoordinates", "AcquisitionParameters", "ChannelInfo", "Sensor",
    "orbit_information", "sar_processing", "interferometric_processing", "PolarimetricCalibrationParameters",
    "RasterInfo", "InitialGeometry", "Processing", "StateVectorData", "OrbitCorrection", "Baseline",
    "GCPRasterInfo"};

const std::vector<std::string> kRasterHeaderInfoSections{
    "RasterInfo", "user_defined_section", "CartographicSystem", "RegistrationCoordinates", "DEMCoordinates",
    "AcquisitionParameters", "ChannelInfo", "Sensor"};

namespace {

struct CellType {
    const char* name;
    const char* enviDataType;
};

// Position = code.  Complex integer cells are written to ENVI as two bands
// of their component type.
constexpr std::array<CellType, 15> kCellTypes{{
    {"BYTE", "1"},
    {"BYTE_COMPLEX", "CI8"},
    {"UNSIGNED_BYTE", "1"},
    {"UBYTE_COMPLEX", "UNKNOWN"},
    {"SHORT", "2"},
    {"UNSIGNED_SHORT", "12"},
    {"SHORT_COMPLEX", "2"},
    {"FLOAT", "4"},
    {"FLOAT_COMPLEX", "6"},
    {"DOUBLE", "5"},
    {"DOUBLE_COMPLEX", "7"},
    {"UNSIGNED_INT", "13"},
    {"INT", "3"},
    {"BIT", "1"},
    {"UNSIGNED_SHORT_COMPLEX", "12"},
}};

constexpr std::array<const char*, 77> kDataUnits{
    "POWER", "AMPLITUDE", "SQUARE ROOT", "COHERENCE", "INTERFEROGRAMME", "SLC", "CLASSIFICATION", "RATIO",
    "NUMBER", "ERS RAW", "UNWRAPPED PHASE", "DEM", "SLOPE", "SYNTHETIC INTERFEROGRAMME",
    "FLATTENED INTERFEROGRAMME", "RESOLUTION", "PTM RESOLUTION", "CALIBRATED", "JERS 1 RAW", "PHASE", "DR",
    "SIR-C RAW", "BINARY_MASK", "PTM ACCURACY", "ALPHA", "ENTROPY", "ANISOTROPY", "LOGARITMIC", "LIA",
    "SRDISTANCE", "RADIANCE", "REFLECTANCE", "CUSTOM RAW", "DISPLACEMENT MM", "DISPLACEMENT M", "ALOS DEGREE",
    "ILOS DEGREE", "H DEGREE", "V DEGREE", "HEIGHT M", "VELOCITY MMY", "ACCELERATION MM2Y",
    "DELTA ACCELERATION MM3Y", "PRECISION DISP", "PRECISION HEIGHT", "SHIFT DA", "SHIFT DR",
    "MAI INTERFEROGRAMME", "MAI UNWRAPPED PHASE", "RMSE rad", "RMSE mm", "L1 NORM", "PRECISION VEL",
    "TEMP MEAN", "TEMP STD", "TEMP MEDIAN", "TEMP GRADIENT", "TEMP MAX", "TEMP MIN", "TEMP SPAN DIFF",
    "TEMP MAX INC", "TEMP MAX DEC", "TEMP SPAN RATIO", "TEMP MAX RATIO", "TEMP MIN RATIO", "TEMP MUSIGMA",
    "TEMP COEFFOFVARIATION", "POLY TERM 0", "POLY TERM 1", "POLY TERM 2", "POLY TERM 3", "VALID IMAGE PERC",
    "VALID INTERF PERC", "VALID INTERF NR", "SLC LIST", "MODE", "ECMWF NUMERIC VALUE"};

// OtherInfo keys mirrored into a dedicated field.  The acquisition and
// processing mirrors apply only when the set has the field's section.
struct Mirror {
    const char* key;
    const char* field;
};
constexpr std::array<Mirror, 9> kMirrors{{
    {"ORIGIN DATA", "RasterInfo.product_type"},
    {"SCENE DATA", "RasterInfo.product_information"},
    {"SCANSAR_SWATH_ID", "RasterInfo.scansar_swath_id_str"},
    {"IMAGE SCALE INFO", "RasterInfo.image_scale_info"},
    {"ACQUISITION TIME", "AcquisitionParameters.AcquisitionTime"},
    {"MASTER ACQUISITION TIME", "AcquisitionParameters.AcquisitionTimeMaster"},
    {"SLAVE ACQUISITION TIME", "AcquisitionParameters.AcquisitionTimeSlave"},
    {"END ACQUISITION TIME", "AcquisitionParameters.EndAcquisitionTime"},
    {"PROCESSING TIME", "Processing.ProcessingTime"},
}};

const Mirror* mirrorOf(const std::string& key) {
    const auto it = std::find_if(kMirrors.begin(), kMirrors.end(), [&key](const Mirror& m) { return key == m.key; });
    return it == kMirrors.end() ? nullptr : &*it;
}

CSectionField* stringScalar(const CSectionDataGroup& set, const std::string& key) {
    CSectionField* field = set.findField(key);
    if (field == nullptr || field->getShape() != CORBS_DS_SCALAR || field->getDataTypeId() != CORBS_DS_STRING) {
        return nullptr;
    }
    return field;
}

CSectionField* otherInfoField(const CSectionDataGroup& set) {
    CSectionField* field = set.findField("RasterInfo.OtherInfo");
    if (field == nullptr || field->getShape() != CORBS_DS_MATRIX || field->getDataTypeId() != CORBS_DS_STRING) {
        return nullptr;
    }
    return field;
}

// The header description, read once per schema directory.
const CSectionDataGroupDescription* headerDescription() {
    static std::unique_ptr<CSectionDataGroupDescription> description;
    static std::string readFrom;
    std::string schemaDir;
    std::string workingDir;
    // The schema is flattened into the working directory: without one there
    // is no description (and no header to read).
    if (fdfGetEnv(schemaDir, "ORBISCAN_XML_SCHEMA_DES_FILES_DIR") != 0 ||
        fdfGetEnv(workingDir, "ORBISCAN_WORKING_DIR") != 0) {
        return nullptr;
    }
    if (!description || readFrom != schemaDir) {
        auto fresh = std::make_unique<CSectionDataGroupDescription>();
        if (fresh->init("", "HEADER_INFO") == 0) return nullptr;
        description = std::move(fresh);
        readFrom = schemaDir;
    }
    return description.get();
}

}  // namespace

int initRasterHeaderSet(CSectionDataGroup& set, const std::vector<std::string>& sections) {
    const CSectionDataGroupDescription* description = headerDescription();
    return description != nullptr ? set.init(description, sections) : 0;
}

int readRasterHeader(CSectionDataGroup& set, const std::string& path, bool raise,
                     const std::vector<std::string>& sections) {
    if (initRasterHeaderSet(set, sections) == 0) return 0;
    return set.readFile(path, raise);
}

int getCellTypeCode(const std::string& name) {
    if (name == "FLOAT2") return CORBS_CT_FLOAT_COMPLEX;
    for (std::size_t i = 0; i < kCellTypes.size(); ++i) {
        if (name == kCellTypes[i].name) return static_cast<int>(i);
    }
    return CORBS_CT_UNKNOWN;
}

int getDataUnitsCode(const std::string& name) {
    for (std::size_t i = 0; i < kDataUnits.size(); ++i) {
        if (name == kDataUnits[i]) return static_cast<int>(i);
    }
    return -1;
}

std::string getDataUnitsName(int code) {
    if (code < 0 || code >= static_cast<int>(kDataUnits.size())) return "WRONG UNITS";
    return kDataUnits[static_cast<std::size_t>(code)];
}

std::string getEnviDataType(CSectionDataGroup& set) {
    const std::optional<std::string> cellType = headerString(set, "RasterInfo.CellType");
    const int code = cellType ? getCellTypeCode(*cellType) : CORBS_CT_UNKNOWN;
    return code == CORBS_CT_UNKNOWN ? "UNKNOWN" : kCellTypes[static_cast<std::size_t>(code)].enviDataType;
}

void setOtherInfo(CSectionDataGroup& set, const std::string& key, const std::string& value) {
    if (const Mirror* mirror = mirrorOf(key)) {
        if (CSectionField* field = stringScalar(set, mirror->field)) field->setValue(value);
    }
    std::string stored = value;
    std::replace(stored.begin(), stored.end(), '=', ':');
    std::replace(stored.begin(), stored.end(), '\n', ' ');

    CSectionField* otherInfo = otherInfoField(set);
    if (otherInfo == nullptr) return;
    if (!otherInfo->isInitField(false)) {
        otherInfo->setDimension(1, 2);
        otherInfo->setValue(0, 0, key);
        otherInfo->setValue(0, 1, stored);
        return;
    }
    const int rows = otherInfo->getRowNbr();
    const int cols = std::max(otherInfo->getColNbr(), 2);
    for (int r = 0; r < rows; ++r) {
        // A row whose key begins with the given key is that key's row.
        if (otherInfo->isElementSet(r, 0) && otherInfo->getString(r, 0).compare(0, key.size(), key) == 0) {
            otherInfo->setValue(r, 1, stored);
            return;
        }
    }
    // One more row: dimensioning drops the values, so they are kept aside.
    std::vector<std::optional<std::string>> kept;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            kept.push_back(otherInfo->isElementSet(r, c) ? std::optional(otherInfo->getString(r, c)) : std::nullopt);
        }
    }
    otherInfo->setDimension(rows + 1, cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (const auto& text = kept[static_cast<std::size_t>(r * cols + c)]) otherInfo->setValue(r, c, *text);
        }
    }
    otherInfo->setValue(rows, 0, key);
    otherInfo->setValue(rows, 1, stored);
}

std::optional<std::string> getOtherInfo(CSectionDataGroup& set, const std::string& key) {
    if (const Mirror* mirror = mirrorOf(key)) {
        if (std::optional<std::string> mirrored = headerString(set, mirror->field)) return mirrored;
    }
    const CSectionField* otherInfo = otherInfoField(set);
    if (otherInfo == nullptr || !otherInfo->hasTables() || otherInfo->getColNbr() < 2) return std::nullopt;
    for (int r = 0; r < otherInfo->getRowNbr(); ++r) {
        if (otherInfo->isElementSet(r, 0) && otherInfo->getString(r, 0) == key) {
            if (!otherInfo->isElementSet(r, 1)) return std::nullopt;
            return otherInfo->getString(r, 1);
        }
    }
    return std::nullopt;
}

bool forbsIsGeocodedHeader(const CSectionDataGroup& set) {
    const std::optional<std::string> geocoded = headerString(set, "GeocodedImage");
    return geocoded && fdfCompareNoCase(*geocoded, "OK") == 0;
}

bool forbsIsRadarGeometry(const CSectionDataGroup& set) {
    const CSectionData* processing = set.getSection("Processing");
    return !forbsIsGeocodedHeader(set) && processing != nullptr && processing->hasSetField() &&
           headerString(set, "InitialGeometry.Projection").has_value();
}

const CSectionField* setScalarField(const CSectionDataGroup& set, const std::string& key) {
    const CSectionField* field = set.findField(key);
    if (field == nullptr || field->getShape() != CORBS_DS_SCALAR || !field->isElementSet(0, 0)) return nullptr;
    return field;
}

std::optional<std::string> headerString(const CSectionDataGroup& set, const std::string& key) {
    const CSectionField* field = setScalarField(set, key);
    if (field == nullptr || field->getDataTypeId() != CORBS_DS_STRING) return std::nullopt;
    return field->getString();
}

std::optional<double> headerNumber(const CSectionDataGroup& set, const std::string& key) {
    const CSectionField* field = setScalarField(set, key);
    if (field == nullptr) return std::nullopt;
    if (field->getDataTypeId() == CORBS_DS_DOUBLE) return field->getDouble();
    if (field->getDataTypeId() == CORBS_DS_INTEGER) return field->getInteger();
    return std::nullopt;
}

namespace {

template <class T, class Get>
std::optional<std::vector<T>> vectorOf(const CSectionDataGroup& set, const std::string& key, int dataTypeId,
                                       Get get) {
    const CSectionField* field = set.findField(key);
    if (field == nullptr || field->getShape() != CORBS_DS_VECTOR || !field->hasTables()) return std::nullopt;
    if (field->getDataTypeId() != dataTypeId && !(dataTypeId == CORBS_DS_DOUBLE &&
                                                  field->getDataTypeId() == CORBS_DS_INTEGER)) {
        return std::nullopt;
    }
    std::vector<T> values;
    for (int i = 0; i < field->getColNbr(); ++i) {
        if (!field->isElementSet(0, i)) return std::nullopt;
        values.push_back(get(*field, i));
    }
    return values;
}

}  // namespace

std::optional<std::vector<double>> headerNumbers(const CSectionDataGroup& set, const std::string& key) {
    return vectorOf<double>(set, key, CORBS_DS_DOUBLE, [](const CSectionField& field, int i) {
        return field.getDataTypeId() == CORBS_DS_DOUBLE ? field.getDouble(i) : field.getInteger(i);
    });
}

std::optional<std::vector<std::string>> headerStrings(const CSectionDataGroup& set, const std::string& key) {
    return vectorOf<std::string>(set, key, CORBS_DS_STRING,
                                 [](const CSectionField& field, int i) { return field.getString(i); });
}
