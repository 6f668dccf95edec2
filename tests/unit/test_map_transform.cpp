// CMapTransform: the geocentric conversion against GeographicLib's
// CartConvert, the datum shifts against PROJ's Helmert transformation in the
// same convention, the whole path against a PROJ pipeline, and the cases.
#include <cmath>

#include "map_test_support.h"
#include "orbs_transform_utility.h"

namespace orbs_test {
namespace {

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

    static Points transform(const YDF_MAP& from, const YDF_MAP& to, const Points& points) {
        std::vector<double> x, y, z;
        for (const auto& p : points) {
            x.push_back(p[0]);
            y.push_back(p[1]);
            z.push_back(p[2]);
        }
        CMapTransform transformation;
        transformation.setInput(from);
        transformation.setOutput(to);
        EXPECT_TRUE(transformation.transform(x.data(), y.data(), z.data(), x.data(), y.data(), z.data(), x.size()));
        Points result;
        for (std::size_t i = 0; i < x.size(); ++i) result.push_back({x[i], y[i], z[i]});
        return result;
    }

    static std::vector<std::string> lines(const Points& points, const char* format, bool latFirst) {
        std::vector<std::string> text;
        for (const auto& p : points) {
            text.push_back(latFirst ? fdfFormat(format, p[1], p[0], p[2]) : fdfFormat(format, p[0], p[1], p[2]));
        }
        return text;
    }

    // The Helmert step of a registry transformation, as projinfo writes it.
    std::string helmertOf(const std::string& code) {
        std::string pipeline;
        for (const std::string& line : run("projinfo -o PROJ -q -k operation " + code)) pipeline += " " + line;
        const std::size_t start = pipeline.find("+proj=helmert");
        const std::size_t end = pipeline.find(" +step", start);
        EXPECT_NE(start, std::string::npos) << pipeline;
        std::string step = pipeline.substr(start, end - start);
        for (std::size_t blanks = step.find("  "); blanks != std::string::npos; blanks = step.find("  ")) {
            step.erase(blanks, 1);
        }
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
    expectNear(geocentric, run("CartConvert -p 6", lines(kGeographic, "%.10f %.10f %.4f", true)), 1e-3);

    const Points back = transform(cartesian, geo, geocentric);
    const std::vector<std::string> expected = run("CartConvert -r -p 9", lines(geocentric, "%.6f %.6f %.6f", false));
    ASSERT_EQ(expected.size(), back.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        const std::vector<double> latLonH = numbersOf(expected[i]);
        EXPECT_NEAR(back[i][1], latLonH[0], 1e-9) << expected[i];
        EXPECT_NEAR(std::remainder(back[i][0] - latLonH[1], 360.0), 0.0, 1e-9) << expected[i];
        EXPECT_NEAR(back[i][2], latLonH[2], 1e-3) << expected[i];
    }
}

// The shift to a local datum is the inverse of the registry's Helmert
// transformation from that datum to WGS 84 (ED50: three parameters).
TEST_F(MapTransformTest, DatumShiftsAgreeWithProjHelmert) {
    const struct {
        const char* datum;
        const char* transformation;
    } shifts[] = {{"DHDN", "EPSG:1777"}, {"BD72", "EPSG:15929"}, {"ED50", "EPSG:1133"}, {"AMERSFOORT", "EPSG:15934"}};
    const YDF_MAP geo = system("GEO-GLOBAL");
    for (const auto& shift : shifts) {
        SCOPED_TRACE(shift.datum);
        const YDF_MAP local = system("CARTESIAN-GLOBAL", "", "", "", shift.datum);
        const std::string pipeline = "cct -d 6 +proj=pipeline +step +proj=cart +ellps=WGS84 +step +inv " +
                                     helmertOf(shift.transformation);
        expectNear(transform(geo, local, kGeographic), run(pipeline, lines(kGeographic, "%.10f %.10f %.4f", false)),
                   1e-3);
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
    CMapTransform cases;
    const YDF_MAP geo = system("GEO-GLOBAL");
    cases.setInput(geo);
    cases.setOutput(ed50);
    EXPECT_EQ(cases.getCase(), CMapTransform::Case::Geocentric);
    expectNear(transform(geo, ed50, points), run(pipeline, lines(points, "%.10f %.10f %.4f", false)), 1e-3);
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
