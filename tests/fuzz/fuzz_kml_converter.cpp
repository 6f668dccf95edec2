// The KML to shapefile conversion: any document gives a polygon shapefile
// (all four files) or nothing at all.
#include "fuzz_support.h"
#include "orbs_converter.h"

ORBS_FUZZ_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = orbs_fuzz::writeInput("area.kml", data, size);
    const std::string base = orbs_fuzz::scratch("area");
    const bool converted = converter::convert(input, base + ".shp", "kml_to_shapefile", "", "");
    for (const char* extension : {".shp", ".shx", ".dbf", ".prj"}) {
        if (std::filesystem::exists(base + extension) != converted) std::abort();
        std::filesystem::remove(base + extension);
    }
    return 0;
}
