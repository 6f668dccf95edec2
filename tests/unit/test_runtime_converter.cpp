// KML to shapefile conversion, checked by reading the result back with
// shapelib and with GDAL's ogrinfo.
#include "orbs_converter.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include <shapefil.h>

#include "core_test_support.h"

namespace orbs_test {
namespace {

using Ring = std::vector<std::array<double, 2>>;

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
    bool convert(const std::string& kml, const std::string& operation = "kml_to_shapefile") {
        writeFile(dir.path() / "in.kml", kml);
        return converter::convert((dir.path() / "in.kml").string(), shp, operation, "", "");
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

    TempDir dir;
    std::string shp = (dir.path() / "out.shp").string();
};

TEST_F(RuntimeConverter, FirstOuterRingBecomesAOnePolygonShapefile) {
    // The ring's order and orientation: the README examples (ScihubGet).
    ASSERT_TRUE(convert(kZoneKml));
    Ring ring = readBack();
    ASSERT_EQ(ring.size(), 5u);
    ring.pop_back();
    std::sort(ring.begin(), ring.end());
    EXPECT_EQ(ring, (Ring{{10.5, 45.25}, {10.5, 46.5}, {11.75, 45.25}, {11.75, 46.5}}));

    DBFHandle dbf = DBFOpen((dir.path() / "out.dbf").c_str(), "rb");
    ASSERT_NE(dbf, nullptr);
    EXPECT_EQ(DBFGetRecordCount(dbf), 1);
    DBFClose(dbf);
    EXPECT_NE(readFile(dir.path() / "out.prj").find("WGS_1984"), std::string::npos);
    // Another reader sees the same single polygon (the path holds no quote).
    if (fs::exists("/usr/bin/ogrinfo")) {
        const std::string report = (dir.path() / "ogrinfo.txt").string();
        ASSERT_EQ(std::system(("/usr/bin/ogrinfo -al -so '" + shp + "' > '" + report + "'").c_str()), 0);
        EXPECT_NE(readFile(report).find("Geometry: Polygon"), std::string::npos) << readFile(report);
        EXPECT_NE(readFile(report).find("Feature Count: 1"), std::string::npos) << readFile(report);
    }

    // A namespace prefix and a ring left open are tolerated.
    ASSERT_TRUE(convert(R"(<k:kml xmlns:k="http://www.opengis.net/kml/2.2"><k:Polygon><k:outerBoundaryIs>
        <k:LinearRing><k:coordinates>1,2 3,2 3,4</k:coordinates></k:LinearRing></k:outerBoundaryIs></k:Polygon></k:kml>)"));
    ring = readBack();
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.front(), ring.back());
}

TEST_F(RuntimeConverter, DocumentsWithoutAUsablePolygonWriteNothing) {
    auto withRing = [](const std::string& coordinates) {
        return "<Polygon><outerBoundaryIs><LinearRing><coordinates>" + coordinates +
               "</coordinates></LinearRing></outerBoundaryIs></Polygon>";
    };
    const std::string innerOnly = "<Polygon><innerBoundaryIs><LinearRing><coordinates>0,0 1,0 1,1 0,0</coordinates>"
                                  "</LinearRing></innerBoundaryIs></Polygon>";
    auto anyOutput = [&] {
        return std::any_of(fs::directory_iterator(dir.path()), fs::directory_iterator(),
                           [](const fs::directory_entry& entry) { return entry.path().stem() == "out"; });
    };
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

}  // namespace
}  // namespace orbs_test
