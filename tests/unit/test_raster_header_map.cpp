// The cartographic system of a raster without parameter file, read by
// YDF_MAP::initFromHeaderFile from its own header (GeoTIFF keys written by
// gdal_create): the system's projection of a point against gdaltransform
// from the coordinate system's own geographic one.
#include <sstream>

#include "orbs_files_to_delete.h"
#include "orbs_transform_utility.h"
#include "raster_test_support.h"

namespace orbs_test {
namespace {

class RasterHeaderMap : public MappedHeaderTest {
protected:
    void SetUp() override {
        MappedHeaderTest::SetUp();
        NorvikCore::set_work_file(at("Process.working"));
        initCoreLibrary();  // registers the raster header reader
    }
    std::string geoTiff(const std::string& crs) {
        const std::string path = at("raster.tif");
        std::filesystem::remove(path);
        commandOutput("gdal_create -q -of GTiff -outsize 4 4 -a_srs " + crs + " -a_ullr 0 4 4 0 " + quoted(path));
        return path;
    }
};

TEST_F(RasterHeaderMap, GeoTiffKeysNameTheSystem) {
    struct Case {
        int code;
        int geographic;  // the coordinate system's geographic one
        const char* state;
        double lon, lat;
    };
    const std::vector<Case> cases{
        {4326, 4326, "GEO-GLOBAL", 10, 45},
        {32633, 4326, "UTM-GLOBAL", 15.5, 45},
        {32733, 4326, "UTM-GLOBAL", 15.5, -30},
        {3035, 4258, "ETRS89_LAEA_EUROPE", 12, 50},
        {6677, 6668, "JAPAN_JPRC_JGD2011", 139.9, 36.1},
        {2451, 4612, "JAPAN_JPRC_JGD2000", 139.9, 36.1},
        {3034, 4258, "LAMBERT_CONFORMAL_CONIC", 12, 48},  // two standard parallels
        {3413, 4326, "POLAR_STEREOGRAPHIC", -40, 75},     // latitude of true scale
        {3031, 4326, "POLAR_STEREOGRAPHIC", 60, -75},
        {5041, 4326, "POLAR_STEREOGRAPHIC", 30, 85},      // scale factor
        {3577, 4283, "ALBERS", 135, -25},
        {6931, 4326, "LAMBERT_AZIMUTHAL_EQUALAREA", 20, 70},
        {3395, 4326, "MERCATOR", 20, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string image = geoTiff("EPSG:" + std::to_string(c.code));
        YDF_MAP system;
        ASSERT_TRUE(system.initFromHeaderFile(image, false));
        EXPECT_EQ(system.mState, c.state);
        writeFile(at("point.txt"), std::to_string(c.lon) + " " + std::to_string(c.lat) + "\n");
        std::istringstream gdal(commandOutput("gdaltransform -s_srs EPSG:" + std::to_string(c.geographic) +
                                              " -t_srs EPSG:" + std::to_string(c.code) + " < " + quoted(at("point.txt"))));
        double expectedX = 0, expectedY = 0;
        ASSERT_TRUE(gdal >> expectedX >> expectedY);
        YDF_MAP geographic;
        geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        CMapTransform toMap;
        toMap.setInput(geographic);
        toMap.setOutput(system);
        double x = c.lon, y = c.lat, z = 0.0;
        toMap.transform(&x, &y, &z, &x, &y, &z, 1);
        EXPECT_NEAR(x, expectedX, 1e-3);
        EXPECT_NEAR(y, expectedY, 1e-3);
    }
}

TEST_F(RasterHeaderMap, RastersWithoutANamedSystem) {
    // British National Grid: a transverse Mercator on the Airy ellipsoid, which no map file admits.
    EXPECT_FALSE(YDF_MAP().initFromHeaderFile(geoTiff("EPSG:27700"), false));
    const std::string plain = at("plain.tif");
    commandOutput("gdal_create -q -of GTiff -outsize 4 4 " + quoted(plain));
    EXPECT_FALSE(YDF_MAP().initFromHeaderFile(plain, false));
    EXPECT_EQ(raisedCode([&] { YDF_MAP().initFromHeaderFile(plain, true); }), 40004);
    EXPECT_EQ(raisedCode([&] { YDF_MAP().initFromHeaderFile(at("missing.tif"), true); }), 40004);
}

}  // namespace
}  // namespace orbs_test
