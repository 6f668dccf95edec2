// NorvikCore globals and their accessors.
#include "orbs_utility_global_vars.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <thread>

#include <sys/time.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_files_to_delete.h"
#include "orbs_general_parameters.h"

namespace {

struct CoreGlobals {
    int32_t initGuard = 0;
    int traceLevel = 0;
    std::ofstream traceStream;
    std::ofstream logStream;
    std::string actualStep;
    std::string softwareVersion;
    std::string workFile;
    bool exitEnabled = false;
    bool percProgram = true;
    const char* inputParameters = nullptr;
    std::string inputParametersFileName;
    std::optional<std::string> referenceDem;
    double calMaxValue = -1.0;
    int maxLinesInRasterBuffer = 4000;
    float nanFloat = std::numeric_limits<float>::quiet_NaN();
    double nanDouble = std::numeric_limits<double>::quiet_NaN();
    NorvikCore::AbortHandler abortHandler = nullptr;
    NorvikCore::PreExecutionTask preExecutionTask = nullptr;
    std::unique_ptr<CEnvironmentTable> environment;
    std::unique_ptr<CErrorCatalogue> errorCatalogue;
    std::unique_ptr<CFileToDelete> filesToDelete;
    std::unique_ptr<CGeneralParameters> generalParameters;
    std::unique_ptr<CItrfMap> itrfMap;
    uint64_t lastTimerCounter = 0;
    uint64_t lastRdtscCounter = 0;
};

CoreGlobals& globals() {
    static CoreGlobals instance;
    return instance;
}

// The very first check of the process reports "not initialised" whatever
// the guard holds, so that init() always runs once.
bool gFirstCheck = true;

}  // namespace

namespace NorvikCore {

bool ensureInitialised() {
    CoreGlobals& g = globals();
    if (gFirstCheck) {
        gFirstCheck = false;
        g.initGuard = kInitialisedGuard + 1;
    }
    if (g.initGuard != kInitialisedGuard) init();
    return true;
}

int init() {
    CoreGlobals& g = globals();
    // Mark the globals initialised first: the objects replaced below may
    // call accessors (a register being deleted consults the general
    // parameters), which must not start another init.
    gFirstCheck = false;
    g.initGuard = kInitialisedGuard;
    g.inputParametersFileName.clear();
    g.percProgram = true;
    g.inputParameters = nullptr;
    g.generalParameters.reset();
    g.referenceDem.reset();
    g.abortHandler = nullptr;
    g.preExecutionTask = nullptr;
    g.environment.reset();
    g.itrfMap.reset();
    g.workFile.clear();
    g.actualStep.clear();
    g.softwareVersion.clear();
    g.nanFloat = std::numeric_limits<float>::quiet_NaN();
    g.nanDouble = std::numeric_limits<double>::quiet_NaN();
    try {
        g.filesToDelete = std::make_unique<CFileToDelete>(CORBS_FILES_TO_DELETE_CAPACITY);
        g.errorCatalogue = std::make_unique<CErrorCatalogue>();
    } catch (const std::bad_alloc&) {
        g.initGuard = 0;
        return 0;
    }
    return 1;
}

void free() {
    CoreGlobals& g = globals();
    // The register goes first: deleting it removes the run's temporary
    // files, which may still consult the general parameters.
    g.filesToDelete.reset();
    g.generalParameters.reset();
    g.workFile.clear();
    g.actualStep.clear();
    g.referenceDem.reset();
    g.softwareVersion.clear();
    g.environment.reset();
    g.itrfMap.reset();
    g.errorCatalogue.reset();
}

int get_trace_level() {
    ensureInitialised();
    return globals().traceLevel;
}
int set_trace_level(int level) {
    ensureInitialised();
    globals().traceLevel = level;
    return 1;
}

std::ofstream& get_process_trace_stream() {
    ensureInitialised();
    return globals().traceStream;
}
std::ofstream& get_process_log_stream() {
    ensureInitialised();
    return globals().logStream;
}

std::string get_actual_step() {
    ensureInitialised();
    return globals().actualStep;
}
int set_actual_step(const std::string& text) {
    ensureInitialised();
    std::string step = text.substr(0, CORBS_MAX_STEP_LEN);
    for (char& c : step)
        if (c == '\n') c = ' ';
    globals().actualStep = step;
    return 1;
}

std::string get_software_version() {
    ensureInitialised();
    return globals().softwareVersion;
}
int set_software_version(const std::string& text) {
    ensureInitialised();
    globals().softwareVersion = text;
    return 1;
}

std::string get_work_file() {
    ensureInitialised();
    return globals().workFile;
}

int set_work_file(const std::string& path) {
    ensureInitialised();
    // The path must fit the suite's 6000-byte path buffers; a longer one is
    // refused rather than cut to a different file name.
    if (path.size() >= CORBS_MAX_PATH_LEN) {
        if (get_trace_level() >= 1) NORBS_ERROR_MANAGER::traceInfo("FAIL CREATE : %s\n", path.c_str());
        return 0;
    }
    globals().workFile = path;
    if (::access(path.c_str(), F_OK) == 0) return 1;
    if (const int error = fdfWriteWholeFile(path, "0\nInit process\n")) {
        // The progress file is the user interface's only view of the run.
        std::cerr << "The progress file cannot be created: " << fdfWriteFailure(path, error) << "\n";
        if (get_trace_level() >= 1) NORBS_ERROR_MANAGER::traceInfo("FAIL CREATE : %s\n", path.c_str());
        return 0;
    }
    NORBS_ERROR_MANAGER::traceAtLevel(15, "VT]CREATE : %s\n", path.c_str());
    return 1;
}

bool get_is_exit_enable_flag() {
    ensureInitialised();
    return globals().exitEnabled;
}
int set_is_exit_enable_flag(bool flag) {
    ensureInitialised();
    globals().exitEnabled = flag;
    return 1;
}

bool get_perc_program_flag() {
    ensureInitialised();
    return globals().percProgram;
}
int set_perc_program_flag(bool flag) {
    ensureInitialised();
    globals().percProgram = flag;
    return 1;
}

std::string get_input_parameters() {
    ensureInitialised();
    const char* p = globals().inputParameters;
    return p ? std::string(p) : std::string("NVP");
}
int set_input_parameters(const char* commandBuffer) {
    ensureInitialised();
    globals().inputParameters = commandBuffer;
    return 1;
}
std::string get_input_parameters_file_name() {
    ensureInitialised();
    return globals().inputParametersFileName;
}
int set_input_parameters_file_name(const std::string& name) {
    ensureInitialised();
    globals().inputParametersFileName = name;
    return 1;
}

std::optional<std::string> get_reference_dem() {
    ensureInitialised();
    return globals().referenceDem;
}
int set_reference_dem(const char* path) {
    ensureInitialised();
    if (path == nullptr || *path == '\0')
        globals().referenceDem.reset();
    else
        globals().referenceDem = std::string(path);
    return 1;
}

double get_cal_max_value() {
    ensureInitialised();
    return globals().calMaxValue;
}
int set_cal_max_value(double value) {
    ensureInitialised();
    globals().calMaxValue = value;
    return 1;
}
int get_max_nbr_lines_in_raster_buffer() {
    ensureInitialised();
    return globals().maxLinesInRasterBuffer;
}
int set_max_nbr_lines_in_raster_buffer(int lines) {
    ensureInitialised();
    globals().maxLinesInRasterBuffer = lines;
    return 1;
}

float get_nan_float_val() {
    ensureInitialised();
    return globals().nanFloat;
}
double get_nan_double_val() {
    ensureInitialised();
    return globals().nanDouble;
}

AbortHandler get_abort_handler() {
    ensureInitialised();
    return globals().abortHandler;
}
AbortHandler set_abort_handler(AbortHandler handler) {
    ensureInitialised();
    AbortHandler previous = globals().abortHandler;
    globals().abortHandler = handler;
    return previous;
}
PreExecutionTask get_pre_execution_task() {
    ensureInitialised();
    return globals().preExecutionTask;
}
PreExecutionTask set_pre_execution_task(PreExecutionTask task) {
    ensureInitialised();
    PreExecutionTask previous = globals().preExecutionTask;
    globals().preExecutionTask = task;
    return previous;
}

CEnvironmentTable* get_enviroment_ptr() {
    ensureInitialised();
    return globals().environment.get();
}
CErrorCatalogue* get_error_manager_ptr() {
    ensureInitialised();
    return globals().errorCatalogue.get();
}
CFileToDelete* get_files_to_delete_ptr() {
    ensureInitialised();
    return globals().filesToDelete.get();
}
CGeneralParameters* get_generals_par_ptr() {
    ensureInitialised();
    return globals().generalParameters.get();
}
int set_generals_par_ptr(std::unique_ptr<CGeneralParameters> parameters) {
    ensureInitialised();
    globals().generalParameters = std::move(parameters);
    return 1;
}
CItrfMap* get_map_itrf_ptr() {
    ensureInitialised();
    return globals().itrfMap.get();
}
int set_map_itrf_ptr(std::unique_ptr<CItrfMap> map) {
    ensureInitialised();
    globals().itrfMap = std::move(map);
    return 1;
}

int insertFileToDelete(const char* path, bool companions) {
    CFileToDelete* files = get_files_to_delete_ptr();
    if (files == nullptr || path == nullptr) return 0;
    files->insertFileToDelete(path, companions);
    return 1;
}

int commitFilesToDelete(bool deleteFlag) {
    CFileToDelete* files = get_files_to_delete_ptr();
    if (files == nullptr) return 0;
    files->commit(deleteFlag);
    return 1;
}

}  // namespace NorvikCore

// Environment table storage lives with the globals.
void createEnvironmentTable(int capacity) {
    NorvikCore::ensureInitialised();
    globals().environment = std::make_unique<CEnvironmentTable>(capacity);
}

void destroyEnvironmentTable() {
    NorvikCore::ensureInitialised();
    globals().environment.reset();
}

bool environmentExists() {
    NorvikCore::ensureInitialised();
    return globals().environment != nullptr;
}

uint64_t getAvailableSystemMemory(bool half) {
    const uint64_t pageSize = static_cast<uint64_t>(sysconf(_SC_PAGE_SIZE));
    const uint64_t pages = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES));
    const uint64_t total = pageSize * pages;
    if (!half) return total;
    const uint64_t available = static_cast<uint64_t>(sysconf(_SC_AVPHYS_PAGES));
    if (NorvikCore::get_trace_level() >= 10) {
        using NORBS_ERROR_MANAGER::traceDebug;
        traceDebug("_SC_PHYS_PAGES = %llu\n", static_cast<unsigned long long>(pages));
        traceDebug("_SC_AVPHYS_PAGES = %llu\n", static_cast<unsigned long long>(available));
        traceDebug("getAvailableSystemMemory() AVAIL  = %llu\n",
                   static_cast<unsigned long long>(pageSize * available));
        traceDebug("_SC_PAGE_SIZE = %llu\n", static_cast<unsigned long long>(pageSize));
        traceDebug("getAvailableSystemMemory() TOTAL  = %llu\n", static_cast<unsigned long long>(total));
    }
    return total / 2;
}

uint64_t getTimeMicroseconds() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000ULL + static_cast<uint64_t>(tv.tv_usec);
}

double getElapsedMilliseconds() {
    NorvikCore::ensureInitialised();
    const uint64_t now = getTimeMicroseconds();
    const double elapsed = static_cast<double>(now - globals().lastTimerCounter) / 1000.0;
    globals().lastTimerCounter = now;
    return elapsed;
}

uint64_t readCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    // No time-stamp counter: nanoseconds of the steady clock stand in for cycles.
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

uint64_t getElapsedCycles() {
    NorvikCore::ensureInitialised();
    const uint64_t now = readCycleCounter();
    const uint64_t elapsed = now - globals().lastRdtscCounter;
    globals().lastRdtscCounter = now;
    return elapsed;
}

void norvik_handle_memory_depletion() {
    // Reporting allocates too: when memory is so short that this handler is
    // entered again, end the run at once with the same code.
    static bool handling = false;
    if (handling) std::_Exit(30000);
    handling = true;
    const int savedErrno = errno;
    if (NorvikCore::get_trace_level() >= 1)
        NORBS_ERROR_MANAGER::traceInfo(" Memory bad allocation errno : %d\n", savedErrno);
    NORBS_ERROR_MANAGER::raiseError(30000, "orbiscan_utility/tools_library/orbs_core_generic_utility", 3949, "HMD");
}

namespace {
double positiveEnvNumber(const char* name, double fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0.0) || std::isinf(value)) return fallback;
    return value;
}
}  // namespace

double fdfPauseScale() { return positiveEnvNumber("ORBISCAN_PAUSE_SCALE", 1.0); }

double fdfErrorReportPauseSeconds() { return positiveEnvNumber("ORBISCAN_ERROR_PAUSE_SECONDS", 10.0); }

void fdfErrorReportPause() {
    const double seconds = fdfErrorReportPauseSeconds();
    if (seconds > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void fdfPauseSeconds(double seconds) {
    const double scaled = seconds * fdfPauseScale();
    if (scaled > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(scaled));
}

std::string fdfDirWithSlash(const std::string& dir) {
    std::string result = dir;
    if (!result.empty() && result.back() == '/') result.pop_back();
    result += '/';
    return result;
}
