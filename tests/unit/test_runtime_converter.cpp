// KML to shapefile conversion, checked by reading the result back with
// shapelib and with GDAL's ogrinfo.
#include "orbs_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include <shapefil.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Ring = std::vector<std::array<double, 2>>;

namespace {

// Counter-clockwise as KML wants it, with altitudes, an inner ring and a
// second polygon that must all be left out.
const std::string kZoneKml = R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document><Placemark><name>zone</name>
<Polygon><extrude>0</extrude><outerBoundaryIs><LinearRing><coordinates>
  10.5,45.25,120 11.75,45.25,130
  11.75,46.5,0 10.5,46.5,0 10.5,45.25,120
</coordinates></LinearRing></outerBoundaryIs>
<innerBoundaryIs><LinearRing><coordinates>10.9,45.6 11,45.6 11,45.7 10.9,45.6</coordinates></LinearRing></innerBoundaryIs>
</Polygon></Placemark>
<Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>0,0 1,0 1,1 0,0</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>
</Document></kml>)";

class RuntimeConverter : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orbs_converter_XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(dir); }

    bool convert(const std::string& kml, const std::string& operation = "kml_to_shapefile") {
        std::ofstream(dir / "in.kml") << kml;
        return converter::convert((dir / "in.kml").string(), shp, operation, "", "");
    }
    // The single part of the single polygon, or nothing.
    Ring readBack() const {
        Ring ring;
        SHPHandle handle = SHPOpen(shp.c_str(), "rb");
        int entities = 0, type = 0;
        if (handle != nullptr) SHPGetInfo(handle, &entities, &type, nullptr, nullptr);
        SHPObject* polygon = entities == 1 && type == SHPT_POLYGON ? SHPReadObject(handle, 0) : nullptr;
        for (int i = 0; polygon != nullptr && polygon->nParts == 1 && i < polygon->nVertices; ++i)
            ring.push_back({polygon->padfX[i], polygon->padfY[i]});
        if (polygon != nullptr) SHPDestroyObject(polygon);
        if (handle != nullptr) SHPClose(handle);
        return ring;
    }
    bool anyOutput() const {
        return std::any_of(fs::directory_iterator(dir), fs::directory_iterator(),
                           [](const fs::directory_entry& entry) { return entry.path().stem() == "out"; });
    }

    fs::path dir;
    std::string shp = (fs::temp_directory_path() / "unset").string();
};

}  // namespace

TEST_F(RuntimeConverter, FirstOuterRingBecomesAOnePolygonShapefile) {
    shp = (dir / "out.shp").string();
    ASSERT_TRUE(convert(kZoneKml));
    Ring ring = readBack();
    ASSERT_EQ(ring.size(), 5u);
    EXPECT_EQ(ring.front(), ring.back());
    double twiceArea = 0.0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i)
        twiceArea += ring[i][0] * ring[i + 1][1] - ring[i + 1][0] * ring[i][1];
    EXPECT_LT(twiceArea, 0.0) << "a shapefile outer ring runs clockwise";
    Ring expected = {{10.5, 45.25}, {10.5, 46.5}, {11.75, 45.25}, {11.75, 46.5}};
    ring.pop_back();
    std::sort(ring.begin(), ring.end());
    EXPECT_EQ(ring, expected);

    DBFHandle dbf = DBFOpen((dir / "out.dbf").c_str(), "rb");
    ASSERT_NE(dbf, nullptr);
    EXPECT_EQ(DBFGetRecordCount(dbf), 1);
    EXPECT_GE(DBFGetFieldCount(dbf), 1);
    DBFClose(dbf);
    std::ifstream prj(dir / "out.prj");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(prj), {}).find("WGS_1984"), std::string::npos);

    // A namespace prefix and a ring left open are tolerated.
    ASSERT_TRUE(convert(R"(<k:kml xmlns:k="http://www.opengis.net/kml/2.2"><k:Polygon><k:outerBoundaryIs>
        <k:LinearRing><k:coordinates>1,2 3,2 3,4</k:coordinates></k:LinearRing></k:outerBoundaryIs></k:Polygon></k:kml>)"));
    ring = readBack();
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.front(), ring.back());
}

TEST_F(RuntimeConverter, OgrinfoSeesOnePolygonFeature) {
    if (!fs::exists("/usr/bin/ogrinfo")) GTEST_SKIP() << "gdal-bin (ogrinfo) is not installed";
    shp = (dir / "zone.shp").string();
    ASSERT_TRUE(convert(kZoneKml));
    // The path comes from mkdtemp and holds no quote.
    std::unique_ptr<FILE, decltype(&pclose)> out(popen(("/usr/bin/ogrinfo -al -so '" + shp + "'").c_str(), "r"), &pclose);
    ASSERT_TRUE(out);
    std::string report;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out.get())) > 0;) report.append(buffer, n);
    EXPECT_NE(report.find("Geometry: Polygon"), std::string::npos) << report;
    EXPECT_NE(report.find("Feature Count: 1"), std::string::npos) << report;
}

TEST_F(RuntimeConverter, DocumentsWithoutAUsablePolygonWriteNothing) {
    shp = (dir / "out.shp").string();
    auto withRing = [](const std::string& coordinates) {
        return "<Polygon><outerBoundaryIs><LinearRing><coordinates>" + coordinates +
               "</coordinates></LinearRing></outerBoundaryIs></Polygon>";
    };
    const std::string innerOnly = "<Polygon><innerBoundaryIs><LinearRing><coordinates>0,0 1,0 1,1 0,0</coordinates>"
                                  "</LinearRing></innerBoundaryIs></Polygon>";
    for (const std::string& body : {std::string("<Point><coordinates>1,2,0</coordinates></Point>"),
                                    innerOnly + withRing("0,0 1,0 1,1 0,0"), withRing("0,0 1,0 0,0"),
                                    withRing("0,0 1,x 1,1 0,0"), withRing("0,0 200,0 1,1 0,0"),
                                    withRing("0,0 1,0,0,0 1,1 0,0"), std::string("<Polygon>")}) {
        EXPECT_FALSE(convert("<kml>" + body + "</kml>")) << body;
        EXPECT_FALSE(anyOutput()) << body;
    }
    EXPECT_FALSE(convert(kZoneKml, "shapefile_to_kml"));
    EXPECT_FALSE(anyOutput());
}
