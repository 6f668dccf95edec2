// The XML shape description: any bytes are read or refused (a raise), and
// a set read is whole (fuzz_shape_sets.h).
#include "fuzz_shape_sets.h"

ORBS_FUZZ_INITIALIZE(orbs_fuzz::useShapeEnvironment())

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("shapes.xml", data, size);
    CShapeSet set;
    orbs_fuzz::tolerateRaise([&] {
        if (!set.InitFromShapeFile(path)) std::abort();  // a refusal raises
        orbs_fuzz::checkShapeSet(set);
    });
    return 0;
}
