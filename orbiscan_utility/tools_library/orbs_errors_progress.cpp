// The progress (work) file watched by the user interface.
//
// Line 1 holds the percentage (101 written by the user interface asks the
// process to stop), line 2 the step text.
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

int gLastPercent = -1;

std::string streamState(const std::ios& stream) {
    std::string state;
    if (stream.eof()) state += "End of file reached ";
    if (stream.fail()) state += "| A possibly recoverable formatting or conversion error ";
    if (stream.bad()) state += "| A severe I/O error or unknown state";
    return state;
}

bool writeProgress(const std::string& path, int percent, const std::string& step) {
    const int error = fdfWriteWholeFile(path, std::to_string(std::max(percent, 0)) + "\n" + step + "\n");
    if (error != 0) NORBS_ERROR_MANAGER::traceAtLevel(15, "VT]progress not written : %s\n", fdfWriteFailure(path, error).c_str());
    return error == 0;
}

}  // namespace

namespace NORBS_ERROR_MANAGER {

void setActualStep(const char* text) {
    std::string step = text ? text : "";
    if (step.size() > CORBS_MAX_STEP_LEN) step.resize(CORBS_MAX_STEP_LEN);
    for (char& c : step)
        if (c == '\n') c = ' ';
    NorvikCore::set_actual_step(step);
}

void resetProgressBarState() { gLastPercent = -1; }

int setProgressBar(int percent, const char* stepText, bool force, bool raiseOnStop) {
    if (stepText != nullptr) {
        traceAtLevel(15, "VT]  NORBS_ERROR_MANAGER::setProgressBar(%s)\n", stepText);
        const std::string current = NorvikCore::get_actual_step();
        if (current.empty() || (*stepText != '\0' && current != stepText)) setActualStep(stepText);
    }
    if (percent > 100) return 1;
    if (percent == gLastPercent && !force) return 1;

    const std::string path = NorvikCore::get_work_file();
    if (path.empty()) return 1;
    std::remove((path + "_batch_ok").c_str());

    const std::string given = stepText ? stepText : "";
    if (!fdfExistFile(path)) {
        writeProgress(path, percent, given);
        gLastPercent = percent;
        traceAtLevel(20, "VVT]setProgressBar() - Not found file : %s\n", path.c_str());
        return 1;
    }

    // A directory or a device put in the place of the progress file is no
    // progress file: nothing is written into it, and waiting for it to
    // become one would only delay the run.
    if (const std::optional<std::string> refusal = fdfRegularFileRefusal(path)) {
        traceAtLevel(15, "VT]progress not written : %s %s\n", path.c_str(), refusal->c_str());
        return 1;
    }

    std::fstream file;
    for (int attempt = 1; attempt <= 4 && !file.is_open(); ++attempt) {
        file.clear();
        file.open(path, std::ios::in | std::ios::out);
        if (file.is_open()) break;
        traceAtLevel(15, "VT] File %s open attempt : %d aCom : RDSTATE = %s\n", path.c_str(), attempt,
                     streamState(file).c_str());
        fdfPauseSeconds(attempt - 1);
    }
    if (!file.is_open()) {
        // The file exists but cannot be opened: recreate it.
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (writeProgress(path, percent, given)) {
                gLastPercent = percent;
                break;
            }
            fdfPauseSeconds(attempt);
        }
        return 1;
    }

    std::string first, step;
    std::getline(file, first);
    if (std::strtol(first.c_str(), nullptr, 10) == 101) {
        file.close();
        if (raiseOnStop) raiseError(ORBS_EC_STOP_REQUESTED, "orbiscan_utility/tools_library/orbs_errors", 1901, nullptr);
        return 0;
    }
    std::getline(file, step);
    if (stepText != nullptr) step = given;
    file.close();

    for (int attempt = 0; attempt < 10; ++attempt) {
        if (writeProgress(path, percent, step)) break;
        fdfPauseSeconds(attempt);
    }
    gLastPercent = percent;
    return 1;
}

}  // namespace NORBS_ERROR_MANAGER
