// Closing routine of every run: closing blocks, error archive, deletion of
// the work file and release of the core globals.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "orbs_core_generic_utility.h"
#include "orbs_core_time_man_utility.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr std::uintmax_t kMaxLogSize = 1000000;
constexpr int kWorkFileDeleteAttempts = 500;

// The C library's ctime text of now (with its line end).
std::string ctimeNow() {
    const std::time_t now = std::time(nullptr);
    char buffer[64] = {};
    ctime_r(&now, buffer);
    return buffer;
}

// Paths are handed to the shell: quote those that hold anything but the
// usual path characters, so that blanks or quotes in a working directory
// neither break the command nor run anything.
std::string shellWord(const std::string& path) {
    if (path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:,@%=") ==
        std::string::npos)
        return path;
    std::string quoted = "'";
    for (char c : path) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void writeEndBlock(std::ostream& out, const std::string& version, const std::string& time) {
    const std::string stars(160, '*');
    out << "\n" << stars << "\nEND : " << version << "  -  " << time << "\n" << stars << "\n\n";
    out.flush();
}

void archiveTraceAndLog(const std::string& workingDir, const std::string& stamp) {
    const std::string trace = workingDir + "Process.trace";
    const std::string log = workingDir + "Process.log";
    const std::string archive = workingDir + stamp + "error.tgz";
    std::string command = "tar -zcvvf " + shellWord(archive) + " ";
    bool any = false;
    for (const std::string& path : {trace, log}) {
        if (!fdfExistFile(path)) continue;
        std::cerr << path << "\n";
        command += shellWord(path) + " ";
        any = true;
    }
    if (!any) {
        std::cerr << "no run : " << command << "\n";
        return;
    }
    std::cerr << command << "\n";
    std::fflush(nullptr);
    const int status = std::system(command.c_str());
    // A cut archive (a full file system) looks like a report but holds
    // nothing readable: it goes, and the standard error says so.
    if (status != 0) {
        fdfRemoveFile(archive);
        std::cerr << "The error archive " << archive << " could not be written\n";
    }
}

bool gClosing = false;

}  // namespace

namespace NORBS_ERROR_MANAGER {

void closeProcess(int code, bool logFlag, bool successFlag, bool endFlag) {
    // A raise from inside the closing routine must not start it again.
    if (gClosing) {
        if (code != 0) std::exit(code);
        return;
    }
    gClosing = true;
    struct ClosingGuard {
        ~ClosingGuard() { gClosing = false; }
    } guard;

    std::string workingDir;
    const bool haveWorkingDir = fdfGetEnv(workingDir, "ORBISCAN_WORKING_DIR") == 0;
    const std::string stamp = nowCompact();

    if (logFlag) {
        const std::string version = NorvikCore::get_software_version();
        const std::string time = ctimeNow();
        if (endFlag) {
            if (code != 0)
                logPrint("\n\n-%s   %s\n\n%s\n\nERROR :\n  %s\n\n", NorvikCore::get_actual_step().c_str(),
                         version.c_str(), time.c_str(), " ");
            else if (successFlag)
                logPrint("\n\nSUCCESSFUL\n\n%s\n\n", time.c_str());
        }
        std::ofstream& log = NorvikCore::get_process_log_stream();
        std::ofstream& trace = NorvikCore::get_process_trace_stream();
        if (log.good()) writeEndBlock(log, version, time);
        if (trace.good()) writeEndBlock(trace, version, time);
        log.close();
        trace.close();
        if (haveWorkingDir && fdfExistFile(workingDir + "Process.trace_save"))
            flocalUnixCopyFile(workingDir + "Process.trace", workingDir + "Process" + stamp + ".trace");
    }

    if (code != 0) {
        if (haveWorkingDir)
            archiveTraceAndLog(workingDir, stamp);
        else if (code != ORBS_EC_ENVIRONMENT)
            // Without a working directory the run never got far enough to
            // have a trace; the missing key is the error to report.
            raiseError(ORBS_EC_ENVIRONMENT, "orbiscan_utility/tools_library/orbs_errors", 2234,
                       "ORBISCAN_WORKING_DIR");
    }

    NorvikCore::set_map_itrf_ptr(nullptr);

    const std::string workFile = NorvikCore::get_work_file();
    // What was put in the place of the work file (a directory, a device) is
    // not the process's to delete, and would never go away by retrying.
    if (code == 0 && !workFile.empty()) {
        if (const std::optional<std::string> refusal = fdfRegularFileRefusal(workFile)) {
            gClosing = false;  // the raise runs the closing routine itself
            raiseError(ORBS_EC_WORK_FILE_NOT_DELETED, "orbiscan_utility/tools_library/orbs_errors", 2280,
                       workFile + " " + *refusal);
        }
    }
    if (code == 0 && !workFile.empty() && fdfExistFile(workFile)) {
        int attempt = 0;
        while (attempt < kWorkFileDeleteAttempts && fdfExistFile(workFile)) {
            ++attempt;
            std::remove(workFile.c_str());
            if (!fdfExistFile(workFile)) break;
            fdfPauseSeconds(static_cast<double>(static_cast<long>(attempt * 0.01 + 0.5)));
        }
        if (fdfExistFile(workFile)) {
            if (std::FILE* note = std::fopen((workFile + "_not_found_working.txt").c_str(), "w")) {
                std::fprintf(note, "%d attempt to delete %s\n", attempt, workFile.c_str());
                std::fclose(note);
            }
            gClosing = false;  // the raise runs the closing routine itself
            raiseError(ORBS_EC_WORK_FILE_NOT_DELETED, "orbiscan_utility/tools_library/orbs_errors", 2290,
                       workFile);
        }
    }

    // The log is removed only once its copy is safe.
    if (haveWorkingDir && fdfFileSize(workingDir + "Process.log") > kMaxLogSize &&
        flocalUnixCopyFile(workingDir + "Process.log", workingDir + "Process_" + stamp + "_trace.txt") == 1)
        fdfRemoveFile(workingDir + "Process.log");

    NorvikCore::free();
    if (code != 0) std::exit(code);
}

}  // namespace NORBS_ERROR_MANAGER
