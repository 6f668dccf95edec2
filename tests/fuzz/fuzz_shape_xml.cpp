// The XML shape description: any bytes are read or refused (a raise); a
// read set holds as many shapes, points and parts as it says, its total of
// points is the number of its points, and each part starts at a point of
// its shape.
#include "fuzz_shape_sets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orbs_fuzz::pinProcessState();
    orbs_fuzz::useShapeEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("shapes.xml", data, size);
    CShapeSet set;
    orbs_fuzz::tolerateRaise([&] {
        if (!set.InitFromShapeFile(path)) std::abort();  // a refusal raises
        orbs_fuzz::checkShapeSet(set);
    });
    return 0;
}
