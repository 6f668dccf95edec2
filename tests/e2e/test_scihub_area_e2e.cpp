// The product search's area of interest: shapefiles (made by ogr2ogr from
// GeoJSON), KML files and KMZ archives.  The README examples (also image
// lists): ScihubGet.ReadmeQueriesAreWhatTheExamplesBuild.
#include <cmath>
#include "e2e_support.h"

namespace e2e {
namespace {
using Ring = std::vector<std::pair<double, double>>;

// A closed ring of n points (the last repeats the first) on a circle.
Ring ring(int n, double lon = 11.0) {
    Ring points;
    for (int i = 0; i < n - 1; ++i)
        points.emplace_back(lon + 0.5 * std::cos(-2 * M_PI * i / (n - 1)), 45.0 + 0.5 * std::sin(-2 * M_PI * i / (n - 1)));
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
        if (!IsSkipped() && !fs::exists("/usr/bin/ogr2ogr")) GTEST_SKIP() << "ogr2ogr is not installed";
    }

    // A shapefile of one polygon per ring.
    fs::path shapefile(const std::string& name, const std::vector<Ring>& rings) {
        std::string features;
        for (const Ring& r : rings) {
            std::string coordinates;
            for (const auto& [lon, lat] : r)
                coordinates += (coordinates.empty() ? "[" : ",[") + std::to_string(lon) + "," + std::to_string(lat) + "]";
            features += std::string(features.empty() ? "" : ",") +
                        R"({"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":[[)" +
                        coordinates + "]]}}";
        }
        const fs::path json = scratch() / "area" / (name + ".geojson"), shp = scratch() / "area" / (name + ".shp");
        writeFile(json, R"({"type":"FeatureCollection","features":[)" + features + "]}");
        EXPECT_EQ(std::system(("ogr2ogr -f 'ESRI Shapefile' '" + shp.string() + "' '" + json.string() + "'").c_str()), 0);
        return shp;
    }

    RunResult runWithArea(const fs::path& area, Fields fields = {}) {
        fields.emplace_back("input_shape", area.string());
        writeParameters(fields);
        return runCommand();
    }
};

TEST_F(ScihubArea, ShapefileLimitsWarningsAndPolygonOverBox) {
    ASSERT_EQ(runWithArea(shapefile("p200", {ring(200)})).status, 0);
    const struct { fs::path shp; std::string text; } refused[] = {
        {shapefile("p201", {ring(201)}), "The input shapefile contains 201 points. Maximum 200 points allowed."},
        {shapefile("two", {ring(5), ring(5, 20.0)}), "The input shapefile must contain 1 polygon only"},
        {scratch() / "area" / "missing.shp", (scratch() / "area" / "missing.shp").string()},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(runWithArea(c.shp).status, 40001 & 0xFF);
        std::string detail = errorText();
        detail.erase(std::remove(detail.begin(), detail.end(), '\n'), detail.end());
        EXPECT_NE(detail.find(c.text.substr(0, 40)), std::string::npos) << detail;
    }
    // 12 degrees wide and 2 high, and a box: the polygon wins over the box
    // (shapelib stores outer rings clockwise; the stored first point closes
    // it again), and only the longitude is warned about.
    const RunResult r = runWithArea(shapefile("wide", {{{4, 44}, {16, 44}, {16, 46}, {4, 46}, {4, 44}}}),
                                    {{"west_coord", "1"}, {"north_coord", "2"}, {"east_coord", "3"}, {"south_coord", "1"}});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string warnings = readFile(work() / "Process.working_warning");
    EXPECT_NE(warnings.find("Longitude difference 12.000000 > 10.0"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("Latitude difference"), std::string::npos);
    EXPECT_EQ(query(), "(footprint:\"Intersects(POLYGON((4.00000 44.00000,4.00000 46.00000,16.00000 46.00000,16.00000 "
                       "44.00000,4.00000 44.00000,4.00000 44.00000)))\")");
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
    ASSERT_EQ(std::system(("cd '" + (scratch() / "kmz").string() + "' && zip -q '" + kmz.string() + "' a.kml.bak doc.kml").c_str()), 0);
    r = runWithArea(kmz);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(query().find("20.00000 40.00000"), std::string::npos) << query();
    EXPECT_EQ(readFile(scratch() / "run" / "zone.kml"), readFile(scratch() / "kmz" / "a.kml.bak"));
    EXPECT_FALSE(fs::exists(scratch() / "run" / "zone.shp"));

    // A damaged archive (its code and report: HostileArea): the log names the conversion.
    writeFile(kmz, "PK\x03\x04 not really a zip archive");
    runWithArea(kmz);
    EXPECT_NE(readFile(work() / "Process.log").find("Error input roi convertion to shp file: 70034"), std::string::npos);

    // Only the exact lower-case extensions are converted: an upper-case
    // .KML is read as a shapefile, whose attribute table is missing.
    fs::copy_file(scratch() / "area" / "zone.kml", scratch() / "area" / "ZONE.KML");
    EXPECT_EQ(runWithArea(scratch() / "area" / "ZONE.KML").status, 40002 & 0xFF);
    EXPECT_NE(errorText().find("ZONE.dbf"), std::string::npos) << errorText();
}
}  // namespace
}  // namespace e2e
