// Listings of the three catalogues.
#include "aux_sources.h"

#include <expat.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <set>

#include "fetch_failure.h"
#include "hub_catalogue.h"

namespace NORBS_AUX {

using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::CHttpClient;
using NORBS_FETCH::HttpReply;
using NORBS_FETCH::Outcome;
using NORBS_FETCH::urlEncode;
using json = nlohmann::json;

namespace {

// Span clauses per catalogue request: keeps the URL short.
constexpr std::size_t kSpansPerRequest = 20;
// A listing that pages on for ever is a fault of the catalogue.
constexpr int kMaxPages = 100000;

bool overlapsAny(const AuxFile& file, const std::vector<Span>& spans) {
    return std::any_of(spans.begin(), spans.end(),
                       [&](const Span& s) { return file.start <= s.to && file.stop >= s.from; });
}

// Keeps what the listing asked for (catalogues that ignore a filter give
// more) and what is named as the listed type.
bool wanted(const AuxFile& file, const Listing& listing) {
    if (file.type != listing.type) return false;
    if (isOrbit(listing.type)) return file.mission == listing.mission && overlapsAny(file, listing.spans);
    return file.start <= listing.latest &&
           (!listing.configuration || !file.configuration || *file.configuration == *listing.configuration);
}

class CDataSpaceSource : public CAuxSource {
public:
    CDataSpaceSource(CHttpClient& client, const AuxSettings& settings)
        : CAuxSource("the Data Space catalogue " + settings.catalogueUrl), mClient(client), mSettings(settings) {}
    bool needsLogin() const override { return true; }

    std::vector<AuxFile> list(const Listing& listing) override {
        std::vector<AuxFile> files;
        std::set<std::string> seen;
        auto add = [&](const std::vector<Span>& spans) {
            for (const NORBS_HUB::Product& p : NORBS_HUB::searchOData(mClient, mSettings.catalogueUrl,
                                                                        mSettings.downloadUrl,
                                                                        dataSpaceFilter(listing, spans), nullptr)) {
                auto file = parseAuxName(p.name);
                if (!file || !seen.insert(file->name).second) continue;
                file->source = name();
                file->url = p.downloadUrl;
                file->authorize = true;
                file->size = p.size;
                file->md5 = p.md5;
                if (const auto found = p.attributes.find("instrumentConfigurationID"); found != p.attributes.end()) {
                    try {
                        file->configuration = std::stoi(found->second);
                    } catch (const std::exception&) {
                    }
                }
                if (wanted(*file, listing)) files.push_back(std::move(*file));
            }
        };
        if (!isOrbit(listing.type)) {
            add({});
            return files;
        }
        for (std::size_t i = 0; i < listing.spans.size(); i += kSpansPerRequest)
            add({listing.spans.begin() + static_cast<std::ptrdiff_t>(i),
                 listing.spans.begin() + static_cast<std::ptrdiff_t>(std::min(listing.spans.size(), i + kSpansPerRequest))});
        return files;
    }

private:
    CHttpClient& mClient;
    const AuxSettings& mSettings;
};

// The elements of an S3 ListObjects answer that matter here.
struct BucketReader {
    BucketPage page;
    std::string text;
    std::string key;
    std::uint64_t size = 0;

    static void start(void* self, const XML_Char*, const XML_Char**) { static_cast<BucketReader*>(self)->text.clear(); }
    static void characters(void* self, const XML_Char* data, int length) {
        static_cast<BucketReader*>(self)->text.append(data, static_cast<std::size_t>(length));
    }
    static void end(void* self, const XML_Char* element) {
        auto& r = *static_cast<BucketReader*>(self);
        const std::string_view name(element);
        if (name == "Key") r.key = r.text;
        else if (name == "Size") r.size = std::strtoull(r.text.c_str(), nullptr, 10);
        else if (name == "Contents") r.page.objects.emplace_back(r.key, r.size);
        else if (name == "IsTruncated") r.page.truncated = r.text == "true";
        else if (name == "NextMarker") r.page.nextMarker = r.text;
    }
};

class CBucketSource : public CAuxSource {
public:
    CBucketSource(CHttpClient& client, std::string url)
        : CAuxSource("the orbit bucket " + url), mClient(client), mUrl(std::move(url)) {}

    // The bucket is flat: one folder per type, every mission's files in it,
    // so the mission is part of the prefix and the dates are checked here.
    std::vector<AuxFile> list(const Listing& listing) override {
        const std::string prefix = std::string(typeName(listing.type)) + "/S1" + listing.mission + "_OPER_" +
                                   typeName(listing.type) + "_";
        std::vector<AuxFile> files;
        std::string marker;
        for (int page = 0; page < kMaxPages; ++page) {
            std::string url = mUrl + "/?prefix=" + urlEncode(prefix);
            if (!marker.empty()) url += "&marker=" + urlEncode(marker);
            const HttpReply reply = mClient.send({"GET", url, "", false});
            NORBS_FETCH::checkReply(reply, name());
            const BucketPage result = parseBucketListing(reply.body, name());
            for (const auto& [key, size] : result.objects) {
                auto file = parseAuxName(key.substr(key.rfind('/') + 1));
                if (!file || !wanted(*file, listing)) continue;
                file->source = name();
                file->url = mUrl + "/" + key;
                file->size = size;
                files.push_back(std::move(*file));
            }
            // Without a delimiter S3 gives no NextMarker: the last key is the marker.
            const std::string next = !result.nextMarker.empty() ? result.nextMarker
                                     : result.objects.empty()   ? std::string()
                                                                : result.objects.back().first;
            if (!result.truncated || next.empty() || next == marker) return files;
            marker = next;
        }
        throw CFetchFailure(Outcome::kUnreachable, name() + " pages on without end");
    }

private:
    CHttpClient& mClient;
    std::string mUrl;
};

class CAdfServiceSource : public CAuxSource {
public:
    CAdfServiceSource(CHttpClient& client, std::string url)
        : CAuxSource("the calibration service " + url), mClient(client), mUrl(std::move(url)) {}

    // No mission filter: mission-independent files ("S1_") must come along,
    // and the missions are told apart by name.
    std::vector<AuxFile> list(const Listing& listing) override {
        std::string url = mUrl + "/?product_type=" + typeName(listing.type) +
                          "&validity_start__lte=" + urlEncode(isoText(listing.latest));
        if (listing.configuration) url += "&sentinel1__instr_conf_id=" + std::to_string(*listing.configuration);
        std::vector<AuxFile> files;
        std::set<std::string> visited;
        for (int page = 0; page < kMaxPages && visited.insert(url).second; ++page) {
            const HttpReply reply = mClient.send({"GET", url, "", false});
            NORBS_FETCH::checkReply(reply, name());
            const AdfPage result = parseAdfPage(reply.body, name());
            for (const auto& [physicalName, remoteUrl] : result.files) {
                auto file = parseAuxName(physicalName);
                if (!file) continue;
                file->configuration = listing.configuration;
                if (!wanted(*file, listing)) continue;
                file->source = name();
                file->url = NORBS_FETCH::resolveUrl(url, remoteUrl);
                files.push_back(std::move(*file));
            }
            if (!result.next) return files;
            url = NORBS_FETCH::resolveUrl(url, *result.next);
        }
        throw CFetchFailure(Outcome::kUnreachable, name() + " pages on without end");
    }

private:
    CHttpClient& mClient;
    std::string mUrl;
};

}  // namespace

BucketPage parseBucketListing(const std::string& body, const std::string& source) {
    BucketReader reader;
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    XML_SetUserData(parser.get(), &reader);
    XML_SetElementHandler(parser.get(), BucketReader::start, BucketReader::end);
    XML_SetCharacterDataHandler(parser.get(), BucketReader::characters);
    if (XML_Parse(parser.get(), body.data(), static_cast<int>(body.size()), 1) != XML_STATUS_OK)
        throw CFetchFailure(Outcome::kUnreachable, source + " gave no listing: " + NORBS_FETCH::excerpt(body));
    return std::move(reader.page);
}

AdfPage parseAdfPage(const std::string& body, const std::string& source) {
    const json page = json::parse(body, nullptr, false);
    const auto results = page.find("results");
    if (results == page.end() || !results->is_array())
        throw CFetchFailure(Outcome::kUnreachable,
                            source + " gave no page of results: " + NORBS_FETCH::excerpt(body));
    AdfPage parsed;
    for (const json& item : *results) {
        const auto name = item.find("physical_name");
        const auto url = item.find("remote_url");
        if (name != item.end() && name->is_string() && url != item.end() && url->is_string())
            parsed.files.emplace_back(name->get<std::string>(), url->get<std::string>());
    }
    if (const auto next = page.find("next"); next != page.end() && next->is_string()) parsed.next = next->get<std::string>();
    return parsed;
}

std::string dataSpaceFilter(const Listing& listing, const std::vector<Span>& spans) {
    std::string filter = std::string("Collection/Name eq 'SENTINEL-1' and Attributes/OData.CSC.StringAttribute/any(") +
                         "att:att/Name eq 'productType' and att/OData.CSC.StringAttribute/Value eq '" +
                         typeName(listing.type) + "')";
    if (!isOrbit(listing.type)) return filter + " and ContentDate/Start le " + isoText(listing.latest);
    filter += std::string(" and startswith(Name,'S1") + listing.mission + "')";
    std::string any;
    for (const Span& s : spans)
        any += (any.empty() ? "" : " or ") + std::string("(ContentDate/Start le ") + isoText(s.to) +
               " and ContentDate/End ge " + isoText(s.from) + ")";
    return spans.empty() ? filter : filter + " and (" + any + ")";
}

std::unique_ptr<CAuxSource> dataSpaceSource(CHttpClient& client, const AuxSettings& settings) {
    return std::make_unique<CDataSpaceSource>(client, settings);
}
std::unique_ptr<CAuxSource> bucketSource(CHttpClient& client, const std::string& bucketUrl) {
    return std::make_unique<CBucketSource>(client, bucketUrl);
}
std::unique_ptr<CAuxSource> adfServiceSource(CHttpClient& client, const std::string& apiUrl) {
    return std::make_unique<CAdfServiceSource>(client, apiUrl);
}

}  // namespace NORBS_AUX
