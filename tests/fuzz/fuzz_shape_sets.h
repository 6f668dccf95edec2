// Shape sets for the fuzz targets of the shape readers: the environment
// they read their descriptions from, and the check of a set read.
#pragma once

#include "fuzz_parameter_sets.h"
#include "orbs_shape_utility.h"

namespace orbs_fuzz {
// The shipped schemas and key files, and the generated map files.
inline void useShapeEnvironment() {
    useShippedSchemas();
    fdfSetEnv(ORBS_SOURCE_DIR "/auxiliary/key_files/", "ORBISCAN_KEY_FILES_DIR");
    fdfSetEnv(ORBS_MAP_FILES_DIR, "ORBISCAN_MAP_FILES_DIR");
}

// A set read is whole: as many shapes, points and parts as it says, its
// total of points is the number of its points (callers hold limits against
// it), and each part starts at a point of its shape.
inline void checkShapeSet(const CShapeSet& set) {
    if (set.mNumberOfShapes != static_cast<int>(set.mShapes.size())) std::abort();
    std::int64_t points = 0;
    for (const CShapeRecord& shape : set.mShapes) {
        if (shape.mNumberOfPoints != static_cast<int>(shape.mPoints.size()) ||
            shape.mNumberOfParts != static_cast<int>(shape.mPartStarts.size()))
            std::abort();
        for (const std::int32_t start : shape.mPartStarts)
            if (start < 0 || (start > 0 && start >= shape.mNumberOfPoints)) std::abort();
        points += shape.mNumberOfPoints;
    }
    if (points != set.mTotalNumberOfPoints) std::abort();
}
}  // namespace orbs_fuzz
