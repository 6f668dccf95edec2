// Band files of an imported raster, streamed block row by block row.
#include "orbs_raster_band_export.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_raster_interface.h"

using NORBS_ERROR_MANAGER::traceInfo;
namespace DA = NNORVIK_DA_RASTER_INTERFACE;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The headers say "byte order = 0": samples go out least significant byte
// first whatever the host.
[[maybe_unused]] void toLittleEndian([[maybe_unused]] std::vector<unsigned char>& bytes, [[maybe_unused]] std::size_t componentSize) {
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i + componentSize <= bytes.size(); i += componentSize) {
            std::reverse(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                         bytes.begin() + static_cast<std::ptrdiff_t>(i + componentSize));
        }
    }
}

bool isComplex(int dataType) { return dataType >= DA::NDT_CINT16; }

std::string shortEnviHeader(const DA::NorvikRasterInterface& reader, int firstBand, int bands,
                            const std::string& enviDataType) {
    std::string text = "ENVI\n\tdescription = {\n";
    for (int band = firstBand; band < firstBand + bands; ++band) text += fdfFormat("Band %d\n", band + 1);
    const double values[] = {reader.get_upper_left_x(), reader.get_upper_left_y(), reader.get_grid_size_x(),
                             reader.get_grid_size_y()};
    if (!reader.get_projection().empty() &&
        std::none_of(std::begin(values), std::end(values), [](double v) { return std::isnan(v); })) {
        text += fdfFormat("Projection = %s\n", reader.get_projection().c_str());
        text += fdfFormat("UL Coordinates = X[%24.15f] , Y[%24.15f]\n", values[0], values[1]);
        text += fdfFormat("Grid Size = X[%24.15f] , Y[%24.15f]\n", values[2], values[3]);
    }
    text += "} \n\n";
    text += fdfFormat("samples\t\t\t\t= %d\n", reader.get_pixels_nbr());
    text += fdfFormat("lines\t\t\t\t= %d\n", reader.get_lines_nbr());
    text += fdfFormat("bands\t\t\t\t= %d\n", bands);
    text += "headeroffset\t\t\t\t= 0\n";
    text += "file type\t\t\t\t= ENVI Standard\n";
    text += fdfFormat("data type\t\t\t\t= %s\n", enviDataType.c_str());
    text += "sensor type               = Unknown\n";
    text += "interleave                = bsq\n";
    text += "byte order                = 0\n";
    text += "x start                   = 1\n";
    text += "y start                   = 1\n";
    text += fdfFormat("data ignore value\t\t= %lf\n", reader.get_no_data_value());
    return text + "\n";
}

}  // namespace

int forbs_exportRasterBands(const std::string& inputPath, const std::string& outputPath, bool allBandsInOneFile) {
    DA::NorvikRasterInterface reader;
    if (reader.open(inputPath) == 0) {
        traceInfo("ERROR NNORVIK_DA_RASTER_INTERFACE : [%d] %s (%s line %d)\n", reader.get_error_code(),
                  reader.get_error_other_info().c_str(), reader.get_error_source_name().c_str(),
                  reader.get_error_source_line());
        return 0;
    }
    const int storageType = DA::get_envi_storage_type(reader.get_data_type());
    const std::optional<std::string> enviDataType = DA::write_envi_data_type(storageType);
    if (!enviDataType) {
        traceInfo("ERROR NNORVIK_DA_RASTER_INTERFACE::write_envi_data_type(  = %d\n", reader.get_data_type());
        return 0;
    }

    const int bands = reader.get_bands_nbr();
    const bool oneFile = bands == 1 || (allBandsInOneFile && reader.all_bands_same_type_and_dimension());
    std::vector<std::string> paths;
    if (oneFile) {
        paths.push_back(outputPath);
    } else {
        // "%s_%.3d" writes what "%s_%03.3d" does: at least three digits.
        for (int band = 1; band <= bands; ++band) paths.push_back(fdfFormat("%s_%.3d", outputPath.c_str(), band));
    }
    std::vector<FilePtr> files;
    for (const std::string& path : paths) {
        files.emplace_back(std::fopen(path.c_str(), "wb"));
        if (!files.back()) {
            traceInfo("ERROR open write file = %s\n", path.c_str());
            return 0;
        }
    }

    const std::size_t sampleSize = static_cast<std::size_t>(DA::get_data_type_size(storageType));
    const std::size_t componentSize = isComplex(storageType) ? sampleSize / 2 : sampleSize;
    const std::size_t lineBytes = sampleSize * static_cast<std::size_t>(reader.get_pixels_nbr());
    const std::size_t bandBytes = lineBytes * static_cast<std::size_t>(reader.get_lines_nbr());
    std::vector<unsigned char> swapped;
    bool written = true;
    const int read = reader.read_block_rows(
        [&](int band, int firstLine, int lineCount, const unsigned char* data) {
            std::FILE* file = files[oneFile ? 0 : static_cast<std::size_t>(band)].get();
            const std::size_t bytes = lineBytes * static_cast<std::size_t>(lineCount);
            if constexpr (std::endian::native == std::endian::big) {
                swapped.assign(data, data + bytes);
                toLittleEndian(swapped, componentSize);
                data = swapped.data();
            }
            // Bands follow each other in the single file.
            if (oneFile && std::fseek(file, static_cast<long>(static_cast<std::size_t>(band) * bandBytes +
                                                              static_cast<std::size_t>(firstLine) * lineBytes),
                                      SEEK_SET) != 0) {
                written = false;
            }
            written = written && std::fwrite(data, 1, bytes, file) == bytes;
            return written;
        },
        true);
    for (FilePtr& file : files) written = std::fclose(file.release()) == 0 && written;
    if (read == 0 || !written) {
        traceInfo("ERROR NNORVIK_DA_RASTER_INTERFACE : [%d] %s\n", reader.get_error_code(),
                  read == 0 ? reader.get_error_other_info().c_str() : "the band files cannot be written");
        return 0;
    }

    FilePtr list(std::fopen((outputPath + ".list").c_str(), "w"));
    if (!list) {
        traceInfo("ERROR open write file = %s.list\n", outputPath.c_str());
        return 0;
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::fprintf(list.get(), "%s\n", paths[i].c_str());
        const std::string header = paths[i] + ".hdr";
        FilePtr out(std::fopen(header.c_str(), "w"));
        if (!out) {
            traceInfo("ERROR open write file = %s\n", header.c_str());
            return 0;
        }
        const std::string text =
            shortEnviHeader(reader, oneFile ? 0 : static_cast<int>(i), oneFile ? bands : 1, *enviDataType);
        std::fputs(text.c_str(), out.get());
    }
    return 1;
}
