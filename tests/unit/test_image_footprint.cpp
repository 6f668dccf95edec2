// Image footprints: grids snapped to their sizes, extents read from headers
// (geocoded, without registration, with a closed-form RPC model), synthetic
// scenes in radar geometry (their chosen corners inside, their times, the
// antimeridian, a projected output checked against cs2cs), the box of an
// image list, and rectangles carried to degrees against a dense border
// transformed by cs2cs.
#include <sstream>
#include <tuple>

#include "orbs_generic_geo_utility.h"
#include "orbs_scene_locator.h"
#include "scene_test_support.h"

namespace orbs_test {
namespace {

TEST(CommonGrid, SnapToGridWidensOutwardsToWholeCells) {
    struct Case { double y1, ns, y2, x1, es, x2; };
    // The northings in either order, the northing size of either sign.
    for (const Case& c : {Case{4980010, -20, 4999990, 300005, 20, 339990}, Case{4999990, 20, 4980010, 300005, 20, 339990}}) {
        CCommonGrid grid;
        ASSERT_TRUE(grid.snapToGrid(c.y1, c.ns, c.y2, c.x1, c.es, c.x2));
        EXPECT_TRUE(grid.mValid);
        EXPECT_EQ(std::vector<double>({grid.mWest, grid.mEast, grid.mNorth, grid.mSouth, grid.mNorthingGridSize,
                                       grid.mEastingGridSize}),
                  std::vector<double>({300000, 340000, 5000000, 4980000, -20, 20}));
        EXPECT_EQ(grid.mNumberOfRow * 10000 + grid.mNumberOfCol, 1000 * 10000 + 2000);
    }
    CCommonGrid grid;
    grid.mWest = 7;
    EXPECT_FALSE(grid.snapToGrid(1, 0.0, 2, 1, 20, 2));
    EXPECT_FALSE(grid.snapToGrid(1, -20, 2, 1, 1e-39, 2));
    EXPECT_EQ(grid.mWest, 7);
    EXPECT_FALSE(grid.mValid);
}

class ImageFootprint : public SyntheticSceneTest {
protected:
    void SetUp() override {
        SyntheticSceneTest::SetUp();
        NorvikCore::set_work_file(at("Process.working"));
        geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
    }

    // The parameter file of a synthetic scene, beside the image `name`.
    std::string writeScene(const Scene& scene, const std::string& name, std::array<Vec, 2>& corners,
                           std::array<Acquisition, 2>& acq) {
        EXPECT_EQ(initRasterHeaderSet(header), 1);
        Orbit orbit;
        build(scene, orbit, corners, acq);
        EXPECT_EQ(header.writeToFile(at(name), false, false), 1);
        return at(name);
    }
    std::string writeScene(const Scene& scene, const std::string& name) {
        std::array<Vec, 2> corners;
        std::array<Acquisition, 2> acq;
        return writeScene(scene, name, corners, acq);
    }
    // A geocoded image of 1000 lines and 2000 pixels.
    std::string writeGeocoded(const std::string& name, const std::string& state, const std::string& zone, double north,
                              double west, double spacing) {
        EXPECT_EQ(initRasterHeaderSet(header), 1);
        header.setValue("RasterInfo.NrOfLinesPerImage", 1000);
        header.setValue("RasterInfo.NrOfPixelsPerLine", 2000);
        header.setValue("RasterInfo.GeocodedImage", std::string("OK"));
        header.setValue("CartographicSystem.State", state);
        if (!zone.empty()) header.setValue("CartographicSystem.Zone", zone);
        header.setValue("RegistrationCoordinates.LatNorthing", north);
        header.setValue("RegistrationCoordinates.LonEasting", west);
        header.setValue("RegistrationCoordinates.PixelSpacingLatNorth", -spacing);
        header.setValue("RegistrationCoordinates.PixelSpacingLonEast", spacing);
        EXPECT_EQ(header.writeToFile(at(name), false, false), 1);
        return at(name);
    }
    // The border of an image densely located, in degrees.
    std::vector<CGeoPoint> border(const std::string& image) {
        CSectionDataGroup read;
        EXPECT_EQ(readRasterHeader(read, image, false), 1);
        CSceneFootprint footprint;
        NORBS_ERRORS_CODE::CNorvikErrorCode error;
        EXPECT_EQ(locateSceneFootprint(read, kDensePointsPerEdge, footprint, error), 1);
        return footprint.border;
    }
    // The grid holds the rectangle, and no more than one cell beyond it.
    static void expectTightlyAround(const CCommonGrid& grid, const CMapRectangle& r, double cell) {
        EXPECT_LE(grid.mWest, r.west);
        EXPECT_GT(grid.mWest, r.west - cell);
        EXPECT_GE(grid.mEast, r.east);
        EXPECT_LT(grid.mEast, r.east + cell);
        EXPECT_LE(grid.mSouth, r.south);
        EXPECT_GT(grid.mSouth, r.south - cell);
        EXPECT_GE(grid.mNorth, r.north);
        EXPECT_LT(grid.mNorth, r.north + cell);
    }
    static std::string exact(double value) {
        std::ostringstream out;
        out.precision(17);
        out << value;
        return out.str();
    }
    static CTimeValue parsed(const std::string& text) {
        CTimeValue t;
        t.parseDayMonthNameYear(text);
        return t;
    }

    YDF_MAP geographic;
    static constexpr double kDegreeCell = CORBS_GEOGRAPHIC_GRID_SIZE;
    static constexpr int kDensePointsPerEdge = 257;
};

TEST_F(ImageFootprint, ExtentsFromHeaders) {
    CCommonGrid grid;
    ASSERT_TRUE(grid.initExtentFromHeader(writeGeocoded("utm.dat", "UTM-GLOBAL", "32", 5000000, 300000, 20)));
    EXPECT_TRUE(grid.mGeocoded);
    EXPECT_EQ(std::vector<double>({grid.mNorth, grid.mSouth, grid.mWest, grid.mEast}),
              std::vector<double>({5000000, 4980000, 300000, 340000}));

    // Geocoded without registration coordinates: zeroed, not geocoded.
    header["RegistrationCoordinates.LatNorthing"].clearAll();
    header.writeToFile(at("bare.dat"), false, false);
    ASSERT_TRUE(grid.initExtentFromHeader(at("bare.dat")));
    EXPECT_FALSE(grid.mGeocoded);
    EXPECT_EQ(std::vector<double>({grid.mNorth, grid.mSouth, grid.mWest, grid.mEast}), std::vector<double>(4, 0.0));
    EXPECT_EQ(grid.mNumberOfRow, 1000);

    // No image size.
    header["RasterInfo.NrOfPixelsPerLine"].clearAll();
    header.writeToFile(at("sizeless.dat"), false, false);
    EXPECT_FALSE(grid.initExtentFromHeader(at("sizeless.dat")));
    EXPECT_FALSE(grid.mValid);
    EXPECT_EQ(grid.mNumberOfRow, 0);
    EXPECT_FALSE(grid.initExtentFromHeader(at("missing.dat")));

    // A rational polynomial model in closed form: line = 500 - 500 (lat - 45) / 0.5,
    // sample = 1000 + 1000 (lon - 10).
    ASSERT_EQ(initRasterHeaderSet(header), 1);
    header.setValue("RasterInfo.NrOfLinesPerImage", 1000);
    header.setValue("RasterInfo.NrOfPixelsPerLine", 2000);
    header.setValue("RegistrationCoordinates.PixelSpacingLatNorth", -30.0);
    header.setValue("RegistrationCoordinates.PixelSpacingLonEast", 20.0);
    for (const auto& [name, value] : std::vector<std::pair<std::string, double>>{
             {"LINE_OFF", 500}, {"SAMP_OFF", 1000}, {"LAT_OFF", 45}, {"LONG_OFF", 10}, {"HEIGHT_OFF", 0},
             {"LINE_SCALE", 500}, {"SAMP_SCALE", 1000}, {"LAT_SCALE", 0.5}, {"LONG_SCALE", 1}, {"HEIGHT_SCALE", 1}}) {
        header.setValue("AcquisitionParameters." + name, value);
    }
    for (const auto& [name, term, value] : {std::tuple{"LINE_NUM_COEFF", 2, -1.0}, std::tuple{"LINE_DEN_COEFF", 0, 1.0},
                                            std::tuple{"SAMP_NUM_COEFF", 1, 1.0}, std::tuple{"SAMP_DEN_COEFF", 0, 1.0}}) {
        std::vector<double> coefficients(20, 0.0);
        coefficients[static_cast<std::size_t>(term)] = value;
        setVector(std::string("AcquisitionParameters.") + name, coefficients);
    }
    ASSERT_TRUE(grid.initExtentFromHeader("", &header));
    EXPECT_TRUE(grid.mSlantRange);
    EXPECT_NEAR(grid.mNorth, 45.5, 1e-9);
    EXPECT_NEAR(grid.mSouth, 44.501, 1e-9);
    EXPECT_NEAR(grid.mWest, 9.0, 1e-9);
    EXPECT_NEAR(grid.mEast, 10.999, 1e-9);
    EXPECT_DOUBLE_EQ(grid.mNorthingGridSize, -30.0 * 8.333e-6);
    EXPECT_DOUBLE_EQ(grid.mEastingGridSize, 20.0 * 8.333e-6);
}

TEST_F(ImageFootprint, SlantRangeDecision) {
    EXPECT_TRUE(CCommonGrid::isSlantRangeImage(writeScene({"", 45.0, 10.0, true, true, false, false}, "scene.dat")));
    EXPECT_FALSE(CCommonGrid::isSlantRangeImage(writeGeocoded("geo.dat", "GEO-GLOBAL", "", 46, 10, 0.001)));
    // Radar geometry named, but no processing parameters at all.
    ASSERT_EQ(initRasterHeaderSet(header), 1);
    header.setValue("InitialGeometry.Projection", std::string("SLANT_RANGE"));
    header.writeToFile(at("unprocessed.dat"), false, false);
    EXPECT_FALSE(CCommonGrid::isSlantRangeImage(at("unprocessed.dat")));

    EXPECT_FALSE(CCommonGrid::isSlantRangeImage(at("unreadable.dat")));
    const std::string warning = readFile(at("Process.working_warning"));
    EXPECT_NE(warning.find("[EC : 40012]"), std::string::npos) << warning;
    EXPECT_NE(warning.find("unreadable.dat"), std::string::npos) << warning;
}

TEST_F(ImageFootprint, TwoSlantRangeImagesWithTheirTimes) {
    std::array<Vec, 2> cornersA, cornersB;
    std::array<Acquisition, 2> acqA, acqB;
    const std::string a = writeScene({"", 45.0, 10.0, true, true, false, false}, "a.dat", cornersA, acqA);
    timeShift = 3600.0;
    const std::string b = writeScene({"", 46.0, 11.0, false, true, true, true}, "b.dat", cornersB, acqB);

    CCommonGrid grid;
    int across = -1;
    grid.footprintOfImages({b, a}, geographic, &across, kDegreeCell, -kDegreeCell);
    EXPECT_EQ(across, 0);
    // Start of the earlier image, stop of the later one.
    EXPECT_NEAR(CTimeValue::secondsBetween(parsed(grid.mStartTime), epoch()), acqA[0].time, 1e-6) << grid.mStartTime;
    EXPECT_NEAR(CTimeValue::secondsBetween(parsed(grid.mStopTime), epoch()), 3600.0 + acqB[1].time, 1e-6)
        << grid.mStopTime;
    // The union of the densely located borders, widened to whole cells.
    CMapRectangle both{180, -90, -180, 90};
    for (const std::string& image : {a, b}) {
        for (const CGeoPoint& p : border(image)) {
            both = {std::min(both.west, p.longitude), std::max(both.north, p.latitude),
                    std::max(both.east, p.longitude), std::min(both.south, p.latitude)};
        }
    }
    expectTightlyAround(grid, both, kDegreeCell);
    EXPECT_EQ(grid.mNumberOfCol, std::lround((grid.mEast - grid.mWest) / kDegreeCell));
    // The corners chosen on the ground lie inside.
    for (const Vec& corner : {cornersA[0], cornersA[1], cornersB[0], cornersB[1]}) {
        const Vec geodetic = cartConvert({corner}, true, dir().string())[0];
        EXPECT_GE(geodetic[1], grid.mWest);
        EXPECT_LE(geodetic[1], grid.mEast);
        EXPECT_GE(geodetic[0], grid.mSouth);
        EXPECT_LE(geodetic[0], grid.mNorth);
    }
}

TEST_F(ImageFootprint, ImageAcrossTheAntimeridian) {
    const std::string image = writeScene({"", 66.0, 179.9, true, true, true, true}, "dateline.dat");
    CCommonGrid grid;
    int across = 0;
    ASSERT_TRUE(grid.imageExtent(image, geographic, &across, kDegreeCell));
    EXPECT_EQ(across, 1);
    // West of the antimeridian up to beyond 180 degrees: the border's
    // longitudes, those west of it taken + 360.
    CMapRectangle r{360, -90, 0, 90};
    for (const CGeoPoint& p : border(image)) {
        const double lon = p.longitude < 0 ? p.longitude + 360 : p.longitude;
        r = {std::min(r.west, lon), std::max(r.north, p.latitude), std::max(r.east, lon), std::min(r.south, p.latitude)};
    }
    ASSERT_LT(r.west, 180.0);
    ASSERT_GT(r.east, 180.0);
    expectTightlyAround(grid, r, kDegreeCell);
}

TEST_F(ImageFootprint, ProjectedOutputAgreesWithCs2cs) {
    const std::string image = writeScene({"", 45.0, 10.0, true, true, false, false}, "scene.dat");
    YDF_MAP utm;
    utm.init("UTM-GLOBAL", "NORTH", "", "32", "", "");
    CCommonGrid grid;
    int untouched = 7;
    grid.footprintOfImages({image}, utm, &untouched, 20.0, -20.0);
    EXPECT_EQ(untouched, 7);

    std::string input;
    for (const CGeoPoint& p : border(image)) input += exact(p.latitude) + " " + exact(p.longitude) + "\n";
    writeFile(at("border.txt"), input);
    std::istringstream cs2cs(commandOutput("cs2cs -f %.6f EPSG:4326 EPSG:32632 < " + quoted(at("border.txt"))));
    CMapRectangle r{1e9, -1e9, -1e9, 1e9};
    int points = 0;
    for (double e, n, h; cs2cs >> e >> n >> h; ++points) {
        r = {std::min(r.west, e), std::max(r.north, n), std::max(r.east, e), std::min(r.south, n)};
    }
    ASSERT_EQ(points, 4 * (kDensePointsPerEdge - 1));
    expectTightlyAround(grid, r, 20.0);
}

TEST_F(ImageFootprint, ImagesWithoutAGeometry) {
    const std::string scene = writeScene({"", 45.0, 10.0, true, true, false, false}, "scene.dat");
    const std::string geocoded = writeGeocoded("geo.dat", "GEO-GLOBAL", "", 46, 10, 0.001);
    CCommonGrid grid;
    EXPECT_FALSE(grid.imageExtent(geocoded, geographic, nullptr, kDegreeCell));
    EXPECT_EQ(raisedBy([&] { grid.footprintOfImages({scene, geocoded}, geographic, nullptr, kDegreeCell, -kDegreeCell); })
                  .substr(0, 6),
              "40001@");
    EXPECT_EQ(raisedCode([&] { grid.footprintOfImages({}, geographic, nullptr, kDegreeCell, -kDegreeCell); }), 70018);
}

TEST_F(ImageFootprint, ImageListBox) {
    // Geocoded first image: its extent in its own system; the others are not read.
    const std::string utm = writeGeocoded("utm.dat", "UTM-GLOBAL", "32", 5000010, 300005, 20);
    CImageListBox box = forbsImageListBox({utm, at("not_read.dat")});
    EXPECT_FALSE(box.slantRange);
    EXPECT_EQ(box.system.mState, "UTM-GLOBAL");
    EXPECT_EQ(std::vector<double>({box.box.west, box.box.north, box.box.east, box.box.south}),
              std::vector<double>({300000, 5000020, 340020, 4980000}));

    const std::string geo = writeGeocoded("geo.dat", "GEO-GLOBAL", "", 46.00001, 10.00001, 0.001);
    box = forbsImageListBox({geo});
    EXPECT_NEAR(box.box.west, kDegreeCell * std::floor(10.00001 / kDegreeCell), 1e-12);
    EXPECT_NEAR(box.box.north, kDegreeCell * std::ceil(46.00001 / kDegreeCell), 1e-12);
    EXPECT_EQ(box.grid.mEastingGridSize, kDegreeCell);

    // A slant-range first image: the README's example (ScihubGet).  An
    // unreadable one is warned about (SlantRangeDecision), then refused.
    EXPECT_EQ(raisedCode([&] { forbsImageListBox({at("missing.dat")}); }), 40004);
    EXPECT_EQ(raisedCode([&] { forbsImageListBox({}); }), 70018);
    writeGeocoded("bare.dat", "GEO-GLOBAL", "", 46, 10, 0.001);
    header["RegistrationCoordinates.LatNorthing"].clearAll();
    header.writeToFile(at("bare.dat"), false, false);
    EXPECT_EQ(raisedCode([&] { forbsImageListBox({at("bare.dat")}); }), 250001);
}

TEST_F(ImageFootprint, RectanglesCarriedToDegrees) {
    struct Case {
        const char* name;
        const char* state;
        const char* hemisphere;
        const char* zone;
        const char* crs;  // the same system for cs2cs
        CMapRectangle rectangle;
        bool pole;
    };
    const std::vector<Case> cases{
        {"UTM zone 32", "UTM-GLOBAL", "NORTH", "32", "EPSG:32632", {200000, 5300000, 800000, 4500000}, false},
        {"UTM zone 60, across the antimeridian", "UTM-GLOBAL", "NORTH", "60", "EPSG:32660",
         {600000, 7400000, 900000, 7000000}, false},
        {"polar stereographic around the pole", "POLAR_STEREOGRAPHIC", "NORTH", "", "EPSG:3413",
         {-1000000, 1200000, 1500000, -800000}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        YDF_MAP system;
        system.init(c.state, c.hemisphere, "", c.zone, "", "");
        const CMapRectangle degrees = forbsRectangleToDegrees(system, c.rectangle);
        // A border ten times denser, through cs2cs.
        const int n = 10 * CORBS_RECTANGLE_POINTS_PER_EDGE;
        const CMapRectangle& r = c.rectangle;
        std::string input;
        for (int k = 0; k < n; ++k) {
            const double t = static_cast<double>(k) / n;
            for (const auto& [x, y] : {std::pair{r.west + t * (r.east - r.west), r.north},
                                       std::pair{r.east, r.north - t * (r.north - r.south)},
                                       std::pair{r.east - t * (r.east - r.west), r.south},
                                       std::pair{r.west, r.south + t * (r.north - r.south)}}) {
                input += exact(x) + " " + exact(y) + "\n";
            }
        }
        writeFile(at("rectangle.txt"), input);
        std::istringstream cs2cs(
            commandOutput(std::string("cs2cs -f %.9f ") + c.crs + " +to +proj=longlat +datum=WGS84 < " + quoted(at("rectangle.txt"))));
        double west = 360, east = -360, south = 90, north = -90, h = 0;
        for (double lon, lat; cs2cs >> lon >> lat >> h;) {
            if (std::string(c.zone) == "60" && lon < 0) lon += 360;
            west = std::min(west, lon), east = std::max(east, lon), south = std::min(south, lat), north = std::max(north, lat);
        }
        if (c.pole) {
            EXPECT_EQ(degrees.north, 90.0);
            EXPECT_EQ(degrees.west, -180.0);
            EXPECT_EQ(degrees.east, 180.0);
            EXPECT_NEAR(degrees.south, south, 1e-6);
            continue;
        }
        EXPECT_NEAR(degrees.west, west, 1e-6);
        EXPECT_NEAR(degrees.east, east, 1e-6);
        EXPECT_NEAR(degrees.south, south, 1e-6);
        EXPECT_NEAR(degrees.north, north, 1e-6);
    }
    const CMapRectangle same = forbsRectangleToDegrees(geographic, {10, 46, 11, 45});
    EXPECT_EQ(std::vector<double>({same.west, same.north, same.east, same.south}), std::vector<double>({10, 46, 11, 45}));
}

}  // namespace
}  // namespace orbs_test
