// Helpers of the raster tests: reading the answers of the GDAL oracles, and
// raster header sets shaped from the shipped schema.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core_test_support.h"
#include "orbs_description_section.h"
#include "orbs_raster_header.h"

namespace orbs_test {

// The first group of the first match of `pattern` in `text`, or "".
inline std::string firstMatch(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : std::string();
}

// A core with a temporary installation, so that raster header sets can be shaped.
class RasterHeaderTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        loadDefaultEnvironment();
        ASSERT_EQ(initRasterHeaderSet(header), 1);
    }
    void TearDown() override {
        destroyEnvironmentTable();
        CoreTest::TearDown();
    }

    CSectionDataGroup header;
};

// The same with the map definition files, for headers that name a system.
class MappedHeaderTest : public RasterHeaderTest {
protected:
    void SetUp() override {
        RasterHeaderTest::SetUp();
        fdfSetEnv(ORBS_MAP_FILES_DIR, "ORBISCAN_MAP_FILES_DIR");
    }
};

}  // namespace orbs_test
