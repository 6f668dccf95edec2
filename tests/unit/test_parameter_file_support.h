// Helpers of the parameter set and parameter file tests: building shaped
// sets, and the folder of the hand-written parameter files.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"

namespace orbs_test {

// Shapes (scalar, vector, matrix) and data types (integer, double, text).
constexpr int S = CORBS_DS_SCALAR, V = CORBS_DS_VECTOR, M = CORBS_DS_MATRIX;
constexpr int I = CORBS_DS_INTEGER, D = CORBS_DS_DOUBLE, T = CORBS_DS_STRING;

struct FieldShape { std::string name; int shape; int type; };

inline CSectionData& addSection(CSectionDataGroup& set, const std::string& name,
                                std::initializer_list<FieldShape> fields) {
    CSectionData& section = set.addSection(std::make_unique<CSectionData>(name));
    for (const FieldShape& field : fields) {
        section.addField(std::make_unique<CSectionField>(field.name, field.shape, field.type));
    }
    return section;
}

inline void addMultiple(CSectionData& section, const std::string& name, int subShape, int type,
                        const std::vector<std::string>& subNames) {
    section.addField(CSectionField::createMultiple(name, subShape, type, subNames));
}

class ParameterSetTest : public CleanCoreTest {
protected:
    static std::string data(const std::string& name) {
        return std::string(ORBS_SOURCE_DIR) + "/tests/data/parameter_files/" + name;
    }
};

// The sections of the golden header_set.sml, all fields unset.  The
// CartographicSystem section stays unset and is not written.
inline void shapeHeaderSet(CSectionDataGroup& set) {
    addSection(set, "RasterInfo", {{"NrOfLinesPerImage", S, I}, {"NrOfPixelsPerLine", S, I}, {"NrOfChannels", S, I},
                                   {"HeaderOffset", S, I}, {"CellType", S, T}, {"BandName", V, T}, {"OtherInfo", M, T}});
    addSection(set, "CartographicSystem", {{"State", S, T}});
    addSection(set, "RegistrationCoordinates", {{"LatNorthing", S, D}, {"PixelSpacingLatNorth", S, D},
                                                {"pixels_latitude", V, D}});
    CSectionData& sensor = addSection(set, "Sensor", {{"SensorId", S, I}, {"SensorName", S, T}, {"Mode", S, T},
                                                      {"Counts", M, I}});
    addMultiple(sensor, "Pair", S, I, {"first", "second"});
    addMultiple(sensor, "Track", V, D, {"lat", "lon"});
}

}  // namespace orbs_test
