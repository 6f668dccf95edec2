// Data-abstraction raster reader: TIFF, BigTIFF and GeoTIFF files read
// through libtiff, their georeferencing through libgeotiff.
//
// Pixels are handed out one block row at a time (a strip, or a row of
// tiles) so that memory stays bounded by one block row per band whatever
// the raster size (and by kLargestBlockRowBytes whatever it announces).  Failures leave the four error items (code, source name,
// other information, source line) for the caller, as every object of the
// suite that reports instead of raising.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace NNORVIK_DA_RASTER_INTERFACE {

// Sample types.  Complex types hold a real and an imaginary component.
enum NorvikDataType {
    NDT_UNKNOWN = 0,
    NDT_BYTE,
    NDT_INT8,
    NDT_UINT16,
    NDT_INT16,
    NDT_UINT32,
    NDT_INT32,
    NDT_UINT64,
    NDT_INT64,
    NDT_FLOAT32,
    NDT_FLOAT64,
    NDT_CINT16,
    NDT_CINT32,
    NDT_CFLOAT32,
    NDT_CFLOAT64,
};

// Bytes of one sample (0 for NDT_UNKNOWN).
int get_data_type_size(int dataType);
// The type a sample is exported as to ENVI files: ENVI has no signed byte
// and no complex integers, so those widen (without loss) to 16-bit integers
// and complex floats; the others stay.
int get_envi_storage_type(int dataType);
// The ENVI "data type" code of a storage type, or none.
std::optional<std::string> write_envi_data_type(int dataType);
// Converts `count` samples from one type to its ENVI storage type.
void convert_to_envi_storage(int dataType, const unsigned char* in, unsigned char* out, std::size_t count);

// The reader's value for an unknown number (georeferencing, no-data value).
inline constexpr double NORVIK_DA_NAN = std::numeric_limits<double>::quiet_NaN();

// Error codes of the reader.
constexpr int NORVIK_DA_EC_NOT_OPENED = 80001;      // missing, not TIFF, or its directory unreadable
constexpr int NORVIK_DA_EC_SAMPLE_FORMAT = 80002;   // a sample layout the reader does not handle
constexpr int NORVIK_DA_EC_READ = 80003;            // a strip or tile cannot be read (truncated file)
constexpr int NORVIK_DA_EC_GEOREFERENCING = 80004;  // GeoTIFF keys or tags that contradict themselves

inline constexpr const char* NORVIK_DA_SOURCE = "runtime/orbs_raster_interface";

// The most memory the buffers of one block row (all bands) may take: larger
// blocks are refused with NORVIK_DA_EC_SAMPLE_FORMAT.
inline constexpr std::size_t kLargestBlockRowBytes = std::size_t{512} << 20;

class NorvikRasterInterface {
public:
    NorvikRasterInterface();
    ~NorvikRasterInterface();
    NorvikRasterInterface(const NorvikRasterInterface&) = delete;
    NorvikRasterInterface& operator=(const NorvikRasterInterface&) = delete;

    // 1 when the raster and its georeferencing could be read; 0 with the
    // error items set.
    int open(const std::string& path);
    void close();

    int get_bands_nbr() const { return mBands; }
    int get_lines_nbr() const { return mLines; }
    int get_pixels_nbr() const { return mPixels; }
    int get_data_type() const { return mDataType; }
    // True when every band has one type and one size (always so in a TIFF).
    bool all_bands_same_type_and_dimension() const { return mBands > 0; }
    bool is_tiled() const { return mTiled; }
    bool is_planar() const { return mPlanar; }
    bool is_bigtiff() const { return mBigTiff; }
    // Lines per block row (strip or tile height).
    int get_block_lines() const { return mBlockLines; }

    // Coordinate system: "EPSG:<code>" when the keys name one, else a PROJ
    // definition; empty when the raster has none.
    const std::string& get_projection() const { return mProjection; }
    // Upper-left corner of the upper-left pixel and the signed grid sizes
    // (northing size negative for north-up rasters); NORVIK_DA_NAN when
    // the raster has no regular grid.
    double get_upper_left_x() const { return mUpperLeftX; }
    double get_upper_left_y() const { return mUpperLeftY; }
    double get_grid_size_x() const { return mGridSizeX; }
    double get_grid_size_y() const { return mGridSizeY; }
    // The no-data value of the raster, NORVIK_DA_NAN when it has none.
    double get_no_data_value() const { return mNoData; }

    // Receives, in line order, the lines [firstLine, firstLine + lineCount)
    // of one band, pixel-contiguous, in the delivered type; false stops the
    // reading.
    using BlockSink = std::function<bool(int band, int firstLine, int lineCount, const unsigned char* data)>;
    // Reads every block row and hands each band's lines to the sink; with
    // `enviStorage` the samples come in their ENVI storage type.  1 when
    // every block was read and accepted, 0 otherwise (error items set when
    // reading failed).
    int read_block_rows(const BlockSink& sink, bool enviStorage = false);

    int get_error_code() const { return mErrorCode; }
    const std::string& get_error_source_name() const { return mErrorSourceName; }
    const std::string& get_error_other_info() const { return mErrorOtherInfo; }
    int get_error_source_line() const { return mErrorSourceLine; }

private:
    int fail(int code, const std::string& otherInfo, int line);
    int readLayout();
    int readGeoreferencing();

    struct Handle;
    std::unique_ptr<Handle> mHandle;
    std::string mPath;
    int mBands = 0;
    int mLines = 0;
    int mPixels = 0;
    int mDataType = NDT_UNKNOWN;
    int mBitsPerSample = 0;
    bool mTiled = false;
    bool mPlanar = false;
    bool mBigTiff = false;
    int mBlockLines = 0;
    int mBlockPixels = 0;  // tile width, or the raster width for strips
    std::string mProjection;
    double mUpperLeftX = NORVIK_DA_NAN;
    double mUpperLeftY = NORVIK_DA_NAN;
    double mGridSizeX = NORVIK_DA_NAN;
    double mGridSizeY = NORVIK_DA_NAN;
    double mNoData = NORVIK_DA_NAN;

    int mErrorCode = 0;
    std::string mErrorSourceName;
    std::string mErrorOtherInfo;
    int mErrorSourceLine = 0;
};

}  // namespace NNORVIK_DA_RASTER_INTERFACE
