// Helpers of the parameter set and parameter file tests: building shaped
// sets and a clean core per test.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"

namespace orbs_test {

struct FieldShape {
    std::string name;
    int shape;
    int type;
};

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

// A clean core (exit mode off, trace level 0) and a temporary directory.
class ParameterSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
        setenv("ORBISCAN_ERROR_PAUSE_SECONDS", "0", 1);
        resetCore();
    }
    void TearDown() override { resetCore(); }

    std::string at(const std::string& name) const { return (mDir.path() / name).string(); }

    static std::string data(const std::string& name) {
        return std::string(ORBS_SOURCE_DIR) + "/tests/data/parameter_files/" + name;
    }

private:
    TempDir mDir;
};

// The sections of the golden header_set.sml, all fields unset.  The
// CartographicSystem section stays unset and is not written.
inline void shapeHeaderSet(CSectionDataGroup& set) {
    addSection(set, "RasterInfo",
               {{"NrOfLinesPerImage", CORBS_DS_SCALAR, CORBS_DS_INTEGER},
                {"NrOfPixelsPerLine", CORBS_DS_SCALAR, CORBS_DS_INTEGER},
                {"NrOfChannels", CORBS_DS_SCALAR, CORBS_DS_INTEGER},
                {"HeaderOffset", CORBS_DS_SCALAR, CORBS_DS_INTEGER},
                {"CellType", CORBS_DS_SCALAR, CORBS_DS_STRING},
                {"BandName", CORBS_DS_VECTOR, CORBS_DS_STRING},
                {"OtherInfo", CORBS_DS_MATRIX, CORBS_DS_STRING}});
    addSection(set, "CartographicSystem", {{"State", CORBS_DS_SCALAR, CORBS_DS_STRING}});
    addSection(set, "RegistrationCoordinates",
               {{"LatNorthing", CORBS_DS_SCALAR, CORBS_DS_DOUBLE},
                {"PixelSpacingLatNorth", CORBS_DS_SCALAR, CORBS_DS_DOUBLE},
                {"pixels_latitude", CORBS_DS_VECTOR, CORBS_DS_DOUBLE}});
    CSectionData& sensor = addSection(set, "Sensor",
                                      {{"SensorId", CORBS_DS_SCALAR, CORBS_DS_INTEGER},
                                       {"SensorName", CORBS_DS_SCALAR, CORBS_DS_STRING},
                                       {"Mode", CORBS_DS_SCALAR, CORBS_DS_STRING},
                                       {"Counts", CORBS_DS_MATRIX, CORBS_DS_INTEGER}});
    addMultiple(sensor, "Pair", CORBS_DS_SCALAR, CORBS_DS_INTEGER, {"first", "second"});
    addMultiple(sensor, "Track", CORBS_DS_VECTOR, CORBS_DS_DOUBLE, {"lat", "lon"});
}

// The sections of the golden command_set.sml.
inline void shapeCommandSet(CSectionDataGroup& set) {
    set.setHeaderName("PARAMETERS_INFO_TEST_CMD");
    addSection(set, "MAIN_TEST_CMD",
               {{"output_folder", CORBS_DS_SCALAR, CORBS_DS_STRING},
                {"relative_orbit", CORBS_DS_SCALAR, CORBS_DS_INTEGER},
                {"ratio", CORBS_DS_SCALAR, CORBS_DS_DOUBLE},
                {"orbits", CORBS_DS_VECTOR, CORBS_DS_INTEGER}});
    addSection(set, "GENERAL_PARAMETERS_CMD", {{"delete_temporary_files", CORBS_DS_SCALAR, CORBS_DS_STRING}});
}

}  // namespace orbs_test
