// The entry logic of the service executable: one command per run, given as
// "<command>#<parameter file>"; every outcome becomes the exit status.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"
#include "orbs_command_line.h"

namespace {

constexpr const char* kMainSource = "source/main_sentinel_services";

// The command buffer of the run; the core environment points at it.
std::array<char, CORBS_MAX_PATH_LEN> gCommandBuffer{};

// Trace and log lines of a failed run (exit mode on).
void traceAndLogFailure(int code, const std::string& parameter, int line, int savedErrno) {
    std::string primary, secondary;
    NORBS_ERROR_MANAGER::getErrorMessage(NorvikCore::get_error_manager_ptr(), code, primary, secondary);
    const std::string step = NorvikCore::get_actual_step();
    const std::string version = NorvikCore::get_software_version();
    NORBS_ERROR_MANAGER::traceInfo("\nERROR : %s [%s] (%s) \n %s   %s\n    FILE=%s   LINE=%d  (errno = %d)",
                                   primary.c_str(), secondary.c_str(), parameter.c_str(), step.c_str(),
                                   version.c_str(), kMainSource, line, savedErrno);
    if (code != 0)
        NORBS_ERROR_MANAGER::logPrint("\n\n-%s   %s\n\nERROR : [ERROR ID : %d]\n  %s [%s]\n  %s \n\n", step.c_str(),
                                      version.c_str(), code, primary.c_str(), secondary.c_str(),
                                      parameter.c_str());
}

[[noreturn]] void finishWithException(const CErrorExceptionManager& caught) {
    const CErrorExceptionManager exception = caught;
    exception.writeReport("FINAL ERROR report");
    const int code = exception.mErrorCode;
    const std::string& parameter = exception.mErrorParameter;
    if (!environmentExists()) std::exit(code);
    if (code != 0) {
        fdfErrorReportPause();
        NORBS_ERROR_MANAGER::writeErrorReport(code, {parameter.c_str()});
    }
    if (NorvikCore::get_is_exit_enable_flag()) {
        if (code == 0) std::remove(NorvikCore::get_work_file().c_str());
        traceAndLogFailure(code, parameter, 53, errno);
    } else if (code == 0) {
        std::remove(NorvikCore::get_work_file().c_str());
    }
    if (code != 0) NORBS_ERROR_MANAGER::closeProcess(code, true, true, true);
    NORBS_ERROR_MANAGER::logPrint("\n\nSUCCESSFULL\n\n\n");
    NORBS_ERROR_MANAGER::closeProcess(0, true, true, true);
    destroyEnvironmentTable();
    std::exit(0);
}

[[noreturn]] void finishWithUnexpectedException() {
    if (NorvikCore::get_trace_level() > 9) NORBS_ERROR_MANAGER::traceInfo("Generic exceptions \n");
    const int code = ORBS_EC_UNEXPECTED_EXCEPTION;
    if (!environmentExists()) std::exit(code);
    const std::string step = NorvikCore::get_actual_step();
    fdfErrorReportPause();
    NORBS_ERROR_MANAGER::writeErrorReport(code, {step.c_str()});
    if (NorvikCore::get_is_exit_enable_flag()) traceAndLogFailure(code, step, 58, errno);
    NORBS_ERROR_MANAGER::closeProcess(code, true, true, true);
    std::exit(code);
}

}  // namespace

int runCommandLine(int argc, char** argv, SubProcessTable table) {
    if (argc < 2) return -1;

    // The command buffer holds at most 5999 characters.  A longer command
    // string cannot name a command this program can run: it is refused
    // before any set-up, like an unknown command, instead of being cut.
    const std::size_t length = std::strlen(argv[1]);
    if (length >= gCommandBuffer.size()) {
        std::fprintf(stderr, "Command string of %zu characters refused: the limit is %zu characters\n", length,
                     gCommandBuffer.size() - 1);
        return ORBS_EC_NO_SUCH_COMMAND;
    }

    // The process ends outside the handlers: exiting from inside one would
    // leave the exception object alive at exit.
    std::optional<CErrorExceptionManager> failure;
    try {
        std::memcpy(gCommandBuffer.data(), argv[1], length + 1);
        NorvikCore::set_input_parameters(gCommandBuffer.data());
        errno = 0;
        const int result = subProcessesHandler(table, gCommandBuffer.data());
        if (result == 0) {
            table.clear();
            if (NorvikCore::get_trace_level() > 9) {
                // The closing routine has closed the trace: the last line is appended.
                std::ofstream trace(NORBS_ERROR_MANAGER::fdfProcessTracePath(), std::ios::app);
                trace << "Exit without exceptions \n";
            }
            return 0;
        }
        NORBS_ERROR_MANAGER::raiseError(result, kMainSource, 45, nullptr);
    } catch (const CErrorExceptionManager& exception) {
        failure = exception;
    } catch (...) {
    }
    if (failure) finishWithException(*failure);
    finishWithUnexpectedException();
}
