// Rules applied to a set around reading and writing it: the polarization
// and channel-count defaults, the derived DEM coordinates and the software
// version record.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"
#include "orbs_raster_header.h"
#include "orbs_utility_global_vars.h"

namespace {

CSectionField* fieldOf(const CSectionDataGroup& set, const char* section, const char* field) {
    const CSectionData* data = set.getSection(section);
    return data != nullptr ? data->findField(field) : nullptr;
}

bool isSetScalar(const CSectionField* field) {
    return field != nullptr && field->getShape() == CORBS_DS_SCALAR && field->isElementSet(0, 0);
}

// The numeric value of a set scalar, whichever number type it holds.
std::optional<double> numberOf(const CSectionField* field) {
    if (!isSetScalar(field)) return std::nullopt;
    if (field->getDataTypeId() == CORBS_DS_DOUBLE) return field->getDouble();
    if (field->getDataTypeId() == CORBS_DS_INTEGER) return field->getInteger();
    return std::nullopt;
}

bool setNumber(CSectionField* field, double value) {
    if (field == nullptr || field->getShape() != CORBS_DS_SCALAR) return false;
    if (field->getDataTypeId() == CORBS_DS_DOUBLE) return field->setValue(value) == 1;
    if (field->getDataTypeId() == CORBS_DS_INTEGER) return field->setValue(static_cast<int>(value)) == 1;
    return false;
}

std::string textOf(const CSectionField* field) {
    return isSetScalar(field) && field->getDataTypeId() == CORBS_DS_STRING ? field->getString() : std::string();
}

// Whether the set's cartographic system is geographic, by its names (no map
// file is read while a set is written).
bool isGeographicSystem(const CSectionDataGroup& set) {
    return forbsIsGeographicSystem(textOf(fieldOf(set, "CartographicSystem", "State")),
                                   textOf(fieldOf(set, "CartographicSystem", "Projection")));
}

}  // namespace

namespace NORBS_PARAMETER_FILE {

bool applyPolarizationRule(CSectionDataGroup& set) {
    const CSectionField* description = fieldOf(set, "ChannelInfo", "Description");
    CSectionField* polarization = fieldOf(set, "ChannelInfo", "Polarization");
    if (description == nullptr || polarization == nullptr) return false;
    if (description->getDataTypeId() != CORBS_DS_STRING || polarization->getDataTypeId() != CORBS_DS_STRING) {
        return false;
    }
    if (polarization->isInitField(false) || !description->isInitField(false)) return false;
    if (description->getElementsNbr() < 1 || !description->isElementSet(0, 0)) return false;
    const std::string first = description->getString(0, 0);
    if (polarization->getShape() == CORBS_DS_SCALAR) return polarization->setValue(first) == 1;
    return polarization->setValue(0, 0, first) == 1;
}

bool applyChannelsDefault(CSectionDataGroup& set) {
    CSectionField* channels = fieldOf(set, "RasterInfo", "NrOfChannels");
    if (channels == nullptr || channels->isInitField(false)) return false;
    return setNumber(channels, 1);
}

bool deriveDemCoordinates(CSectionDataGroup& set) {
    if (!set.getSection("RasterInfo") || !set.getSection("RegistrationCoordinates") ||
        !set.getSection("DEMCoordinates") || !isGeographicSystem(set)) {
        return false;
    }
    const std::optional<double> spacingNorth = numberOf(fieldOf(set, "RegistrationCoordinates", "PixelSpacingLatNorth"));
    const std::optional<double> spacingEast = numberOf(fieldOf(set, "RegistrationCoordinates", "PixelSpacingLonEast"));
    const std::optional<double> lines = numberOf(fieldOf(set, "RasterInfo", "NrOfLinesPerImage"));
    const std::optional<double> pixels = numberOf(fieldOf(set, "RasterInfo", "NrOfPixelsPerLine"));
    const std::optional<double> north = numberOf(fieldOf(set, "RegistrationCoordinates", "LatNorthing"));
    const std::optional<double> east = numberOf(fieldOf(set, "RegistrationCoordinates", "LonEasting"));
    if (!spacingNorth || !spacingEast || !lines || !pixels || !north || !east) return false;
    setNumber(fieldOf(set, "DEMCoordinates", "NorthingCoordinateBegin"), *lines * *spacingNorth + *north);
    setNumber(fieldOf(set, "DEMCoordinates", "NorthingGridSize"), -*spacingNorth);
    setNumber(fieldOf(set, "DEMCoordinates", "NorthingCoordinateEnd"), *north);
    setNumber(fieldOf(set, "DEMCoordinates", "EastingCoordinateBegin"), *east);
    setNumber(fieldOf(set, "DEMCoordinates", "EastingGridSize"), *spacingEast);
    setNumber(fieldOf(set, "DEMCoordinates", "EastingCoordinateEnd"), *pixels * *spacingEast + *east);
    return true;
}

bool recordSoftwareVersion(CSectionDataGroup& set) {
    const CSectionField* otherInfo = fieldOf(set, "RasterInfo", "OtherInfo");
    if (otherInfo == nullptr || otherInfo->getDataTypeId() != CORBS_DS_STRING ||
        otherInfo->getShape() != CORBS_DS_MATRIX) {
        return false;
    }
    setOtherInfo(set, "SOFTWARE", NorvikCore::get_software_version());
    return true;
}

void syncToDisk(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
    forbsFilesync(path, false);
}

}  // namespace NORBS_PARAMETER_FILE
