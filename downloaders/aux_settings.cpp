// AuxFetch's settings.
#include "aux_settings.h"

#include "aux_scope.h"
#include "fetch_dataspace.h"

namespace NORBS_AUX {

AuxSettings readAuxSettings(const NORBS_FETCH::CParameterFile& parameters) {
    AuxSettings s;
    s.catalogueUrl = parameters.url(kServiceSection, "service_url", NORBS_FETCH::kDataSpaceCatalogueUrl);
    s.identityUrl = parameters.url(kServiceSection, "identity_url", NORBS_FETCH::kDataSpaceIdentityUrl);
    s.downloadUrl = parameters.url(kServiceSection, "download_url", NORBS_FETCH::kDataSpaceDownloadUrl);
    s.clientId = parameters.text(kServiceSection, "client_id", NORBS_FETCH::kDataSpaceClientId);
    s.bucketUrl = parameters.url(kServiceSection, "bucket_url", kDefaultBucketUrl);
    s.adfUrl = parameters.url(kServiceSection, "adf_url", kDefaultAdfUrl);
    s.credentials = NORBS_FETCH::readCredentials(parameters, kServiceSection, s.identityUrl);
    s.http.caBundle = parameters.text(kServiceSection, "ca_bundle", "");
    s.http.maxAttempts = static_cast<int>(parameters.number(kServiceSection, "max_attempts", 6, 1));
    s.http.userAgent = "AuxFetch/1 (Orbiscan)";
    s.parallel = static_cast<int>(parameters.number(kServiceSection, "parallel_downloads", 4, 1));
    return s;
}

}  // namespace NORBS_AUX
