// KMZ files (zip archives): any bytes are listed or refused, and each
// member is extracted or refused with nothing left behind.
#include "fuzz_support.h"
#include "orbs_archive.h"

ORBS_FUZZ_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("area.kmz", data, size);
    OrbsArchive archive(path);
    if (!archive.load()) return 0;
    const std::string target = orbs_fuzz::scratch("member");
    // The first 8 members of at most 4 MiB, so that every input stays quick.
    for (unsigned i = 0; i < archive.getNrOfEntries() && i < 8; ++i) {
        if (archive.at(i).getSize() > (4 << 20)) continue;
        const bool extracted = archive.extractAs(i, target);
        if (std::filesystem::exists(target) != extracted) std::abort();
        std::filesystem::remove(target);
    }
    return 0;
}
