// The public addresses of the Copernicus Data Space Ecosystem, the default
// of every downloader that searches or logs in there.
#pragma once

namespace NORBS_FETCH {

inline constexpr const char* kDataSpaceCatalogueUrl = "https://catalogue.dataspace.copernicus.eu";
inline constexpr const char* kDataSpaceIdentityUrl =
    "https://identity.dataspace.copernicus.eu/auth/realms/CDSE/protocol/openid-connect/token";
inline constexpr const char* kDataSpaceDownloadUrl = "https://download.dataspace.copernicus.eu";
inline constexpr const char* kDataSpaceClientId = "cdse-public";

}  // namespace NORBS_FETCH
