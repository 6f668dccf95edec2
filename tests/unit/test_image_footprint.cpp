// The scene locator and image footprints, on synthetic scenes in radar
// geometry whose answer is known by construction: ground points chosen on the
// ellipsoid (Earth-fixed coordinates from GeographicLib's CartConvert), a
// circular near-polar orbit in closed form, and each point's Doppler time and
// slant range computed forward on it, independent of the locator's
// interpolation and inversion.  RPC images against gdaltransform -rpc;
// projected footprints and rectangles carried to degrees against cs2cs.
#include <array>
#include <cmath>
#include <sstream>
#include <tuple>

#include "orbs_core_time_man_utility.h"
#include "orbs_envi_header.h"
#include "orbs_generic_geo_utility.h"
#include "orbs_scene_locator.h"
#include "raster_test_support.h"

namespace orbs_test {
namespace {

using Vec = std::array<double, 3>;
constexpr double kPi = 3.14159265358979323846, kRad = kPi / 180.0;

Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double length(const Vec& a) { return std::sqrt(dot(a, a)); }
std::string exact(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

// Earth-fixed coordinates of (latitude, longitude, height) points by CartConvert.
std::vector<Vec> cartConvert(const std::vector<Vec>& points, const std::string& dir) {
    std::string input;
    for (const Vec& p : points) input += exact(p[0]) + " " + exact(p[1]) + " " + exact(p[2]) + "\n";
    writeFile(dir + "/cart_in.txt", input);
    std::istringstream output(commandOutput("CartConvert -p 9 < " + quoted(dir + "/cart_in.txt")));
    std::vector<Vec> result(points.size());
    for (Vec& p : result) output >> p[0] >> p[1] >> p[2];
    return result;
}

// A circular orbit in closed form, seen from the rotating Earth.
struct Orbit {
    double radius = 6378137.0 + 693000.0, period = 5924.0, inclination = 98.18 * kRad;
    double node = 0.0;  // right ascension of the ascending node at t = 0 (Earth-fixed = inertial then)
    double latitudeArg = 0.0, earthRate = 7.2921150e-5;

    void state(double t, Vec& position, Vec& velocity) const {
        const double n = 2 * kPi / period, u = latitudeArg + n * t;
        const double ci = std::cos(inclination), si = std::sin(inclination), cO = std::cos(node), sO = std::sin(node);
        const Vec r{radius * (std::cos(u) * cO - std::sin(u) * ci * sO),
                    radius * (std::cos(u) * sO + std::sin(u) * ci * cO), radius * std::sin(u) * si};
        const Vec v{radius * n * (-std::sin(u) * cO - std::cos(u) * ci * sO),
                    radius * n * (-std::sin(u) * sO + std::cos(u) * ci * cO), radius * n * std::cos(u) * si};
        const double th = earthRate * t, c = std::cos(th), s = std::sin(th);
        position = {c * r[0] + s * r[1], -s * r[0] + c * r[1], r[2]};
        // d/dt of the rotation applied to r, plus the rotated inertial velocity.
        velocity = {c * v[0] + s * v[1] + earthRate * (-s * r[0] + c * r[1]),
                    -s * v[0] + c * v[1] + earthRate * (-c * r[0] - s * r[1]), v[2]};
    }
};

struct Acquisition { double time; double range; };

// The time at which the point sees the Doppler `dopplerHz` (bisection on the
// closed-form orbit) and its slant range then.
Acquisition forward(const Orbit& orbit, const Vec& x, double wavelength, double dopplerHz, double t0) {
    const auto g = [&](double t) {
        Vec s, v;
        orbit.state(t, s, v);
        const Vec d = sub(x, s);
        return dot(v, d) - wavelength * length(d) * dopplerHz / 2.0;
    };
    double lo = t0 - 300, hi = t0 + 300;
    for (int i = 0; i < 200 && hi - lo > 1e-10; ++i) {
        const double mid = (lo + hi) / 2;
        (g(lo) > 0) == (g(mid) > 0) ? lo = mid : hi = mid;
    }
    Vec s, v;
    orbit.state((lo + hi) / 2, s, v);
    return {(lo + hi) / 2, length(sub(x, s))};
}

struct Scene { const char* name; double latitude, longitude; bool ascending, rightLooking, groundRange, doppler; };
constexpr Scene kPlainScene{"", 45.0, 10.0, true, true, false, false};

// The raster header of a synthetic scene holds what the scene locator reads.
class SceneLocator : public MappedHeaderTest {
protected:
    static constexpr int kLines = 1500, kPixels = 1200;
    static constexpr double kWavelength = 299792458.0 / 5.405e9, kDopplerHz = -180.0;

    CTimeValue epoch() const {
        CTimeValue t;
        t.parseDayMonthNameYear("01-MAY-2019 05:00:00.000000");
        return t;
    }
    // Every time of a scene is shifted by this many seconds (its geometry
    // stays: the orbit is given in Earth-fixed coordinates).
    double timeShift = 0.0;
    std::string timeText(double seconds) const {
        CTimeValue t = epoch();
        t.addSeconds(timeShift + seconds);
        return t.formatDayMonthNameYear();
    }
    void setVector(const std::string& key, const std::vector<double>& values) {
        header[key].setDimension(1, static_cast<int>(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) header.setValue(key, static_cast<int>(i), values[i]);
    }

    // Builds the header of `scene` from its two chosen corners; returns the
    // corners' Earth-fixed points and acquisitions.
    void build(const Scene& scene, Orbit& orbit, std::array<Vec, 2>& corners, std::array<Acquisition, 2>& acq) {
        const double offset = 400000.0 / (111320.0 * std::cos(scene.latitude * kRad));  // degrees to the track
        const double trackSide = scene.ascending == scene.rightLooking ? 1.0 : -1.0;  // target east of the track
        const double satLat = scene.latitude, satLon = scene.longitude - trackSide * offset;
        double u = std::asin(std::sin(satLat * kRad) / std::sin(orbit.inclination));
        if (!scene.ascending) u = kPi - u;
        orbit.latitudeArg = u;
        orbit.node = satLon * kRad - std::atan2(std::cos(orbit.inclination) * std::sin(u), std::cos(u));

        const double along = scene.ascending ? 1.0 : -1.0, doppler = scene.doppler ? kDopplerHz : 0.0;
        const std::vector<Vec> ground =
            cartConvert({{scene.latitude - along * 0.25, scene.longitude - trackSide * 0.35, 0},
                         {scene.latitude + along * 0.25, scene.longitude + trackSide * 0.35, 0}},
                        dir().string());
        corners = {ground[0], ground[1]};
        for (std::size_t i = 0; i < 2; ++i) acq[i] = forward(orbit, corners[i], kWavelength, doppler, 0.0);

        std::vector<std::string> times;
        std::array<std::vector<double>, 6> columns;
        for (double t = acq[0].time - 60; t <= acq[1].time + 60; t += 10) {
            Vec s, v;
            orbit.state(t, s, v);
            times.push_back(timeText(t));
            for (std::size_t k = 0; k < 3; ++k) columns[k].push_back(s[k]), columns[k + 3].push_back(v[k]);
        }
        header["StateVectorData.StateVectorTime"].setDimension(1, static_cast<int>(times.size()));
        for (std::size_t i = 0; i < times.size(); ++i)
            header.setValue("StateVectorData.StateVectorTime", static_cast<int>(i), times[i]);
        const char* names[] = {"PositionX", "PositionY", "PositionZ", "VelocityX", "VelocityY", "VelocityZ"};
        for (std::size_t k = 0; k < 6; ++k) setVector(std::string("StateVectorData.") + names[k], columns[k]);

        header.setValue("RasterInfo.NrOfLinesPerImage", kLines);
        header.setValue("RasterInfo.NrOfPixelsPerLine", kPixels);
        header.setValue("AcquisitionParameters.AcquisitionTime", timeText(acq[0].time));
        header.setValue("InitialGeometry.Projection", std::string(scene.groundRange ? "GROUND_RANGE" : "SLANT_RANGE"));
        header.setValue("AcquisitionParameters.LookDirection", std::string(scene.rightLooking ? "RIGHT" : "LEFT"));
        header.setValue("Processing.AzimuthTimeInterval", (acq[1].time - acq[0].time) / (kLines - 1));
        if (scene.groundRange) {
            // Slant range as a quadratic of the ground range, through both corners.
            const double spacing = 10.0, last = spacing * (kPixels - 1), beta = 2e-7;
            header.setValue("Processing.PixelSpacingRg", spacing);
            setVector("Processing.GroundToSlantCoeff",
                      {acq[0].range, (acq[1].range - acq[0].range - beta * last * last) / last, beta});
        } else {
            header.setValue("Processing.PixelSpacingRg", (acq[1].range - acq[0].range) / (kPixels - 1));
            header.setValue("Processing.SlantRangeTimeFirstPixel", 2.0 * acq[0].range / 299792458.0);
        }
        if (scene.doppler) {
            header.setValue("InitialGeometry.AzimuthGeometry", std::string("DOPPLER_CENTROID"));
            setVector("Processing.DopCenRangeCoeff", {kDopplerHz});
            header.setValue("Processing.DopCenRgRefTime", 0.0055);
            header.setValue("Processing.RangeDoppler_fref", 5.405e9);
        }
    }
};

TEST_F(SceneLocator, CornersOfSyntheticScenesComeBackWithinOneMetre) {
    for (const Scene& scene : {kPlainScene, Scene{"descending right", -33.0, 150.0, false, true, false, false},
                               Scene{"ascending left", 60.0, -70.0, true, false, true, false},
                               Scene{"descending left, Doppler centroid", 10.0, 30.0, false, false, false, true},
                               Scene{"across the antimeridian", 66.0, 179.9, true, true, true, true}}) {
        SCOPED_TRACE(scene.name);
        ASSERT_EQ(initRasterHeaderSet(header), 1);
        Orbit orbit;
        std::array<Vec, 2> corners;
        std::array<Acquisition, 2> acq;
        build(scene, orbit, corners, acq);

        CSceneFootprint footprint;
        NORBS_ERRORS_CODE::CNorvikErrorCode error;
        ASSERT_EQ(locateSceneFootprint(header, 9, footprint, error), 1) << error.get_error_other_info();
        std::vector<Vec> located;
        for (const CGeoPoint& p : footprint.corners) located.push_back({p.latitude, p.longitude, 0});
        const std::vector<Vec> ecef = cartConvert(located, dir().string());
        EXPECT_LT(length(sub(ecef[0], corners[0])), 1.0);
        EXPECT_LT(length(sub(ecef[3], corners[1])), 1.0);
        // The other two corners: their forward acquisition is the grid's.
        const double doppler = scene.doppler ? kDopplerHz : 0.0;
        const Acquisition farFirst = forward(orbit, ecef[1], kWavelength, doppler, acq[0].time);
        const Acquisition nearLast = forward(orbit, ecef[2], kWavelength, doppler, acq[1].time);
        EXPECT_NEAR(farFirst.time, acq[0].time, 1e-4);
        EXPECT_NEAR(nearLast.time, acq[1].time, 1e-4);
        EXPECT_NEAR(farFirst.range, acq[1].range, 1.0);
        EXPECT_NEAR(nearLast.range, acq[0].range, 1.0);

        EXPECT_NEAR(CTimeValue::secondsBetween(footprint.stop, footprint.start), acq[1].time - acq[0].time, 1e-6);
        EXPECT_NEAR(CTimeValue::secondsBetween(footprint.start, epoch()), acq[0].time, 1e-6);
        EXPECT_EQ(footprint.east - footprint.west > 180.0, scene.longitude > 179.0);  // across the antimeridian
    }
}

TEST_F(SceneLocator, HeadersWithoutAGeometryGiveTheirCodes) {
    Orbit orbit;
    std::array<Vec, 2> corners;
    std::array<Acquisition, 2> acq;
    build(kPlainScene, orbit, corners, acq);
    struct Case { const char* name; std::function<void(CSectionDataGroup&)> spoil; int code; };
    const std::vector<Case> cases{
        {"no state vectors", [](CSectionDataGroup& h) { h["StateVectorData.PositionY"].clearAll(); }, 110001},
        {"three state vectors",
         [](CSectionDataGroup& h) {
             for (const char* f : {"StateVectorTime", "PositionX", "PositionY", "PositionZ", "VelocityX", "VelocityY",
                                   "VelocityZ"}) {
                 CSectionField& field = h[std::string("StateVectorData.") + f];
                 const bool text = field.getDataTypeId() == CORBS_DS_STRING;
                 std::vector<std::string> texts;
                 std::vector<double> numbers;
                 for (int i = 0; i < 3; ++i) text ? texts.push_back(field.getString(i)) : numbers.push_back(field.getDouble(i));
                 field.setDimension(1, 3);
                 for (std::size_t i = 0; i < 3; ++i)
                     text ? field.setValue(int(i), texts[i]) : field.setValue(int(i), numbers[i]);
             }
         },
         110001},
        {"orbit ends before the scene",
         [](CSectionDataGroup& h) {
             h.setValue("Processing.AzimuthTimeInterval", h.getDouble("Processing.AzimuthTimeInterval") * 20);
         },
         110002},
        {"no range timing", [](CSectionDataGroup& h) { h["Processing.SlantRangeTimeFirstPixel"].clearAll(); }, 250001},
        {"range shorter than the orbit height",
         [](CSectionDataGroup& h) { h.setValue("Processing.SlantRangeTimeFirstPixel", 0.001); }, 250002},
        {"incomplete RPC model",
         [](CSectionDataGroup& h) {
             h["AcquisitionParameters.LINE_NUM_COEFF"].setDimension(1, 3);
             for (int i = 0; i < 3; ++i) h.setValue("AcquisitionParameters.LINE_NUM_COEFF", i, 1.0);
         },
         250003},
    };
    const std::string saved = at("scene.dat");
    ASSERT_EQ(header.writeToFile(saved, false, false), 1);
    for (const Case& c : cases) {
        CSectionDataGroup spoilt;
        ASSERT_EQ(readRasterHeader(spoilt, saved, false), 1);
        c.spoil(spoilt);
        CSceneFootprint footprint;
        NORBS_ERRORS_CODE::CNorvikErrorCode error;
        EXPECT_EQ(locateSceneFootprint(spoilt, 3, footprint, error), 0) << c.name;
        EXPECT_EQ(error.get_error_code(), c.code) << c.name << ": " << error.get_error_other_info();
        EXPECT_FALSE(error.get_error_other_info().empty());
    }
}

TEST_F(SceneLocator, RpcCornersAgreeWithGdaltransform) {
    const std::vector<std::pair<std::string, double>> scalars{
        {"LINE_OFF", 2048},   {"SAMP_OFF", 1024},  {"LAT_OFF", 45.8125},  {"LONG_OFF", 10.875},
        {"HEIGHT_OFF", 250},  {"LINE_SCALE", 2048}, {"SAMP_SCALE", 1024}, {"LAT_SCALE", 0.5},
        {"LONG_SCALE", 0.75}, {"HEIGHT_SCALE", 500}};
    // Mostly linear, with cross, square and cubic terms and a denominator.
    std::array<std::vector<double>, 4> polynomials;
    for (auto& p : polynomials) p.assign(20, 0.0);
    for (const auto& [k, term, value] : std::initializer_list<std::tuple<std::size_t, std::size_t, double>>{
             {0, 1, 0.05}, {0, 2, -1.01}, {0, 4, 0.012}, {0, 8, -0.004}, {0, 11, 0.001}, {0, 3, 0.003}, {1, 0, 1.0},
             {1, 1, 0.002}, {1, 2, -0.001}, {2, 1, 1.02}, {2, 2, 0.04}, {2, 7, 0.006}, {2, 12, -0.002},
             {2, 15, 0.0015}, {3, 0, 1.0}, {3, 2, 0.003}})
        polynomials[k][term] = value;
    const char* names[] = {"LINE_NUM_COEFF", "LINE_DEN_COEFF", "SAMP_NUM_COEFF", "SAMP_DEN_COEFF"};
    std::string metadata;
    for (const auto& [name, value] : scalars) {
        header.setValue("AcquisitionParameters." + name, value);
        metadata += "<MDI key=\"" + name + "\">" + NORBS_ENVI_HEADER::number(value) + "</MDI>";
    }
    for (std::size_t k = 0; k < 4; ++k) {
        setVector(std::string("AcquisitionParameters.") + names[k], polynomials[k]);
        metadata += "<MDI key=\"" + std::string(names[k]) + "\">";
        for (double c : polynomials[k]) metadata += NORBS_ENVI_HEADER::number(c) + " ";
        metadata += "</MDI>";
    }
    header.setValue("RasterInfo.NrOfLinesPerImage", 4096);
    header.setValue("RasterInfo.NrOfPixelsPerLine", 2048);
    writeFile(at("rpc.vrt"), "<VRTDataset rasterXSize=\"2048\" rasterYSize=\"4096\"><Metadata domain=\"RPC\">" +
                                 metadata + "</Metadata><VRTRasterBand dataType=\"Byte\" band=\"1\"/></VRTDataset>\n");

    CSceneFootprint footprint;
    NORBS_ERRORS_CODE::CNorvikErrorCode error;
    ASSERT_EQ(locateSceneFootprint(header, 2, footprint, error), 1) << error.get_error_other_info();
    // GDAL counts pixels from their corner, the model from their centre.
    writeFile(at("pixels.txt"), "0.5 0.5\n2047.5 0.5\n0.5 4095.5\n2047.5 4095.5\n");
    std::istringstream gdal(commandOutput("gdaltransform -rpc -to RPC_HEIGHT=250 -to RPC_PIXEL_ERROR_THRESHOLD=0.00001 " +
                                          quoted(at("rpc.vrt")) + " < " + quoted(at("pixels.txt"))));
    for (const CGeoPoint& corner : footprint.corners) {
        double lon = 0, lat = 0, height = 0;
        ASSERT_TRUE(gdal >> lon >> lat >> height);
        EXPECT_NEAR(corner.latitude, lat, 1e-7);
        EXPECT_NEAR(corner.longitude, lon, 1e-7);
    }
}

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
    EXPECT_FALSE(grid.snapToGrid(1, 0.0, 2, 1, 20, 2) || grid.snapToGrid(1, -20, 2, 1, 1e-39, 2));
    EXPECT_EQ(grid.mWest, 7);
    EXPECT_FALSE(grid.mValid);
}

class ImageFootprint : public SceneLocator {
protected:
    void SetUp() override {
        SceneLocator::SetUp();
        NorvikCore::set_work_file(at("Process.working"));
        geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
    }

    // The parameter file of a synthetic scene, beside the image `name`.
    std::string writeScene(const Scene& scene, const std::string& name, std::array<Acquisition, 2>* times = nullptr) {
        EXPECT_EQ(initRasterHeaderSet(header), 1);
        Orbit orbit;
        std::array<Vec, 2> corners;
        std::array<Acquisition, 2> acq;
        build(scene, orbit, corners, acq);
        if (times) *times = acq;
        EXPECT_EQ(header.writeToFile(at(name), false, false), 1);
        return at(name);
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
        EXPECT_TRUE(grid.mWest <= r.west && grid.mWest > r.west - cell) << grid.mWest << " " << r.west;
        EXPECT_TRUE(grid.mEast >= r.east && grid.mEast < r.east + cell) << grid.mEast << " " << r.east;
        EXPECT_TRUE(grid.mSouth <= r.south && grid.mSouth > r.south - cell) << grid.mSouth << " " << r.south;
        EXPECT_TRUE(grid.mNorth >= r.north && grid.mNorth < r.north + cell) << grid.mNorth << " " << r.north;
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
}

TEST_F(ImageFootprint, SlantRangeDecisionAndImagesWithoutAGeometry) {
    const std::string scene = writeScene(kPlainScene, "scene.dat");
    const std::string geocoded = writeGeocoded("geo.dat", "GEO-GLOBAL", "", 46, 10, 0.001);
    EXPECT_TRUE(CCommonGrid::isSlantRangeImage(scene));
    EXPECT_FALSE(CCommonGrid::isSlantRangeImage(geocoded));
    CCommonGrid grid;
    EXPECT_FALSE(grid.imageExtent(geocoded, geographic, nullptr, kDegreeCell));
    EXPECT_EQ(raisedBy([&] { grid.footprintOfImages({scene, geocoded}, geographic, nullptr, kDegreeCell, -kDegreeCell); })
                  .substr(0, 6),
              "40001@");
    EXPECT_EQ(raisedCode([&] { grid.footprintOfImages({}, geographic, nullptr, kDegreeCell, -kDegreeCell); }), 70018);

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
    std::array<Acquisition, 2> acqA, acqB;
    const std::string a = writeScene(kPlainScene, "a.dat", &acqA);
    timeShift = 3600.0;
    const std::string b = writeScene({"", 46.0, 11.0, false, true, true, true}, "b.dat", &acqB);

    CCommonGrid grid;
    int across = -1;
    grid.footprintOfImages({b, a}, geographic, &across, kDegreeCell, -kDegreeCell);
    EXPECT_EQ(across, 0);
    // Start of the earlier image, stop of the later one.
    CTimeValue start, stop;
    start.parseDayMonthNameYear(grid.mStartTime);
    stop.parseDayMonthNameYear(grid.mStopTime);
    EXPECT_NEAR(CTimeValue::secondsBetween(start, epoch()), acqA[0].time, 1e-6) << grid.mStartTime;
    EXPECT_NEAR(CTimeValue::secondsBetween(stop, epoch()), 3600.0 + acqB[1].time, 1e-6) << grid.mStopTime;
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
    ASSERT_TRUE(r.west < 180.0 && r.east > 180.0);
    expectTightlyAround(grid, r, kDegreeCell);
}

TEST_F(ImageFootprint, ProjectedOutputAgreesWithCs2cs) {
    const std::string image = writeScene(kPlainScene, "scene.dat");
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
    for (double e, n, h; cs2cs >> e >> n >> h; ++points)
        r = {std::min(r.west, e), std::max(r.north, n), std::max(r.east, e), std::min(r.south, n)};
    ASSERT_EQ(points, 4 * (kDensePointsPerEdge - 1));
    expectTightlyAround(grid, r, 20.0);
}

TEST_F(ImageFootprint, ImageListBox) {
    // Geocoded first image: its extent in its own system; the others are not read.
    const std::string utm = writeGeocoded("utm.dat", "UTM-GLOBAL", "32", 5000010, 300005, 20);
    CImageListBox box = forbsImageListBox({utm, at("not_read.dat")});
    EXPECT_FALSE(box.slantRange);
    EXPECT_EQ(box.system.mState, "UTM-GLOBAL");
    EXPECT_EQ(std::vector<double>({box.box.west, box.box.north, box.box.east, box.box.south}),
              std::vector<double>({300000, 5000020, 340020, 4980000}));

    box = forbsImageListBox({writeGeocoded("geo.dat", "GEO-GLOBAL", "", 46.00001, 10.00001, 0.001)});
    EXPECT_NEAR(box.box.west, kDegreeCell * std::floor(10.00001 / kDegreeCell), 1e-12);
    EXPECT_NEAR(box.box.north, kDegreeCell * std::ceil(46.00001 / kDegreeCell), 1e-12);
    EXPECT_EQ(box.grid.mEastingGridSize, kDegreeCell);

    // An unreadable first image is warned about (SlantRangeDecisionAndImagesWithoutAGeometry), then refused.
    EXPECT_EQ(raisedCode([&] { forbsImageListBox({at("missing.dat")}); }), 40004);
    EXPECT_EQ(raisedCode([&] { forbsImageListBox({}); }), 70018);
    header["RegistrationCoordinates.LatNorthing"].clearAll();
    header.writeToFile(at("bare.dat"), false, false);
    EXPECT_EQ(raisedCode([&] { forbsImageListBox({at("bare.dat")}); }), 250001);
}

TEST_F(ImageFootprint, RectanglesCarriedToDegrees) {
    struct Case { const char* name; const char* state; const char* zone; const char* crs; CMapRectangle r; bool pole; };
    for (const Case& c : {Case{"UTM zone 32", "UTM-GLOBAL", "32", "EPSG:32632", {200000, 5300000, 800000, 4500000}, false},
                          Case{"UTM zone 60, across the antimeridian", "UTM-GLOBAL", "60", "EPSG:32660",
                               {600000, 7400000, 900000, 7000000}, false},
                          Case{"polar stereographic around the pole", "POLAR_STEREOGRAPHIC", "", "EPSG:3413",
                               {-1000000, 1200000, 1500000, -800000}, true}}) {
        SCOPED_TRACE(c.name);
        YDF_MAP system;
        system.init(c.state, "NORTH", "", c.zone, "", "");
        const CMapRectangle degrees = forbsRectangleToDegrees(system, c.r);
        // A border ten times denser, through cs2cs.
        const int n = 10 * CORBS_RECTANGLE_POINTS_PER_EDGE;
        const CMapRectangle& r = c.r;
        std::string input;
        for (int k = 0; k < n; ++k) {
            const double t = static_cast<double>(k) / n;
            for (const auto& [x, y] : {std::pair{r.west + t * (r.east - r.west), r.north},
                                       std::pair{r.east, r.north - t * (r.north - r.south)},
                                       std::pair{r.east - t * (r.east - r.west), r.south},
                                       std::pair{r.west, r.south + t * (r.north - r.south)}})
                input += exact(x) + " " + exact(y) + "\n";
        }
        writeFile(at("rectangle.txt"), input);
        std::istringstream cs2cs(
            commandOutput(std::string("cs2cs -f %.9f ") + c.crs + " +to +proj=longlat +datum=WGS84 < " + quoted(at("rectangle.txt"))));
        double west = 360, east = -360, south = 90, north = -90, h = 0;
        for (double lon, lat; cs2cs >> lon >> lat >> h;) {
            if (std::string(c.zone) == "60" && lon < 0) lon += 360;
            west = std::min(west, lon), east = std::max(east, lon), south = std::min(south, lat), north = std::max(north, lat);
        }
        EXPECT_NEAR(degrees.south, south, 1e-6);
        if (c.pole) {
            EXPECT_EQ(std::vector<double>({degrees.north, degrees.west, degrees.east}), std::vector<double>({90, -180, 180}));
            continue;
        }
        EXPECT_NEAR(degrees.west, west, 1e-6);
        EXPECT_NEAR(degrees.east, east, 1e-6);
        EXPECT_NEAR(degrees.north, north, 1e-6);
    }
    const CMapRectangle same = forbsRectangleToDegrees(geographic, {10, 46, 11, 45});
    EXPECT_EQ(std::vector<double>({same.west, same.north, same.east, same.south}), std::vector<double>({10, 46, 11, 45}));
}

}  // namespace
}  // namespace orbs_test
