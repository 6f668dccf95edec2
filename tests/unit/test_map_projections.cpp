// The projections of the projected states of map_list against PROJ's own
// tools run on the registry definitions of the same systems. CMapTransform:
// the geocentric conversion against GeographicLib's CartConvert, the datum
// shifts against PROJ's Helmert transformation in the same convention, the
// whole path against a PROJ pipeline, and the cases.
#include <array>
#include <cmath>
#include <tuple>

#include "map_test_support.h"
#include "orbs_transform_utility.h"

namespace orbs_test {
namespace {

constexpr double kMetre = 1e-3;    // 1 mm
constexpr double kDegree = 1e-9;   // degrees
constexpr double kAuthalicSeries = 5e-8;
// BING keeps its own constant: the web Mercator of PROJ scaled from the
// sphere of radius a to the sphere of half circumference 20037508.34.
const double kBingScale = 20037508.34 / (M_PI * 6378137.0);

struct Oracle {
    const char* state;
    const char* hemisphere;
    const char* projection;
    const char* zone;
    const char* ellipsoid;
    const char* crs;        // registry CRS (or PROJ definition) of the same projection
    const char* overrides;  // parameters taken from that CRS: "lat_2", "lon_0 lat_ts", ...
    double lonMin, lonMax, latMin, latMax;
    // PROJ 9.1 inverts the equal-area projections through a series of the
    // authalic latitude, good to about 2e-8 degrees (2 mm).
    double roundTrip = kDegree;
    double scale = 1.0;  // of PROJ's map coordinates
};

const Oracle kOracles[] = {
    {"UTM-GLOBAL", "NORTH", "", "33", "", "EPSG:32633", "", 12, 18, 0, 84},
    {"UTM-GLOBAL", "SOUTH", "", "33", "", "EPSG:32733", "", 12, 18, -80, 0},
    {"UTM-GLOBAL", "NORTH", "", "1", "", "EPSG:32601", "", -180, -174, 0, 84},
    {"UTM-GLOBAL", "SOUTH", "", "60", "", "EPSG:32760", "", 174, 180, -80, 0},
    {"GENERIC_UTM", "NORTH", "", "32", "INTERNATIONAL1924", "EPSG:23032", "", 6, 12, 35, 72},
    // A Gauss-Krueger system of the caller's own: scale 1, no false origin.
    {"GENERIC_UTM", "", "", "", "WGS84", "+proj=tmerc +lon_0=9 +k=1 +x_0=0 +y_0=0 +ellps=WGS84", "lon_0 k x_0 y_0",
     0, 18, -80, 80},
    {"JAPAN_JPRC_JGD2000", "", "", "IX", "", "EPSG:2451", "", 138, 142, 34, 38},
    {"JAPAN_JPRC_JGD2011", "", "", "XIX", "", "EPSG:6687", "", 152, 156, 24, 28},
    {"MERCATOR", "", "", "", "", "EPSG:3395", "", -180, 180, -80, 84},
    {"MERCATOR", "", "CHOM", "", "", "EPSG:21781", "", 5.9, 10.5, 45.8, 47.8},
    {"LAMBERT_CONFORMAL_CONIC", "", "", "", "", "EPSG:3034", "", -10, 30, 35, 70},
    // The same cone given by its two parallels.
    {"LAMBERT_CONFORMAL_CONIC", "", "", "", "", "EPSG:3034", "lat_0 lat_1 lat_2 lon_0 x_0 y_0", -10, 30, 35, 70},
    {"LAMBERT72", "", "", "", "", "EPSG:31370", "", 2.5, 6.4, 49.5, 51.5},
    {"LAMBERT2008", "", "", "", "", "EPSG:3812", "", 2.5, 6.4, 49.5, 51.5},
    {"LAMBERTWGS84", "", "", "", "", "EPSG:3447", "", 2.5, 6.4, 49.5, 51.5},
    {"POLAR_STEREOGRAPHIC", "NORTH", "", "", "", "EPSG:3413", "", -180, 180, 60, 89.9},
    {"POLAR_STEREOGRAPHIC", "SOUTH", "", "", "", "EPSG:3031", "lon_0 lat_ts", -180, 180, -89.9, -60},
    {"UPS", "NORTH", "", "", "", "EPSG:5041", "", -180, 180, 84, 89.9},
    {"UPS", "SOUTH", "", "", "", "EPSG:5042", "", -180, 180, -89.9, -80},
    {"STEREOGRAPHIC", "", "", "", "", "EPSG:2953", "", -69, -63, 44, 48},
    {"STEREOGRAPHIC", "", "NLOS", "", "", "EPSG:28992", "", 3.3, 7.3, 50.7, 53.6},
    {"BING", "", "", "", "", "EPSG:3857", "", -180, 180, -85, 85, kDegree, kBingScale},
    {"GNOMONIC", "", "", "", "", "ESRI:102034", "", -180, 180, 30, 89.9},
    {"MILLER", "", "", "", "", "ESRI:54003", "", -180, 180, -80, 80},
    // MILLER takes its sphere radius from the scale factor field.
    {"MILLER", "", "", "", "", "+proj=mill +R=6371000 +lon_0=10", "R lon_0", -160, 180, -80, 80},
    {"SINUSOIDAL", "", "", "", "", "ESRI:54008", "", -180, 180, -89, 89},
    {"MOLLWEIDE", "", "", "", "", "ESRI:54009", "", -179.9, 179.9, -89, 89},
    {"ALBERS", "", "", "", "", "EPSG:3577", "lat_2", 112, 154, -44, -10},
    {"LAMBERT_AZIMUTHAL_EQUALAREA", "", "", "", "", "EPSG:6931", "", -180, 180, 0, 89.9, kAuthalicSeries},
    {"LAMBERT_CYLINDRICAL_EQUALAREA", "", "", "", "", "ESRI:54034", "", -180, 180, -85, 85, kAuthalicSeries},
    {"ETRS89_LAEA_EUROPE", "", "", "", "", "EPSG:3035", "", -10, 30, 35, 70, kAuthalicSeries},
};

// Longitudes compared on the circle: -180 and 180 are one meridian.
double longitudeGap(double a, double b) { return std::remainder(a - b, 360.0); }

class MapProjections : public MapTest {
protected:
    // The definition of a CRS as the proj tool takes it.
    std::string definitionOf(const std::string& crs) {
        const std::vector<std::string> lines = run("projinfo -o PROJ -q " + quoted(crs));
        EXPECT_FALSE(lines.empty()) << crs;
        std::string definition = lines.empty() ? std::string() : " " + lines.front();
        if (const std::size_t type = definition.find(" +type=crs"); type != std::string::npos) definition.resize(type);
        return definition;
    }

    YDF_MAP systemOf(const Oracle& oracle, const std::string& definition) {
        const std::pair<const char*, std::optional<double> CMapOverrides::*> keys[] = {
            {"lat_0", &CMapOverrides::northOrigin},       {"lat_1", &CMapOverrides::secondLatitude},
            {"lat_ts", &CMapOverrides::secondLatitude},   {"lat_2", &CMapOverrides::standardParallel2},
            {"lon_0", &CMapOverrides::centralMeridian},   {"x_0", &CMapOverrides::falseEasting},
            {"y_0", &CMapOverrides::falseNorthing},       {"k", &CMapOverrides::scaleFactor},
            {"R", &CMapOverrides::scaleFactor},
        };
        CMapOverrides overrides;
        std::istringstream wanted(oracle.overrides);
        for (std::string key; wanted >> key;) {
            for (const auto& [name, member] : keys)
                if (key == name) overrides.*member = parameterOf(definition, key) * (key[0] == 'l' ? CORBS_DEG_TO_RAD : 1.0);
        }
        YDF_MAP system;
        system.init(oracle.state, oracle.hemisphere, oracle.projection, oracle.zone, oracle.ellipsoid, "", overrides);
        return system;
    }
};

// The map coordinates of a geographic point (degrees) in a system.
std::pair<double, double> project(const YDF_MAP& system, double lon, double lat) {
    double x = lon * CORBS_DEG_TO_RAD, y = lat * CORBS_DEG_TO_RAD;
    geo2map(&x, &y, 1, system);
    return {x, y};
}

// The geographic point (degrees) of map coordinates in a system.
std::pair<double, double> unproject(const YDF_MAP& system, double x, double y) {
    map2geo(&x, &y, 1, system);
    return {x * CORBS_RAD_TO_DEG, y * CORBS_RAD_TO_DEG};
}

// A 5 x 5 grid over the oracle's area, projected by us and by proj, and
// back: the inverse of proj's map coordinates by both, and our round trip.
TEST_F(MapProjections, ForwardAndInverseAgreeWithProj) {
    for (const Oracle& o : kOracles) {
        SCOPED_TRACE(std::string(o.state) + " " + o.projection + " " + o.zone + " / " + o.crs);
        const std::string definition = definitionOf(o.crs);
        const YDF_MAP system = systemOf(o, definition);
        std::vector<std::string> input;
        for (int i = 0; i < 25; ++i) {
            input.push_back(fdfFormat("%.12f %.12f", o.lonMin + (o.lonMax - o.lonMin) * (i / 5) / 4.0,
                                      o.latMin + (o.latMax - o.latMin) * (i % 5) / 4.0));
        }
        const std::vector<std::string> projected = run("proj -f %.7f" + definition, input);
        const std::vector<std::string> inverse = run("proj -I -f %.12f" + definition, projected);
        ASSERT_EQ(projected.size(), input.size());
        ASSERT_EQ(inverse.size(), input.size());
        for (std::size_t i = 0; i < input.size(); ++i) {
            const std::vector<double> lonLat = numbersOf(input[i]), map = numbersOf(projected[i]);
            const std::vector<double> back = numbersOf(inverse[i]);
            ASSERT_EQ(map.size(), 2u) << projected[i];
            const auto [x, y] = project(system, lonLat[0], lonLat[1]);
            EXPECT_NEAR(x, map[0] * o.scale, kMetre) << input[i];
            EXPECT_NEAR(y, map[1] * o.scale, kMetre) << input[i];
            auto [lon, lat] = unproject(system, map[0] * o.scale, map[1] * o.scale);
            EXPECT_NEAR(longitudeGap(lon, back[0]), 0.0, kDegree) << projected[i];
            EXPECT_NEAR(lat, back[1], kDegree) << projected[i];
            std::tie(lon, lat) = unproject(system, x, y);
            EXPECT_NEAR(longitudeGap(lon, lonLat[0]), 0.0, o.roundTrip) << input[i];
            EXPECT_NEAR(lat, lonLat[1], o.roundTrip) << input[i];
        }
    }
}

using Points = std::vector<std::array<double, 3>>;

const Points kGeographic = {{0, 0, 0},        {15, 45, 100},   {-120.5, 37.25, -30}, {179.9, -89.5, 5000},
                            {4.35, 50.8, 250}, {139.7, 35.6, 40}, {-70, -33.4, 900}};

class MapTransformTest : public MapTest {
protected:
    static YDF_MAP system(const char* state, const char* hemisphere = "", const char* zone = "",
                          const char* ellipsoid = "", const char* datumShift = "") {
        YDF_MAP map;
        map.init(state, hemisphere, "", zone, ellipsoid, datumShift);
        return map;
    }

    // The points carried over in one call, in place.
    static Points transform(const YDF_MAP& from, const YDF_MAP& to, Points points) {
        std::vector<double> x, y, z;
        for (const auto& p : points) x.push_back(p[0]), y.push_back(p[1]), z.push_back(p[2]);
        CMapTransform transformation;
        transformation.setInput(from);
        transformation.setOutput(to);
        EXPECT_TRUE(transformation.transform(x.data(), y.data(), z.data(), x.data(), y.data(), z.data(), x.size()));
        for (std::size_t i = 0; i < x.size(); ++i) points[i] = {x[i], y[i], z[i]};
        return points;
    }

    static std::vector<std::string> lines(const Points& points, bool latFirst = false,
                                          const char* format = "%.10f %.10f %.4f") {
        std::vector<std::string> text;
        for (const auto& p : points)
            text.push_back(latFirst ? fdfFormat(format, p[1], p[0], p[2]) : fdfFormat(format, p[0], p[1], p[2]));
        return text;
    }

    // The Helmert step of a registry transformation, as projinfo writes it.
    std::string helmertOf(const std::string& code) {
        std::string pipeline;
        for (const std::string& line : run("projinfo -o PROJ -q -k operation " + code)) pipeline += " " + line;
        const std::size_t start = pipeline.find("+proj=helmert");
        EXPECT_NE(start, std::string::npos) << pipeline;
        std::string step = pipeline.substr(start, pipeline.find(" +step", start) - start);
        for (std::size_t blanks = step.find("  "); blanks != std::string::npos; blanks = step.find("  ")) step.erase(blanks, 1);
        return step;
    }

    static void expectNear(const Points& actual, const std::vector<std::string>& expected, double tolerance) {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            const std::vector<double> values = numbersOf(expected[i]);
            ASSERT_GE(values.size(), 3u) << expected[i];
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[i][k], values[k], tolerance) << i << ": " << expected[i];
        }
    }
};

TEST_F(MapTransformTest, GeocentricAgreesWithCartConvertBothWays) {
    const YDF_MAP geo = system("GEO-GLOBAL");
    const YDF_MAP cartesian = system("CARTESIAN-GLOBAL");
    const Points geocentric = transform(geo, cartesian, kGeographic);
    expectNear(geocentric, run("CartConvert -p 6", lines(kGeographic, true)), 1e-3);

    const Points back = transform(cartesian, geo, geocentric);
    const std::vector<std::string> expected = run("CartConvert -r -p 9", lines(geocentric, false, "%.6f %.6f %.6f"));
    ASSERT_EQ(expected.size(), back.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        const std::vector<double> latLonH = numbersOf(expected[i]);
        EXPECT_NEAR(back[i][1], latLonH[0], 1e-9) << expected[i];
        EXPECT_NEAR(longitudeGap(back[i][0], latLonH[1]), 0.0, 1e-9) << expected[i];
        EXPECT_NEAR(back[i][2], latLonH[2], 1e-3) << expected[i];
    }
}

// The shift to a local datum is the inverse of the registry's Helmert
// transformation from that datum to WGS 84 (ED50: three parameters).
TEST_F(MapTransformTest, DatumShiftsAgreeWithProjHelmert) {
    const YDF_MAP geo = system("GEO-GLOBAL");
    for (const auto& [datum, transformation] : {std::pair{"DHDN", "EPSG:1777"}, {"BD72", "EPSG:15929"},
                                                {"ED50", "EPSG:1133"}, {"AMERSFOORT", "EPSG:15934"}}) {
        SCOPED_TRACE(datum);
        const std::string pipeline = "cct -d 6 +proj=pipeline +step +proj=cart +ellps=WGS84 +step +inv " +
                                     helmertOf(transformation);
        expectNear(transform(geo, system("CARTESIAN-GLOBAL", "", "", "", datum), kGeographic),
                   run(pipeline, lines(kGeographic)), 1e-3);
    }
}

// WGS 84 degrees to ED50 / UTM zone 32N: geocentric, datum shift, back to
// geographic on the International ellipsoid, projection.
TEST_F(MapTransformTest, WholePathAgreesWithProjPipeline) {
    std::string utm;
    for (const std::string& line : run("projinfo -o PROJ -q EPSG:23032")) utm += line;
    utm.resize(utm.find(" +type=crs"));
    const std::string pipeline = "cct -d 6 +proj=pipeline +step +proj=cart +ellps=WGS84 +step +inv " +
                                 helmertOf("EPSG:1133") + " +step +inv +proj=cart +ellps=intl +step " + utm;
    const Points points = {{6.5, 44.0, 10}, {9.0, 50.0, 300}, {11.9, 60.5, -20}};
    const YDF_MAP ed50 = system("GENERIC_UTM", "NORTH", "32", "INTERNATIONAL1924", "ED50");
    const YDF_MAP geo = system("GEO-GLOBAL");
    CMapTransform cases;
    cases.setInput(geo);
    cases.setOutput(ed50);
    EXPECT_EQ(cases.getCase(), CMapTransform::Case::Geocentric);
    expectNear(transform(geo, ed50, points), run(pipeline, lines(points)), 1e-3);
}

TEST_F(MapTransformTest, RoundTripsOverManyBlocksAndSameSystemCopies) {
    const YDF_MAP utm = system("UTM-GLOBAL", "SOUTH", "33");
    const YDF_MAP geo = system("GEO-GLOBAL");
    Points points;
    for (int i = 0; i < 20000; ++i) points.push_back({12.0 + 6.0 * i / 20000.0, -70.0 + 69.0 * (i % 97) / 97.0, i * 0.1});
    const Points projected = transform(geo, utm, points);
    const Points back = transform(utm, geo, projected);
    for (std::size_t i = 0; i < points.size(); i += 7) {
        EXPECT_NEAR(back[i][0], points[i][0], 1e-9);
        EXPECT_NEAR(back[i][1], points[i][1], 1e-9);
        EXPECT_EQ(back[i][2], points[i][2]);
    }
    EXPECT_EQ(projected[19999], transform(geo, utm, {points[19999]})[0]);

    const YDF_MAP sameAgain = system("utm-global", "south", "33");
    CMapTransform copy;
    copy.setInput(utm);
    copy.setOutput(sameAgain);
    EXPECT_EQ(copy.getCase(), CMapTransform::Case::Copy);
    EXPECT_EQ(transform(utm, sameAgain, projected), projected);
    copy.setOutput(geo);
    EXPECT_EQ(copy.getCase(), CMapTransform::Case::Direct);
}

TEST_F(MapTransformTest, NothingHappensBeforeBothSystemsAreSet) {
    double x = 1.0, y = 2.0, z = 3.0;
    CMapTransform transformation;
    const YDF_MAP geo = system("GEO-GLOBAL");
    transformation.setInput(geo);
    EXPECT_FALSE(transformation.transform(&x, &y, &z, &x, &y, &z, 1));
    const YDF_MAP neverInitialised;
    transformation.setOutput(neverInitialised);
    EXPECT_FALSE(transformation.transform(&x, &y, &z, &x, &y, &z, 1));
    EXPECT_EQ(x, 1.0);
}

}  // namespace
}  // namespace orbs_test
