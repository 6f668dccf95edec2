// Map lines of the ENVI header: where the raster lies (map grid, or tie
// points and pixel size in radar geometry) and its rational polynomial model.
#include <cmath>
#include <optional>
#include <sstream>

#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_description_section.h"
#include "orbs_envi_header.h"
#include "orbs_general_parameters.h"
#include "orbs_raster_header.h"

namespace NORBS_ENVI_HEADER {

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

// The fixed definition of the ETRS89 Lambert azimuthal equal-area grid of
// Europe, in the words ENVI readers expect.
constexpr const char* kEtrs89LaeaWkt =
    "PROJCS[\"ETRS89_LAEA_Europe\",GEOGCS[\"GCS_ETRS_1989\",DATUM[\"D_ETRS_1989\","
    "SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Lambert_Azimuthal_Equal_Area\"],"
    "PARAMETER[\"False_Easting\",4321000.0],PARAMETER[\"False_Northing\",3210000.0],"
    "PARAMETER[\"Central_Meridian\",10.0],PARAMETER[\"Latitude_Of_Origin\",52.0],UNIT[\"Meter\",1.0]]";

// The four corner tie points, when each corner vector holds 4 elements.
std::string geoPointLines(CSectionDataGroup& set) {
    const auto column = headerNumbers(set, "RegistrationCoordinates.pixel_column");
    const auto row = headerNumbers(set, "RegistrationCoordinates.pixel_row");
    const auto latitude = headerNumbers(set, "RegistrationCoordinates.pixels_latitude");
    const auto longitude = headerNumbers(set, "RegistrationCoordinates.pixels_longitude");
    if (!column || !row || !latitude || !longitude || column->size() != 4 || row->size() != 4 ||
        latitude->size() != 4 || longitude->size() != 4) {
        return {};
    }
    std::string lines = keyLine("geo points", "{");
    for (std::size_t i = 0; i < 4; ++i) {
        lines += number((*column)[i] + 1) + " , " + number((*row)[i] + 1) + " , " + number((*latitude)[i]) + " , " +
                 number((*longitude)[i]) + (i < 3 ? " , \n" : "}\n");
    }
    return lines;
}

std::string radarGeometryLines(CSectionDataGroup& set) {
    std::string lines = NorvikCore::get_insert_geo_points_flag() ? geoPointLines(set) : std::string();
    std::optional<double> range = headerNumber(set, "Processing.PixelSpacingRg");
    const std::optional<double> azimuth = headerNumber(set, "Processing.PixelSpacingAz");
    if (!range || !azimuth) return lines;
    // Slant-range spacing shown as ground spacing.
    const std::optional<double> incidence = headerNumber(set, "ChannelInfo.IncidenceAngle");
    if (headerString(set, "InitialGeometry.Projection") == "SLANT_RANGE" && incidence) {
        *range /= std::sin(*incidence * kDegreesToRadians);
    }
    return lines + keyLine("pixel size", "{" + number(*range) + ", " + number(*azimuth) + ", units=Meters}");
}

}  // namespace

std::string mapLines(CSectionDataGroup& set) {
    if (forbsIsRadarGeometry(set)) return radarGeometryLines(set);
    const std::optional<std::string> state = headerString(set, "CartographicSystem.State");
    const std::optional<double> x = headerNumber(set, "RegistrationCoordinates.LonEasting");
    const std::optional<double> y = headerNumber(set, "RegistrationCoordinates.LatNorthing");
    const std::optional<double> sx = headerNumber(set, "RegistrationCoordinates.PixelSpacingLonEast");
    const std::optional<double> sy = headerNumber(set, "RegistrationCoordinates.PixelSpacingLatNorth");
    if (!state || !x || !y || !sx || !sy) return {};
    const double dx = std::fabs(*sx);
    const double dy = std::fabs(*sy);
    const std::string grid = ", " + number(*x) + ", " + number(*y) + ", " + number(dx) + ", " + number(dy);

    if (forbsIsGeographicSystem(*state, headerString(set, "CartographicSystem.Projection").value_or(""))) {
        return keyLine("map info", "{Geographic Lat/Lon, 1, 1" + grid + ", WGS-84, \n units=Degrees}");
    }
    if (*state == "UTM-GLOBAL") {
        const std::string zone = headerString(set, "CartographicSystem.Zone").value_or("");
        const bool north = headerString(set, "CartographicSystem.Hemisphere") == "NORTH";
        return keyLine("map info", "{UTM, 1, 1" + grid + ",\n " + zone + (north ? ", North" : ", South") +
                                       ", WGS-84, units=Meters }");
    }
    if (state->find("ETRS89_LAEA_EUROPE") != std::string::npos) {
        const std::string grid10 =
            ", " + number(*x, 10) + ", " + number(*y, 10) + ", " + number(dx, 10) + ", " + number(dy, 10);
        return keyLine("map info", "{Lambert Azimuthal Equal Area, 1.0, 1.0" + grid10 + " }") +
               keyLine("projection info", "{ 11, 6378137, 6356752.314140356, 52, 10, 4321000, 3210000, "
                                          "Lambert Azimuthal Equal Area }") +
               keyLine("coordinate system string", std::string("{") + kEtrs89LaeaWkt + "}");
    }
    return mapLinesOfProjectedSystem(set, *x, *y, dx, dy);
}

std::string rpcLines(CSectionDataGroup& set) {
    if (!headerNumber(set, "AcquisitionParameters.LINE_OFF")) return {};
    // ENVI's order: the ten offsets and scales, then the four polynomials.
    std::vector<double> values;
    for (const char* name : {"LINE_OFF", "SAMP_OFF", "LAT_OFF", "LONG_OFF", "HEIGHT_OFF", "LINE_SCALE",
                             "SAMP_SCALE", "LAT_SCALE", "LONG_SCALE", "HEIGHT_SCALE"}) {
        const std::optional<double> value = headerNumber(set, std::string("AcquisitionParameters.") + name);
        if (!value) return {};
        values.push_back(*value);
    }
    for (const char* name : {"LINE_NUM_COEFF", "LINE_DEN_COEFF", "SAMP_NUM_COEFF", "SAMP_DEN_COEFF"}) {
        const auto coefficients = headerNumbers(set, std::string("AcquisitionParameters.") + name);
        if (!coefficients || coefficients->size() != 20) return {};
        values.insert(values.end(), coefficients->begin(), coefficients->end());
    }
    std::string text = "{";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i == 0 ? "" : (i % 4 == 0 ? ",\n " : ", ")) + number(values[i]);
    }
    return keyLine("rpc info", text + "}");
}

}  // namespace NORBS_ENVI_HEADER
