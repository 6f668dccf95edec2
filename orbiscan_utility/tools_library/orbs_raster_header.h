// Raster header metadata: the sections of the parameter file beside every
// raster, the cell-type and data-units vocabularies, the free key/value list
// "RasterInfo.OtherInfo" and the ENVI header written from a raster's header.
#pragma once

#include <optional>
#include <string>
#include <vector>

class CSectionDataGroup;
class CSectionField;

// Cell types: the code is the position in the table of orbs_raster_header.cpp.
enum CORBS_CELL_TYPE {
    CORBS_CT_UNKNOWN = -1,
    CORBS_CT_BYTE = 0,
    CORBS_CT_BYTE_COMPLEX = 1,
    CORBS_CT_UNSIGNED_BYTE = 2,
    CORBS_CT_UBYTE_COMPLEX = 3,
    CORBS_CT_SHORT = 4,
    CORBS_CT_UNSIGNED_SHORT = 5,
    CORBS_CT_SHORT_COMPLEX = 6,
    CORBS_CT_FLOAT = 7,
    CORBS_CT_FLOAT_COMPLEX = 8,
    CORBS_CT_DOUBLE = 9,
    CORBS_CT_DOUBLE_COMPLEX = 10,
    CORBS_CT_UNSIGNED_INT = 11,
    CORBS_CT_INT = 12,
    CORBS_CT_BIT = 13,
    CORBS_CT_UNSIGNED_SHORT_COMPLEX = 14,
};

// Data-units codes the code relies on (positions in the units list).
constexpr int CORBS_DU_POWER = 0;
constexpr int CORBS_DU_AMPLITUDE = 1;
constexpr int CORBS_DU_COHERENCE = 3;
constexpr int CORBS_DU_INTERFEROGRAMME = 4;
constexpr int CORBS_DU_SLC = 5;
constexpr int CORBS_DU_CLASSIFICATION = 6;
constexpr int CORBS_DU_FLATTENED_INTERFEROGRAMME = 14;
constexpr int CORBS_DU_CALIBRATED = 17;
constexpr int CORBS_DU_MAI_INTERFEROGRAMME = 47;

inline constexpr const char* CORBS_RASTER_HEADER_SOURCE = "orbiscan_utility/tools_library/orbs_raster_header";

// Every section of a raster header, in the order in which a set is built.
extern const std::vector<std::string> kRasterHeaderSections;
// The sections read when only size, geocoding, acquisition and channel of a
// raster are needed (generated-file lists, image extents).
extern const std::vector<std::string> kRasterHeaderInfoSections;

// Shapes `set` with the named sections of the header description
// HEADER_INFO (every field unset); 1 on success, 0 when the description or
// a section is missing.  The description is read once per process.
int initRasterHeaderSet(CSectionDataGroup& set, const std::vector<std::string>& sections = kRasterHeaderSections);
// A header set shaped and read from the parameter file of `path`; 1 when
// read (raising as readFile does when `raise`).
int readRasterHeader(CSectionDataGroup& set, const std::string& path, bool raise,
                     const std::vector<std::string>& sections = kRasterHeaderSections);

// Table lookups.  Names are matched exactly; unknown names give -1.
int getCellTypeCode(const std::string& name);
int getDataUnitsCode(const std::string& name);
// "WRONG UNITS" for a code outside the list.
std::string getDataUnitsName(int code);
// The ENVI "data type" value of the set's cell type; "UNKNOWN" when the
// cell type is unset or not in the table.
std::string getEnviDataType(CSectionDataGroup& set);

// The free key/value list.  Values are stored with "=" as ":" and line
// feeds as blanks; some keys are mirrored into dedicated fields.
void setOtherInfo(CSectionDataGroup& set, const std::string& key, const std::string& value);
std::optional<std::string> getOtherInfo(CSectionDataGroup& set, const std::string& key);

// Writes the ENVI header (".hdr") of the raster at `path` from its
// parameter file.  Raises 40012 when the parameter file cannot be read
// (except for shapefiles); a failure while writing is a warning.
void writeRasterHeaderEnvi(const std::string& path);
// The path of the ENVI header of a raster, or none for the paths that get
// no ENVI header.
std::optional<std::string> enviHeaderPathOf(const std::string& path);

// Whether the header marks its raster geocoded: "GeocodedImage" is "OK",
// letter case ignored.
bool forbsIsGeocodedHeader(const CSectionDataGroup& set);
// Whether the raster is in radar geometry: not geocoded, with a
// "Processing" section and "InitialGeometry.Projection" set.  A set read
// from a file keeps the sections the file lacks, unset: the section counts
// when one of its fields is set.
bool forbsIsRadarGeometry(const CSectionDataGroup& set);

// The "CartographicSystem" fields of a raster that has no parameter file,
// from its own header (the coordinate system of its GeoTIFF keys): true
// when that system is one the map files can name.  Registered as the
// raster header reader of YDF_MAP::initFromHeaderFile at library start-up.
bool forbsReadRasterHeaderMap(const std::string& image, CSectionDataGroup& cartographicSection);

// Reads of optional header values that never raise and never trace: none
// when the field is missing, unset or of another data type.  The key is
// "SECTION.field" or a bare field name (first section that has it).
const CSectionField* setScalarField(const CSectionDataGroup& set, const std::string& key);
std::optional<std::string> headerString(const CSectionDataGroup& set, const std::string& key);
std::optional<double> headerNumber(const CSectionDataGroup& set, const std::string& key);
// Every element of a VECTOR of numbers, none when any element is unset.
std::optional<std::vector<double>> headerNumbers(const CSectionDataGroup& set, const std::string& key);
std::optional<std::vector<std::string>> headerStrings(const CSectionDataGroup& set, const std::string& key);
