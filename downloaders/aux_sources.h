// The catalogues AuxFetch lists auxiliary files from: the Data Space's
// OData catalogue, the public orbit bucket (an S3 listing) and the
// calibration service's JSON API.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "aux_names.h"
#include "aux_select.h"
#include "aux_settings.h"
#include "fetch_http.h"

namespace NORBS_AUX {

// What a catalogue is asked for.
struct Listing {
    AuxType type = AuxType::kPoeorb;
    char mission = 'A';                // orbits: this mission's files
    std::vector<Span> spans;           // orbits: files overlapping one of these
    Instant latest = 0;                // the others: validity start not after this
    std::optional<int> configuration;  // the others: only this instrument configuration
};

class CAuxSource {
public:
    explicit CAuxSource(std::string name) : mName(std::move(name)) {}
    virtual ~CAuxSource() = default;
    const std::string& name() const { return mName; }
    // The files the catalogue lists for `listing`, every page of them.
    // Throws CFetchFailure when it does not answer or refuses the request
    // (and kStopped on the user's stop request).
    virtual std::vector<AuxFile> list(const Listing& listing) = 0;
    // Its downloads need the Data Space login.
    virtual bool needsLogin() const { return false; }

private:
    std::string mName;
};

std::unique_ptr<CAuxSource> dataSpaceSource(NORBS_FETCH::CHttpClient& client, const AuxSettings& settings);
std::unique_ptr<CAuxSource> bucketSource(NORBS_FETCH::CHttpClient& client, const std::string& bucketUrl);
std::unique_ptr<CAuxSource> adfServiceSource(NORBS_FETCH::CHttpClient& client, const std::string& apiUrl);

// One page of the orbit bucket's S3 listing: each object's key and size,
// whether more pages follow and the marker the bucket names for the next
// one (often none).  Throws CFetchFailure (kUnreachable) naming `source`
// when the body is no listing.
struct BucketPage {
    std::vector<std::pair<std::string, std::uint64_t>> objects;
    bool truncated = false;
    std::string nextMarker;
};
BucketPage parseBucketListing(const std::string& body, const std::string& source);

// One page of the calibration service: the physical name and remote URL
// (as given) of each result that has both as texts, and the link to the
// next page, none on the last.  Throws CFetchFailure (kUnreachable) naming
// `source` when the body is no page of results.
struct AdfPage {
    std::vector<std::pair<std::string, std::string>> files;
    std::optional<std::string> next;
};
AdfPage parseAdfPage(const std::string& body, const std::string& source);

// The OData $filter of a listing for the given spans (exposed for tests).
std::string dataSpaceFilter(const Listing& listing, const std::vector<Span>& spans);

}  // namespace NORBS_AUX
