// The configuration file of an installation, read from any bytes into the
// environment table.  The progress file and the batch directory are pinned
// to the scratch directory: no value of the input names a file created.
#include "fuzz_support.h"

ORBS_FUZZ_INITIALIZE(setenv("ORBISCAN_INIT_DIR", orbs_fuzz::scratch("").c_str(), 1);
                     setenv("NORVIK_CONFIGURATION_FILE_NAME", "Orbiscan_configuration.ini", 1);
                     setenv("ORBISCAN_BATCH_DIR", orbs_fuzz::scratch("").c_str(), 1);
                     setenv("ORBISCAN_WORKING_FILE", orbs_fuzz::scratch("Process.working").c_str(), 1);
                     unsetenv("ORBISCAN_WORKING_DIR"))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orbs_fuzz::writeInput("Orbiscan_configuration.ini", data, size);
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    orbs_fuzz::tolerateRaise([] {
        loadEnvironment();
        // A value never keeps its line feed, nor holds more than a line.
        std::string value;
        for (const char* key : {"ORBISCAN_KEY_FILES_DIR", "ORBISCAN_WORKING_DIR", "ORBISCAN_DUMMY_VALUE"})
            if (fdfGetEnv(value, key) != 0 || value.find('\n') != std::string::npos || value.size() >= CORBS_CONFIG_LINE_LEN)
                std::abort();
    });
    destroyEnvironmentTable();
    return 0;
}
