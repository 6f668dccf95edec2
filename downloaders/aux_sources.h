// The catalogues AuxFetch lists auxiliary files from: the Data Space's
// OData catalogue, the public orbit bucket (an S3 listing) and the
// calibration service's JSON API.
#pragma once

#include <memory>
#include <optional>
#include <string>
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

// The OData $filter of a listing for the given spans (exposed for tests).
std::string dataSpaceFilter(const Listing& listing, const std::vector<Span>& spans);

}  // namespace NORBS_AUX
