// Process-wide state of the core library (NorvikCore), the environment table
// and the once-per-process set-up.
//
// Every accessor first makes sure the globals are initialised, so any of
// them may be the first call of the process.  Texts are held in std::string;
// the limits that users can observe (80-character step, 6000-byte paths)
// are enforced explicitly where the value is stored.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CFileToDelete;
class CErrorCatalogue;
#include "orbs_general_parameters.h"

// The ITRF map object of the geodesy code.  Only its lifetime is managed
// here: closeProcess releases it.
class CItrfMap {
public:
    virtual ~CItrfMap() = default;
};

// Named directory and option values.  Each name occurs once; a value may be
// absent.  The capacity grows by 10 slots when full, keeping every entry.
class CEnvironmentTable {
public:
    explicit CEnvironmentTable(int capacity);

    // Returns 1.  An absent value (nullptr) clears an existing entry's value.
    int set(const std::string& name, const char* value);
    // 0 and the value copied, or -1 when the name is missing or has no value.
    int get(std::string& destination, const std::string& name) const;

    int count() const { return static_cast<int>(mNames.size()); }
    int capacity() const { return mCapacity; }

private:
    std::vector<std::string> mNames;
    std::vector<std::optional<std::string>> mValues;
    int mCapacity;
};

// Limits of the fixed buffers the rest of the suite relies on.
constexpr std::size_t CORBS_MAX_PATH_LEN = 6000;      // paths, command buffer
constexpr std::size_t CORBS_MAX_STEP_LEN = 80;        // actual step text
constexpr std::size_t CORBS_CONFIG_LINE_LEN = 2000;   // configuration file line
constexpr int CORBS_ENV_TABLE_CAPACITY = 50;
constexpr int CORBS_FILES_TO_DELETE_CAPACITY = 1000;

namespace NorvikCore {

using AbortHandler = void (*)(int);
using PreExecutionTask = bool (*)();

// Guard value telling that the globals are initialised.
constexpr int32_t kInitialisedGuard = 123456;

// Runs init() on the first call of the process (whatever the guard memory
// holds) and whenever the guard does not hold 123456.  Returns true.
bool ensureInitialised();
int init();
void free();

int get_trace_level();
int set_trace_level(int level);

std::ofstream& get_process_trace_stream();
std::ofstream& get_process_log_stream();

std::string get_actual_step();
int set_actual_step(const std::string& text);
std::string get_software_version();
int set_software_version(const std::string& text);

std::string get_work_file();
// 1 when the work file exists or was created with "0\nInit process\n",
// 0 when it cannot be created.
int set_work_file(const std::string& path);

bool get_is_exit_enable_flag();
int set_is_exit_enable_flag(bool flag);
bool get_perc_program_flag();
int set_perc_program_flag(bool flag);

// The command text, or "NVP" while none was set.
std::string get_input_parameters();
int set_input_parameters(const char* commandBuffer);
std::string get_input_parameters_file_name();
int set_input_parameters_file_name(const std::string& name);

std::optional<std::string> get_reference_dem();
int set_reference_dem(const char* path);

double get_cal_max_value();
int set_cal_max_value(double value);
int get_max_nbr_lines_in_raster_buffer();
int set_max_nbr_lines_in_raster_buffer(int lines);

float get_nan_float_val();
double get_nan_double_val();

AbortHandler get_abort_handler();
AbortHandler set_abort_handler(AbortHandler handler);
PreExecutionTask get_pre_execution_task();
PreExecutionTask set_pre_execution_task(PreExecutionTask task);

CEnvironmentTable* get_enviroment_ptr();
CErrorCatalogue* get_error_manager_ptr();
CFileToDelete* get_files_to_delete_ptr();
CGeneralParameters* get_generals_par_ptr();
int set_generals_par_ptr(std::unique_ptr<CGeneralParameters> parameters);
CItrfMap* get_map_itrf_ptr();
int set_map_itrf_ptr(std::unique_ptr<CItrfMap> map);

// Forwarders to the temporary-file register; 0 when it (or the path) is
// missing, else 1.
int insertFileToDelete(const char* path, bool companions);
int commitFilesToDelete(bool deleteFlag);

}  // namespace NorvikCore

// Environment table.
void createEnvironmentTable(int capacity);
void destroyEnvironmentTable();
bool environmentExists();
// 0 without a table, else 1.  A null value clears the entry.
int fdfSetEnv(const char* value, const std::string& name);
inline int fdfSetEnv(const std::string& value, const std::string& name) {
    return fdfSetEnv(value.c_str(), name);
}
// 0 and the value, or -1 (no table, no such name, no value).
int fdfGetEnv(std::string& destination, const std::string& name);

// Once-per-process set-up run by the command dispatcher.
void initProcess(bool percProgramFlag, const std::string& version, bool truncateTraceFlag);
void loadEnvironment();
int buildDefaultLayout(const std::string& installationDir, const std::optional<std::string>& workingDir);

// System services.
uint64_t getAvailableSystemMemory(bool half);
uint64_t getTimeMicroseconds();
double getElapsedMilliseconds();
uint64_t readCycleCounter();
uint64_t getElapsedCycles();
[[noreturn]] void norvik_handle_memory_depletion();

// Pauses.  The retry pauses of the file and progress routines are scaled by
// the process variable ORBISCAN_PAUSE_SCALE (default 1, 0 makes them
// instant) so that tests of failure paths run fast.  The pause before an
// error report is ORBISCAN_ERROR_PAUSE_SECONDS seconds (default 10).
void fdfPauseSeconds(double seconds);
double fdfErrorReportPauseSeconds();
// Waits fdfErrorReportPauseSeconds() before an error report is written.
void fdfErrorReportPause();
double fdfPauseScale();

// Normalises a directory value: one trailing "/" removed, then "/" appended.
std::string fdfDirWithSlash(const std::string& dir);
