// Parameter files read into the sets they describe: a raster header shaped
// from the shipped header schema and the auxiliary files command's set.  A
// set read from any bytes is written as a new file, which must read again
// with every value of its written fields, and is written into a copy of
// the input as an update of its sections.
#include "fuzz_parameter_sets.h"

namespace {
// Each set, and a twin of the same shape that reads what the set wrote.
std::vector<std::pair<std::unique_ptr<CSectionDataGroup>, std::unique_ptr<CSectionDataGroup>>> gSets;
}  // namespace

ORBS_FUZZ_INITIALIZE(orbs_fuzz::useShippedSchemas();
                     for (const char* root : {"HEADER_INFO", "PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD"})
                         gSets.emplace_back(orbs_fuzz::shapedSet(root), orbs_fuzz::shapedSet(root)))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("input.sml", data, size);
    const std::string written = orbs_fuzz::scratch("written.sml");
    for (const auto& pair : gSets) {
        CSectionDataGroup& set = *pair.first;
        CSectionDataGroup& twin = *pair.second;
        int read = 0;
        orbs_fuzz::tolerateRaise([&] { read = set.readXML(path, false); });
        if (read != 1) continue;
        orbs_fuzz::tolerateRaise([&] {
            if (set.writeXML(written, false, true) != 1) return;
            if (twin.readXML(written, false) != 1) {
                std::fprintf(stderr, "the written file does not read again\n");
                std::abort();
            }
            // Two quotes in a row are written "&quot;&quot;", which a
            // parameter file reads as the empty text.
            orbs_fuzz::expectWrittenValues(set, twin, {}, [](const std::string& text) {
                return text.find("\"\"") == std::string::npos ? text : std::string();
            });
        });
        const std::string updated = orbs_fuzz::writeInput("updated.sml", data, size);
        orbs_fuzz::tolerateRaise([&] { set.writeXML(updated, false, false); });
    }
    return 0;
}
