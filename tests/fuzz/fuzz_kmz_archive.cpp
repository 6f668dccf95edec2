// KMZ files (zip archives): any bytes are listed or refused, and each
// member is extracted or refused with nothing left behind.
#include "fuzz_support.h"
#include "orbs_archive.h"

namespace {

// Members announcing more are skipped, and so are members past the first
// few, so that every input stays quick.
constexpr std::uint64_t kLargestExtracted = 4 << 20;
constexpr unsigned kMembersExtracted = 8;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orbs_fuzz::pinProcessState();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("area.kmz", data, size);
    OrbsArchive archive(path);
    if (!archive.load()) return 0;
    const std::string target = orbs_fuzz::Scratch::get().path("member");
    for (unsigned i = 0; i < archive.getNrOfEntries() && i < kMembersExtracted; ++i) {
        if (archive.at(i).getSize() > kLargestExtracted) continue;
        const bool extracted = archive.extractAs(i, target);
        if (std::filesystem::exists(target) != extracted) std::abort();
        std::filesystem::remove(target);
    }
    return 0;
}
