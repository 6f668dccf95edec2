// What HubFetch takes from its parameter file: the hub's addresses, the
// account, and the download policy.
#pragma once

#include <string>

#include "fetch_auth.h"
#include "fetch_dataspace.h"
#include "fetch_http.h"
#include "fetch_parameters.h"

namespace NORBS_HUB {

enum class HubApi { kOData, kDhus };
enum class MismatchPolicy { kFail, kWarn };

struct HubSettings {
    HubApi api = HubApi::kOData;
    std::string serviceUrl;     // catalogue root (legacy hubs: the root of search and downloads)
    std::string identityUrl;    // the whole token endpoint
    std::string downloadUrl;    // download root
    std::string clientId;
    std::string downloadDirectory;  // empty: the folder of the progress file
    NORBS_FETCH::Credentials credentials;
    NORBS_FETCH::HttpSettings http;
    int parallel = 4;           // the hubs' per-user limit
    MismatchPolicy mismatch = MismatchPolicy::kFail;
    int checksumAttempts = 3;   // downloads of one product whose MD5 does not match
    double offlineWaitMinutes = 30;  // legacy hubs: how long to come back for offline products
    double offlinePollSeconds = 60;
};

// Sections and defaults (the public Data Space addresses).
inline constexpr const char* kMainSection = "MAIN_SCI_HUB_GET_CMD";
inline constexpr const char* kServiceSection = "ORBSNT_SERVICE_SCIHUB";
inline constexpr const char* kUserSection = "ORBSNT_USER_SCIHUB";
inline constexpr const char* kDefaultServiceUrl = NORBS_FETCH::kDataSpaceCatalogueUrl;
inline constexpr const char* kDefaultIdentityUrl = NORBS_FETCH::kDataSpaceIdentityUrl;
inline constexpr const char* kDefaultDownloadUrl = NORBS_FETCH::kDataSpaceDownloadUrl;
inline constexpr const char* kDefaultClientId = NORBS_FETCH::kDataSpaceClientId;

// Reads the settings; throws CFetchFailure(kBadArguments) naming a bad
// field.  Credentials come from ORBSNT_USER_SCIHUB, or from the netrc entry
// of the token endpoint's host (legacy hubs: the service's host) when both
// fields are empty.
HubSettings readHubSettings(const NORBS_FETCH::CParameterFile& parameters);

// "odata" or "dhus" from a URL: legacy hubs live below /dhus or /apihub.
HubApi apiFromUrl(const std::string& url);

}  // namespace NORBS_HUB
