// One AuxFetch run: every need of the scope taken to the sources in the
// order a user wants them (a source that is down, or lacks a file, hands
// the need to the next one), the chosen files fetched into their folders,
// and a summary per folder.
#pragma once

#include <array>
#include <string>

#include "aux_scope.h"
#include "aux_settings.h"
#include "fetch_failure.h"
#include "fetch_http.h"
#include "fetch_progress.h"

namespace NORBS_AUX {

struct RunOptions {
    std::array<std::string, 4> folders;  // in the order of kAuxTypes
    bool incremental = false;            // -i: keep the files already there and verified
};

// Runs the scope; throws CFetchFailure(kStopped) on the user's stop request.
// kDone when every need is met, kSomeFailed when some are not (listed),
// kUnreachable when no source answered at all.
NORBS_FETCH::Outcome runAuxFetch(const AuxSettings& settings, const Scope& scope, const RunOptions& options,
                                 NORBS_FETCH::CProgressFile& progress, NORBS_FETCH::CTerminalDisplay& display);

}  // namespace NORBS_AUX
