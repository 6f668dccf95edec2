// ENVI map lines of projected cartographic systems, read back by GDAL's
// ENVI driver: the grid it reports, and the geographic position it gives
// to pixels (gdaltransform) against CMapTransform of the same map
// coordinates, from the coordinate system string and, where one is
// written, from the projection info alone.
#include <sstream>
#include <tuple>

#include "map_test_support.h"
#include "orbs_transform_utility.h"
#include "raster_test_support.h"

namespace orbs_test {
namespace {

struct ProjectedCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> texts;  // CartographicSystem fields
    std::vector<std::pair<std::string, double>> numbers;
    double x, y;  // upper-left corner
    bool projectionInfo;
};

class EnviProjectedLines : public MappedHeaderTest {
protected:
    static constexpr double kSpacing = 250.0;

    // Writes a 2 x 2 float raster with the system of `c` and returns its header text.
    std::string writeRaster(const ProjectedCase& c) {
        EXPECT_EQ(initRasterHeaderSet(header), 1);
        header.setValue("RasterInfo.NrOfLinesPerImage", 2);
        header.setValue("RasterInfo.NrOfPixelsPerLine", 2);
        header.setValue("RasterInfo.CellType", std::string("FLOAT"));
        header.setValue("RasterInfo.GeocodedImage", std::string("OK"));
        header.setValue("RegistrationCoordinates.LonEasting", c.x);
        header.setValue("RegistrationCoordinates.LatNorthing", c.y);
        header.setValue("RegistrationCoordinates.PixelSpacingLonEast", kSpacing);
        header.setValue("RegistrationCoordinates.PixelSpacingLatNorth", -kSpacing);
        for (const auto& [field, value] : c.texts) header.setValue("CartographicSystem." + field, value);
        for (const auto& [field, value] : c.numbers) header.setValue("CartographicSystem." + field, value);
        writeFile(at("img.dat"), std::string(16, '\0'));
        EXPECT_EQ(header.writeToFile(at("img.dat"), true, false), 1);
        return readFile(at("img.hdr"));
    }

    // Longitude and latitude that GDAL gives to the pixel positions.
    std::vector<std::pair<double, double>> gdalPositions(const std::vector<std::pair<double, double>>& pixels) {
        std::string input;
        for (const auto& [column, row] : pixels) input += std::to_string(column) + " " + std::to_string(row) + "\n";
        writeFile(at("pixels.txt"), input);
        std::istringstream out(commandOutput("gdaltransform -t_srs EPSG:4326 " + quoted(at("img.dat")) + " < " +
                                             quoted(at("pixels.txt"))));
        std::vector<std::pair<double, double>> positions;
        for (double lon, lat, h; out >> lon >> lat >> h;) positions.emplace_back(lon, lat);
        return positions;
    }

    // GDAL's positions of a few pixels agree with the system's own.
    void expectPositionsOfSystem(const char* what, double tolerance = 1e-8) {
        const std::vector<std::pair<double, double>> pixels{{0.0, 0.0}, {2.0, 0.0}, {0.5, 1.5}, {2.0, 2.0}};
        const auto positions = gdalPositions(pixels);
        ASSERT_EQ(positions.size(), pixels.size()) << what;
        YDF_MAP system;
        ASSERT_TRUE(system.init(header));
        YDF_MAP geographic;
        geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        CMapTransform toDegrees;
        toDegrees.setInput(system);
        toDegrees.setOutput(geographic);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            double x = header.getDouble("RegistrationCoordinates.LonEasting") + pixels[i].first * kSpacing;
            double y = header.getDouble("RegistrationCoordinates.LatNorthing") - pixels[i].second * kSpacing;
            double z = 0.0;
            toDegrees.transform(&x, &y, &z, &x, &y, &z, 1);
            EXPECT_NEAR(positions[i].first, x, tolerance) << what << " pixel " << i;
            EXPECT_NEAR(positions[i].second, y, tolerance) << what << " pixel " << i;
        }
    }
};

std::string withoutLine(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\n" + key);
    if (at == std::string::npos) return text;
    return text.substr(0, at + 1) + text.substr(text.find('\n', at + 1) + 1);
}

TEST_F(EnviProjectedLines, GridAndSystemReadByGdal) {
    const std::vector<ProjectedCase> cases{
        {"Lambert conic, two parallels",
         {{"State", "LAMBERT_CONFORMAL_CONIC"}},
         {{"CentralOfProjLatitude", 52}, {"CentralOfProjLongitude", 10}, {"StandardParallel1", 35},
          {"StandardParallel2", 65}, {"ProjectionDatumFalseEasting", 4000000}, {"ProjectionDatumFalseNorthing", 2800000}},
         4000000, 2800000, true},
        {"Lambert conic of the map files (one parallel and a scale factor)",
         {{"State", "LAMBERT_CONFORMAL_CONIC"}}, {}, 4000000, 2700000, false},
        {"polar stereographic north", {{"State", "POLAR_STEREOGRAPHIC"}, {"Hemisphere", "NORTH"}}, {}, -500000, -1000000,
         true},
        {"polar stereographic south, true scale at 71", {{"State", "POLAR_STEREOGRAPHIC"}, {"Hemisphere", "SOUTH"}},
         {{"LatitudeOfTrueScale", 71}}, 500000, 1500000, true},
        {"UPS (scale factor)", {{"State", "UPS"}, {"Hemisphere", "NORTH"}}, {}, 2000000, 1500000, false},
        {"Mercator", {{"State", "MERCATOR"}}, {}, 1113194, 5000000, false},
        {"Lambert azimuthal equal area", {{"State", "LAMBERT_AZIMUTHAL_EQUALAREA"}}, {}, 0, -2000000, true},
        {"Albers", {{"State", "ALBERS"}}, {{"StandardParallel2", -36}}, 1000000, -3000000, true},
        {"Miller (own formulas)", {{"State", "MILLER"}}, {}, 1000000, 5000000, false},
        {"transverse Mercator on GRS 1980",
         {{"State", "GENERIC_UTM"}, {"Hemisphere", "NORTH"}, {"Zone", "33"}, {"Ellipsoid", "GRS80"}}, {}, 400000,
         5000000, true},
    };
    for (const ProjectedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = writeRaster(c);
        ASSERT_NE(text.find("map info"), std::string::npos) << text;
        EXPECT_EQ(text.find("projection info") != std::string::npos, c.projectionInfo) << text;
        ASSERT_NE(text.find("coordinate system string"), std::string::npos) << text;
        const std::string info = commandOutput("gdalinfo " + quoted(at("img.dat")));
        EXPECT_NE(info.find("Pixel Size = (250.000000000000000,-250.000000000000000)"), std::string::npos) << info;
        expectPositionsOfSystem("coordinate system string");
        if (c.projectionInfo) {
            writeFile(at("img.hdr"), withoutLine(text, "coordinate system string"));
            expectPositionsOfSystem("projection info");
        }
    }
}

TEST_F(EnviProjectedLines, JapaneseGridsInTheirFixedLayout) {
    for (const auto& [state, zone, datum] : {std::tuple{"JAPAN_JPRC_JGD2011", "IX", "D_JGD_2011"},
                                             std::tuple{"JAPAN_JPRC_JGD2000", "I", "D_JGD_2000"}}) {
        SCOPED_TRACE(state);
        const std::string text = writeRaster({"", {{"State", state}, {"Zone", zone}}, {}, -10000, -20000, true});
        EXPECT_NE(text.find(std::string("map info                  = {Transverse_Mercator, 1.0, 1.0, -10000, -20000, "
                                         "250, 250, ") + datum + ", units = Meters }\n"),
                  std::string::npos)
            << text;
        EXPECT_FALSE(firstMatch(text, std::string(R"((projection info           = \{ 3, 6378137\.0, 6356752\.3(,[-0-9.e]+){5},)") +
                                          datum + R"(,Transverse_Mercator,units = Meters\}\n))")
                         .empty())
            << text;
        EXPECT_NE(text.find(std::string("coordinate system string  = {PROJCS[\"Transverse_Mercator\", GEOGCS[\"GCS_") +
                            (datum + 2)),
                  std::string::npos)
            << text;
        // GDAL cannot read the parameters of that text (quoted numbers) and
        // takes the projection info, whose 10 digits hold the central
        // meridian 139 deg 50' to 3e-8 degrees.
        expectPositionsOfSystem("projection info", 5e-8);
    }
}

}  // namespace
}  // namespace orbs_test
