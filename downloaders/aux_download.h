// Downloads of the chosen auxiliary files into their folders: verified,
// then put in place in one step (orbit files renamed, archives extracted
// as their ".SAFE" folder); with -i, files already there and verified are
// kept.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "aux_names.h"
#include "aux_settings.h"
#include "fetch_http.h"
#include "fetch_progress.h"
#include "fetch_transfers.h"

namespace NORBS_AUX {

struct Planned {
    AuxFile file;
    std::string folder;
};

struct Placement {
    enum class State { kFetched, kPresent, kFailed };
    State state = State::kFailed;
    std::string error;
};

// folder/name.
std::string finalPath(const Planned& planned);
// Why the file in place is not the listed one; empty when it is there and
// verified (an orbit file by size and MD5 when known, a ".SAFE" folder by
// its manifest); none when nothing is there.
std::optional<std::string> presentMismatch(const Planned& planned);

class CAuxDownloads {
public:
    CAuxDownloads(const AuxSettings& settings, NORBS_FETCH::CAuthorizer* authorizer,
                  NORBS_FETCH::CProgressFile& progress, NORBS_FETCH::CTerminalDisplay& display, bool incremental);
    // Fetches and places the files; results by file name.  Throws
    // CFetchFailure(kStopped) on the user's stop request, leaving the
    // partial files for a later run.
    std::map<std::string, Placement> run(const std::vector<Planned>& files);

private:
    struct State;
    void queue(State& state, std::size_t index);
    void completed(State& state, std::size_t index, const NORBS_FETCH::DownloadResult& result);
    std::string place(const Planned& planned, const std::string& partial);
    bool loginWorks();

    const AuxSettings& mSettings;
    NORBS_FETCH::CAuthorizer* mAuthorizer;
    NORBS_FETCH::CProgressFile& mProgress;
    NORBS_FETCH::CTerminalDisplay& mDisplay;
    bool mIncremental;
    std::optional<std::string> mLoginFailure;  // once known
};

}  // namespace NORBS_AUX
