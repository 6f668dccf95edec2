// Downloads of the products found: at most N at a time, verified by size
// and MD5, renamed into place, optionally extracted; products already
// present and verified are skipped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fetch_http.h"
#include "fetch_progress.h"
#include "fetch_transfers.h"
#include "hub_catalogue.h"
#include "hub_settings.h"

namespace NORBS_HUB {

struct DownloadOptions {
    std::string directory;               // where archives go
    std::optional<std::string> unzipTo;  // -u
    bool deleteArchives = false;         // -d
};

struct DownloadSummary {
    int downloaded = 0;
    int present = 0;      // already there and verified
    std::vector<std::string> offline;
    std::vector<std::string> failed;
};

class CHubDownloads {
public:
    CHubDownloads(const HubSettings& settings, DownloadOptions options, NORBS_FETCH::CHttpClient& client,
                  NORBS_FETCH::CAuthorizer* authorizer, NORBS_FETCH::CProgressFile& progress,
                  NORBS_FETCH::CTerminalDisplay& display);
    // Throws CFetchFailure(kStopped) on the user's stop request.
    DownloadSummary run(const std::vector<Product>& products);

private:
    struct State;
    void queue(State& state, std::size_t index, double delaySeconds);
    void completed(State& state, std::size_t index, const NORBS_FETCH::DownloadResult& result);
    bool alreadyPresent(const Product& product, State& state);
    void placed(State& state, const Product& product, const std::string& archive);

    const HubSettings& mSettings;
    DownloadOptions mOptions;
    NORBS_FETCH::CHttpClient& mClient;
    NORBS_FETCH::CAuthorizer* mAuthorizer;
    NORBS_FETCH::CProgressFile& mProgress;
    NORBS_FETCH::CTerminalDisplay& mDisplay;
};

// "<base>.zip" and "<name>.incomplete" in `directory`.
std::string archivePath(const std::string& directory, const Product& product);
std::string partialPath(const std::string& directory, const Product& product);

}  // namespace NORBS_HUB
