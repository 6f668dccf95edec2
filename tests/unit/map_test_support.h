// Helpers of the cartography tests: an environment whose map directory is
// the generated one, and the command-line tools used as oracles (PROJ's
// projinfo, proj and cct; GeographicLib's GeoConvert, TransverseMercatorProj
// and CartConvert; GDAL's ogr2ogr and ogrinfo).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "orbs_core_generic_utility.h"
#include "orbs_core_map_utility.h"
#include "orbs_utility_global_vars.h"

namespace orbs_test {

// A core test with an environment table whose ORBISCAN_MAP_FILES_DIR holds
// the generated map files.
class MapTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        loadDefaultEnvironment();
        fdfSetEnv(ORBS_MAP_FILES_DIR, "ORBISCAN_MAP_FILES_DIR");
    }

    // The output lines of a command fed with the given input lines.
    std::vector<std::string> run(const std::string& command, const std::vector<std::string>& input = {}) {
        std::string text;
        for (const std::string& line : input) text += line + "\n";
        writeFile(dir() / "tool_input.txt", text);
        std::istringstream output(commandOutput(command + " < " + quoted(at("tool_input.txt"))));
        std::vector<std::string> lines;
        for (std::string line; std::getline(output, line);) lines.push_back(line);
        return lines;
    }
};

// The numbers of a line; tokens that are not numbers are skipped.
inline std::vector<double> numbersOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> numbers;
    for (std::string token; in >> token;) {
        char* end = nullptr;
        const double value = std::strtod(token.c_str(), &end);
        if (end != token.c_str() && *end == '\0') numbers.push_back(value);
    }
    return numbers;
}

// The value of "+key=" in a PROJ definition.
inline double parameterOf(const std::string& definition, const std::string& key) {
    const std::size_t at = definition.find(" +" + key + "=");
    return at == std::string::npos ? 0.0 : std::stod(definition.substr(at + key.size() + 3));
}

}  // namespace orbs_test
