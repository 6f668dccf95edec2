// HubFetch's settings from its parameter file.
#include "hub_settings.h"

#include <regex>

#include "fetch_failure.h"

namespace NORBS_HUB {

using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::Outcome;

namespace {

std::string checkedUrl(const NORBS_FETCH::CParameterFile& parameters, const char* field, const std::string& fallback) {
    return parameters.url(kServiceSection, field, fallback);
}

}  // namespace

HubApi apiFromUrl(const std::string& url) {
    static const std::regex legacy(R"(^[a-z]+://[^/]+(/.*)?/(dhus|apihub)(/.*)?$)", std::regex::icase);
    return std::regex_match(url, legacy) ? HubApi::kDhus : HubApi::kOData;
}

HubSettings readHubSettings(const NORBS_FETCH::CParameterFile& parameters) {
    HubSettings s;
    s.serviceUrl = checkedUrl(parameters, "service_url", kDefaultServiceUrl);
    const std::string api = parameters.text(kServiceSection, "api", "");
    if (api.empty()) s.api = apiFromUrl(s.serviceUrl);
    else if (api == "odata") s.api = HubApi::kOData;
    else if (api == "dhus") s.api = HubApi::kDhus;
    else throw CFetchFailure(Outcome::kBadArguments, std::string(kServiceSection) + ".api must be odata or dhus, not '" + api + "'");
    const bool legacy = s.api == HubApi::kDhus;
    s.identityUrl = legacy ? "" : checkedUrl(parameters, "identity_url", kDefaultIdentityUrl);
    s.downloadUrl = checkedUrl(parameters, "download_url", legacy ? s.serviceUrl : kDefaultDownloadUrl);
    s.clientId = parameters.text(kServiceSection, "client_id", kDefaultClientId);
    s.downloadDirectory = parameters.text(kMainSection, "download_directory", "");
    s.http.caBundle = parameters.text(kServiceSection, "ca_bundle", "");
    s.parallel = static_cast<int>(parameters.number(kServiceSection, "parallel_downloads", 4, 1));
    s.http.maxAttempts = static_cast<int>(parameters.number(kServiceSection, "max_attempts", 6, 1));
    s.offlineWaitMinutes = static_cast<double>(parameters.number(kServiceSection, "offline_wait_minutes", 30, 0));
    const std::string policy = parameters.text(kServiceSection, "checksum_mismatch", "fail");
    if (policy == "fail") s.mismatch = MismatchPolicy::kFail;
    else if (policy == "warn") s.mismatch = MismatchPolicy::kWarn;
    else throw CFetchFailure(Outcome::kBadArguments,
                             std::string(kServiceSection) + ".checksum_mismatch must be fail or warn, not '" + policy + "'");

    s.credentials = NORBS_FETCH::readCredentials(parameters, kUserSection, legacy ? s.serviceUrl : s.identityUrl);
    return s;
}

}  // namespace NORBS_HUB
