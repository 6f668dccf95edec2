// What every downloader program does around its own work: libcurl's global
// set-up, a failure turned into an exit status with a last line saying why
// (also in the progress file), and the wait for Enter of -w.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "fetch_failure.h"
#include "fetch_progress.h"

namespace NORBS_FETCH {

struct ProgramRun {
    CTerminalDisplay display;
    std::optional<CProgressFile> progress;  // set by the body once known
    bool waitAtEnd = false;                 // -w, set by the body
};

// The failure of an option that getopt did not accept (`optopt`).
CFetchFailure unknownOption(int option);

// Runs `body` and returns the exit status.  A CFetchFailure ends the run
// with its outcome; kBadArguments before a progress file is known also
// prints `usage`.  After a stop request the 101 stays in the progress file.
int runProgram(const std::string& name, const std::string& usage, const std::function<Outcome(ProgramRun&)>& body);

}  // namespace NORBS_FETCH
