// Band export against gdal_translate -of ENVI, and scene locator throughput.
//
// Each export runs in a child process so that its peak resident memory is
// its own (wait4's ru_maxrss); gdal_translate runs on the same file in the
// same run.  Usage: orbs_raster_bench [--sizes=5000,10000] [--dir=PATH]
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_result.h"
#include "orbs_description_section.h"
#include "orbs_generic_geo_utility.h"
#include "orbs_raster_band_export.h"
#include "orbs_scene_locator.h"
#include "orbs_utility_global_vars.h"

namespace {

struct Run {
    double seconds = 0.0;
    long peakKb = 0;
    int status = -1;
};

template <class Body>
Run inChild(Body body) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    Run run;
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    return run;
}

// A float GeoTIFF of size x size, 16 lines per strip, written by libtiff.
void writeFloatTiff(const std::string& path, int size) {
    TIFF* tif = TIFFOpen(path.c_str(), size > 20000 ? "w8" : "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, size);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, size);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    std::vector<float> line(static_cast<std::size_t>(size));
    for (int row = 0; row < size; ++row) {
        for (int x = 0; x < size; ++x) line[static_cast<std::size_t>(x)] = static_cast<float>(row) + 0.001f * static_cast<float>(x);
        TIFFWriteScanline(tif, line.data(), static_cast<uint32_t>(row), 0);
    }
    TIFFClose(tif);
}

void benchExport(const std::string& dir, int size) {
    const std::string tif = dir + "/bench_" + std::to_string(size) + ".tif";
    writeFloatTiff(tif, size);
    const std::string ours = dir + "/ours.dat";
    const std::string gdal = dir + "/gdal.dat";
    std::vector<double> ourSeconds, gdalSeconds;
    long ourPeakKb = 0, gdalPeakKb = 0;
    for (int repeat = 0; repeat < 3; ++repeat) {
        const Run a = inChild([&] { return forbs_exportRasterBands(tif, ours, true) == 1 ? 0 : 1; });
        const Run b = inChild([&] {
            execlp("gdal_translate", "gdal_translate", "-q", "-of", "ENVI", tif.c_str(), gdal.c_str(), nullptr);
            return 127;
        });
        const double mb = static_cast<double>(size) * size * 4 / 1e6;
        std::printf("export %6d x %-6d %6.0f MB  ours %6.2f s %7.1f MB peak | gdal_translate %6.2f s %7.1f MB peak"
                    " | time ratio %.2f%s\n",
                    size, size, mb, a.seconds, a.peakKb / 1024.0, b.seconds, b.peakKb / 1024.0, a.seconds / b.seconds,
                    a.status == 0 && b.status == 0 ? "" : "  (a run failed)");
        std::filesystem::remove(ours);
        std::filesystem::remove(gdal);
        ourSeconds.push_back(a.seconds);
        gdalSeconds.push_back(b.seconds);
        ourPeakKb = std::max(ourPeakKb, a.peakKb);
        gdalPeakKb = std::max(gdalPeakKb, b.peakKb);
    }
    std::filesystem::remove(tif);
    // The figures for bench/run_all.sh: medians of the three exports.
    std::sort(ourSeconds.begin(), ourSeconds.end());
    std::sort(gdalSeconds.begin(), gdalSeconds.end());
    printResult("raster", "band export, " + std::to_string(size) + " x " + std::to_string(size) + " floats",
                "forbs_exportRasterBands", ourSeconds[1], "gdal_translate -of ENVI", gdalSeconds[1], ourPeakKb / 1024.0,
                gdalPeakKb / 1024.0);
}

// A header set of one right-looking slant-range image on a circular orbit,
// built in memory with the fields the locator reads.
void shapeSceneHeader(CSectionDataGroup& header) {
    const auto section = [&header](const char* name, std::vector<std::pair<const char*, int>> fields, int shape) {
        CSectionData& s = header.addSection(std::make_unique<CSectionData>(name));
        for (const auto& [field, type] : fields) s.addField(std::make_unique<CSectionField>(field, shape, type));
    };
    section("RasterInfo", {{"NrOfLinesPerImage", CORBS_DS_INTEGER}, {"NrOfPixelsPerLine", CORBS_DS_INTEGER}}, CORBS_DS_SCALAR);
    section("AcquisitionParameters", {{"AcquisitionTime", CORBS_DS_STRING}}, CORBS_DS_SCALAR);
    section("Processing", {{"AzimuthTimeInterval", CORBS_DS_DOUBLE}, {"PixelSpacingRg", CORBS_DS_DOUBLE},
                           {"NearSlantRange", CORBS_DS_DOUBLE}}, CORBS_DS_SCALAR);
    section("StateVectorData", {{"StateVectorTime", CORBS_DS_STRING}, {"PositionX", CORBS_DS_DOUBLE},
                                {"PositionY", CORBS_DS_DOUBLE}, {"PositionZ", CORBS_DS_DOUBLE},
                                {"VelocityX", CORBS_DS_DOUBLE}, {"VelocityY", CORBS_DS_DOUBLE},
                                {"VelocityZ", CORBS_DS_DOUBLE}}, CORBS_DS_VECTOR);
    header.setValue("RasterInfo.NrOfLinesPerImage", 15000);
    header.setValue("RasterInfo.NrOfPixelsPerLine", 25000);
    header.setValue("AcquisitionParameters.AcquisitionTime", std::string("01-MAY-2019 05:00:30.000000"));
    header.setValue("Processing.AzimuthTimeInterval", 0.002);
    header.setValue("Processing.PixelSpacingRg", 2.33);
    header.setValue("Processing.NearSlantRange", 800000.0);
    // A polar orbit over the Greenwich meridian, vectors every 10 s.
    const int n = 10;
    const double radius = 7071000.0, rate = 2 * M_PI / 5924.0;
    for (const char* f : {"StateVectorTime", "PositionX", "PositionY", "PositionZ", "VelocityX", "VelocityY", "VelocityZ"})
        header[std::string("StateVectorData.") + f].setDimension(1, n);
    for (int i = 0; i < n; ++i) {
        const double u = rate * 10.0 * i;
        header.setValue("StateVectorData.StateVectorTime", i, "01-MAY-2019 05:00:" + std::to_string(10 * i) + ".000000");
        header.setValue("StateVectorData.PositionX", i, radius * std::cos(u));
        header.setValue("StateVectorData.PositionY", i, 0.0);
        header.setValue("StateVectorData.PositionZ", i, radius * std::sin(u));
        header.setValue("StateVectorData.VelocityX", i, -radius * rate * std::sin(u));
        header.setValue("StateVectorData.VelocityY", i, 0.0);
        header.setValue("StateVectorData.VelocityZ", i, radius * rate * std::cos(u));
    }
}

void benchLocator() {
    CSectionDataGroup header;
    shapeSceneHeader(header);
    double plainSeconds = 0.0;
    for (int points : {2, 16}) {
        const int images = 2000;
        CSceneFootprint footprint;
        NORBS_ERRORS_CODE::CNorvikErrorCode error;
        const auto start = std::chrono::steady_clock::now();
        int located = 0;
        for (int i = 0; i < images; ++i) located += locateSceneFootprint(header, points, footprint, error);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("locator  %2d points per edge: %d of %d images located, %.0f images/s (%.1f us each)\n", points,
                    located, images, images / seconds, seconds / images * 1e6);
        if (points == CORBS_FOOTPRINT_POINTS_PER_EDGE) plainSeconds = seconds;
    }
    // The footprint bounds: the same border carried through CMapTransform,
    // each extreme refined, against the plain locator above.
    YDF_MAP geographic, utm;
    geographic.init(CORBS_GEO_GLOBAL, "", "", "", "", "");
    utm.init("UTM-GLOBAL", "NORTH", "", "31", "", "");
    for (const auto& [name, system] : {std::pair<const char*, const YDF_MAP*>{"GEO-GLOBAL", &geographic},
                                       std::pair<const char*, const YDF_MAP*>{"UTM 31N", &utm}}) {
        const int images = 2000;
        CImageBounds bounds;
        NORBS_ERRORS_CODE::CNorvikErrorCode error;
        const auto start = std::chrono::steady_clock::now();
        int located = 0;
        for (int i = 0; i < images; ++i) located += forbsLocateImageBounds(header, *system, bounds, error);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("bounds in %-10s: %d of %d images, %.0f images/s (%.1f us each), %.2fx the plain locator\n", name,
                    located, images, images / seconds, seconds / images * 1e6, seconds / plainSeconds);
        printResult("raster", std::string("footprint bounds in ") + name + ", 2000 images", "forbsLocateImageBounds",
                    seconds, "locator, 16 points per edge", plainSeconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes{5000, 10000};
    std::string dir = std::filesystem::temp_directory_path().string();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--sizes=", 0) == 0) {
            sizes.clear();
            for (std::size_t at = 8; at < arg.size();) {
                const std::size_t comma = arg.find(',', at);
                sizes.push_back(std::stoi(arg.substr(at, comma - at)));
                at = comma == std::string::npos ? arg.size() : comma + 1;
            }
        } else if (arg.rfind("--dir=", 0) == 0) {
            dir = arg.substr(6);
        }
    }
    TIFFSetWarningHandler(nullptr);
    NorvikCore::init();
    NorvikCore::set_trace_level(0);
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    fdfSetEnv(ORBS_MAP_FILES_DIR, "ORBISCAN_MAP_FILES_DIR");
    benchLocator();
    for (int size : sizes) benchExport(dir, size);
    return 0;
}
