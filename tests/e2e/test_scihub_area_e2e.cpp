// The product search's area of interest: shapefiles (made by ogr2ogr from
// GeoJSON), KML files and KMZ archives.  Image lists: the README examples
// (ScihubExamples) and the unit ImageListBox test.
#include <cmath>

#include "scihub_fixture.h"

namespace e2e {
namespace {

std::string geoJsonPolygons(const std::vector<std::vector<std::pair<double, double>>>& rings) {
    std::string features;
    for (const auto& ring : rings) {
        std::string coordinates;
        for (const auto& [lon, lat] : ring)
            coordinates += (coordinates.empty() ? "" : ",") + ("[" + std::to_string(lon) + "," + std::to_string(lat) + "]");
        features += std::string(features.empty() ? "" : ",") +
                    R"({"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":[[)" + coordinates +
                    "]]}}";
    }
    return R"({"type":"FeatureCollection","features":[)" + features + "]}";
}

// A closed ring of n points (the last repeats the first) on a circle.
std::vector<std::pair<double, double>> ring(int n, double lon = 11.0, double lat = 45.0, double radius = 0.5) {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < n - 1; ++i) {
        const double angle = -2 * M_PI * i / (n - 1);
        points.emplace_back(lon + radius * std::cos(angle), lat + radius * std::sin(angle));
    }
    points.push_back(points.front());
    return points;
}

std::string kml(const std::string& coordinates) {
    return "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Placemark><Polygon>"
           "<outerBoundaryIs><LinearRing><coordinates>" +
           coordinates + "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark></Document></kml>\n";
}

class ScihubArea : public ScihubGet {
protected:
    void SetUp() override {
        ScihubGet::SetUp();
        if (IsSkipped()) return;
        if (!fs::exists("/usr/bin/ogr2ogr")) GTEST_SKIP() << "ogr2ogr is not installed";
    }

    fs::path shapefile(const std::string& name, const std::vector<std::vector<std::pair<double, double>>>& rings) {
        const fs::path json = scratch() / "area" / (name + ".geojson");
        writeFile(json, geoJsonPolygons(rings));
        const fs::path shp = scratch() / "area" / (name + ".shp");
        EXPECT_EQ(std::system(("ogr2ogr -f 'ESRI Shapefile' '" + shp.string() + "' '" + json.string() + "'").c_str()), 0);
        return shp;
    }

    RunResult runWithArea(const fs::path& area, const Fields& more = {}) {
        Fields fields = {{"input_shape", area.string()}};
        fields.insert(fields.end(), more.begin(), more.end());
        writeParameters(fields);
        return runCommand();
    }
};

TEST_F(ScihubArea, ShapefilePolygonWinsOverTheBox) {
    const fs::path shp = shapefile("square", {{{10, 44}, {12, 44}, {12, 46}, {10, 46}, {10, 44}}});
    const RunResult r = runWithArea(shp, {{"west_coord", "1"}, {"north_coord", "2"}, {"east_coord", "3"}, {"south_coord", "1"}});
    ASSERT_EQ(r.status, 0) << r.err;
    // shapelib stores outer rings clockwise; the stored first point closes it again.
    EXPECT_EQ(query(),
              "(footprint:\"Intersects(POLYGON((10.00000 44.00000,10.00000 46.00000,12.00000 46.00000,12.00000 "
              "44.00000,10.00000 44.00000,10.00000 44.00000)))\")");
}

TEST_F(ScihubArea, ShapefileLimitsAndWarnings) {
    ASSERT_EQ(runWithArea(shapefile("p200", {ring(200)})).status, 0);

    const struct { fs::path shp; std::string text; } refused[] = {
        {shapefile("p201", {ring(201)}), "The input shapefile contains 201 points. Maximum 200 points allowed."},
        {shapefile("two", {ring(5), ring(5, 20.0)}), "The input shapefile must contain 1 polygon only"},
        {scratch() / "area" / "missing.shp", (scratch() / "area" / "missing.shp").string()},
    };
    for (const auto& c : refused) {
        const RunResult r = runWithArea(c.shp);
        EXPECT_EQ(r.status, 40001 & 0xFF);
        std::string detail = errorText();
        detail.erase(std::remove(detail.begin(), detail.end(), '\n'), detail.end());
        EXPECT_NE(detail.find(c.text.substr(0, 40)), std::string::npos) << detail;
    }

    // 12 degrees wide and 2 high: only the longitude is warned about.
    const RunResult r = runWithArea(shapefile("wide", {{{4, 44}, {16, 44}, {16, 46}, {4, 46}, {4, 44}}}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string warnings = readFile(work() / "Process.working_warning");
    EXPECT_NE(warnings.find("Longitude difference 12.000000 > 10.0"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("Latitude difference"), std::string::npos);
    EXPECT_NE(query().find("(footprint:"), std::string::npos);
}

TEST_F(ScihubArea, KmlAndKmzAreasAreConvertedAndCleanedUp) {
    const std::string square = "10,44,0 12,44,0 12,46,0 10,46,0 10,44,0";
    const std::string expected = "(footprint:\"Intersects(POLYGON((10.00000 44.00000,";
    writeFile(scratch() / "area" / "zone.kml", kml(square));
    RunResult r = runWithArea(scratch() / "area" / "zone.kml");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(query().substr(0, expected.size()), expected);
    for (const char* part : {".shp", ".shx", ".dbf", ".prj"})
        EXPECT_FALSE(fs::exists(scratch() / "run" / (std::string("out_aoi") + part))) << part;

    // A KMZ: the first entry whose name holds ".kml" (a.kml.bak counts),
    // extracted beside the progress file and kept; its shapefile removed.
    const fs::path kmz = scratch() / "area" / "zone.kmz";
    writeFile(scratch() / "kmz" / "a.kml.bak", kml("20,40,0 21,40,0 21,41,0 20,40,0"));
    writeFile(scratch() / "kmz" / "doc.kml", kml(square));
    ASSERT_EQ(std::system(("cd '" + (scratch() / "kmz").string() + "' && zip -q '" + kmz.string() +
                           "' a.kml.bak doc.kml").c_str()),
              0);
    r = runWithArea(kmz);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(query().find("20.00000 40.00000"), std::string::npos) << query();
    EXPECT_EQ(readFile(scratch() / "run" / "zone.kml"), readFile(scratch() / "kmz" / "a.kml.bak"));
    EXPECT_FALSE(fs::exists(scratch() / "run" / "zone.shp"));

    // A damaged archive: the parameters cannot be completed.
    writeFile(kmz, "PK\x03\x04 not really a zip archive");
    r = runWithArea(kmz);
    EXPECT_EQ(r.status, 40001 & 0xFF);
    EXPECT_NE(readFile(work() / "Process.log").find("Error input roi convertion to shp file: 70034"), std::string::npos);

    // Only the exact lower-case extensions are converted: an upper-case
    // .KML is read as a shapefile, whose attribute table is missing.
    fs::copy_file(scratch() / "area" / "zone.kml", scratch() / "area" / "ZONE.KML");
    r = runWithArea(scratch() / "area" / "ZONE.KML");
    EXPECT_EQ(r.status, 40002 & 0xFF);
    EXPECT_NE(errorText().find("ZONE.dbf"), std::string::npos) << errorText();
}

}  // namespace
}  // namespace e2e
