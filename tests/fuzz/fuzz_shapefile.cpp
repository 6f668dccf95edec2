// Shapefiles: one input is a .shp, .shx and .dbf triple, split by a header
// of five bytes (a flag byte, then the sizes of the .shp and the .shx as
// 16-bit little-endian numbers; the .dbf is the rest).  Any triple is read
// or refused, and a read set is whole (fuzz_shape_sets.h).  With the flag's
// lowest bit the points go into the UTM system of a geocoded raster header.
#include <algorithm>
#include "fuzz_shape_sets.h"

namespace {
std::unique_ptr<CSectionDataGroup> gUtmHeader;
std::size_t sizeAt(const std::uint8_t* data) { return data[0] | static_cast<std::size_t>(data[1]) << 8; }
}  // namespace

ORBS_FUZZ_INITIALIZE(orbs_fuzz::useShapeEnvironment(); gUtmHeader = orbs_fuzz::shapedSet("HEADER_INFO");
                     gUtmHeader->setValue("GeocodedImage", std::string("OK"));
                     gUtmHeader->setValue("State", std::string("UTM-GLOBAL"));
                     gUtmHeader->setValue("Zone", std::string("33")))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::size_t shp = std::min(sizeAt(data + 1), size - 5);
    const std::size_t shx = std::min(sizeAt(data + 3), size - 5 - shp);
    const std::string path = orbs_fuzz::writeInput("area.shp", data + 5, shp);
    orbs_fuzz::writeInput("area.shx", data + 5 + shp, shx);
    orbs_fuzz::writeInput("area.dbf", data + 5 + shp + shx, size - 5 - shp - shx);
    CShapeSet set;
    orbs_fuzz::tolerateRaise([&] {
        if (set.InitFromShapeFile(path, (data[0] & 1) != 0 ? gUtmHeader.get() : nullptr)) orbs_fuzz::checkShapeSet(set);
    });
    return 0;
}
