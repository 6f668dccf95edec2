// CShapeSet on shapefiles made by ogr2ogr from GeoJSON, written back and read
// by ogrinfo; the XML shape description; the type table; the convex hull.
// KML to shapefile conversion, read back with shapelib and ogrinfo; KMZ
// archives made here with libzip.
#include <zip.h>

#include <algorithm>
#include <array>
#include <set>
#include <tuple>

#include <shapefil.h>

#include "map_test_support.h"
#include "orbs_archive.h"
#include "orbs_converter.h"
#include "orbs_description_section.h"
#include "orbs_shape_utility.h"

namespace orbs_test {
namespace {

using NORBS_SHAPE_UTILITY::shapeTypeName;

// Two squares, the first with a square hole; each ring closed (5 points).
const char* const kPolygonWithHole =
    R"({"type":"MultiPolygon","coordinates":[[[[0,0],[10,0],[10,10],[0,10],[0,0]],[[2,2],[2,4],[4,4],[4,2],[2,2]]],)"
    R"([[[20,0],[30,0],[30,10],[20,10],[20,0]]]]})";

class ShapeSetTest : public MapTest {
protected:
    // A shapefile written by ogr2ogr from features given as GeoJSON.
    std::string shapefile(const std::string& name, const std::vector<std::string>& features,
                          const std::string& options = "") {
        std::string collection = R"({"type":"FeatureCollection","features":[)";
        for (std::size_t i = 0; i < features.size(); ++i) collection += (i ? "," : "") + features[i];
        writeFile(dir() / (name + ".geojson"), collection + "]}");
        EXPECT_EQ(commandOutput("ogr2ogr -f 'ESRI Shapefile' " + options + " " + quoted(at(name + ".shp")) + " " +
                                quoted(at(name + ".geojson")) + " && echo done"),
                  "done\n")
            << name;
        return at(name + ".shp");
    }
    static std::string feature(const std::string& properties, const std::string& geometry) {
        return R"({"type":"Feature","properties":{)" + properties + R"(},"geometry":)" + geometry + "}";
    }
};

TEST_F(ShapeSetTest, PolygonWithAHoleAndSeveralParts) {
    const std::string path = shapefile("poly", {feature(R"("name":"field")", kPolygonWithHole)});
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile(path));
    EXPECT_EQ(std::vector<int64_t>({set.mNumberOfShapes, set.mShapeType, set.mTotalNumberOfPoints}),
              std::vector<int64_t>({1, 5, 15}));
    EXPECT_EQ(std::vector<double>({set.mXMin, set.mXMax, set.mYMin, set.mYMax}), std::vector<double>({0, 30, 0, 10}));
    const CShapeRecord& shape = set.mShapes[0];
    EXPECT_EQ(shape.mId, 1);
    EXPECT_EQ(shape.mPartStarts, std::vector<int32_t>({0, 5, 10}));
    // Each part holds its ring, closed, whatever orientation the writer chose.
    const std::vector<std::set<std::pair<double, double>>> rings = {
        {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{2, 2}, {2, 4}, {4, 4}, {4, 2}}, {{20, 0}, {30, 0}, {30, 10}, {20, 10}}};
    for (std::size_t part = 0; part < 3; ++part) {
        std::set<std::pair<double, double>> ring;
        for (std::size_t v = part * 5; v < part * 5 + 5; ++v) ring.insert({shape.mPoints[v].x, shape.mPoints[v].y});
        EXPECT_EQ(ring, rings[part]) << part;
        EXPECT_EQ(shape.mPoints[part * 5].x, shape.mPoints[part * 5 + 4].x);
    }
    EXPECT_TRUE(std::all_of(shape.mPoints.begin(), shape.mPoints.end(), [](const CShapePoint& p) { return p.z == 0.0; }));
    EXPECT_EQ(set.getFieldData(0, set.findFieldIndex("name")), "field");
    EXPECT_EQ(set.getFieldData(1, 0), std::nullopt);  // the record after the last
    EXPECT_EQ(set.getFieldName(1), std::nullopt);
}

TEST_F(ShapeSetTest, HeightsComeFromTheVerticesOrTheZField) {
    const std::string polygonZ =
        shapefile("polyz", {feature("", R"({"type":"Polygon","coordinates":[[[0,0,5],[1,0,6],[1,1,7],[0,0,5]]]})")});
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile(polygonZ));
    EXPECT_EQ(shapeTypeName(set.mShapeType), std::string("POLYGONZ"));
    std::multiset<double> heights;
    for (const CShapePoint& p : set.mShapes[0].mPoints) heights.insert(p.z);
    EXPECT_EQ(heights, std::multiset<double>({5, 5, 6, 7}));

    const std::string points = shapefile(
        "points", {feature(R"("zi":7,"zd":2.25,"zs":"12.5","ID":41)", R"({"type":"Point","coordinates":[1,2]})"),
                   feature(R"("zi":-3,"zd":0.5,"zs":"x","ID":42)", R"({"type":"Point","coordinates":[3,4]})")});
    for (const auto& [field, first, second] :
         {std::tuple{"zi", 7.0, -3.0}, {"zd", 2.25, 0.5}, {"zs", 12.5, 0.0}, {"none", -1.5, -1.5}}) {
        ASSERT_TRUE(set.InitFromShapeFile(points, nullptr, "", "", field, false, -1.5)) << field;
        EXPECT_EQ(set.mShapes[0].mPoints[0].z, first) << field;
        EXPECT_EQ(set.mShapes[1].mPoints[0].z, second) << field;
    }
    EXPECT_EQ(set.mShapes[1].mId, 42);  // the "ID" field
    ASSERT_TRUE(set.InitFromShapeFile(points, nullptr, "", "zi", ""));
    EXPECT_EQ(set.mShapes[1].mId, -3);
    EXPECT_EQ(set.getFieldType(set.findFieldIndex("zd")), "FTDouble");
    EXPECT_EQ(set.getFieldData(0, set.findFieldIndex("zd")), "2.25");
}

TEST_F(ShapeSetTest, BrokenShapefilesGiveTheirCodes) {
    const std::string square = R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0]]]})";
    const std::string noIndex = shapefile("noshx", {feature("", square)});
    fs::remove(dir() / "noshx.shx");
    // A .dbf of two records beside a shapefile of one.
    const std::string one = shapefile("one", {feature("", square)});
    shapefile("two", {feature("", square), feature("", square)});
    fs::copy_file(dir() / "two.dbf", dir() / "one.dbf", fs::copy_options::overwrite_existing);
    const std::pair<std::string, int> cases[] = {
        {noIndex, ORBS_EC_FILE_NOT_FOUND},
        {shapefile("mpz", {feature("", R"({"type":"MultiPoint","coordinates":[[1,2,3],[4,5,6]]})")}), ORBS_EC_FILE_NOT_OPENED},
        {shapefile("empty", {}, "-nlt POLYGON"), ORBS_EC_FILE_NOT_OPENED},
        {one, ORBS_EC_FILE_NOT_OPENED},
        {at("absent.shp"), ORBS_EC_FILE_NOT_FOUND}};
    CShapeSet set;
    for (const auto& [path, code] : cases) {
        EXPECT_FALSE(set.InitFromShapeFile(path)) << path;
        EXPECT_EQ(set.mError.get_error_code(), code) << path;
        EXPECT_EQ(set.mError.get_error_other_info(), path);
        EXPECT_EQ(set.mNumberOfShapes, 0);
    }
    fs::remove(dir() / "one.dbf");
    EXPECT_EQ(raisedCode([&] { set.InitFromShapeFile(one); }), ORBS_EC_FILE_NOT_FOUND);
    EXPECT_FALSE(set.InitFromShapeFile(""));
}

TEST_F(ShapeSetTest, UpperCaseCompanionsAreFound) {
    shapefile("upper", {feature(R"("n":1)", R"({"type":"Point","coordinates":[1,2]})")});
    for (const std::string extension : {"shp", "shx", "dbf"}) {
        std::string upper = extension;
        fs::rename(at("upper." + extension), at("upper." + fdfToUpper(upper)));
    }
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile(at("upper.SHP")));
    EXPECT_EQ(set.mShapes[0].mPoints[0].y, 2.0);
}

// A geocoded raster header gives the system the geographic points go to.
TEST_F(ShapeSetTest, GeographicPointsGoIntoTheHeadersSystem) {
    const std::string path = shapefile("geo", {feature("", R"({"type":"Point","coordinates":[15.5,45.25]})")});
    CSectionDataGroup header;
    CSectionData& section = header.addSection(std::make_unique<CSectionData>("CartographicSystem"));
    for (const char* field : {"State", "Zone", "GeocodedImage"})
        section.addField(std::make_unique<CSectionField>(field, CORBS_DS_SCALAR, CORBS_DS_STRING));
    section.addField(std::make_unique<CSectionField>("LonEasting", CORBS_DS_SCALAR, CORBS_DS_DOUBLE));
    header.setValue("State", std::string("UTM-GLOBAL"));
    header.setValue("Zone", std::string("33"));
    header.setValue("LonEasting", 300000.0);
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile(path, &header));
    EXPECT_FALSE(set.mHasMap);  // not marked geocoded: ignored
    EXPECT_EQ(set.mGridX, 0.0);

    header.setValue("GeocodedImage", std::string("ok"));
    ASSERT_TRUE(set.InitFromShapeFile(path, &header));
    ASSERT_TRUE(set.mHasMap);
    EXPECT_EQ(set.mGridX, 300000.0);
    EXPECT_EQ(set.mGridSpacingY, -1.0);
    const std::vector<double> expected = numbersOf(run("GeoConvert -u -z 33 -p 6", {"45.25 15.5"}).at(0));
    EXPECT_NEAR(set.mShapes[0].mPoints[0].x, expected[0], 1e-3);
    EXPECT_NEAR(set.mShapes[0].mPoints[0].y, expected[1], 1e-3);
    // Points that are not degrees are left alone.
    EXPECT_FALSE(set.projectGeographicPoints());
    EXPECT_NEAR(set.mShapes[0].mPoints[0].x, expected[0], 1e-3);
}

TEST_F(ShapeSetTest, WrittenShapefilesReadBackInOgrinfo) {
    const std::string path = shapefile(
        "source", {feature(R"("name":"a lake","count":12,"depth":3.75)", kPolygonWithHole),
                   feature(R"("name":"b","count":-4,"depth":0.125)",
                           R"({"type":"Polygon","coordinates":[[[40,40],[41,40],[41,41],[40,40]]]})")});
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile(path));
    set.mShapes[1].mPoints[0].z = 9.5;
    set.mMap = std::make_unique<YDF_MAP>();
    set.mMap->init("GEO-GLOBAL", "", "", "", "", "");
    set.mHasMap = true;
    const std::string written = at("written.shp");
    set.writeGenericShape(written, "height");

    const std::string text = commandOutput("ogrinfo -al -q " + quoted(written));
    EXPECT_NE(text.find("name (String) = a lake"), std::string::npos) << text;
    EXPECT_NE(text.find("count (Integer) = -4"), std::string::npos) << text;  // the width read is kept
    EXPECT_NE(text.find("depth (Real) = 0.125"), std::string::npos) << text;
    EXPECT_NE(text.find("height (Real) = 9.5"), std::string::npos) << text;
    EXPECT_NE(text.find("MULTIPOLYGON (((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2)),((20 0,20 10,30 10,30 0,20 0)))"),
              std::string::npos) << text;
    EXPECT_TRUE(fs::exists(dir() / "written.prj"));

    EXPECT_EQ(raisedCode([&] { set.writeGenericShape(at("no/such/dir/x.shp")); }), ORBS_EC_COPY_FAILED);
}

TEST_F(ShapeSetTest, AttributeTableTraceAndSelection) {
    const std::string point = R"({"type":"Point","coordinates":[1,2]})";
    shapefile("trace_table", {feature(R"("k":1)", point), feature(R"("k":2)", point), feature(R"("k":3)", point)});
    CShapeSet set;
    const std::vector<int> selection = {1, 0, 5};
    ASSERT_TRUE(CShapeSet::readDbfShapeInfo(at("trace_table.dbf"), set.mDbfShapeInfo, &selection));
    EXPECT_EQ(set.getNumberOfShape(), 2);
    EXPECT_EQ(set.getFieldData(1, 0), "3");
    EXPECT_GT(set.getFieldSize(0), 0);
    EXPECT_EQ(set.getFieldSize(1), -1);
    EXPECT_NE(readFile(dir() / "trace_table.dbf_hdr").find("<NumberOfShape>2</NumberOfShape>"), std::string::npos);
}

TEST_F(ShapeSetTest, XmlShapeDescription) {
    const std::string xml =
        R"(<SHAPES TYPE="POLYGON"><CLASSES_NUMBER>1</CLASSES_NUMBER><CLASS_NAME>water</CLASS_NAME><CLASSES_RGB/>)"
        R"(<CLASS_RGB RED="0" GREEN="10" BLUE="255"/><GEOCODED/><State>UTM-GLOBAL</State><Zone>32</Zone>)"
        R"(<Hemisphere>SOUTH</Hemisphere><UPPER_LEFT_X>1000</UPPER_LEFT_X><UPPER_LEFT_Y>2000</UPPER_LEFT_Y>)"
        R"(<TOTAL_NUMBER_OF_POINTS>4</TOTAL_NUMBER_OF_POINTS><SHAPES_NUMBER>2</SHAPES_NUMBER>)"
        R"(<DBF_FIELDS_NAME NUMBER="1"/><FIELD TYPE="FTString">NAME</FIELD>)"
        R"(<SHAPE><CLASS_OF_SHAPE>7</CLASS_OF_SHAPE><FIELD>first</FIELD><POINTS_LIST NUMBER_OF_POINT="1"/>)"
        R"(<POINT X="-5" Y="6" Z="1"/></SHAPE><SHAPE><CLASS_OF_SHAPE>8</CLASS_OF_SHAPE><PARTS_NUMBER>2</PARTS_NUMBER>)"
        R"(<PART>0</PART><PART>2</PART><AREA>12.5</AREA><FIELD>second</FIELD><POINTS_LIST NUMBER_OF_POINT="3"/>)"
        R"(<POINT X="1" Y="2" Z="3"/><POINT X="4" Y="5" Z="6"/><POINT X="7" Y="8" Z="9"/></SHAPE></SHAPES>)";
    writeFile(dir() / "shapes.xml", xml);
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile(at("shapes.xml")));
    EXPECT_EQ(set.mShapeType, 5);
    EXPECT_EQ(set.mClassNames, std::vector<std::string>({"water"}));
    EXPECT_EQ(set.mClassColours.at(0)[2], 255);
    ASSERT_TRUE(set.mHasMap);
    EXPECT_EQ(set.mMap->mHemisphere, "SOUTH");
    EXPECT_EQ(std::vector<double>({set.mGridX, set.mGridSpacingX}), std::vector<double>({1000, 1}));
    ASSERT_EQ(set.mNumberOfShapes, 2);
    EXPECT_EQ(set.mShapes[0].mId, 7);
    EXPECT_EQ(set.mShapes[1].mPartStarts, std::vector<int32_t>({0, 2}));
    // Each shape's own area; no system given: absolute values.
    EXPECT_EQ(std::vector<double>({set.mShapes[0].mArea, set.mShapes[1].mArea, set.mShapes[0].mPoints[0].x,
                                   set.mShapes[1].mPoints[2].z}),
              std::vector<double>({0.0, 12.5, 5.0, 9.0}));
    EXPECT_EQ(set.getFieldData(1, set.findFieldIndex("NAME")), "second");

    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"NUMBER_OF_POINT=\"3\"", "NUMBER_OF_POINT=\"0\""}, {"<SHAPES_NUMBER>2<", "<SHAPES_NUMBER>2000000000<"},
             {"TYPE=\"POLYGON\"", "TYPE=\"POINTZ\""}, {"<State>UTM-GLOBAL</State>", ""}, {"</SHAPES>", ""}}) {
        std::string text = xml;
        writeFile(dir() / "broken.xml", text.replace(text.find(from), from.size(), to));
        EXPECT_EQ(raisedCode([&] { set.InitFromShapeFile(at("broken.xml")); }), ORBS_EC_FILE_NOT_OPENED) << from;
    }
}

TEST(ConvexHull, KeepsTheCornersSortedById) {
    // A square's corners, a point inside, points on the edges.
    const std::vector<CHullPoint> points = {{5, 0, 0}, {3, 10, 0}, {9, 10, 10}, {1, 0, 10}, {4, 5, 5},
                                            {7, 5, 0}, {8, 10, 5}, {2, 2, 8}};
    std::vector<int32_t> ids;
    for (const CHullPoint& p : CShapeSet::convexHull(points)) ids.push_back(p.id);
    EXPECT_EQ(ids, std::vector<int32_t>({1, 3, 5, 9}));
    const std::vector<CHullPoint> two = {{2, 0, 0}, {1, 1, 1}};
    EXPECT_EQ(CShapeSet::convexHull(two)[0].id, 2);
}

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

class RuntimeConverter : public CleanCoreTest {
protected:
    bool convert(const std::string& kml, const std::string& operation = "kml_to_shapefile") {
        writeFile(dir() / "in.kml", kml);
        return converter::convert(at("in.kml"), shp, operation, "", "");
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

    const std::string shp = at("out.shp");
};

TEST_F(RuntimeConverter, FirstOuterRingBecomesAOnePolygonShapefile) {
    // The ring's order and orientation: the README examples (ScihubGet).
    ASSERT_TRUE(convert(kZoneKml));
    Ring ring = readBack();
    ASSERT_EQ(ring.size(), 5u);
    ring.pop_back();
    std::sort(ring.begin(), ring.end());
    EXPECT_EQ(ring, (Ring{{10.5, 45.25}, {10.5, 46.5}, {11.75, 45.25}, {11.75, 46.5}}));
    DBFHandle dbf = DBFOpen(at("out.dbf").c_str(), "rb");
    ASSERT_NE(dbf, nullptr);
    EXPECT_EQ(DBFGetRecordCount(dbf), 1);
    DBFClose(dbf);
    EXPECT_NE(readFile(dir() / "out.prj").find("WGS_1984"), std::string::npos);
    // Another reader sees the same single polygon.
    const std::string report = commandOutput("ogrinfo -al -so " + quoted(shp));
    EXPECT_NE(report.find("Geometry: Polygon"), std::string::npos) << report;
    EXPECT_NE(report.find("Feature Count: 1"), std::string::npos) << report;

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
        return std::any_of(fs::directory_iterator(dir()), fs::directory_iterator(),
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

// Members are stored uncompressed so that a test can damage their bytes.
void makeZip(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& members) {
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, content] : members) {
        const zip_int64_t index =
            zip_file_add(archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0), 0);
        ASSERT_GE(index, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

TEST(RuntimeArchive, EntriesInArchiveOrderAndExtraction) {
    const TempDir dir;
    makeZip(dir.path() / "zone.kmz",
            {{"doc.kml", "<kml>doc</kml>"}, {"other.kml", "<kml>other</kml>"}, {"images/a.png", "png"}});
    OrbsArchive archive;
    ASSERT_TRUE(archive.load(dir.at("zone.kmz")));
    ASSERT_EQ(archive.getNrOfEntries(), 3u);
    EXPECT_EQ(archive.at(0).getFilename() + archive.at(1).getFilename() + archive.at(2).getFilename(),
              "doc.kmlother.kmlimages/a.png");
    writeFile(dir.path() / "zone.kml", "an older, longer file that must be replaced entirely");
    ASSERT_TRUE(archive.extractAs(0, dir.at("zone.kml")));
    EXPECT_EQ(readFile(dir.path() / "zone.kml"), "<kml>doc</kml>");
    EXPECT_FALSE(archive.extractAs(3, dir.at("none")));
    EXPECT_FALSE(archive.extractAs(0, dir.at("no/such/dir/x.kml")));
}

// A file that is no archive at all is refused in the end-to-end tests.
TEST(RuntimeArchive, DamagedOrMissingArchivesAreRefused) {
    const TempDir dir;
    const fs::path kmz = dir.path() / "zone.kmz";
    makeZip(kmz, {{"doc.kml", std::string(4000, 'k')}});
    std::string bytes = readFile(kmz);
    writeFile(dir.path() / "truncated.kmz", bytes.substr(0, bytes.size() / 2));
    for (const char* name : {"truncated.kmz", "missing.kmz"}) {
        OrbsArchive archive;
        EXPECT_FALSE(archive.load(dir.at(name))) << name;
        EXPECT_EQ(archive.getNrOfEntries(), 0u) << name;
    }
    // Damaged member data: the checksum refuses it and no file is left.
    bytes[bytes.find(std::string(100, 'k')) + 50] = 'X';
    writeFile(kmz, bytes);
    OrbsArchive archive(kmz.string());
    ASSERT_TRUE(archive.load());
    EXPECT_FALSE(archive.extractAs(0, dir.at("doc.kml")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace orbs_test
