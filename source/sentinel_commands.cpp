#include "sentinel_commands.h"

SubProcessTable buildSentinelCommandTable() {
    // Every command keeps trace, log and catalogue, rewrites the trace at
    // start and writes the success banner.
    return {
        {"main_scihub_get#", true, true, true, main_scihub_get},
        {"main_sentinel_auxiliaries#", true, true, true, main_sentinel_auxiliaries},
    };
}
