// Scene locator on synthetic scenes whose answer is known by construction:
// ground points chosen on the ellipsoid (Earth-fixed coordinates from
// GeographicLib's CartConvert), a circular near-polar orbit given in closed
// form, and a forward computation of each point's Doppler time and slant
// range on that closed form, independent of the locator's interpolation and
// inversion.  RPC images against gdaltransform -rpc.
#include "orbs_envi_header.h"
#include "orbs_scene_locator.h"
#include "scene_test_support.h"

namespace orbs_test {
namespace {

using SceneLocator = SyntheticSceneTest;

TEST_F(SceneLocator, CornersOfSyntheticScenesComeBackWithinOneMetre) {
    for (const Scene& scene : {Scene{"ascending right", 45.0, 10.0, true, true, false, false},
                               Scene{"descending right", -33.0, 150.0, false, true, false, false},
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
        ASSERT_EQ(footprint.border.size(), 32u);
        std::vector<Vec> located;
        for (const CGeoPoint& p : footprint.corners) located.push_back({p.latitude, p.longitude, 0});
        const std::vector<Vec> ecef = cartConvert(located, false, dir().string());
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
        const bool acrossAntimeridian = footprint.east - footprint.west > 180.0;
        EXPECT_EQ(acrossAntimeridian, scene.longitude > 179.0);
    }
}

TEST_F(SceneLocator, HeadersWithoutAGeometryGiveTheirCodes) {
    Orbit orbit;
    std::array<Vec, 2> corners;
    std::array<Acquisition, 2> acq;
    build(Scene{"", 45.0, 10.0, true, true, false, false}, orbit, corners, acq);
    struct Case {
        const char* name;
        std::function<void(CSectionDataGroup&)> spoil;
        int code;
    };
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
        {"no first line time", [](CSectionDataGroup& h) { h["AcquisitionParameters.AcquisitionTime"].clearAll(); }, 250001},
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
    polynomials[0][1] = 0.05, polynomials[0][2] = -1.01, polynomials[0][4] = 0.012, polynomials[0][8] = -0.004,
    polynomials[0][11] = 0.001, polynomials[0][3] = 0.003;
    polynomials[1][0] = 1.0, polynomials[1][1] = 0.002, polynomials[1][2] = -0.001;
    polynomials[2][1] = 1.02, polynomials[2][2] = 0.04, polynomials[2][7] = 0.006, polynomials[2][12] = -0.002,
    polynomials[2][15] = 0.0015;
    polynomials[3][0] = 1.0, polynomials[3][2] = 0.003;
    const char* names[] = {"LINE_NUM_COEFF", "LINE_DEN_COEFF", "SAMP_NUM_COEFF", "SAMP_DEN_COEFF"};
    std::string metadata;
    for (const auto& [name, value] : scalars) {
        header.setValue("AcquisitionParameters." + name, value);
        metadata += "<MDI key=\"" + name + "\">" + NORBS_ENVI_HEADER::number(value) + "</MDI>";
    }
    for (std::size_t k = 0; k < 4; ++k) {
        setVector(std::string("AcquisitionParameters.") + names[k], polynomials[k]);
        std::string text;
        for (double c : polynomials[k]) text += NORBS_ENVI_HEADER::number(c) + " ";
        metadata += "<MDI key=\"" + std::string(names[k]) + "\">" + text + "</MDI>";
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

}  // namespace
}  // namespace orbs_test
