// The sub-process handler: finds the command, sets up the core library and
// the runtime, traces the banner, runs the handler and closes the run.
#include "orbs_sub_processes.h"

#include <cstring>

#include "orbs_errors.h"
#include "orbs_files_to_delete.h"
#include "orbs_runtime.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr const char* kVersion = "Orbiscan 5.5.2.1 L64 Mar  5 2020";
constexpr const char* kHandlerSource = "../../../dependencies/general_library/include/orbs_sub_processes";

const SubProcessEntry* findCommand(const SubProcessTable& table, const char* commandText) {
    const char* hash = std::strchr(commandText, '#');
    if (hash == nullptr) return nullptr;
    const std::string name(commandText, static_cast<std::size_t>(hash - commandText + 1));
    for (const SubProcessEntry& entry : table)
        if (entry.name == name) return &entry;
    return nullptr;
}

void traceBanner(const char* command, const std::string& name, const char* parameters) {
    using NORBS_ERROR_MANAGER::traceInfo;
    const char* rule = "=============================";
    traceInfo("\n");
    traceInfo("%s\n", rule);
    traceInfo("--- SUB PROCESSES HANDLER ---\n");
    traceInfo("%s\n", rule);
    traceInfo("COMMAND RECEIVED: %s\n", command);
    traceInfo("SUB PROCESS:      %s\n", name.c_str());
    traceInfo("PARAMS FILE:      %s\n", parameters);
    traceInfo("%s\n", rule);
    traceInfo("\n");
}

}  // namespace

int subProcessesHandler(const SubProcessTable& table, char* commandBuffer) {
    const SubProcessEntry* entry = findCommand(table, commandBuffer);
    if (entry == nullptr) return ORBS_EC_NO_SUCH_COMMAND;

    initProcess(entry->percProgramFlag, kVersion, entry->truncateTraceFlag);
    initCoreLibrary();

    if (char* marker = std::strstr(commandBuffer, kRunTimeMarker)) *marker = '\0';

    OrbsLog::logToTerminal(false);
    OrbsLog::logToFile(false);
    OrbsLog::logToSecondaryFile(static_cast<std::ostream*>(&NorvikCore::get_process_trace_stream()));

    if (!Orbiscan::init()) NORBS_ERROR_MANAGER::raiseError(ORBS_EC_ENVIRONMENT, kHandlerSource, 181, nullptr);
    if (NorvikCore::get_trace_level() > 19) NORBS_ERROR_MANAGER::traceInfo("VVT]TRACE AFTER Orbiscan::init()\n");

    bool run = true;
    if (NorvikCore::PreExecutionTask task = NorvikCore::get_pre_execution_task()) run = task();

    const char* hash = std::strchr(commandBuffer, '#');
    if (hash == nullptr) return ORBS_EC_NO_SUCH_COMMAND;
    const char* parameters = hash + 1;
    traceBanner(commandBuffer, entry->name, parameters);

    int result = ORBS_EC_ENVIRONMENT;
    if (run) result = entry->handler(parameters);

    if (!Orbiscan::free()) {
        NORBS_ERROR_MANAGER::logPrint("\nError freeing resources");
        NORBS_ERROR_MANAGER::traceInfo("Error freeing resources\n");
    }
    if (result == 0) NORBS_ERROR_MANAGER::closeProcess(0, entry->percProgramFlag, entry->bannerFlag, true);
    return result;
}
