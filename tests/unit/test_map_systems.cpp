// YDF_MAP: names and defaults, refusals with their codes, the well-known
// texts and the ".prj" files GDAL reads, the image parameters and headers.
#include "map_test_support.h"
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_init_from_xml_schema.h"
#include "orbs_read_write_map_info.h"
#include "orbs_transform_utility.h"

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

    // A set with the "CartographicSystem" section of the raster headers.
    static void shapeCartographicSet(CSectionDataGroup& set) {
        CSectionDataGroupDescription description;
        ASSERT_EQ(description.init("", "HEADER_INFO"), 1);
        ASSERT_EQ(set.init(&description, {"CartographicSystem"}), 1);
    }
};

TEST_F(MapSystems, NamesAreUpperCasedAndCompletedFromTheAdmissibleLists) {
    const YDF_MAP geo = init("geo-global", "NONE");
    EXPECT_EQ(geo.mState, "GEO-GLOBAL");
    EXPECT_EQ(geo.mHemisphere, "NORTH");
    EXPECT_TRUE(geo.isGeographic());

    const YDF_MAP utm = init("Utm-Global");
    EXPECT_EQ(std::vector<std::string>({utm.mHemisphere, utm.mProjection, utm.mZone, utm.mEllipsoid, utm.mDatumShift}),
              std::vector<std::string>({"NORTH", "GK", "1", "WGS84", "WGS84"}));

    const YDF_MAP equalArea = init("LAMBERT_EQUALAREA");
    EXPECT_EQ(equalArea.mState, "LAMBERT_CYLINDRICAL_EQUALAREA");
    EXPECT_EQ(equalArea.mProjection, "LAMBERT_CYLINDRICAL_EQUALAREA");

    // A file of a lower priority never replaces what a higher one set.
    const YDF_MAP laea = init("ETRS89_LAEA_EUROPE");
    EXPECT_EQ(laea.mProjection, "LAMBERT_AZIMUTHAL_EQUALAREA");
    EXPECT_NEAR(laea.mCentralMeridian * CORBS_RAD_TO_DEG, parameterOf(" " + run("projinfo -o PROJ -q EPSG:3035")[0], "lon_0"), 1e-12);
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
    const fs::path maps = copyMapFiles();
    // A short vector, a file the list names but the disk lacks, a
    // projection the table does not know.
    std::string wgs84 = readFile(maps / "ellipsoid_WGS84_map");
    wgs84.replace(wgs84.find("NumberOfElements = \"2\""), 22, "NumberOfElements = \"1\"");
    writeFile(maps / "ellipsoid_WGS84_map", wgs84);
    EXPECT_EQ(raisedBy([] { init("GEO-GLOBAL"); }).find("20000@"), 0u);
    EXPECT_NE(raisedBy([] { init("GEO-GLOBAL"); }).find(CORBS_MAP_FILE_TEXT), std::string::npos);

    fs::remove(maps / "zone_SOUTH_33_map");
    EXPECT_EQ(raisedCode([] { init("UTM-GLOBAL", "SOUTH", "", "33", "", ""); }), ORBS_EC_FILE_NOT_FOUND);

    std::string mercator = readFile(maps / "state_MERCATOR_map");
    mercator.replace(mercator.find(">CHOM<"), 6, ">FOO<");
    writeFile(maps / "state_MERCATOR_map", mercator);
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
    EXPECT_EQ(init("GEO-GLOBAL").getWkt(),
              "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
              "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    EXPECT_EQ(init("UTM-GLOBAL", "SOUTH", "", "33").getWkt(),
              "PROJCS[\"UTM_Zone_33S\", GEOGCS[\"GCS_WGS_1984\", DATUM[\"D_WGS_1984\", SPHEROID[\"WGS_1984\", "
              "6378137.0, 298.257223563]], PRIMEM[\"Greenwich\", 0.0], UNIT[\"Degree\", 0.0174532925199433]], "
              "PROJECTION[\"Transverse_Mercator\"], PARAMETER[\"False_Easting\", 500000.000000], "
              "PARAMETER[\"False_Northing\", 10000000.000000], PARAMETER[\"Central_Meridian\", 15.000000], "
              "PARAMETER[\"Scale_Factor\", 0.999600], PARAMETER[\"Latitude_Of_Origin\", 0.0], UNIT[\"Meter\", 1.0]]");
    const std::string grs80 = ", SPHEROID[\"GRS_1980\", 6378137.0, 298.257222101]], PRIMEM[\"Greenwich\", 0.0], "
                              "UNIT[\"Degree\", 0.0174532925199433]], PROJECTION[\"Transverse_Mercator\"]";
    EXPECT_EQ(init("GENERIC_UTM", "NORTH", "", "33").getWkt(),
              "PROJCS[\"Transverse_Mercator\", GEOGCS[\"GCS_JGD_2000\", DATUM[\"D_JGD_2000\"" + grs80 +
                  ", PARAMETER[\"false_easting\",\" 500000.000000\"], PARAMETER[\"false_northing\",\" 0.000000\"], "
                  "PARAMETER[\"central_meridian\",\" 15.000000\"], PARAMETER[\"scale_factor\",\" 0.999600\"], "
                  "PARAMETER[\"latitude_of_origin\",\" 0.000000\"], UNIT[\"Meter\", 1.0]]");
    CMapOverrides overrides;
    overrides.falseEasting = 100.0;
    overrides.falseNorthing = 200.5;
    overrides.centralMeridian = 139.5 * CORBS_DEG_TO_RAD;
    overrides.scaleFactor = 0.9999;
    overrides.northOrigin = 36.0 * CORBS_DEG_TO_RAD;
    EXPECT_EQ(init("JAPAN_JPRC_JGD2011", "", "", "IX", "", "", overrides).getWkt(),
              "PROJCS[\"Transverse_Mercator\", GEOGCS[\"GCS_JGD_2011\", DATUM[\"D_JGD_2011\"" + grs80 +
                  ", PARAMETER[\"false_easting\",\" 100.000000\"], PARAMETER[\"false_northing\",\" 200.500000\"], "
                  "PARAMETER[\"central_meridian\",\" 139.500000\"], PARAMETER[\"scale_factor\",\" 0.999900\"], "
                  "PARAMETER[\"latitude_of_origin\",\" 36.000000\"], UNIT[\"Meter\", 1.0]]");
    CMapOverrides meridian;
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
    writeFile(dir() / "aoi.geojson",
              R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"n":1},)"
              R"("geometry":{"type":"Point","coordinates":[15.5,45.5]}}]})");
    ASSERT_EQ(run("ogr2ogr -f 'ESRI Shapefile' '" + (dir() / "aoi.shp").string() + "' '" +
                  (dir() / "aoi.geojson").string() + "' && echo made")
                  .back(),
              "made");
    const std::string shapefile = (dir() / "aoi.shp").string();
    auto layerSrs = [&] {
        std::string text;
        for (const std::string& line : run("ogrinfo -so '" + shapefile + "' aoi")) text += line + "\n";
        return text;
    };
    fs::remove(dir() / "aoi.prj");
    ASSERT_TRUE(init("GEO-GLOBAL").writePrjFile(shapefile));
    EXPECT_NE(layerSrs().find("GEOGCRS[\"WGS 84\""), std::string::npos) << layerSrs();

    ASSERT_TRUE(init("UTM-GLOBAL", "NORTH", "", "33").writePrjFile((dir() / "aoi.prj").string()));
    EXPECT_NE(layerSrs().find("CONVERSION[\"UTM zone 33N\""), std::string::npos) << layerSrs();

    fs::remove(dir() / "aoi.prj");
    EXPECT_FALSE(init("MERCATOR").writePrjFile(shapefile));
    EXPECT_FALSE(fs::exists(dir() / "aoi.prj"));
}

TEST_F(MapSystems, ImageParametersOverrideTheMapFiles) {
    CSectionDataGroup set;
    shapeCartographicSet(set);
    YDF_MAP map;
    EXPECT_FALSE(map.init(set));  // no state
    const std::pair<const char*, double> numbers[] = {
        {"ProjectionDatumFalseNorthing", 100.0}, {"ProjectionDatumFalseEasting", 200.0},
        {"CentralOfProjLongitude", 10.0},       {"CentralOfProjLatitude", 5.0},
        {"ScaleFactor", 0.9},                   {"SphereRadius", 0.8},
        {"LatitudeOfTrueScale", 1.0},           {"AngleOfAzimuth", 2.0},
        {"StandardParallel1", 3.0},             {"StandardParallel2", 4.0},
        {"ReferenceHeight", 55.0},
    };
    for (const auto& [field, value] : numbers) set.setValue(std::string("CartographicSystem.") + field, value);
    set.setValue("CartographicSystem.State", std::string("utm-global"));
    set.setValue("CartographicSystem.Zone", std::string("32"));
    ASSERT_TRUE(map.init(set));
    EXPECT_EQ(map.mZone, "32");
    EXPECT_EQ(map.mFalseNorthing, 100.0);
    EXPECT_EQ(map.mFalseEasting, 200.0);
    EXPECT_DOUBLE_EQ(map.mCentralMeridian, 10.0 * CORBS_DEG_TO_RAD);
    EXPECT_DOUBLE_EQ(map.mPhi0, 5.0 * CORBS_DEG_TO_RAD);
    EXPECT_EQ(map.mK0, 0.8);  // the sphere radius comes last
    EXPECT_DOUBLE_EQ(map.mPhi1, 3.0 * CORBS_DEG_TO_RAD);
    EXPECT_DOUBLE_EQ(map.mPhi2, 4.0 * CORBS_DEG_TO_RAD);
    EXPECT_EQ(map.mReferenceHeight, 55.0);
}

TEST_F(MapSystems, HeaderFilesOfImages) {
    const std::string image = (dir() / "image.raw").string();
    YDF_MAP map;
    EXPECT_EQ(raisedCode([&] { map.initFromHeaderFile(image, true); }), ORBS_EC_IMAGE_HEADER);
    EXPECT_FALSE(map.initFromHeaderFile(image, false));

    CSectionDataGroup header;
    shapeCartographicSet(header);
    header.setValue("CartographicSystem.State", std::string("UTM-GLOBAL"));
    header.setValue("CartographicSystem.Hemisphere", std::string("SOUTH"));
    ASSERT_EQ(header.writeXML((dir() / "image.raw.sml").string(), true, true), 1);
    ASSERT_TRUE(map.initFromHeaderFile(image, true));
    EXPECT_EQ(map.mHemisphere, "SOUTH");

    // Without a parameter file the raster header reader is asked.
    forbsSetRasterHeaderMapReader([](const std::string&, CSectionDataGroup& set) {
        return set.setValue("CartographicSystem.State", std::string("BING")) == 1;
    });
    EXPECT_TRUE(map.initFromHeaderFile((dir() / "other.raw").string(), true));
    forbsSetRasterHeaderMapReader(nullptr);
    EXPECT_EQ(map.mState, "BING");
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
    EXPECT_EQ(x, x2);
    EXPECT_EQ(y, y2);
    copy.reset();
    EXPECT_EQ(copy.mState, "");
    EXPECT_EQ(copy.mK0, 1.0);
    EXPECT_EQ(copy.projectionEngine(), nullptr);
}

}  // namespace
}  // namespace orbs_test
