// Shapefiles: one input is a .shp, .shx and .dbf triple, split by a header
// of five bytes (a flag byte, then the sizes of the .shp and the .shx as
// 16-bit little-endian numbers; the .dbf is the rest).  Any triple is read
// or refused, and a read set is whole (fuzz_shape_sets.h).  With the flag's
// lowest bit the points go into the UTM system of a geocoded raster header.
#include <algorithm>

#include "fuzz_shape_sets.h"

namespace {

constexpr std::size_t kHeaderBytes = 5;

std::unique_ptr<CSectionDataGroup>& utmHeader() {
    static std::unique_ptr<CSectionDataGroup> instance;
    return instance;
}

std::size_t sizeAt(const std::uint8_t* data) { return data[0] | static_cast<std::size_t>(data[1]) << 8; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orbs_fuzz::pinProcessState();
    orbs_fuzz::useShapeEnvironment();
    utmHeader() = orbs_fuzz::shapedSet("HEADER_INFO");
    CSectionDataGroup& header = *utmHeader();
    header.setValue("GeocodedImage", std::string("OK"));
    header.setValue("State", std::string("UTM-GLOBAL"));
    header.setValue("Zone", std::string("33"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderBytes) return 0;
    const bool geocoded = (data[0] & 1) != 0;
    std::size_t at = kHeaderBytes;
    const std::size_t shp = std::min(sizeAt(data + 1), size - at);
    const std::size_t shx = std::min(sizeAt(data + 3), size - at - shp);
    const std::string path = orbs_fuzz::writeInput("area.shp", data + at, shp);
    at += shp;
    orbs_fuzz::writeInput("area.shx", data + at, shx);
    at += shx;
    orbs_fuzz::writeInput("area.dbf", data + at, size - at);

    CShapeSet set;
    orbs_fuzz::tolerateRaise([&] {
        if (set.InitFromShapeFile(path, geocoded ? utmHeader().get() : nullptr)) orbs_fuzz::checkShapeSet(set);
    });
    return 0;
}
