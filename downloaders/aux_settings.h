// What AuxFetch takes from its parameter file besides the scope: the
// addresses of its sources, the account, and the download policy.
#pragma once

#include <string>

#include "fetch_auth.h"
#include "fetch_http.h"
#include "fetch_parameters.h"

namespace NORBS_AUX {

inline constexpr const char* kDefaultBucketUrl = "https://s1-orbits.s3.amazonaws.com";
inline constexpr const char* kDefaultAdfUrl = "https://sar-mpc.eu/api/v1";

struct AuxSettings {
    std::string catalogueUrl;   // the Data Space catalogue root
    std::string identityUrl;    // its token endpoint
    std::string downloadUrl;    // its download root
    std::string clientId;
    std::string bucketUrl;      // the public orbit bucket
    std::string adfUrl;         // the calibration service's API root
    NORBS_FETCH::Credentials credentials;  // Data Space account; may be empty
    NORBS_FETCH::HttpSettings http;
    int parallel = 4;           // the Data Space's per-user limit
};

// Reads ORBSNT_SERVICE_SENTINELQC; throws CFetchFailure(kBadArguments)
// naming a bad field.  Without username and password there, the account
// is the netrc entry of the token endpoint's host (it may be missing: the
// other sources need none).
AuxSettings readAuxSettings(const NORBS_FETCH::CParameterFile& parameters);

}  // namespace NORBS_AUX
