// Product searches: OData JSON pages and legacy Atom feeds.
#include "hub_catalogue.h"

#include <expat.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <memory>
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

// A member of an object as text; empty when it is absent or not a text (a
// hub's answer is not trusted to hold the types it should).
std::string textOf(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::vector<Ring> ringsFromGeoJson(const json& geometry) {
    std::vector<Ring> rings;
    const auto coordinates = geometry.find("coordinates");
    if (coordinates == geometry.end() || !coordinates->is_array()) return rings;
    const std::string type = textOf(geometry, "type");
    auto outer = [&rings](const json& polygon) {
        if (polygon.is_array() && !polygon.empty()) rings.push_back(ringFromJson(polygon[0]));
    };
    if (type == "Polygon") outer(*coordinates);
    if (type == "MultiPolygon")
        for (const auto& polygon : *coordinates) outer(polygon);
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

// One product of an OData page.
Product productOf(const json& item, const std::string& downloadRoot) {
    Product p;
    p.name = textOf(item, "Name");
    p.id = textOf(item, "Id");
    if (const auto length = item.find("ContentLength"); length != item.end() && length->is_number_unsigned())
        p.size = length->get<std::uint64_t>();
    if (const auto date = item.find("ContentDate"); date != item.end() && date->is_object()) {
        p.start = textOf(*date, "Start");
        p.stop = textOf(*date, "End");
    }
    if (const auto online = item.find("Online"); online != item.end() && online->is_boolean())
        p.online = online->get<bool>();
    if (const auto geometry = item.find("GeoFootprint"); geometry != item.end()) p.footprint = ringsFromGeoJson(*geometry);
    if (p.footprint.empty()) p.footprint = parseWktPolygons(textOf(item, "Footprint"));
    bool blake3 = false;
    if (const auto checksums = item.find("Checksum"); checksums != item.end() && checksums->is_array()) {
        for (const auto& checksum : *checksums) {
            const std::string algorithm = textOf(checksum, "Algorithm");
            if (algorithm == "MD5") p.md5 = lower(textOf(checksum, "Value"));
            if (algorithm == "BLAKE3") blake3 = true;
        }
    }
    p.blake3Only = blake3 && p.md5.empty();
    if (const auto attributes = item.find("Attributes"); attributes != item.end() && attributes->is_array()) {
        for (const auto& attribute : *attributes) {
            const auto value = attribute.find("Value");
            if (value == attribute.end()) continue;
            p.attributes[textOf(attribute, "Name")] = value->is_string() ? value->get<std::string>() : value->dump();
        }
    }
    p.downloadUrl = downloadRoot + "/odata/v1/Products(" + p.id + ")/$value";
    return p;
}

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
    // rings (holes, after "), (") are not part of a footprint's outline.  A
    // ring is numbers, blanks and commas up to its ")".  (Scanned by hand:
    // std::regex recurses once per character, and a hub's footprint of a
    // few ten thousand characters overflowed the stack.)
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t open = wkt.find("(("); open != std::string::npos; open = wkt.find("((", open + 1)) {
        std::size_t begin = open + 2;
        while (begin < wkt.size() && blank(wkt[begin])) ++begin;
        const std::size_t end = std::min(wkt.find_first_not_of("-0123456789.eE+ ,", begin), wkt.size());
        std::size_t close = end;
        while (close < wkt.size() && blank(wkt[close])) ++close;
        if (end == begin || close == wkt.size() || wkt[close] != ')') continue;
        if (auto ring = parseCoordinates(wkt.substr(begin, end - begin))) rings.push_back(*ring);
    }
    return rings;
}

Product productFromOData(const std::string& productJson, const std::string& downloadRoot) {
    return productOf(json::parse(productJson), downloadRoot);
}

std::vector<Product> parseODataPage(const std::string& body, const std::string& downloadRoot) {
    const json page = json::parse(body, nullptr, false);
    const auto items = page.find("value");
    if (items == page.end() || !items->is_array() ||
        !std::all_of(items->begin(), items->end(), [](const json& item) { return item.is_object(); }))
        throw CFetchFailure(Outcome::kUnreachable, "The hub's answer is not a page of products: " + excerpt(body));
    std::vector<Product> products;
    for (const auto& item : *items) products.push_back(productOf(item, downloadRoot));
    return products;
}

DhusPage parseDhusFeed(const std::string& body, const std::string& root) {
    FeedReader reader;
    reader.root = root;
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    XML_SetUserData(parser.get(), &reader);
    XML_SetElementHandler(parser.get(), FeedReader::start, FeedReader::end);
    XML_SetCharacterDataHandler(parser.get(), FeedReader::characters);
    if (XML_Parse(parser.get(), body.data(), static_cast<int>(body.size()), 1) != XML_STATUS_OK)
        throw CFetchFailure(Outcome::kUnreachable, "The hub's answer is not an Atom feed: " + excerpt(body));
    return {std::move(reader.products), reader.total};
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
        std::vector<Product> page = parseODataPage(reply.body, downloadRoot);
        for (Product& product : page) {
            if (!product.start.empty()) lastStart = product.start;
            if (seen.insert(product.id).second) {
                found.push_back(std::move(product));
                newSinceRestart = true;
            }
        }
        if (progress) progress(found.size());
        if (static_cast<int>(page.size()) < kODataPageSize) break;
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
        const DhusPage page = parseDhusFeed(reply.body, root);
        found.insert(found.end(), page.products.begin(), page.products.end());
        if (progress) progress(found.size());
        if (page.products.empty() || start + kDhusPageSize >= page.total) break;
    }
    return found;
}

}  // namespace NORBS_HUB
