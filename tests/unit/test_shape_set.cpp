// CShapeSet on shapefiles made by ogr2ogr from GeoJSON, written back and read
// by ogrinfo; the XML shape description; the type table; the convex hull.
#include <algorithm>
#include <set>

#include "map_test_support.h"
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
        const std::string path = (dir() / (name + ".shp")).string();
        const auto done = run("ogr2ogr -f 'ESRI Shapefile' " + options + " '" + path + "' '" +
                              (dir() / (name + ".geojson")).string() + "' && echo done");
        EXPECT_EQ(done.empty() ? "" : done.back(), "done") << name;
        return path;
    }
    static std::string feature(const std::string& properties, const std::string& geometry) {
        return R"({"type":"Feature","properties":{)" + properties + R"(},"geometry":)" + geometry + "}";
    }
    std::string ogrinfo(const std::string& path) {
        std::string text;
        for (const std::string& line : run("ogrinfo -al -q '" + path + "'")) text += line + "\n";
        return text;
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
    const struct {
        const char* field;
        double first, second;
    } cases[] = {{"zi", 7, -3}, {"zd", 2.25, 0.5}, {"zs", 12.5, 0.0}, {"none", -1.5, -1.5}};
    for (const auto& c : cases) {
        ASSERT_TRUE(set.InitFromShapeFile(points, nullptr, "", "", c.field, false, -1.5)) << c.field;
        EXPECT_EQ(set.mShapes[0].mPoints[0].z, c.first) << c.field;
        EXPECT_EQ(set.mShapes[1].mPoints[0].z, c.second) << c.field;
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
        {(dir() / "absent.shp").string(), ORBS_EC_FILE_NOT_FOUND}};
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
        fdfToUpper(upper);
        fs::rename(dir() / ("upper." + extension), dir() / ("upper." + upper));
    }
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile((dir() / "upper.SHP").string()));
    EXPECT_EQ(set.mShapes[0].mPoints[0].y, 2.0);
}

// A geocoded raster header gives the system the geographic points go to.
TEST_F(ShapeSetTest, GeographicPointsGoIntoTheHeadersSystem) {
    const std::string path = shapefile("geo", {feature("", R"({"type":"Point","coordinates":[15.5,45.25]})")});
    CSectionDataGroup header;
    CSectionData& section = header.addSection(std::make_unique<CSectionData>("CartographicSystem"));
    for (const char* field : {"State", "Zone", "GeocodedImage"}) {
        section.addField(std::make_unique<CSectionField>(field, CORBS_DS_SCALAR, CORBS_DS_STRING));
    }
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
    auto map = std::make_unique<YDF_MAP>();
    map->init("GEO-GLOBAL", "", "", "", "", "");
    set.mMap = std::move(map);
    set.mHasMap = true;
    const std::string written = (dir() / "written.shp").string();
    set.writeGenericShape(written, "height");

    const std::string text = ogrinfo(written);
    EXPECT_NE(text.find("name (String) = a lake"), std::string::npos) << text;
    EXPECT_NE(text.find("count (Integer) = -4"), std::string::npos) << text;  // the width read is kept
    EXPECT_NE(text.find("depth (Real) = 0.125"), std::string::npos) << text;
    EXPECT_NE(text.find("height (Real) = 9.5"), std::string::npos) << text;
    EXPECT_NE(text.find("MULTIPOLYGON (((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2)),((20 0,20 10,30 10,30 0,20 0)))"),
              std::string::npos) << text;
    EXPECT_TRUE(fs::exists(dir() / "written.prj"));

    EXPECT_EQ(raisedCode([&] { set.writeGenericShape((dir() / "no/such/dir/x.shp").string()); }),
              ORBS_EC_COPY_FAILED);
}

TEST_F(ShapeSetTest, AttributeTableTraceAndSelection) {
    const std::string point = R"({"type":"Point","coordinates":[1,2]})";
    shapefile("trace_table", {feature(R"("k":1)", point), feature(R"("k":2)", point),
                                                       feature(R"("k":3)", point)});
    CShapeSet set;
    const std::vector<int> selection = {1, 0, 5};
    ASSERT_TRUE(CShapeSet::readDbfShapeInfo((dir() / "trace_table.dbf").string(), set.mDbfShapeInfo, &selection));
    EXPECT_EQ(set.getNumberOfShape(), 2);
    EXPECT_EQ(set.getFieldData(1, 0), "3");
    EXPECT_GT(set.getFieldSize(0), 0);
    EXPECT_EQ(set.getFieldSize(1), -1);
    EXPECT_NE(readFile(dir() / "trace_table.dbf_hdr").find("<NumberOfShape>2</NumberOfShape>"), std::string::npos);
}

TEST_F(ShapeSetTest, XmlShapeDescription) {
    const std::string header =
        R"(<SHAPES TYPE="POLYGON"><CLASSES_NUMBER>1</CLASSES_NUMBER><CLASS_NAME>water</CLASS_NAME>)"
        R"(<CLASSES_RGB/><CLASS_RGB RED="0" GREEN="10" BLUE="255"/>)"
        R"(<GEOCODED/><State>UTM-GLOBAL</State><Zone>32</Zone><Hemisphere>SOUTH</Hemisphere>)"
        R"(<UPPER_LEFT_X>1000</UPPER_LEFT_X><UPPER_LEFT_Y>2000</UPPER_LEFT_Y>)"
        R"(<TOTAL_NUMBER_OF_POINTS>4</TOTAL_NUMBER_OF_POINTS><SHAPES_NUMBER>2</SHAPES_NUMBER>)"
        R"(<DBF_FIELDS_NAME NUMBER="1"/><FIELD TYPE="FTString">NAME</FIELD>)";
    const std::string shapes =
        R"(<SHAPE><CLASS_OF_SHAPE>7</CLASS_OF_SHAPE><FIELD>first</FIELD>)"
        R"(<POINTS_LIST NUMBER_OF_POINT="1"/><POINT X="-5" Y="6" Z="1"/></SHAPE>)"
        R"(<SHAPE><CLASS_OF_SHAPE>8</CLASS_OF_SHAPE><PARTS_NUMBER>2</PARTS_NUMBER><PART>0</PART><PART>2</PART>)"
        R"(<AREA>12.5</AREA><FIELD>second</FIELD><POINTS_LIST NUMBER_OF_POINT="3"/>)"
        R"(<POINT X="1" Y="2" Z="3"/><POINT X="4" Y="5" Z="6"/><POINT X="7" Y="8" Z="9"/></SHAPE></SHAPES>)";
    writeFile(dir() / "shapes.xml", header + shapes);
    CShapeSet set;
    ASSERT_TRUE(set.InitFromShapeFile((dir() / "shapes.xml").string()));
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

    const struct { std::string from, to; } broken[] = {{"NUMBER_OF_POINT=\"3\"", "NUMBER_OF_POINT=\"0\""},
                  {"<SHAPES_NUMBER>2<", "<SHAPES_NUMBER>2000000000<"},
                  {"TYPE=\"POLYGON\"", "TYPE=\"POINTZ\""},
                  {"<State>UTM-GLOBAL</State>", ""},
                  {"</SHAPES>", ""}};
    for (const auto& b : broken) {
        std::string text = header + shapes;
        text.replace(text.find(b.from), b.from.size(), b.to);
        writeFile(dir() / "broken.xml", text);
        EXPECT_EQ(raisedCode([&] { set.InitFromShapeFile((dir() / "broken.xml").string()); }),
                  ORBS_EC_FILE_NOT_OPENED)
            << b.from;
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

}  // namespace
}  // namespace orbs_test
