// YDF_MAP: names and defaults, refusals with their codes, the well-known
// texts and the ".prj" files GDAL reads, the image parameters and headers.
// ENVI map lines of projected systems, read back by GDAL's ENVI driver: the
// grid it reports, and the geographic position it gives to pixels
// (gdaltransform) against CMapTransform of the same map coordinates, from
// the coordinate system string and, where one is written, from the
// projection info alone.
#include <sstream>
#include <tuple>

#include "map_test_support.h"
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_read_write_map_info.h"
#include "orbs_transform_utility.h"
#include "raster_test_support.h"

namespace orbs_test {
namespace {

class MapSystems : public MapTest {
protected:
    static YDF_MAP init(const std::string& state, const std::string& hemisphere = "", const std::string& projection = "",
                        const std::string& zone = "", const std::string& ellipsoid = "",
                        const std::string& datumShift = "", const CMapOverrides& overrides = {}) {
        YDF_MAP map;
        map.init(state, hemisphere, projection, zone, ellipsoid, datumShift, overrides);
        return map;
    }
};

TEST_F(MapSystems, NamesAreUpperCasedAndCompletedFromTheAdmissibleLists) {
    const YDF_MAP geo = init("geo-global", "NONE");
    EXPECT_EQ(geo.mState + " " + geo.mHemisphere, "GEO-GLOBAL NORTH");
    EXPECT_TRUE(geo.isGeographic());

    const YDF_MAP utm = init("Utm-Global");
    EXPECT_EQ(std::vector<std::string>({utm.mHemisphere, utm.mProjection, utm.mZone, utm.mEllipsoid, utm.mDatumShift}),
              std::vector<std::string>({"NORTH", "GK", "1", "WGS84", "WGS84"}));

    const YDF_MAP equalArea = init("LAMBERT_EQUALAREA");
    EXPECT_EQ(equalArea.mState + " " + equalArea.mProjection, "LAMBERT_CYLINDRICAL_EQUALAREA LAMBERT_CYLINDRICAL_EQUALAREA");

    // A file of a lower priority never replaces what a higher one set.
    const YDF_MAP laea = init("ETRS89_LAEA_EUROPE");
    EXPECT_EQ(laea.mProjection, "LAMBERT_AZIMUTHAL_EQUALAREA");
    EXPECT_NEAR(laea.mCentralMeridian * CORBS_RAD_TO_DEG, parameterOf(commandOutput("projinfo -o PROJ -q EPSG:3035"), "lon_0"), 1e-12);
}

TEST_F(MapSystems, RefusalsGiveTheirCodes) {
    NORBS_ERROR_MANAGER::fdfOpenOrbiscanTrace(false);  // trace level 10
    const struct {
        std::vector<std::string> names;
        int code;
        const char* text;  // in the error parameter
    } cases[] = {
        {{"UTM-GLOBAL", "NORTH", "", "IX"}, ORBS_EC_MAP_INFO, "IX"},  // a zone of another state
        {{"UTM-GLOBAL", "", "", "", "GRS80"}, ORBS_EC_MAP_INFO, "GRS80"},
        {{"UTM-GLOBAL", "", "", "", "", "DHDN"}, ORBS_EC_MAP_INFO, "DHDN"},
        {{"MERCATOR", "", "BING"}, ORBS_EC_MAP_INFO, "BING"},
        {{"LAMBERT72", "SOUTH"}, ORBS_EC_MAP_INFO, "SOUTH"},
        {{""}, ORBS_EC_MAP_INFO, "State specified in the Image header or GCP File is invalid."},
        {{"NONE"}, ORBS_EC_MAP_INFO, "State specified"},
        {{"NO_SUCH_STATE"}, ORBS_EC_FILE_NOT_FOUND, "state_NO_SUCH_STATE_map"},
        {{"UTM-GLOBAL", "NORTH", "", "99"}, ORBS_EC_FILE_NOT_FOUND, "zone_NORTH_99_map"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> n = c.names;
        n.resize(6);
        const std::string raised = raisedBy([&] { init(n[0], n[1], n[2], n[3], n[4], n[5]); });
        EXPECT_EQ(raised.substr(0, raised.find('@')), std::to_string(c.code)) << n[0] << " " << n[3];
        EXPECT_NE(raised.find(c.text), std::string::npos) << raised;
    }
    NorvikCore::get_process_trace_stream().close();
    EXPECT_NE(readFile(work() / "Process.trace").find("Zone not found [IX]\n"), std::string::npos);
}

TEST_F(MapSystems, BrokenMapDirectoriesAreRefused) {
    const fs::path maps = dir() / "map_files";  // a copy the environment names
    fs::copy(ORBS_MAP_FILES_DIR, maps, fs::copy_options::recursive);
    fdfSetEnv(maps.string() + "/", "ORBISCAN_MAP_FILES_DIR");
    // A short vector, a file the list names but the disk lacks, a
    // projection the table does not know.
    std::string wgs84 = readFile(maps / "ellipsoid_WGS84_map");
    writeFile(maps / "ellipsoid_WGS84_map", wgs84.replace(wgs84.find("NumberOfElements = \"2\""), 22, "NumberOfElements = \"1\""));
    const std::string shortVector = raisedBy([] { init("GEO-GLOBAL"); });
    EXPECT_EQ(shortVector.find("20000@"), 0u);
    EXPECT_NE(shortVector.find(CORBS_MAP_FILE_TEXT), std::string::npos);

    fs::remove(maps / "zone_SOUTH_33_map");
    EXPECT_EQ(raisedCode([] { init("UTM-GLOBAL", "SOUTH", "", "33", "", ""); }), ORBS_EC_FILE_NOT_FOUND);

    std::string mercator = readFile(maps / "state_MERCATOR_map");
    writeFile(maps / "state_MERCATOR_map", mercator.replace(mercator.find(">CHOM<"), 6, ">FOO<"));
    fs::copy(maps / "projection_CHOM_map", maps / "projection_FOO_map");
    EXPECT_EQ(raisedCode([] { init("MERCATOR", "", "FOO"); }), ORBS_EC_FILE_NOT_FOUND);
    writeFile(maps / "map_list", "projection_FOO_map\n" + readFile(maps / "map_list"));
    EXPECT_NE(raisedBy([] { init("MERCATOR", "", "FOO"); }).find("70000@"), std::string::npos);

    writeFile(maps / "map_list", "# nothing listed\nstate_GEO-GLOBAL_map\n");
    EXPECT_EQ(raisedCode([] { init("GEO-GLOBAL"); }), ORBS_EC_ENVIRONMENT);
    fdfSetEnv(nullptr, "ORBISCAN_MAP_FILES_DIR");
    EXPECT_EQ(raisedCode([] { init("GEO-GLOBAL"); }), ORBS_EC_ENVIRONMENT);
}

TEST_F(MapSystems, WellKnownTextsAreExact) {
    EXPECT_EQ(init("UTM-GLOBAL", "SOUTH", "", "33").getWkt(),
              "PROJCS[\"UTM_Zone_33S\", GEOGCS[\"GCS_WGS_1984\", DATUM[\"D_WGS_1984\", SPHEROID[\"WGS_1984\", "
              "6378137.0, 298.257223563]], PRIMEM[\"Greenwich\", 0.0], UNIT[\"Degree\", 0.0174532925199433]], "
              "PROJECTION[\"Transverse_Mercator\"], PARAMETER[\"False_Easting\", 500000.000000], "
              "PARAMETER[\"False_Northing\", 10000000.000000], PARAMETER[\"Central_Meridian\", 15.000000], "
              "PARAMETER[\"Scale_Factor\", 0.999600], PARAMETER[\"Latitude_Of_Origin\", 0.0], UNIT[\"Meter\", 1.0]]");
    CMapOverrides overrides, meridian;
    overrides.falseEasting = 100.0;
    overrides.falseNorthing = 200.5;
    overrides.centralMeridian = 139.5 * CORBS_DEG_TO_RAD;
    overrides.scaleFactor = 0.9999;
    overrides.northOrigin = 36.0 * CORBS_DEG_TO_RAD;
    EXPECT_EQ(init("JAPAN_JPRC_JGD2011", "", "", "IX", "", "", overrides).getWkt(),
              "PROJCS[\"Transverse_Mercator\", GEOGCS[\"GCS_JGD_2011\", DATUM[\"D_JGD_2011\", SPHEROID[\"GRS_1980\", "
              "6378137.0, 298.257222101]], PRIMEM[\"Greenwich\", 0.0], UNIT[\"Degree\", 0.0174532925199433]], "
              "PROJECTION[\"Transverse_Mercator\"], PARAMETER[\"false_easting\",\" 100.000000\"], "
              "PARAMETER[\"false_northing\",\" 200.500000\"], "
              "PARAMETER[\"central_meridian\",\" 139.500000\"], PARAMETER[\"scale_factor\",\" 0.999900\"], "
              "PARAMETER[\"latitude_of_origin\",\" 36.000000\"], UNIT[\"Meter\", 1.0]]");
    meridian.centralMeridian = 20.0 * CORBS_DEG_TO_RAD;
    EXPECT_EQ(init("LAMBERT_CYLINDRICAL_EQUALAREA", "", "", "", "", "", meridian).getWkt(),
              "PROJCS[\"Cylindrical_Equal_Area\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
              "6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]],"
              "PROJECTION[\"Cylindrical_Equal_Area\"],PARAMETER[\"standard_parallel_1\",0],"
              "PARAMETER[\"central_meridian\",20.000000],PARAMETER[\"false_easting\",0],"
              "PARAMETER[\"false_northing\",0],UNIT[\"Meter\",1]]");
    for (const char* state : {"MERCATOR", "BING", "LAMBERT72"}) EXPECT_EQ(init(state).getWkt(), "") << state;
}

// GDAL reads the ".prj" written next to a shapefile as the system it names.
TEST_F(MapSystems, PrjFilesAreReadByOgrinfo) {
    const std::string shapefile = at("aoi.shp"), prj = at("aoi.prj");
    writeFile(dir() / "aoi.geojson", R"({"type":"Point","coordinates":[15.5,45.5]})");
    ASSERT_EQ(commandOutput("ogr2ogr -f 'ESRI Shapefile' " + quoted(shapefile) + " " + quoted(at("aoi.geojson")) +
                            " && echo made"),
              "made\n");
    auto layerSrs = [&] { return commandOutput("ogrinfo -so " + quoted(shapefile) + " aoi"); };
    fs::remove(prj);
    ASSERT_TRUE(init("GEO-GLOBAL").writePrjFile(shapefile));
    EXPECT_NE(layerSrs().find("GEOGCRS[\"WGS 84\""), std::string::npos) << layerSrs();
    ASSERT_TRUE(init("UTM-GLOBAL", "NORTH", "", "33").writePrjFile(prj));
    EXPECT_NE(layerSrs().find("CONVERSION[\"UTM zone 33N\""), std::string::npos) << layerSrs();
    fs::remove(prj);
    EXPECT_FALSE(init("MERCATOR").writePrjFile(shapefile));
    EXPECT_FALSE(fs::exists(prj));
}

// The parameters of an image's header, found beside the image, override
// the map files.
TEST_F(MapSystems, ImageParametersOverrideTheMapFiles) {
    const std::string image = at("image.raw");
    YDF_MAP map;
    EXPECT_EQ(raisedCode([&] { map.initFromHeaderFile(image, true); }), ORBS_EC_IMAGE_HEADER);
    EXPECT_FALSE(map.initFromHeaderFile(image, false));
    CSectionDataGroupDescription description;  // the "CartographicSystem" section of the raster headers
    ASSERT_EQ(description.init("", "HEADER_INFO"), 1);
    CSectionDataGroup set;
    ASSERT_EQ(set.init(&description, {"CartographicSystem"}), 1);
    EXPECT_FALSE(map.init(set));  // no state
    const std::pair<const char*, double> numbers[] = {
        {"ProjectionDatumFalseNorthing", 100.0}, {"ProjectionDatumFalseEasting", 200.0}, {"CentralOfProjLongitude", 10.0},
        {"CentralOfProjLatitude", 5.0}, {"ScaleFactor", 0.9}, {"SphereRadius", 0.8}, {"LatitudeOfTrueScale", 1.0},
        {"AngleOfAzimuth", 2.0}, {"StandardParallel1", 3.0}, {"StandardParallel2", 4.0}, {"ReferenceHeight", 55.0}};
    for (const auto& [field, value] : numbers) set.setValue(std::string("CartographicSystem.") + field, value);
    for (const auto& [field, value] : {std::pair{"State", "utm-global"}, {"Zone", "32"}, {"Hemisphere", "SOUTH"}})
        set.setValue(std::string("CartographicSystem.") + field, std::string(value));
    ASSERT_TRUE(map.init(set));
    EXPECT_EQ(map.mZone, "32");
    // The sphere radius comes last, over the scale factor.
    EXPECT_EQ(std::vector<double>({map.mFalseNorthing, map.mFalseEasting, map.mK0, map.mReferenceHeight}),
              std::vector<double>({100.0, 200.0, 0.8, 55.0}));
    for (const auto& [angle, degrees] : {std::pair{map.mCentralMeridian, 10.0}, {map.mPhi0, 5.0}, {map.mPhi1, 3.0}, {map.mPhi2, 4.0}})
        EXPECT_DOUBLE_EQ(angle, degrees * CORBS_DEG_TO_RAD) << degrees;

    ASSERT_EQ(set.writeXML(at("image.raw.sml"), true, true), 1);
    YDF_MAP fromFile;
    ASSERT_TRUE(fromFile.initFromHeaderFile(image, true));
    EXPECT_EQ(fromFile.mHemisphere, "SOUTH");
}

TEST_F(MapSystems, CopiesArePreparedAnew) {
    const YDF_MAP original = init("LAMBERT72");
    YDF_MAP copy = original;
    EXPECT_TRUE(copy.isSameSystem(original));
    ASSERT_NE(copy.projectionEngine(), nullptr);
    EXPECT_NE(copy.projectionEngine(), original.projectionEngine());
    double x = 4.5 * CORBS_DEG_TO_RAD, y = 50.5 * CORBS_DEG_TO_RAD, x2 = x, y2 = y;
    geo2map(&x, &y, 1, original);
    geo2map(&x2, &y2, 1, copy);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(x2, y2));
    copy.reset();
    EXPECT_EQ(copy.projectionEngine(), nullptr);
}

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

    // GDAL's positions (gdaltransform) of a few pixels agree with the system's own.
    void expectPositionsOfSystem(const char* what, double tolerance = 1e-8) {
        const std::vector<std::pair<double, double>> pixels{{0.0, 0.0}, {2.0, 0.0}, {0.5, 1.5}, {2.0, 2.0}};
        writeFile(at("pixels.txt"), "0 0\n2 0\n0.5 1.5\n2 2\n");
        std::istringstream gdal(commandOutput("gdaltransform -t_srs EPSG:4326 " + quoted(at("img.dat")) + " < " +
                                              quoted(at("pixels.txt"))));
        YDF_MAP system, geographic;
        ASSERT_TRUE(system.init(header));
        geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        CMapTransform toDegrees;
        toDegrees.setInput(system);
        toDegrees.setOutput(geographic);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            double lon = 0.0, lat = 0.0, height = 0.0;
            ASSERT_TRUE(gdal >> lon >> lat >> height) << what << " pixel " << i;
            double x = header.getDouble("RegistrationCoordinates.LonEasting") + pixels[i].first * kSpacing;
            double y = header.getDouble("RegistrationCoordinates.LatNorthing") - pixels[i].second * kSpacing;
            double z = 0.0;
            toDegrees.transform(&x, &y, &z, &x, &y, &z, 1);
            EXPECT_NEAR(lon, x, tolerance) << what << " pixel " << i;
            EXPECT_NEAR(lat, y, tolerance) << what << " pixel " << i;
        }
    }
};

// The header text without the line of a key.
std::string withoutLine(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\n" + key);
    return at == std::string::npos ? text : text.substr(0, at + 1) + text.substr(text.find('\n', at + 1) + 1);
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
        const std::string mapInfo = "map info                  = {Transverse_Mercator, 1.0, 1.0, -10000, -20000, 250, 250, ";
        EXPECT_NE(text.find(mapInfo + datum + ", units = Meters }\n"), std::string::npos) << text;
        const std::string info = R"((projection info           = \{ 3, 6378137\.0, 6356752\.3(,[-0-9.e]+){5},)";
        EXPECT_FALSE(firstMatch(text, info + datum + R"(,Transverse_Mercator,units = Meters\}\n))").empty()) << text;
        const std::string wkt = "coordinate system string  = {PROJCS[\"Transverse_Mercator\", GEOGCS[\"GCS_";
        EXPECT_NE(text.find(wkt + (datum + 2)), std::string::npos) << text;
        // GDAL cannot read the parameters of that text (quoted numbers) and
        // takes the projection info, whose 10 digits hold the central
        // meridian 139 deg 50' to 3e-8 degrees.
        expectPositionsOfSystem("projection info", 5e-8);
    }
}

}  // namespace
}  // namespace orbs_test
