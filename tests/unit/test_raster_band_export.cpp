// The data-abstraction raster reader and the band-file export, on GeoTIFFs
// made by gdal_translate from raw rasters of known values; gdalinfo is the
// oracle of the georeferencing and reads the exported files back.
#include <geotiff.h>
#include <geovalues.h>
#include <xtiffio.h>

#include <cmath>
#include <cstring>

#include "orbs_raster_band_export.h"
#include "orbs_raster_interface.h"
#include "raster_test_support.h"

namespace orbs_test {
namespace {

namespace DA = NNORVIK_DA_RASTER_INTERFACE;

struct SampleType {
    const char* gdalName;  // VRT data type
    int readerType;
    const char* creation;  // extra creation options (PIXELTYPE, NBITS)
};

const std::vector<SampleType> kSampleTypes{
    {"Byte", DA::NDT_BYTE, ""},           {"Byte", DA::NDT_INT8, "-co PIXELTYPE=SIGNEDBYTE"},
    {"Byte", DA::NDT_BYTE, "-co NBITS=4"}, {"UInt16", DA::NDT_UINT16, ""},
    {"Int16", DA::NDT_INT16, ""},         {"UInt32", DA::NDT_UINT32, ""},
    {"Int32", DA::NDT_INT32, ""},         {"UInt64", DA::NDT_UINT64, ""},
    {"Int64", DA::NDT_INT64, ""},         {"Float32", DA::NDT_FLOAT32, ""},
    {"Float64", DA::NDT_FLOAT64, ""},     {"CInt16", DA::NDT_CINT16, ""},
    {"CInt32", DA::NDT_CINT32, ""},       {"CFloat32", DA::NDT_CFLOAT32, ""},
    {"CFloat64", DA::NDT_CFLOAT64, ""},
};

// The value of a cell: small enough for every type, different in every
// band, line and pixel; the NBITS=4 and signed byte cases wrap it.
double cellValue(const SampleType& type, int band, int line, int pixel) {
    const int v = band * 50 + line * 7 + pixel;
    if (std::string(type.creation) == "-co NBITS=4") return v % 16;
    if (type.readerType == DA::NDT_INT8) return v % 200 - 100;
    return v;
}

// `value` as a T; complex types add -value (-0 written +0, as an integer
// widened to a float gives it).
template <class T>
void put(std::string& out, double value, bool complex = false) {
    for (const double v : {value, 0.0 - value}) {
        const T typed = static_cast<T>(v);
        out.append(reinterpret_cast<const char*>(&typed), sizeof(T));
        if (!complex) break;
    }
}

// One sample of `value` in the given reader type.
void appendSample(std::string& out, int type, double value) {
    switch (type) {
    case DA::NDT_BYTE: return put<uint8_t>(out, value);
    case DA::NDT_INT8: return put<int8_t>(out, value);
    case DA::NDT_UINT16: return put<uint16_t>(out, value);
    case DA::NDT_INT16: return put<int16_t>(out, value);
    case DA::NDT_UINT32: return put<uint32_t>(out, value);
    case DA::NDT_INT32: return put<int32_t>(out, value);
    case DA::NDT_UINT64: return put<uint64_t>(out, value);
    case DA::NDT_INT64: return put<int64_t>(out, value);
    case DA::NDT_FLOAT32: return put<float>(out, value);
    case DA::NDT_FLOAT64: return put<double>(out, value);
    case DA::NDT_CINT16: return put<int16_t>(out, value, true);
    case DA::NDT_CINT32: return put<int32_t>(out, value, true);
    case DA::NDT_CFLOAT32: return put<float>(out, value, true);
    case DA::NDT_CFLOAT64: return put<double>(out, value, true);
    }
}

class BandExport : public CoreTest {
protected:
    static constexpr int kLines = 37;  // not a multiple of any block height
    static constexpr int kPixels = 45;

    // Band-sequential raw cells of `type`, for `bands` bands.
    std::string cells(const SampleType& sample, int type, int bands) const {
        std::string out;
        for (int b = 0; b < bands; ++b)
            for (int l = 0; l < kLines; ++l)
                for (int p = 0; p < kPixels; ++p) appendSample(out, type, cellValue(sample, b, l, p));
        return out;
    }

    // A GeoTIFF of known cells made by gdal_translate with `options`.
    std::string makeGeoTiff(const SampleType& sample, int bands, const std::string& options) {
        const std::string raw = at("source.raw");
        const int rawType = sample.readerType == DA::NDT_INT8 ? DA::NDT_BYTE : sample.readerType;
        writeFile(raw, cells(sample, sample.readerType, bands));
        const int size = DA::get_data_type_size(rawType);
        std::string vrt = "<VRTDataset rasterXSize=\"" + std::to_string(kPixels) + "\" rasterYSize=\"" +
                          std::to_string(kLines) + "\">\n";
        for (int b = 0; b < bands; ++b) {
            vrt += "<VRTRasterBand dataType=\"" + std::string(sample.gdalName) + "\" band=\"" + std::to_string(b + 1) +
                   "\" subClass=\"VRTRawRasterBand\"><SourceFilename relativeToVRT=\"1\">source.raw</SourceFilename>"
                   "<ImageOffset>" + std::to_string(b * kLines * kPixels * size) + "</ImageOffset><PixelOffset>" +
                   std::to_string(size) + "</PixelOffset><LineOffset>" + std::to_string(size * kPixels) +
                   "</LineOffset><ByteOrder>LSB</ByteOrder></VRTRasterBand>\n";
        }
        writeFile(at("source.vrt"), vrt + "</VRTDataset>\n");
        const std::string tif = at("source.tif");
        fs::remove(tif);
        const std::string command = "gdal_translate -q " + options + " " + sample.creation + " " +
                                    quoted(at("source.vrt")) + " " + quoted(tif);
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return tif;
    }
};

TEST_F(BandExport, EverySampleTypeAndLayoutComesOutAsWritten) {
    const std::vector<std::string> layouts{
        "-co TILED=YES -co BLOCKXSIZE=16 -co BLOCKYSIZE=16 -co INTERLEAVE=PIXEL",
        "-co TILED=YES -co BLOCKXSIZE=32 -co BLOCKYSIZE=16 -co INTERLEAVE=BAND -co BIGTIFF=YES",
        "-co BLOCKYSIZE=5 -co INTERLEAVE=PIXEL -co COMPRESS=DEFLATE",
        "-co BLOCKYSIZE=8 -co INTERLEAVE=BAND -co BIGTIFF=YES"};
    std::size_t layout = 0;
    for (const SampleType& sample : kSampleTypes) {
        for (int bands : {1, 3}) {
            const std::string& options = layouts[layout++ % layouts.size()];
            SCOPED_TRACE(std::string(sample.gdalName) + " " + sample.creation + " " + options + " bands " +
                         std::to_string(bands));
            const std::string tif = makeGeoTiff(sample, bands, options);
            const std::string out = at("out.dat");
            ASSERT_EQ(forbs_exportRasterBands(tif, out, true), 1);
            const int stored = DA::get_envi_storage_type(sample.readerType);
            EXPECT_TRUE(readFile(out) == cells(sample, stored, bands));
            EXPECT_EQ(readFile(out + ".list"), out + "\n");
            // GDAL's ENVI driver of this system may not know ENVI's 64-bit
            // integer codes; the bytes above are checked all the same.
            if (stored == DA::NDT_INT64 || stored == DA::NDT_UINT64) continue;
            const std::string info = commandOutput("gdalinfo " + quoted(out));
            EXPECT_NE(info.find("Size is 45, 37"), std::string::npos) << info;
            EXPECT_NE(info.find("Band " + std::to_string(bands) + " Block=45x1"), std::string::npos) << info;
            EXPECT_EQ(info.find("Band " + std::to_string(bands + 1)), std::string::npos);
        }
    }
}

TEST_F(BandExport, OneFilePerBandWithShortHeadersReadByGdal) {
    const SampleType& sample = kSampleTypes[9];  // Float32
    const std::string tif = makeGeoTiff(sample, 2, "-co INTERLEAVE=PIXEL -a_nodata -9999");
    const std::string out = at("bands");
    ASSERT_EQ(forbs_exportRasterBands(tif, out, false), 1);
    EXPECT_EQ(readFile(out + ".list"), out + "_001\n" + out + "_002\n");
    const std::string expected = cells(sample, DA::NDT_FLOAT32, 2);
    EXPECT_TRUE(readFile(out + "_002") == expected.substr(expected.size() / 2));
    EXPECT_EQ(readFile(out + "_002.hdr"),
              "ENVI\n\tdescription = {\nBand 2\n} \n\n"
              "samples\t\t\t\t= 45\nlines\t\t\t\t= 37\nbands\t\t\t\t= 1\nheaderoffset\t\t\t\t= 0\n"
              "file type\t\t\t\t= ENVI Standard\ndata type\t\t\t\t= 4\n"
              "sensor type               = Unknown\ninterleave                = bsq\n"
              "byte order                = 0\nx start                   = 1\ny start                   = 1\n"
              "data ignore value\t\t= -9999.000000\n\n");
    const std::string info = commandOutput("gdalinfo -mm " + quoted(out + "_001"));
    // Computed Min/Max: 36*7+44, little endian.
    for (const char* expected : {"Type=Float32", "INTERLEAVE=BAND", "NoData Value=-9999", "Computed Min/Max=0.000,296.000"})
        EXPECT_NE(info.find(expected), std::string::npos) << expected << "\n" << info;
}

// UL Coordinates and Grid Size of an export header against gdalinfo's
// origin and pixel size of the source.
TEST_F(BandExport, GeoreferencingAsGdalReadsIt) {
    struct Case { const char* options; const char* projection; };
    for (const Case& c : {Case{"-a_srs EPSG:32632 -a_ullr 300000 5000740 300900 5000000", "EPSG:32632"},
                          Case{"-a_srs EPSG:4326 -a_ullr 10.5 46.25 10.95 45.88", "EPSG:4326"},
                          Case{"-a_srs EPSG:32633 -a_ullr 400000 6000740 400900 6000000 -mo AREA_OR_POINT=Point",
                               "EPSG:32633"},
                          Case{"-a_srs '+proj=laea +lat_0=52 +lon_0=10 +x_0=4321000 +y_0=3210000 +ellps=GRS80' "
                               "-a_ullr 4000000 3000740 4000900 3000000",
                               "+proj=laea"}}) {
        SCOPED_TRACE(c.options);
        const std::string tif = makeGeoTiff(kSampleTypes[0], 1, c.options);
        ASSERT_EQ(forbs_exportRasterBands(tif, at("geo"), true), 1);
        const std::string header = readFile(at("geo.hdr"));
        EXPECT_EQ(firstMatch(header, "Projection = ([^\n]*)").rfind(c.projection, 0), 0u) << header;
        const std::string info = commandOutput("gdalinfo " + quoted(tif));
        const std::string number = "\\s*([-0-9.]+)";
        const std::vector<std::pair<std::string, std::string>> pairs{
            {firstMatch(info, "Origin = \\(([-0-9.]+),"), firstMatch(header, "UL Coordinates = X\\[" + number)},
            {firstMatch(info, "Origin = \\([-0-9.]+,([-0-9.]+)\\)"), firstMatch(header, "\\] , Y\\[" + number)},
            {firstMatch(info, "Pixel Size = \\(([-0-9.]+),"), firstMatch(header, "Grid Size = X\\[" + number)},
            {firstMatch(info, "Pixel Size = \\([-0-9.]+,([-0-9.]+)\\)"),
             firstMatch(header, "Grid Size = X\\[[^\\]]*\\] , Y\\[" + number)}};
        for (const auto& [gdal, ours] : pairs) {
            ASSERT_FALSE(gdal.empty() || ours.empty()) << info << header;
            EXPECT_NEAR(std::stod(ours), std::stod(gdal), 1e-9);
        }
    }
}

// A TIFF whose georeferencing tags are broken in one way.
void writeBrokenGeoTiff(const std::string& path, int brokenCase) {
    TIFF* tif = XTIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    double tiePoints[6] = {0, 0, 0, 300000, 5000000, 0};
    double scale[3] = {20, 20, 0};
    if (brokenCase == 0) scale[1] = 0;  // zero pixel height
    TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, brokenCase == 1 ? 5 : 6, tiePoints);
    TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
    GTIF* gtif = GTIFNew(tif);
    // Case 2: keys without a model type.
    if (brokenCase != 2) GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
    GTIFKeySet(gtif, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, 32632);
    GTIFWriteKeys(gtif);
    GTIFFree(gtif);
    unsigned char row[16] = {};
    TIFFWriteEncodedStrip(tif, 0, row, sizeof row);
    XTIFFClose(tif);
}

TEST_F(BandExport, BadInputGivesTheReaderCodes) {
    const std::string tif = at("truncated.tif");
    fs::rename(makeGeoTiff(kSampleTypes[9], 1, "-co BLOCKYSIZE=4"), tif);
    fs::resize_file(tif, fs::file_size(tif) - 100);  // the last strips lose their bytes
    writeFile(at("text.tif"), "not a TIFF at all");
    writeBrokenGeoTiff(at("zero_scale.tif"), 0);
    writeBrokenGeoTiff(at("short_tie_points.tif"), 1);
    writeBrokenGeoTiff(at("no_model.tif"), 2);
    fs::rename(makeGeoTiff(kSampleTypes[3], 1, "-co NBITS=12"), at("twelve_bits.tif"));
    struct Case { std::string file; int openCode; int readCode; };
    for (const Case& c : {Case{tif, 0, DA::NORVIK_DA_EC_READ}, Case{"text.tif", DA::NORVIK_DA_EC_NOT_OPENED, 0},
                          Case{"missing.tif", DA::NORVIK_DA_EC_NOT_OPENED, 0},
                          Case{"zero_scale.tif", DA::NORVIK_DA_EC_GEOREFERENCING, 0},
                          Case{"short_tie_points.tif", DA::NORVIK_DA_EC_GEOREFERENCING, 0},
                          Case{"no_model.tif", DA::NORVIK_DA_EC_GEOREFERENCING, 0},
                          Case{"twelve_bits.tif", DA::NORVIK_DA_EC_SAMPLE_FORMAT, 0}}) {
        const std::string path = c.file[0] == '/' ? c.file : at(c.file);
        DA::NorvikRasterInterface reader;
        const int opened = reader.open(path);
        EXPECT_EQ(reader.get_error_code(), c.openCode) << c.file;
        if (opened == 1) {
            EXPECT_EQ(reader.read_block_rows([](int, int, int, const unsigned char*) { return true; }), 0);
        }
        EXPECT_EQ(reader.get_error_code(), c.openCode + c.readCode) << c.file;
        EXPECT_NE(reader.get_error_other_info().find(path), std::string::npos) << reader.get_error_other_info();
        EXPECT_EQ(reader.get_error_source_name(), "runtime/orbs_raster_interface");
        EXPECT_GT(reader.get_error_source_line(), 0);
        EXPECT_EQ(forbs_exportRasterBands(path, at("out"), true), 0);
    }
    EXPECT_EQ(forbs_exportRasterBands(makeGeoTiff(kSampleTypes[0], 1, ""), at("no_dir/out"), true), 0);
}

}  // namespace
}  // namespace orbs_test
