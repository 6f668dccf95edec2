// Helpers of the parameter set and parameter file tests: building shaped
// sets, a clean core per test, the captured trace and raises.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"

namespace orbs_test {

struct FieldSpec {
    std::string name;
    int shape;
    int type;
};

inline CSectionData& addSection(CSectionDataGroup& set, const std::string& name,
                                std::initializer_list<FieldSpec> fields) {
    CSectionData& section = set.addSection(std::make_unique<CSectionData>(name));
    for (const FieldSpec& spec : fields) {
        section.addField(std::make_unique<CSectionField>(spec.name, spec.shape, spec.type));
    }
    return section;
}

inline void addMultiple(CSectionData& section, const std::string& name, int subShape, int type,
                        const std::vector<std::string>& subNames) {
    section.addField(CSectionField::createMultiple(name, subShape, type, subNames));
}

// The error code of a raise (raises throw while exit mode is off), or 0.
inline int raisedCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const CErrorExceptionManager& error) {
        return error.mErrorCode;
    }
    return 0;
}

// A clean core (exit mode off, trace level 0) and a temporary directory; the
// trace can be captured at a chosen level.
class ParameterSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
        setenv("ORBISCAN_ERROR_PAUSE_SECONDS", "0", 1);
        resetCore();
    }
    void TearDown() override { resetCore(); }

    void captureTrace(int level) {
        NorvikCore::get_process_trace_stream().open(at("Process.trace"), std::ios::trunc);
        NorvikCore::set_trace_level(level);
    }
    std::string trace() {
        NorvikCore::get_process_trace_stream().flush();
        return readFile(at("Process.trace"));
    }
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

// The values of header_set.sml (the SOFTWARE row is added on writing).
inline void fillHeaderSet(CSectionDataGroup& set) {
    set["NrOfLinesPerImage"].setValue(100);
    set["NrOfPixelsPerLine"].setValue(200);
    set["NrOfChannels"].setValue(2);
    set["CellType"].setValue(std::string("FLOAT"));
    set["BandName"].setDimension(1, 2);
    set["BandName"].setValue(0, std::string("VV<1>"));
    set["OtherInfo"].setDimension(1, 2);
    set["OtherInfo"].setValue(0, 0, std::string("ORIGIN DATA"));
    set["OtherInfo"].setValue(0, 1, std::string("S1A"));
    set["LatNorthing"].setValue(45.5);
    set["PixelSpacingLatNorth"].setValue(0.1);
    CSectionField& latitudes = set["pixels_latitude"];
    latitudes.setDimension(1, 3);
    latitudes.setValue(0, 1.5);
    latitudes.setValue(1, CORBS_USER_PARAMETER_TO_FILL_DBL);
    latitudes.setValue(2, NorvikCore::get_nan_double_val());
    set["SensorName"].setValue(std::string("A & B's \"x\""));
    set["Mode"].setValue(std::string());
    CSectionField& counts = set["Counts"];
    counts.setDimension(2, 2);
    counts.setValue(0, 0, 1);
    counts.setValue(0, 1, CORBS_USER_PARAMETER_TO_FILL_INT);
    counts.setValue(1, 0, 3);
    counts.setValue(1, 1, 4);
    set["first"].setValue(7);
    set["second"].setValue(CORBS_USER_PARAMETER_TO_FILL_INT);
    set["lat"].setDimension(1, 2);
    set["lon"].setDimension(1, 2);
    set["lat"].setValue(0, 1.25);
    set["lat"].setValue(1, 2.5);
    set["lon"].setValue(0, -3.0);
    set["lon"].setValue(1, 4.75);
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

inline int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace orbs_test
