// Product searches: OData JSON pages and legacy Atom feeds.
#include "hub_catalogue.h"

#include <expat.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <memory>
#include <regex>
#include <set>

#include "fetch_failure.h"

namespace NORBS_HUB {

using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::HttpReply;
using NORBS_FETCH::Outcome;
using NORBS_FETCH::excerpt;
using NORBS_FETCH::urlEncode;
using json = nlohmann::json;

namespace {

constexpr int kODataPageSize = 1000;   // the catalogue's largest $top
constexpr int kODataMaxSkip = 10000;   // the catalogue's largest $skip
constexpr int kDhusPageSize = 100;     // the legacy hubs' largest rows

Ring ringFromJson(const json& points) {
    Ring ring;
    for (const auto& p : points)
        if (p.is_array() && p.size() >= 2 && p[0].is_number() && p[1].is_number())
            ring.push_back({p[0].get<double>(), p[1].get<double>()});
    return ring;
}

std::vector<Ring> ringsFromGeoJson(const json& geometry) {
    std::vector<Ring> rings;
    if (!geometry.is_object() || !geometry.contains("coordinates")) return rings;
    const std::string type = geometry.value("type", "");
    const json& coordinates = geometry["coordinates"];
    if (type == "Polygon" && !coordinates.empty()) rings.push_back(ringFromJson(coordinates[0]));
    if (type == "MultiPolygon")
        for (const auto& polygon : coordinates)
            if (!polygon.empty()) rings.push_back(ringFromJson(polygon[0]));
    return rings;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The elements of a legacy Atom feed that make a product.
struct FeedReader {
    std::vector<Product> products;
    long total = -1;
    std::string root;
    std::string text;
    std::string field;      // the "name" attribute of <str>/<date>
    bool inEntry = false;
    Product current;

    static void start(void* self, const XML_Char* element, const XML_Char** attributes) {
        auto& r = *static_cast<FeedReader*>(self);
        const std::string name = element;
        r.text.clear();
        r.field.clear();
        if (name == "entry") {
            r.inEntry = true;
            r.current = Product{};
        }
        for (int i = 0; attributes[i] != nullptr; i += 2)
            if (std::string(attributes[i]) == "name") r.field = attributes[i + 1];
    }
    static void characters(void* self, const XML_Char* data, int length) {
        static_cast<FeedReader*>(self)->text.append(data, static_cast<std::size_t>(length));
    }
    static void end(void* self, const XML_Char* element) {
        auto& r = *static_cast<FeedReader*>(self);
        const std::string name = element;
        if (name == "opensearch:totalResults" || name == "totalResults") r.total = std::atol(r.text.c_str());
        if (!r.inEntry) return;
        Product& p = r.current;
        if (name == "title") p.name = r.text;
        else if (name == "id" && p.id.empty()) p.id = r.text;
        else if (r.field == "uuid") p.id = r.text;
        else if (r.field == "beginposition") p.start = r.text;
        else if (r.field == "endposition") p.stop = r.text;
        else if (r.field == "footprint") p.footprint = parseWktPolygons(r.text);
        else if (name == "entry") {
            const std::string product = r.root + "/odata/v1/Products('" + p.id + "')";
            p.downloadUrl = product + "/$value";
            p.checksumUrl = product + "/Checksum/Value/$value";
            r.products.push_back(p);
            r.inEntry = false;
        }
        r.field.clear();
    }
};

}  // namespace

std::string productBase(const Product& product) {
    const std::string& name = product.name;
    const std::string ending = ".SAFE";
    if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
        return name.substr(0, name.size() - ending.size());
    return name;
}

std::vector<Ring> parseWktPolygons(const std::string& wkt) {
    std::vector<Ring> rings;
    // Each outer ring opens with "((" (MULTIPOLYGON: "(((" or ", (("); inner
    // rings (holes, after "), (") are not part of a footprint's outline.
    static const std::regex outer(R"(\(\(\s*([-0-9.eE+ ,]+?)\s*\))");
    for (std::sregex_iterator it(wkt.begin(), wkt.end(), outer), end; it != end; ++it)
        if (auto ring = parseCoordinates((*it)[1].str())) rings.push_back(*ring);
    return rings;
}

Product productFromOData(const std::string& productJson, const std::string& downloadRoot) {
    const json item = json::parse(productJson);
    Product p;
    p.name = item.value("Name", "");
    p.id = item.value("Id", "");
    if (item.contains("ContentLength") && item["ContentLength"].is_number_unsigned())
        p.size = item["ContentLength"].get<std::uint64_t>();
    if (item.contains("ContentDate") && item["ContentDate"].is_object()) {
        p.start = item["ContentDate"].value("Start", "");
        p.stop = item["ContentDate"].value("End", "");
    }
    if (item.contains("Online") && item["Online"].is_boolean()) p.online = item["Online"].get<bool>();
    if (item.contains("GeoFootprint")) p.footprint = ringsFromGeoJson(item["GeoFootprint"]);
    if (p.footprint.empty() && item.contains("Footprint") && item["Footprint"].is_string())
        p.footprint = parseWktPolygons(item["Footprint"].get<std::string>());
    bool blake3 = false;
    if (item.contains("Checksum") && item["Checksum"].is_array()) {
        for (const auto& checksum : item["Checksum"]) {
            const std::string algorithm = checksum.value("Algorithm", "");
            if (algorithm == "MD5") p.md5 = lower(checksum.value("Value", ""));
            if (algorithm == "BLAKE3") blake3 = true;
        }
    }
    p.blake3Only = blake3 && p.md5.empty();
    if (item.contains("Attributes") && item["Attributes"].is_array()) {
        for (const auto& attribute : item["Attributes"]) {
            if (!attribute.is_object() || !attribute.contains("Value")) continue;
            const json& value = attribute["Value"];
            p.attributes[attribute.value("Name", "")] = value.is_string() ? value.get<std::string>() : value.dump();
        }
    }
    p.downloadUrl = downloadRoot + "/odata/v1/Products(" + p.id + ")/$value";
    return p;
}

std::vector<Product> searchOData(NORBS_FETCH::CHttpClient& client, const std::string& catalogueRoot,
                                 const std::string& downloadRoot, const std::string& filter,
                                 const SearchProgress& progress) {
    std::vector<Product> found;
    std::set<std::string> seen;
    std::string bound;       // "ContentDate/Start ge ..." once paging went as deep as the hub allows
    std::string lastStart;
    int skip = 0;
    bool newSinceRestart = false;
    for (;;) {
        std::string full = filter;
        if (!bound.empty()) full = full.empty() ? bound : "(" + full + ") and " + bound;
        std::string url = catalogueRoot + "/odata/v1/Products?";
        if (!full.empty()) url += "$filter=" + urlEncode(full) + "&";
        url += "$orderby=" + urlEncode("ContentDate/Start asc") + "&$top=" + std::to_string(kODataPageSize) +
               "&$skip=" + std::to_string(skip) + "&$expand=Attributes";
        const HttpReply reply = client.send({"GET", url, "", false});
        const bool tooDeep = (reply.status == 422 && skip > 0) || skip > kODataMaxSkip;
        if (tooDeep) {
            // Narrow the sensing window instead of paging deeper.
            if (!newSinceRestart || lastStart.empty()) break;
            bound = "ContentDate/Start ge " + lastStart;
            skip = 0;
            newSinceRestart = false;
            continue;
        }
        NORBS_FETCH::checkReply(reply, "The hub " + catalogueRoot);
        const json page = json::parse(reply.body, nullptr, false);
        if (!page.is_object() || !page.contains("value") || !page["value"].is_array())
            throw CFetchFailure(Outcome::kUnreachable, "The hub's answer is not a page of products: " + excerpt(reply.body));
        for (const auto& item : page["value"]) {
            Product product = productFromOData(item.dump(), downloadRoot);
            if (!product.start.empty()) lastStart = product.start;
            if (seen.insert(product.id).second) {
                found.push_back(std::move(product));
                newSinceRestart = true;
            }
        }
        if (progress) progress(found.size());
        if (static_cast<int>(page["value"].size()) < kODataPageSize) break;
        skip += kODataPageSize;
    }
    return found;
}

std::vector<Product> searchDhus(NORBS_FETCH::CHttpClient& client, const std::string& root, const std::string& query,
                                const SearchProgress& progress) {
    std::vector<Product> found;
    for (long start = 0;; start += kDhusPageSize) {
        const std::string url = root + "/search?q=" + urlEncode(query) + "&start=" + std::to_string(start) +
                                "&rows=" + std::to_string(kDhusPageSize);
        const HttpReply reply = client.send({"GET", url, "", true});
        NORBS_FETCH::checkReply(reply, "The hub " + root);
        FeedReader reader;
        reader.root = root;
        std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
        XML_SetUserData(parser.get(), &reader);
        XML_SetElementHandler(parser.get(), FeedReader::start, FeedReader::end);
        XML_SetCharacterDataHandler(parser.get(), FeedReader::characters);
        if (XML_Parse(parser.get(), reply.body.data(), static_cast<int>(reply.body.size()), 1) != XML_STATUS_OK)
            throw CFetchFailure(Outcome::kUnreachable, "The hub's answer is not an Atom feed: " + excerpt(reply.body));
        found.insert(found.end(), reader.products.begin(), reader.products.end());
        if (progress) progress(found.size());
        if (reader.products.empty() || start + kDhusPageSize >= reader.total) break;
    }
    return found;
}

}  // namespace NORBS_HUB
