// The projections of the projected states of map_list against PROJ's own
// tools run on the registry definitions of the same systems, and against
// GeographicLib as a second, independent oracle.
#include <cmath>

#include "map_test_support.h"
#include "orbs_transform_utility.h"

namespace orbs_test {
namespace {

constexpr double kMetre = 1e-3;    // 1 mm
constexpr double kDegree = 1e-9;   // degrees
constexpr double kAuthalicSeries = 5e-8;

struct Oracle {
    const char* state;
    const char* hemisphere;
    const char* projection;
    const char* zone;
    const char* ellipsoid;
    const char* crs;        // registry CRS of the same projection
    const char* overrides;  // parameters taken from that CRS: "lat_2", "lon_0 lat_ts", ...
    double lonMin, lonMax, latMin, latMax;
    // PROJ 9.1 inverts the equal-area projections through a series of the
    // authalic latitude, good to about 2e-8 degrees (2 mm).
    double roundTrip = kDegree;
};

const Oracle kOracles[] = {
    {"UTM-GLOBAL", "NORTH", "", "33", "", "EPSG:32633", "", 12, 18, 0, 84},
    {"UTM-GLOBAL", "SOUTH", "", "33", "", "EPSG:32733", "", 12, 18, -80, 0},
    {"UTM-GLOBAL", "NORTH", "", "1", "", "EPSG:32601", "", -180, -174, 0, 84},
    {"UTM-GLOBAL", "SOUTH", "", "60", "", "EPSG:32760", "", 174, 180, -80, 0},
    {"GENERIC_UTM", "NORTH", "", "32", "INTERNATIONAL1924", "EPSG:23032", "", 6, 12, 35, 72},
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
    {"GNOMONIC", "", "", "", "", "ESRI:102034", "", -180, 180, 30, 89.9},
    {"MILLER", "", "", "", "", "ESRI:54003", "", -180, 180, -80, 80},
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
    // The registry definition of a CRS as the proj tool takes it.
    std::string definitionOf(const std::string& crs) {
        const std::vector<std::string> lines = run("projinfo -o PROJ -q " + crs);
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
            {"y_0", &CMapOverrides::falseNorthing},
        };
        CMapOverrides overrides;
        std::istringstream wanted(oracle.overrides);
        for (std::string key; wanted >> key;) {
            for (const auto& [name, member] : keys) {
                if (key != name) continue;
                const double value = parameterOf(definition, key);
                overrides.*member = key[0] == 'l' ? value * CORBS_DEG_TO_RAD : value;
            }
        }
        YDF_MAP system;
        system.init(oracle.state, oracle.hemisphere, oracle.projection, oracle.zone, oracle.ellipsoid, "", overrides);
        return system;
    }
};

// The map coordinates of a geographic point (degrees) in a system.
std::pair<double, double> project(const YDF_MAP& system, double lon, double lat) {
    double x = lon * CORBS_DEG_TO_RAD;
    double y = lat * CORBS_DEG_TO_RAD;
    geo2map(&x, &y, 1, system);
    return {x, y};
}

// The points (longitude, latitude) projected in a system match the oracle's
// lines of easting and northing, scaled.
void expectProjected(const YDF_MAP& system, const std::vector<std::pair<double, double>>& points,
                     const std::vector<std::string>& answers, double scale = 1.0) {
    ASSERT_EQ(answers.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::vector<double> expected = numbersOf(answers[i]);
        ASSERT_GE(expected.size(), 2u) << answers[i];
        const auto [x, y] = project(system, points[i].first, points[i].second);
        EXPECT_NEAR(x, expected[0] * scale, kMetre) << points[i].first << " " << points[i].second;
        EXPECT_NEAR(y, expected[1] * scale, kMetre) << points[i].first << " " << points[i].second;
    }
}

// A 5 x 5 grid over the oracle's area, projected by us and by proj, and
// back: the inverse of proj's map coordinates by both, and our round trip.
TEST_F(MapProjections, ForwardAndInverseAgreeWithProj) {
    for (const Oracle& o : kOracles) {
        SCOPED_TRACE(std::string(o.state) + " " + o.projection + " " + o.zone + " / " + o.crs);
        const std::string definition = definitionOf(o.crs);
        const YDF_MAP system = systemOf(o, definition);
        std::vector<std::pair<double, double>> grid;
        std::vector<std::string> input;
        std::vector<double> x, y;
        for (int i = 0; i <= 4; ++i) {
            for (int j = 0; j <= 4; ++j) {
                grid.emplace_back(o.lonMin + (o.lonMax - o.lonMin) * i / 4.0, o.latMin + (o.latMax - o.latMin) * j / 4.0);
                input.push_back(fdfFormat("%.12f %.12f", grid.back().first, grid.back().second));
                x.push_back(grid.back().first * CORBS_DEG_TO_RAD);
                y.push_back(grid.back().second * CORBS_DEG_TO_RAD);
            }
        }
        geo2map(x.data(), y.data(), x.size(), system);
        const std::vector<std::string> projected = run("proj -f %.7f" + definition, input);
        ASSERT_EQ(projected.size(), grid.size());
        std::vector<double> east, north;
        for (std::size_t i = 0; i < grid.size(); ++i) {
            const std::vector<double> expected = numbersOf(projected[i]);
            ASSERT_EQ(expected.size(), 2u) << projected[i];
            EXPECT_NEAR(x[i], expected[0], kMetre) << input[i];
            EXPECT_NEAR(y[i], expected[1], kMetre) << input[i];
            east.push_back(expected[0]);
            north.push_back(expected[1]);
        }
        map2geo(east.data(), north.data(), east.size(), system);
        map2geo(x.data(), y.data(), x.size(), system);
        const std::vector<std::string> inverse = run("proj -I -f %.12f" + definition, projected);
        ASSERT_EQ(inverse.size(), grid.size());
        for (std::size_t i = 0; i < grid.size(); ++i) {
            const std::vector<double> expected = numbersOf(inverse[i]);
            EXPECT_NEAR(longitudeGap(east[i] * CORBS_RAD_TO_DEG, expected[0]), 0.0, kDegree) << projected[i];
            EXPECT_NEAR(north[i] * CORBS_RAD_TO_DEG, expected[1], kDegree) << projected[i];
            EXPECT_NEAR(longitudeGap(x[i] * CORBS_RAD_TO_DEG, grid[i].first), 0.0, o.roundTrip) << input[i];
            EXPECT_NEAR(y[i] * CORBS_RAD_TO_DEG, grid[i].second, o.roundTrip) << input[i];
        }
    }
}

// GeoConvert picks the UTM zone (or UPS) of each point: the system named
// after its answer must give the same easting and northing.
TEST_F(MapProjections, UtmAndUpsAgreeWithGeoConvert) {
    std::vector<std::string> input;
    for (double lat = -89.5; lat <= 89.5; lat += 11.9) {
        for (double lon = -179.5; lon <= 179.5; lon += 23.3) input.push_back(fdfFormat("%.6f %.6f", lat, lon));
    }
    const std::vector<std::string> answers = run("GeoConvert -u -p 6", input);
    ASSERT_EQ(answers.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        std::istringstream answer(answers[i]);
        std::string zone;
        double easting = 0.0;
        double northing = 0.0;
        answer >> zone >> easting >> northing;
        const bool north = zone.back() == 'n';
        zone.pop_back();
        if (!zone.empty()) zone = std::to_string(std::stoi(zone));  // "01" is zone "1"
        YDF_MAP system;
        system.init(zone.empty() ? "UPS" : "UTM-GLOBAL", north ? "NORTH" : "SOUTH", "", zone, "", "");
        const std::vector<double> latLon = numbersOf(input[i]);
        const auto [x, y] = project(system, latLon[1], latLon[0]);
        EXPECT_NEAR(x, easting, kMetre) << input[i] << " -> " << answers[i];
        EXPECT_NEAR(y, northing, kMetre) << input[i] << " -> " << answers[i];
    }
}

// A Gauss-Krueger system of the caller's own: central meridian 9 degrees,
// scale 1, no false origin, on WGS84.
TEST_F(MapProjections, GaussKruegerAgreesWithTransverseMercatorProj) {
    CMapOverrides overrides;
    overrides.centralMeridian = 9.0 * CORBS_DEG_TO_RAD;
    overrides.scaleFactor = 1.0;
    overrides.falseEasting = 0.0;
    overrides.falseNorthing = 0.0;
    YDF_MAP system;
    system.init("GENERIC_UTM", "", "", "", "WGS84", "", overrides);
    std::vector<std::pair<double, double>> points;
    std::vector<std::string> input;
    for (double lat = -80; lat <= 80; lat += 16) {
        for (double lon = 0; lon <= 18; lon += 3) {
            points.emplace_back(lon, lat);
            input.push_back(fdfFormat("%.6f %.6f", lat, lon));
        }
    }
    expectProjected(system, points, run("TransverseMercatorProj -l 9 -k 1 -p 6", input));
}

// BING keeps its own constant: the web Mercator of PROJ scaled from the
// sphere of radius a to the sphere of half circumference 20037508.34.
TEST_F(MapProjections, BingIsTheWebMercatorOfItsOwnSphere) {
    const std::string definition = definitionOf("EPSG:3857");
    const double scale = 20037508.34 / (M_PI * parameterOf(definition, "a"));
    YDF_MAP system;
    system.init("BING", "", "", "", "", "");
    const std::vector<std::pair<double, double>> points = {{0, 0}, {180, 0}, {-90, 45}, {12.5, -60}, {179, 85}};
    std::vector<std::string> input;
    for (const auto& [lon, lat] : points) input.push_back(fdfFormat("%.6f %.6f", lon, lat));
    expectProjected(system, points, run("proj -f %.7f" + definition, input), scale);
    for (const auto& [lon, lat] : points) {
        auto [x, y] = project(system, lon, lat);
        map2geo(&x, &y, 1, system);
        EXPECT_NEAR(x * CORBS_RAD_TO_DEG, lon, kDegree);
        EXPECT_NEAR(y * CORBS_RAD_TO_DEG, lat, kDegree);
    }
    EXPECT_DOUBLE_EQ(project(system, 180, 0).first, 20037508.34);
}

// MILLER takes its sphere radius from the scale factor field.
TEST_F(MapProjections, MillerUsesTheScaleFactorAsRadius) {
    CMapOverrides overrides;
    overrides.scaleFactor = 6371000.0;
    overrides.centralMeridian = 10.0 * CORBS_DEG_TO_RAD;
    YDF_MAP system;
    system.init("MILLER", "", "", "", "", "", overrides);
    expectProjected(system, {{10, 0}, {100, 45}, {-160, -80}},
                    run("proj -f %.7f +proj=mill +R=6371000 +lon_0=10", {"10 0", "100 45", "-160 -80"}));
}

}  // namespace
}  // namespace orbs_test
