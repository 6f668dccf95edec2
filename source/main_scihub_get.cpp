// Product search and download command.
#include "orbs_errors.h"
#include "sentinel_commands.h"

int main_scihub_get(const char* /*parameters*/) {
    // The search (query builder, area of interest, cartography and the
    // HubFetch launch) is not part of this build: the command refuses to run
    // rather than pretend to search.
    NORBS_ERROR_MANAGER::raiseError(ORBS_EC_ENVIRONMENT, "source/orbs_scihub_get", __LINE__,
                                    "The product search is not part of this build");
}
