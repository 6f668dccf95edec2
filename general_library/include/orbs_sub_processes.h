// Command table and the sub-process handler that runs one command.
#pragma once

#include <string>
#include <vector>

using SubProcessHandler = int (*)(const char* parameters);

struct SubProcessEntry {
    std::string name;  // command name including its terminating "#"
    bool percProgramFlag = true;    // keep trace, log and catalogue; write the closing blocks
    bool truncateTraceFlag = true;  // rewrite the trace at start (else append)
    bool bannerFlag = true;         // SUCCESSFUL banner in the log on success
    SubProcessHandler handler = nullptr;
};

using SubProcessTable = std::vector<SubProcessEntry>;

// Runs the command named by commandBuffer (modified in place: the run-time
// marker and what follows are cut).  Returns the error code of the run.
int subProcessesHandler(const SubProcessTable& table, char* commandBuffer);

// Run-time marker: everything from it to the end of the command is ignored.
constexpr const char* kRunTimeMarker = "###Orbiscan###";
