// Data-abstraction raster reader on libtiff and libgeotiff.
#include "orbs_raster_interface.h"

#include <geo_normalize.h>
#include <geotiff.h>
#include <geovalues.h>
#include <tiffio.h>
#include <xtiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace NNORVIK_DA_RASTER_INTERFACE {

namespace {

struct TypeInfo {
    int size;
    const char* envi;  // ENVI data type code, null when ENVI has none
};

// Indexed by NorvikDataType.
constexpr TypeInfo kTypes[] = {
    {0, nullptr}, {1, "1"}, {1, nullptr}, {2, "12"}, {2, "2"},  {4, "13"}, {4, "3"},  {8, "15"},
    {8, "14"},    {4, "4"}, {8, "5"},     {4, nullptr}, {8, nullptr}, {8, "6"}, {16, "9"},
};

bool knownType(int dataType) { return dataType > NDT_UNKNOWN && dataType <= NDT_CFLOAT64; }

// The sample type of a TIFF sample format and size; NDT_UNKNOWN when none.
// Unsigned samples of 1, 2 or 4 bits are delivered as bytes.
int dataTypeOf(int sampleFormat, int bits) {
    switch (sampleFormat) {
    case SAMPLEFORMAT_UINT:
        switch (bits) {
        case 1: case 2: case 4: case 8: return NDT_BYTE;
        case 16: return NDT_UINT16;
        case 32: return NDT_UINT32;
        case 64: return NDT_UINT64;
        default: return NDT_UNKNOWN;
        }
    case SAMPLEFORMAT_INT:
        switch (bits) {
        case 8: return NDT_INT8;
        case 16: return NDT_INT16;
        case 32: return NDT_INT32;
        case 64: return NDT_INT64;
        default: return NDT_UNKNOWN;
        }
    case SAMPLEFORMAT_IEEEFP: return bits == 32 ? NDT_FLOAT32 : bits == 64 ? NDT_FLOAT64 : NDT_UNKNOWN;
    case SAMPLEFORMAT_COMPLEXINT: return bits == 32 ? NDT_CINT16 : bits == 64 ? NDT_CINT32 : NDT_UNKNOWN;
    case SAMPLEFORMAT_COMPLEXIEEEFP: return bits == 64 ? NDT_CFLOAT32 : bits == 128 ? NDT_CFLOAT64 : NDT_UNKNOWN;
    default: return NDT_UNKNOWN;
    }
}

template <class From, class To>
void widen(const unsigned char* in, unsigned char* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        From value;
        std::memcpy(&value, in + i * sizeof(From), sizeof(From));
        const To wide = static_cast<To>(value);
        std::memcpy(out + i * sizeof(To), &wide, sizeof(To));
    }
}

}  // namespace

int get_data_type_size(int dataType) { return knownType(dataType) ? kTypes[dataType].size : 0; }

int get_envi_storage_type(int dataType) {
    switch (dataType) {
    case NDT_INT8: return NDT_INT16;
    case NDT_CINT16: return NDT_CFLOAT32;
    case NDT_CINT32: return NDT_CFLOAT64;
    default: return dataType;
    }
}

std::optional<std::string> write_envi_data_type(int dataType) {
    if (!knownType(dataType) || kTypes[dataType].envi == nullptr) return std::nullopt;
    return std::string(kTypes[dataType].envi);
}

void convert_to_envi_storage(int dataType, const unsigned char* in, unsigned char* out, std::size_t count) {
    switch (dataType) {
    case NDT_INT8: widen<int8_t, int16_t>(in, out, count); break;
    case NDT_CINT16: widen<int16_t, float>(in, out, count * 2); break;  // both components
    case NDT_CINT32: widen<int32_t, double>(in, out, count * 2); break;
    default: std::memcpy(out, in, count * static_cast<std::size_t>(get_data_type_size(dataType))); break;
    }
}

struct NorvikRasterInterface::Handle {
    TIFF* tif = nullptr;
    ~Handle() {
        if (tif != nullptr) XTIFFClose(tif);
    }
};

NorvikRasterInterface::NorvikRasterInterface() = default;
NorvikRasterInterface::~NorvikRasterInterface() = default;

int NorvikRasterInterface::fail(int code, const std::string& otherInfo, int line) {
    mErrorCode = code;
    mErrorSourceName = NORVIK_DA_SOURCE;
    mErrorOtherInfo = otherInfo;
    mErrorSourceLine = line;
    return 0;
}

void NorvikRasterInterface::close() {
    mHandle.reset();
    mBands = mLines = mPixels = 0;
    mDataType = NDT_UNKNOWN;
    mProjection.clear();
    mUpperLeftX = mUpperLeftY = mGridSizeX = mGridSizeY = mNoData = NORVIK_DA_NAN;
}

int NorvikRasterInterface::open(const std::string& path) {
    close();
    mErrorCode = 0;
    mErrorSourceName.clear();
    mErrorOtherInfo.clear();
    mErrorSourceLine = 0;
    mPath = path;
    mHandle = std::make_unique<Handle>();
    // Without memory mapping ("m"): a mapped file's pages count as the
    // process's resident memory once read, so memory would grow with the
    // raster instead of staying at one block row.
    mHandle->tif = XTIFFOpen(path.c_str(), "rm");
    if (mHandle->tif == nullptr) {
        mHandle.reset();
        return fail(NORVIK_DA_EC_NOT_OPENED, path + ": not a readable TIFF file", __LINE__);
    }
    if (readLayout() == 0 || readGeoreferencing() == 0) {
        mHandle.reset();
        return 0;
    }
    return 1;
}

int NorvikRasterInterface::readLayout() {
    TIFF* tif = mHandle->tif;
    uint32_t width = 0, length = 0;
    uint16_t samples = 1, bits = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length) ||
        width == 0 || length == 0 || width > INT32_MAX || length > INT32_MAX) {
        return fail(NORVIK_DA_EC_NOT_OPENED, mPath + ": no valid image size", __LINE__);
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    mDataType = dataTypeOf(format, bits);
    if (mDataType == NDT_UNKNOWN || samples == 0) {
        return fail(NORVIK_DA_EC_SAMPLE_FORMAT,
                    mPath + ": samples of " + std::to_string(bits) + " bits in format " + std::to_string(format) +
                        " are not handled",
                    __LINE__);
    }
    mBitsPerSample = bits;
    mPixels = static_cast<int>(width);
    mLines = static_cast<int>(length);
    mBands = samples;
    mPlanar = planar == PLANARCONFIG_SEPARATE && samples > 1;
    mTiled = TIFFIsTiled(tif) != 0;
    mBigTiff = TIFFIsBigTIFF(tif) != 0;
    if (mTiled) {
        uint32_t tileWidth = 0, tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        if (tileWidth == 0 || tileLength == 0) return fail(NORVIK_DA_EC_NOT_OPENED, mPath + ": no tile size", __LINE__);
        mBlockPixels = static_cast<int>(tileWidth);
        mBlockLines = static_cast<int>(std::min(tileLength, length));
    } else {
        uint32_t rowsPerStrip = length;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        mBlockPixels = mPixels;
        mBlockLines = static_cast<int>(std::clamp<uint32_t>(rowsPerStrip, 1, length));
    }
    // The no-data tag is GDAL's own: libtiff may know it only as an
    // anonymous tag read with its count.
    char* noData = nullptr;
    bool hasNoData = false;
    if (const TIFFField* field = TIFFFindField(tif, TIFFTAG_GDAL_NODATA, TIFF_ANY)) {
        if (!TIFFFieldPassCount(field)) {
            hasNoData = TIFFGetField(tif, TIFFTAG_GDAL_NODATA, &noData) != 0;
        } else if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
            uint32_t length = 0;
            hasNoData = TIFFGetField(tif, TIFFTAG_GDAL_NODATA, &length, &noData) != 0;
        } else {
            uint16_t length = 0;
            hasNoData = TIFFGetField(tif, TIFFTAG_GDAL_NODATA, &length, &noData) != 0;
        }
    }
    if (hasNoData && noData != nullptr) {
        char* end = nullptr;
        const double value = std::strtod(noData, &end);
        if (end != noData) mNoData = value;
    }
    return 1;
}

int NorvikRasterInterface::readGeoreferencing() {
    TIFF* tif = mHandle->tif;
    uint16_t count = 0;
    double* tiePoints = nullptr;
    double* scale = nullptr;
    double* matrix = nullptr;
    const bool hasTiePoints = TIFFGetField(tif, TIFFTAG_GEOTIEPOINTS, &count, &tiePoints) && count > 0;
    const uint16_t tiePointCount = hasTiePoints ? count : 0;
    const bool hasScale = TIFFGetField(tif, TIFFTAG_GEOPIXELSCALE, &count, &scale) && count > 0;
    const uint16_t scaleCount = hasScale ? count : 0;
    const bool hasMatrix = TIFFGetField(tif, TIFFTAG_GEOTRANSMATRIX, &count, &matrix) && count > 0;
    const uint16_t matrixCount = hasMatrix ? count : 0;
    uint16_t* directory = nullptr;
    const bool hasKeys = TIFFGetField(tif, TIFFTAG_GEOKEYDIRECTORY, &count, &directory) && count > 0;
    if (!hasTiePoints && !hasScale && !hasMatrix && !hasKeys) return 1;  // a plain TIFF

    std::unique_ptr<GTIF, void (*)(GTIF*)> gtif(GTIFNew(tif), GTIFFree);
    if (!gtif) return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": GeoTIFF keys cannot be read", __LINE__);
    bool pixelIsPoint = false;
    if (hasKeys) {
        GTIFDefn definition;
        if (!GTIFGetDefn(gtif.get(), &definition) ||
            (definition.Model != ModelTypeProjected && definition.Model != ModelTypeGeographic)) {
            return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": GeoTIFF keys name no coordinate system", __LINE__);
        }
        if (definition.Model == ModelTypeProjected && definition.PCS != KvUserDefined) {
            mProjection = "EPSG:" + std::to_string(definition.PCS);
        } else if (definition.Model == ModelTypeGeographic && definition.GCS != KvUserDefined) {
            mProjection = "EPSG:" + std::to_string(definition.GCS);
        } else if (char* proj = GTIFGetProj4Defn(&definition)) {
            mProjection = proj;
            GTIFFreeMemory(proj);
        }
        if (mProjection.empty()) {
            return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": GeoTIFF keys name no usable coordinate system",
                        __LINE__);
        }
        unsigned short rasterType = 0;
        pixelIsPoint = GTIFKeyGet(gtif.get(), GTRasterTypeGeoKey, &rasterType, 0, 1) == 1 &&
                       rasterType == RasterPixelIsPoint;
    }

    double x0 = NORVIK_DA_NAN, y0 = NORVIK_DA_NAN, dx = NORVIK_DA_NAN, dy = NORVIK_DA_NAN;
    if (hasMatrix) {
        if (matrixCount != 16) return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": transformation not 4 x 4", __LINE__);
        if (matrix[1] != 0.0 || matrix[4] != 0.0) {
            return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": rotated grids are not handled", __LINE__);
        }
        x0 = matrix[3];
        y0 = matrix[7];
        dx = matrix[0];
        dy = matrix[5];
    } else if (hasTiePoints && tiePointCount % 6 != 0) {
        return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": tie points are not sets of 6 values", __LINE__);
    } else if (hasTiePoints && hasScale) {
        if (scaleCount < 2 || scale[0] == 0.0 || scale[1] == 0.0 || !std::isfinite(scale[0]) ||
            !std::isfinite(scale[1])) {
            return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": pixel scale not valid", __LINE__);
        }
        dx = scale[0];
        dy = -scale[1];
        x0 = tiePoints[3] - tiePoints[0] * dx;
        y0 = tiePoints[4] - tiePoints[1] * dy;
    } else if (hasScale && !hasTiePoints) {
        return fail(NORVIK_DA_EC_GEOREFERENCING, mPath + ": pixel scale without tie point", __LINE__);
    }
    // Tie points without scale are ground control points: no regular grid.
    if (pixelIsPoint && std::isfinite(x0)) {
        // The keys locate pixel centres; the grid starts half a pixel before.
        x0 -= dx * 0.5;
        y0 -= dy * 0.5;
    }
    mUpperLeftX = x0;
    mUpperLeftY = y0;
    mGridSizeX = dx;
    mGridSizeY = dy;
    return 1;
}

int NorvikRasterInterface::read_block_rows(const BlockSink& sink, bool enviStorage) {
    if (!mHandle) return fail(NORVIK_DA_EC_NOT_OPENED, mPath + ": not open", __LINE__);
    TIFF* tif = mHandle->tif;
    const std::size_t size = static_cast<std::size_t>(get_data_type_size(mDataType));
    const int outType = enviStorage ? get_envi_storage_type(mDataType) : mDataType;
    const std::size_t outSize = static_cast<std::size_t>(get_data_type_size(outType));
    const int samplesInBlock = mPlanar ? 1 : mBands;
    const tmsize_t blockBytes = mTiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    const tmsize_t rowBytes = mTiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif);
    if (blockBytes <= 0 || rowBytes <= 0) return fail(NORVIK_DA_EC_READ, mPath + ": no block size", __LINE__);

    // A raster may announce blocks far larger than the data it holds: the
    // buffers of one block row are bounded, and left uninitialised, so that
    // only what is decoded into them becomes resident.
    const std::size_t bandBlockCells = static_cast<std::size_t>(mPixels) * static_cast<std::size_t>(mBlockLines);
    const std::size_t bands = static_cast<std::size_t>(mBands);
    const std::size_t cellLimit = kLargestBlockRowBytes / (bands * size + outSize);
    if (bandBlockCells > cellLimit ||
        static_cast<std::size_t>(blockBytes) > kLargestBlockRowBytes - bandBlockCells * (bands * size + outSize)) {
        return fail(NORVIK_DA_EC_SAMPLE_FORMAT,
                    mPath + ": blocks of " + std::to_string(mBlockLines) + " lines of " + std::to_string(mPixels) +
                        " pixels in " + std::to_string(mBands) + " bands take more than " +
                        std::to_string(kLargestBlockRowBytes >> 20) + " MiB",
                    __LINE__);
    }
    const auto buffer = [](std::size_t bytes) { return std::unique_ptr<unsigned char[]>(new unsigned char[bytes]); };
    const std::unique_ptr<unsigned char[]> raw = buffer(static_cast<std::size_t>(blockBytes));
    std::vector<std::unique_ptr<unsigned char[]>> bandLines;
    for (std::size_t band = 0; band < bands; ++band) bandLines.push_back(buffer(bandBlockCells * size));
    const std::unique_ptr<unsigned char[]> converted = buffer(outType != mDataType ? bandBlockCells * outSize : 0);
    const unsigned mask = (1u << std::min(mBitsPerSample, 8)) - 1u;

    for (int line0 = 0; line0 < mLines; line0 += mBlockLines) {
        const int rows = std::min(mBlockLines, mLines - line0);
        for (int plane = 0; plane < (mPlanar ? mBands : 1); ++plane) {
            for (int x0 = 0; x0 < mPixels; x0 += mBlockPixels) {
                const auto uPlane = static_cast<uint16_t>(plane);
                const uint32_t block = mTiled ? TIFFComputeTile(tif, static_cast<uint32_t>(x0),
                                                                static_cast<uint32_t>(line0), 0, uPlane)
                                              : TIFFComputeStrip(tif, static_cast<uint32_t>(line0), uPlane);
                const tmsize_t got = mTiled ? TIFFReadEncodedTile(tif, block, raw.get(), blockBytes)
                                            : TIFFReadEncodedStrip(tif, block, raw.get(), blockBytes);
                // A strip holds `rows` lines; a tile always its full height.
                if (got < (mTiled ? blockBytes : rowBytes * rows)) {
                    return fail(NORVIK_DA_EC_READ,
                                mPath + ": " + (mTiled ? "tile " : "strip ") + std::to_string(block) + " cannot be read",
                                __LINE__);
                }
                const int cols = std::min(mBlockPixels, mPixels - x0);
                for (int r = 0; r < rows; ++r) {
                    const unsigned char* in = raw.get() + static_cast<std::size_t>(r) * static_cast<std::size_t>(rowBytes);
                    const std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(mPixels) +
                                           static_cast<std::size_t>(x0);
                    for (int s = 0; s < samplesInBlock; ++s) {
                        unsigned char* out = bandLines[static_cast<std::size_t>(mPlanar ? plane : s)].get() + at * size;
                        if (mBitsPerSample < 8) {
                            for (int x = 0; x < cols; ++x) {
                                const int bit = (x * samplesInBlock + s) * mBitsPerSample;
                                out[x] = static_cast<unsigned char>((in[bit / 8] >> (8 - mBitsPerSample - bit % 8)) & mask);
                            }
                        } else if (samplesInBlock == 1) {
                            std::memcpy(out, in, static_cast<std::size_t>(cols) * size);
                        } else {
                            for (int x = 0; x < cols; ++x) {
                                std::memcpy(out + static_cast<std::size_t>(x) * size,
                                            in + (static_cast<std::size_t>(x) * samplesInBlock + s) * size, size);
                            }
                        }
                    }
                }
            }
        }
        const std::size_t cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(mPixels);
        for (int band = 0; band < mBands; ++band) {
            const unsigned char* data = bandLines[static_cast<std::size_t>(band)].get();
            if (outType != mDataType) {
                convert_to_envi_storage(mDataType, data, converted.get(), cells);
                data = converted.get();
            }
            if (!sink(band, line0, rows, data)) return 0;
        }
    }
    return 1;
}

}  // namespace NNORVIK_DA_RASTER_INTERFACE
