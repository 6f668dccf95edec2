// Raster header metadata: the key/value list, the ENVI header read back by
// GDAL's ENVI driver, the polarisation lists; and the cartographic system of
// a raster without parameter file, read from its GeoTIFF keys (gdal_create),
// a point projected against gdaltransform.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "orbs_files_to_delete.h"
#include "orbs_transform_utility.h"
#include "raster_test_support.h"

namespace orbs_test {
namespace {

using OtherInfo = RasterHeaderTest;

TEST_F(OtherInfo, RowsMirrorsAndRewriting) {
    setOtherInfo(header, "ORIGIN DATA", "first");
    setOtherInfo(header, "NOTE", "a=b\nc");
    setOtherInfo(header, "ORIGIN DATA", "second");
    const CSectionField& rows = header["RasterInfo.OtherInfo"];
    ASSERT_EQ(rows.getRowNbr(), 2);
    EXPECT_EQ(rows.getString(0, 1), "second");
    EXPECT_EQ(rows.getString(1, 1), "a:b c");
    EXPECT_EQ(header.getString("RasterInfo.product_type"), "second");
    // A row whose key begins with the given key takes the value.
    setOtherInfo(header, "NO", "prefix");
    EXPECT_EQ(getOtherInfo(header, "NOTE"), "prefix");
    EXPECT_EQ(getOtherInfo(header, "MISSING"), std::nullopt);

    // The mirror answers first; acquisition mirrors need their section.
    header.setValue("RasterInfo.product_type", std::string("from the field"));
    EXPECT_EQ(getOtherInfo(header, "ORIGIN DATA"), "from the field");
    setOtherInfo(header, "ACQUISITION TIME", "01-MAY-2019 05:12:33.000000");
    EXPECT_EQ(header.getString("AcquisitionParameters.AcquisitionTime"), "01-MAY-2019 05:12:33.000000");
    CSectionDataGroup bare;
    ASSERT_EQ(initRasterHeaderSet(bare, {"RasterInfo"}), 1);
    setOtherInfo(bare, "ACQUISITION TIME", "01-MAY-2019 05:12:33.000000");
    EXPECT_EQ(bare["RasterInfo.OtherInfo"].getString(0, 0), "ACQUISITION TIME");
}

class EnviHeader : public RasterHeaderTest {
protected:
    // A raster of `lines` x `pixels` cells holding 1, 2, 3 ... in the cell
    // type's representation, written with the given byte order.
    void writeRaster(const std::string& path, int lines, int pixels, int bands, bool bigEndian) {
        header.setValue("RasterInfo.NrOfLinesPerImage", lines);
        header.setValue("RasterInfo.NrOfPixelsPerLine", pixels);
        header.setValue("RasterInfo.NrOfChannels", bands);
        header.setValue("RasterInfo.CellType", std::string("FLOAT"));
        header.setValue("RasterInfo.BytesOrder", std::string(bigEndian ? "MSBF" : "LSBF"));
        std::ofstream out(path, std::ios::binary);
        for (int i = 1; i <= lines * pixels * bands; ++i) {
            const float value = static_cast<float>(i);
            char bytes[4];
            std::memcpy(bytes, &value, 4);
            if (bigEndian) std::reverse(bytes, bytes + 4);
            out.write(bytes, 4);
        }
    }
    void setGrid(const std::string& state, double x, double y, double dx, double dy) {
        header.setValue("CartographicSystem.State", state);
        header.setValue("RegistrationCoordinates.LonEasting", x);
        header.setValue("RegistrationCoordinates.LatNorthing", y);
        header.setValue("RegistrationCoordinates.PixelSpacingLonEast", dx);
        header.setValue("RegistrationCoordinates.PixelSpacingLatNorth", dy);
    }
    std::string writeAndRead(const std::string& raster) {
        EXPECT_EQ(header.writeToFile(raster, true, false), 1);
        return readFile(at("img.hdr"));
    }
    std::string gdalinfo(const std::string& raster) { return commandOutput("gdalinfo -mm " + quoted(raster)); }
};

// An ENVI header line, its key padded to the value column.
std::string kv(const std::string& key, const std::string& value) {
    return key + std::string(26 - key.size(), ' ') + "= " + value + "\n";
}

// Most significant byte first: values 1..24 read back only when honoured.
TEST_F(EnviHeader, GeographicAndUtmRastersReadByGdal) {
    struct Case { const char* hemisphere; const char* text; std::vector<std::string> info; };
    const std::string utmOrigin = "Origin = (300000.000000000000000,5000000.000000000000000)";
    for (const Case& c : {Case{nullptr, nullptr,
                               {"Size is 3, 4", "Band 2 Block=3x1 Type=Float32", "INTERLEAVE=LINE", "NoData Value=-9999",
                                "Computed Min/Max=1.000,21.000", "Origin = (10.500000000000000,46.250000000000000)",
                                "Pixel Size = (0.001000000000000,-0.002000000000000)", "ID[\"EPSG\",4326]"}},
                          Case{"NORTH", "32, North, WGS-84", {"UTM zone 32N", utmOrigin, "Computed Min/Max=1.000,4.000"}},
                          Case{"SOUTH", "32, South, WGS-84", {"UTM zone 32S", utmOrigin, "Computed Min/Max=1.000,4.000"}},
                          Case{"north", "32, South, WGS-84", {"UTM zone 32S", utmOrigin, "Computed Min/Max=1.000,4.000"}}}) {
        ASSERT_EQ(initRasterHeaderSet(header), 1);
        const std::string raster = at(c.hemisphere ? "img.raw" : "img.dat");
        if (c.hemisphere) {
            writeRaster(raster, 2, 2, 1, false);
            setGrid("UTM-GLOBAL", 300000, 5000000, 20, -20);
            header.setValue("CartographicSystem.Zone", std::string("32"));
            header.setValue("CartographicSystem.Hemisphere", std::string(c.hemisphere));
        } else {
            writeRaster(raster, 4, 3, 2, true);
            header.setValue("RasterInfo.Interleave", std::string("BIL"));
            header.setValue("RasterInfo.NullCellValue", -9999.0);
            setGrid("GEO-GLOBAL", 10.5, 46.25, 0.001, -0.002);
        }
        const std::string text = writeAndRead(raster);
        const std::string mapInfo = "map info                  = {UTM, 1, 1, 300000, 5000000, 20, 20,\n ";
        EXPECT_TRUE(!c.text || text.find(mapInfo + c.text) != std::string::npos) << text;
        const std::string info = gdalinfo(raster);
        for (const std::string& expected : c.info)
            EXPECT_NE(info.find(expected), std::string::npos) << expected << "\n" << info;
    }
}

TEST_F(EnviHeader, ComplexCellLayouts) {
    struct Case { const char* units; const char* sensor; std::vector<std::string> present, absent; };
    const std::vector<Case> cases{
        {"AMPLITUDE", "SENTINEL-1A",
         {kv("bands", "2"), kv("data type", "2"), kv("interleave", "bip"), kv("data ignore value", "0.000000")},
         {"read procedures"}},
        {"SLC", "SENTINEL-1A",
         {kv("bands", "1"), kv("data type", "4"), kv("interleave", "bsq"), kv("data ignore value", "-32768"),
          kv("read procedures", "{envi_complex_shortint_spatial, envi_complex_shortint_spectral}"),
          kv("subset procedure", "envi_complex_shortint_scroll "), kv("band names", "{Amplitude, Phase}"),
          kv("sensor type", "Sentinel-1")},
         {}},
        {"SLC", "SARLUPE", {kv("bands", "2"), kv("data type", "2"), kv("interleave", "bip"), kv("sensor type", "SAR-Lupe")},
         {"data ignore value", "read procedures", "band names"}},
    };
    for (const Case& c : cases) {
        header.setValue("RasterInfo.NrOfLinesPerImage", 2);
        header.setValue("RasterInfo.NrOfPixelsPerLine", 3);
        header.setValue("RasterInfo.CellType", std::string("SHORT_COMPLEX"));
        header.setValue("RasterInfo.DataUnits", std::string(c.units));
        header.setValue("RasterInfo.NullCellValue", 0.0);
        header.setValue("Sensor.SensorName", std::string(c.sensor));
        writeFile(at("img.dat"), std::string(2 * 3 * 4, '\0'));
        const std::string text = writeAndRead(at("img.dat"));
        for (const std::string& line : c.present) EXPECT_NE(text.find(line), std::string::npos) << c.sensor << text;
        for (const std::string& key : c.absent) EXPECT_EQ(text.find(key), std::string::npos) << c.sensor << text;
        EXPECT_NE(commandOutput("gdalinfo " + quoted(at("img.dat"))).find("Size is 3, 2"), std::string::npos);
    }
}

TEST_F(EnviHeader, DescriptionTimesAndDisplayLines) {
    header.setValue("RasterInfo.NrOfLinesPerImage", 1);
    header.setValue("RasterInfo.NrOfPixelsPerLine", 1);
    header.setValue("RasterInfo.CellType", std::string("BYTE"));
    header.setValue("RasterInfo.DataUnits", std::string("CLASSIFICATION"));
    header.setValue("RasterInfo.RowSuffix", 4);
    for (const char* lut : {"RasterInfo.TiffLUTRed", "RasterInfo.TiffLUTGreen", "RasterInfo.TiffLUTBlue"}) {
        header[lut].setDimension(1, 2);
        header.setValue(lut, 0, 10);
        header.setValue(lut, 1, 200);
    }
    header["RasterInfo.BandData"].setDimension(1, 1);
    header.setValue("RasterInfo.BandData", 0, std::string("x"));
    header["RasterInfo.BandName"].setDimension(1, 1);
    header.setValue("RasterInfo.BandName", 0, std::string("classes"));
    setOtherInfo(header, "ACQUISITION TIME", "2019-05-01 05:12:33.250000");
    setOtherInfo(header, "SLAVE ACQUISITION TIME", "13-MAY-2019 05:12:34.500000");
    setOtherInfo(header, "SARAH_FSCLAS", "RESTRICTED");
    writeFile(at("img.int"), std::string(5, '\1'));  // one line and its 4-byte suffix
    const std::string text = writeAndRead(at("img.int"));
    EXPECT_EQ(text.substr(0, text.find("samples")),
              "ENVI\ndescription = {\n"
              "   ACQUISITION TIME = 01-MAY-2019 05:12:33.25000000\n"
              "   SLAVE ACQUISITION TIME = 13-MAY-2019 05:12:34.50000000\n"
              "   ANCILLARY INFO = CLASSIFICATION.\n"
              "   Generated by Orbiscan 5.5.2.1 L64}\n\n"
              "acquisition time          = 2019-05-13T05:12:34.50000000Z\n"
              "security tag              = RESTRICTED\n");
    for (const std::string& line : {kv("minor frame offsets", "{0,4}"), kv("file type", "ENVI Classification"),
                                    kv("classes", "2"), kv("class lookup", "{10, 10, 10,  200, 200, 200}"),
                                    kv("class names", "{\nUnclassified, Class 1}"), kv("band names", "{\nclasses}")})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    const std::string info = commandOutput("gdalinfo " + quoted(at("img.int")));
    EXPECT_NE(info.find("Color Table (RGB with 2 entries)\n    0: 10,10,10,255\n    1: 200,200,200,255"),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("1: Class 1"), std::string::npos);
}

TEST_F(EnviHeader, RadarGeometryLinesAndPathsWithoutHeader) {
    header.setValue("RasterInfo.NrOfLinesPerImage", 2);
    header.setValue("RasterInfo.NrOfPixelsPerLine", 2);
    header.setValue("InitialGeometry.Projection", std::string("SLANT_RANGE"));
    header.setValue("Processing.PixelSpacingRg", 2.5);
    header.setValue("Processing.PixelSpacingAz", 14.0);
    header.setValue("ChannelInfo.IncidenceAngle", 30.0);
    const std::vector<double> rows{0, 0, 1, 1}, cols{0, 1, 0, 1}, lat{46, 46, 45.5, 45.5}, lon{10, 11, 10, 11};
    for (const auto& [key, values] : std::vector<std::pair<std::string, std::vector<double>>>{
             {"pixel_row", rows}, {"pixel_column", cols}, {"pixels_latitude", lat}, {"pixels_longitude", lon}}) {
        header["RegistrationCoordinates." + key].setDimension(1, 4);
        for (int i = 0; i < 4; ++i) header.setValue("RegistrationCoordinates." + key, i, values[static_cast<std::size_t>(i)]);
    }
    const std::string text = writeAndRead(at("img.bil"));
    EXPECT_NE(text.find("geo points                = {\n1 , 1 , 46 , 10 , \n2 , 1 , 46 , 11 , \n"
                        "1 , 2 , 45.5 , 10 , \n2 , 2 , 45.5 , 11}\n"
                        "pixel size                = {5.00000000000000088817841970013, 14, units=Meters}\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("map info"), std::string::npos);

    EXPECT_EQ(enviHeaderPathOf(at("a.DAT_hdr")), at("a.hdr"));
    for (const char* raster : {"a.tif", "a_orb", "a_par_hdr", "a.OrbiscanParameterExtracted"}) {
        ASSERT_EQ(header.writeToFile(at(raster), true, false), 1);
        EXPECT_FALSE(fs::exists(at("a.hdr")) || fs::exists(at(std::string(raster) + ".hdr"))) << raster;
    }
    EXPECT_EQ(raisedCode([this] { writeRasterHeaderEnvi(at("missing.dat")); }), 40012);
    EXPECT_EQ(raisedCode([this] { writeRasterHeaderEnvi(at("missing.shp")); }), 0);
}

TEST_F(EnviHeader, PolarisationListsFromTheHeader) {
    NorvikCore::set_work_file(at("Process.working"));
    const std::string list = at("Process.working_generated_files.list");
    struct Case { const char* sceneData; const char* description; const char* sibling; };
    for (const Case& c : {Case{"S1A|IW|SLC|VV|x", "HH", "VV"}, Case{nullptr, "HV", "HV"},
                          Case{"S1A,IW", "HH", nullptr}, Case{nullptr, "H", nullptr}}) {
        CSectionDataGroup set;
        ASSERT_EQ(initRasterHeaderSet(set), 1);
        if (c.sceneData) setOtherInfo(set, "SCENE DATA", c.sceneData);
        set["ChannelInfo.Description"].setDimension(1, 1);
        set.setValue("ChannelInfo.Description", 0, std::string(c.description));
        writeFile(at("p.dat"), "x");
        ASSERT_EQ(set.writeToFile(at("p.dat"), false, false), 1);
        for (const std::string& code : kPolarisationCodes) fs::remove(list + code);
        EXPECT_EQ(forbs_addFileToList(at("p.dat"), "", "_generated_files.list"), 1);
        for (const std::string& code : kPolarisationCodes) {
            EXPECT_EQ(fs::exists(list + code), c.sibling != nullptr && code == c.sibling) << code;
        }
    }
    writeFile(at("no_header.dat"), "x");
    EXPECT_EQ(forbs_addFileToList(at("no_header.dat"), "", "_generated_files.list"), 1);
}

class RasterHeaderMap : public MappedHeaderTest {
protected:
    void SetUp() override {
        MappedHeaderTest::SetUp();
        NorvikCore::set_work_file(at("Process.working"));
        initCoreLibrary();  // registers the raster header reader
    }
    std::string geoTiff(const std::string& crs) {
        const std::string path = at("raster.tif");
        std::filesystem::remove(path);
        commandOutput("gdal_create -q -of GTiff -outsize 4 4 -a_srs " + crs + " -a_ullr 0 4 4 0 " + quoted(path));
        return path;
    }
};

TEST_F(RasterHeaderMap, GeoTiffKeysNameTheSystem) {
    struct Case {
        int code;
        int geographic;  // the coordinate system's geographic one
        const char* state;
        double lon, lat;
    };
    const std::vector<Case> cases{
        {4326, 4326, "GEO-GLOBAL", 10, 45},
        {32633, 4326, "UTM-GLOBAL", 15.5, 45},
        {32733, 4326, "UTM-GLOBAL", 15.5, -30},
        {3035, 4258, "ETRS89_LAEA_EUROPE", 12, 50},
        {6677, 6668, "JAPAN_JPRC_JGD2011", 139.9, 36.1},
        {2451, 4612, "JAPAN_JPRC_JGD2000", 139.9, 36.1},
        {3034, 4258, "LAMBERT_CONFORMAL_CONIC", 12, 48},  // two standard parallels
        {3413, 4326, "POLAR_STEREOGRAPHIC", -40, 75},     // latitude of true scale
        {3031, 4326, "POLAR_STEREOGRAPHIC", 60, -75},
        {5041, 4326, "POLAR_STEREOGRAPHIC", 30, 85},      // scale factor
        {3577, 4283, "ALBERS", 135, -25},
        {6931, 4326, "LAMBERT_AZIMUTHAL_EQUALAREA", 20, 70},
        {3395, 4326, "MERCATOR", 20, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string image = geoTiff("EPSG:" + std::to_string(c.code));
        YDF_MAP system;
        ASSERT_TRUE(system.initFromHeaderFile(image, false));
        EXPECT_EQ(system.mState, c.state);
        writeFile(at("point.txt"), std::to_string(c.lon) + " " + std::to_string(c.lat) + "\n");
        std::istringstream gdal(commandOutput("gdaltransform -s_srs EPSG:" + std::to_string(c.geographic) +
                                              " -t_srs EPSG:" + std::to_string(c.code) + " < " + quoted(at("point.txt"))));
        double expectedX = 0, expectedY = 0;
        ASSERT_TRUE(gdal >> expectedX >> expectedY);
        YDF_MAP geographic;
        geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
        CMapTransform toMap;
        toMap.setInput(geographic);
        toMap.setOutput(system);
        double x = c.lon, y = c.lat, z = 0.0;
        toMap.transform(&x, &y, &z, &x, &y, &z, 1);
        EXPECT_NEAR(x, expectedX, 1e-3);
        EXPECT_NEAR(y, expectedY, 1e-3);
    }
}

TEST_F(RasterHeaderMap, RastersWithoutANamedSystem) {
    // British National Grid: a transverse Mercator on the Airy ellipsoid, which no map file admits.
    EXPECT_FALSE(YDF_MAP().initFromHeaderFile(geoTiff("EPSG:27700"), false));
    const std::string plain = at("plain.tif");
    commandOutput("gdal_create -q -of GTiff -outsize 4 4 " + quoted(plain));
    EXPECT_FALSE(YDF_MAP().initFromHeaderFile(plain, false));
    EXPECT_EQ(raisedCode([&] { YDF_MAP().initFromHeaderFile(plain, true); }), 40004);
}

}  // namespace
}  // namespace orbs_test
