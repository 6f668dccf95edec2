// Environment table, configuration file, default installation layout and
// the once-per-process set-up.
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr const char* kGlobalVarsSource = "orbiscan_utility/tools_library/orbs_utility_global_vars";
constexpr const char* kErrorsSource = "orbiscan_utility/tools_library/orbs_errors";
constexpr const char* kDefaultInstallationDir = "/etc/norvik";
constexpr const char* kDefaultConfigurationName = "Orbiscan_configuration.ini";
constexpr rlim_t kMinimumStack = 104857600;  // 100 MiB

// Keys of the configuration file, line n holding the n-th key.  Line 13 is
// read and not used.
constexpr std::array<const char*, 14> kConfigurationKeys = {
    "ORBISCAN_KEY_FILES_DIR",         "ORBISCAN_MANDATORY_DIR",
    "ORBISCAN_WORKING_DIR",           "ORBISCAN_EXE_DIR",
    "ORBISCAN_MAP_FILES_DIR",         "ORBISCAN_CEOS_DES_FILES_DIR",
    "ORBISCAN_XML_PARAMETERS_DEF_DIR", "ORBISCAN_ARESYS_DES_FILES_DIR",
    "ORBISCAN_OTHER_01_DES_FILES_DIR", "ORBISCAN_XML_SCHEMA_DES_FILES_DIR",
    "ORBISCAN_DEFAULT_BYTE_ORDER",    "ORBISCAN_TRACING",
    nullptr,                          "ORBISCAN_DUMMY_VALUE"};

std::optional<std::string> processVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// Strips the line end of a configuration line read with its line feed.  A
// line ending in "/" + CR + LF loses all three characters (historic rule of
// the suite's configuration files); otherwise only the line feed goes.
std::string stripConfigurationLineEnd(std::string line) {
    const std::size_t length = line.size();
    if (length > 2 && line[length - 2] != '/' && line[length - 3] == '/')
        line.resize(length - 3);
    else if (length > 0)
        line.resize(length - 1);
    return line;
}

[[noreturn]] void raiseEnvironment(int line, const char* parameter) {
    NORBS_ERROR_MANAGER::raiseError(ORBS_EC_ENVIRONMENT, kGlobalVarsSource, line, parameter);
}

// A configuration line holds text: a NUL or another control character
// (the tab and the carriage return excepted) means the file is not a
// configuration file, and its values must never name the trace, the log or
// the archives.
bool isConfigurationText(const std::string& line) {
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F;
    });
}

// Reads the 14 lines of the configuration file into the table.  Each line
// must fit the suite's 2000-byte line buffer with its line feed and the
// terminating zero (at most 1998 characters before the line feed); reading
// stops at that limit, so an endless line costs nothing.
void readConfigurationFile(std::FILE* file, const std::optional<std::string>& workingDir) {
    for (std::size_t i = 0; i < kConfigurationKeys.size(); ++i) {
        std::string line;
        int c = 0;
        while (line.size() < CORBS_CONFIG_LINE_LEN && (c = std::fgetc(file)) != EOF) {
            line.push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        if (line.empty()) raiseEnvironment(1307, nullptr);
        // The last line may lack its line feed: treat it as if it had one
        // instead of cutting its last character.
        if (line.back() != '\n') {
            if (line.size() >= CORBS_CONFIG_LINE_LEN - 1) raiseEnvironment(1307, "configuration line too long");
            line.push_back('\n');
        }
        if (line.size() >= CORBS_CONFIG_LINE_LEN) raiseEnvironment(1307, "configuration line too long");
        if (!isConfigurationText(line)) raiseEnvironment(1307, "configuration file is not a text file");
        const char* key = kConfigurationKeys[i];
        if (key == nullptr) continue;
        const std::string value = stripConfigurationLineEnd(line);
        if (i == 2 && workingDir)
            fdfSetEnv(*workingDir, key);
        else
            fdfSetEnv(value, key);
    }
}

}  // namespace

CEnvironmentTable::CEnvironmentTable(int capacity) : mCapacity(capacity > 0 ? capacity : 0) {
    mNames.reserve(static_cast<std::size_t>(mCapacity));
    mValues.reserve(static_cast<std::size_t>(mCapacity));
}

int CEnvironmentTable::set(const std::string& name, const char* value) {
    std::optional<std::string> stored;
    if (value != nullptr) stored = std::string(value);
    for (std::size_t i = 0; i < mNames.size(); ++i) {
        if (mNames[i] == name) {
            mValues[i] = std::move(stored);
            return 1;
        }
    }
    if (count() >= mCapacity) mCapacity += 10;
    mNames.push_back(name);
    mValues.push_back(std::move(stored));
    return 1;
}

int CEnvironmentTable::get(std::string& destination, const std::string& name) const {
    for (std::size_t i = 0; i < mNames.size(); ++i) {
        if (mNames[i] == name) {
            if (!mValues[i]) return -1;
            destination = *mValues[i];
            return 0;
        }
    }
    return -1;
}

int fdfSetEnv(const char* value, const std::string& name) {
    CEnvironmentTable* table = NorvikCore::get_enviroment_ptr();
    if (table == nullptr) return 0;
    return table->set(name, value);
}

int fdfGetEnv(std::string& destination, const std::string& name) {
    const CEnvironmentTable* table = NorvikCore::get_enviroment_ptr();
    if (table == nullptr) return -1;
    return table->get(destination, name);
}

int buildDefaultLayout(const std::string& installationDir, const std::optional<std::string>& workingDir) {
    if (!environmentExists()) return 0;
    const std::string d = installationDir + "/";
    const std::string aux = d + "auxiliary/";
    const std::string descriptions = aux + "description_files/";
    const std::pair<const char*, std::string> layout[] = {
        {"ORBISCAN_KEY_FILES_DIR", aux + "key_files/"},
        {"ORBISCAN_MANDATORY_DIR", aux + "mandatory/"},
        {"ORBISCAN_WORKING_DIR", workingDir ? fdfDirWithSlash(*workingDir) : d + "work/"},
        {"ORBISCAN_EXE_DIR", d + "bin/"},
        {"ORBISCAN_MAP_FILES_DIR", aux + "map_files/"},
        {"ORBISCAN_CEOS_DES_FILES_DIR", descriptions},
        {"ORBISCAN_XML_PARAMETERS_DEF_DIR", aux + "xml_parameters_definition/"},
        {"ORBISCAN_ARESYS_DES_FILES_DIR", descriptions},
        {"ORBISCAN_OTHER_01_DES_FILES_DIR", descriptions},
        {"ORBISCAN_XML_SCHEMA_DES_FILES_DIR", aux + "xml_schema_files/"},
        {"ORBISCAN_DEFAULT_BYTE_ORDER", "LSBF"},
        {"ORBISCAN_TRACING", "ACTIVE"},
        {"ORBISCAN_DUMMY_VALUE", "NaN"},
    };
    for (const auto& [key, value] : layout)
        if (fdfSetEnv(value, key) == 0) return 0;
    return 1;
}

void loadEnvironment() {
    std::string installationDir = fdfDirWithSlash(processVariable("ORBISCAN_INIT_DIR").value_or(kDefaultInstallationDir));
    const std::string configurationPath =
        installationDir + processVariable("NORVIK_CONFIGURATION_FILE_NAME").value_or(kDefaultConfigurationName);

    std::optional<std::string> workingDir = processVariable("ORBISCAN_WORKING_DIR");
    if (workingDir) workingDir = fdfDirWithSlash(*workingDir);

    // A device or a pipe in place of the configuration file would be read
    // for ever.
    if (const std::optional<std::string> refusal = fdfRegularFileRefusal(configurationPath))
        raiseEnvironment(1307, ("configuration file " + *refusal).c_str());
    if (std::FILE* file = std::fopen(configurationPath.c_str(), "r")) {
        struct Closer {
            std::FILE* f;
            ~Closer() { std::fclose(f); }
        } closer{file};
        readConfigurationFile(file, workingDir);
    } else {
        installationDir.pop_back();
        if (!environmentExists())
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_FOUND, kGlobalVarsSource, 1293, configurationPath);
        if (buildDefaultLayout(installationDir, workingDir) == 0)
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_FOUND, kGlobalVarsSource, 1298, configurationPath);
    }

    std::optional<std::string> batchDir = processVariable("ORBISCAN_BATCH_DIR");
    if (!batchDir) {
        std::string working;
        if (fdfGetEnv(working, "ORBISCAN_WORKING_DIR") != 0) raiseEnvironment(1342, "ORBISCAN_WORKING_DIR");
        batchDir = working;
    }
    fdfSetEnv(fdfDirWithSlash(*batchDir), "ORBISCAN_BATCH_DIR");
    std::string batch;
    if (fdfGetEnv(batch, "ORBISCAN_BATCH_DIR") != 0) raiseEnvironment(1350, nullptr);

    NorvikCore::set_work_file(processVariable("ORBISCAN_WORKING_FILE").value_or(batch + "Process.working"));

    std::string dummy;
    if (fdfGetEnv(dummy, "ORBISCAN_DUMMY_VALUE") != 0) raiseEnvironment(1364, "ORBISCAN_DUMMY_VALUE");
}

void initProcess(bool percProgramFlag, const std::string& version, bool truncateTraceFlag) {
    NorvikCore::init();
    NorvikCore::set_cal_max_value(-1.0);
    NorvikCore::set_generals_par_ptr(nullptr);
    NorvikCore::set_max_nbr_lines_in_raster_buffer(4000);
    NorvikCore::set_map_itrf_ptr(nullptr);
    NorvikCore::set_trace_level(0);

    std::srand(static_cast<unsigned>(std::time(nullptr)));

    NorvikCore::set_actual_step("-");
    NorvikCore::set_software_version(version);
    NorvikCore::set_abort_handler(NORBS_ERROR_MANAGER::generic_abort_handler);

    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    NorvikCore::set_perc_program_flag(percProgramFlag);

    rlimit stack{};
    if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY && stack.rlim_cur < kMinimumStack) {
        stack.rlim_cur = kMinimumStack;
        if (stack.rlim_max != RLIM_INFINITY && stack.rlim_max < kMinimumStack) stack.rlim_cur = stack.rlim_max;
        setrlimit(RLIMIT_STACK, &stack);
    }

    NorvikCore::set_is_exit_enable_flag(true);
    std::set_new_handler([] { norvik_handle_memory_depletion(); });

    loadEnvironment();

    if (percProgramFlag) {
        NORBS_ERROR_MANAGER::fdfOpenOrbiscanTrace(!truncateTraceFlag);
        NORBS_ERROR_MANAGER::fdfOpenOrbiscanLog();
        std::string descriptionDir;
        if (fdfGetEnv(descriptionDir, "ORBISCAN_CEOS_DES_FILES_DIR") != 0)
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_ENVIRONMENT, kErrorsSource, 924, "ORBISCAN_CEOS_DES_FILES_DIR");
        NORBS_ERROR_MANAGER::loadErrorCatalogue(*NorvikCore::get_error_manager_ptr(),
                                                descriptionDir + "orbs_errors_catalog.des", true);
        if (fdfGetEnv(descriptionDir, "ORBISCAN_CEOS_DES_FILES_DIR") != 0)
            NORBS_ERROR_MANAGER::raiseError(ORBS_EC_ENVIRONMENT, kErrorsSource, 929, "ORBISCAN_CEOS_DES_FILES_DIR");
    }
}
