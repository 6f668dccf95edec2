// The TIFF / GeoTIFF raster reader: any bytes are opened or refused with
// the reader's error items; an opened raster hands out its block rows in
// line order (in their ENVI storage type, as the band export asks), or
// stops with the error items set; and its coordinate system is named for
// the header fields, or not.
#include "fuzz_parameter_sets.h"
#include "orbs_raster_header.h"
#include "orbs_raster_interface.h"

namespace DA = NNORVIK_DA_RASTER_INTERFACE;

namespace {
std::unique_ptr<CSectionDataGroup> gHeader;
}  // namespace

ORBS_FUZZ_INITIALIZE(orbs_fuzz::useShippedSchemas(); fdfSetEnv(ORBS_MAP_FILES_DIR, "ORBISCAN_MAP_FILES_DIR");
                     gHeader = orbs_fuzz::shapedSet("HEADER_INFO"))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("raster.tif", data, size);
    DA::NorvikRasterInterface reader;
    if (reader.open(path) == 0) {
        if (reader.get_error_code() == 0 || reader.get_error_other_info().empty()) std::abort();
        return 0;
    }
    if (reader.get_bands_nbr() < 1 || reader.get_lines_nbr() < 1 || reader.get_pixels_nbr() < 1) std::abort();
    std::vector<int> nextLine(static_cast<std::size_t>(reader.get_bands_nbr()), 0);
    const int read = reader.read_block_rows(
        [&](int band, int firstLine, int lineCount, const unsigned char*) {
            if (band < 0 || band >= reader.get_bands_nbr() || lineCount < 1) std::abort();
            int& expected = nextLine[static_cast<std::size_t>(band)];
            if (firstLine != expected) std::abort();
            expected += lineCount;
            return true;
        },
        true);
    if (read == 1 ? nextLine[0] != reader.get_lines_nbr() : reader.get_error_code() == 0) std::abort();
    if (!reader.get_projection().empty())
        orbs_fuzz::tolerateRaise([&] { forbsReadRasterHeaderMap(path, *gHeader); });
    return 0;
}
