// Auxiliary files download command.
#include "orbs_errors.h"
#include "sentinel_commands.h"

int main_sentinel_auxiliaries(const char* parameters) {
    // The parameter-file reader is not part of this build yet: the command
    // cannot read its parameters and says so.
    NORBS_ERROR_MANAGER::traceInfo("Parameter files cannot be read by this build\n");
    NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, "source/main_sentinel_auxiliaries", 1, parameters);
}
