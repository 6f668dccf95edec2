// Product searches on the two hub grammars: OData v4 catalogues (JSON
// pages, anonymous) and legacy DHuS hubs (Atom feeds, Basic authentication).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fetch_http.h"
#include "hub_query.h"

namespace NORBS_HUB {

struct Product {
    std::string name;          // as the hub lists it, with or without ".SAFE"
    std::string id;
    std::uint64_t size = 0;    // 0 when the hub does not say
    std::string start;         // sensing start and stop, ISO texts
    std::string stop;
    bool online = true;
    std::vector<Ring> footprint;
    std::string md5;           // lower-case hex; empty when the hub gives none
    bool blake3Only = false;   // the hub gives a BLAKE3 value and no MD5
    std::string downloadUrl;
    std::string checksumUrl;   // legacy hubs: the MD5 is fetched from here before the download
    std::map<std::string, std::string> attributes;  // OData attributes by name, values as text
};

// The name without a ".SAFE" ending.
std::string productBase(const Product& product);

// Calls back with the number of products found so far, after every page.
using SearchProgress = std::function<void(std::size_t)>;

// All pages of an OData search, ordered by sensing start.  Paging past the
// hub's $skip limit goes on with a new search from the last sensing start
// seen (duplicates are dropped).  Throws CFetchFailure for a refused query
// (kQueryRefused) or a hub that does not answer (kUnreachable).
std::vector<Product> searchOData(NORBS_FETCH::CHttpClient& client, const std::string& catalogueRoot,
                                 const std::string& downloadRoot, const std::string& filter,
                                 const SearchProgress& progress);

// All pages of a legacy search (`q=` with the query as it is).
std::vector<Product> searchDhus(NORBS_FETCH::CHttpClient& client, const std::string& root, const std::string& query,
                                const SearchProgress& progress);

// One product of an OData page (exposed for tests).
Product productFromOData(const std::string& productJson, const std::string& downloadRoot);
// The products of one page of an OData search.  Fields of another type
// than the catalogue's count as absent; throws CFetchFailure (kUnreachable)
// when the body is not a page of products.
std::vector<Product> parseODataPage(const std::string& body, const std::string& downloadRoot);

// One page of a legacy search: its products and the number of results the
// hub announces (-1 when it does not say).
struct DhusPage {
    std::vector<Product> products;
    long total = -1;
};
// Throws CFetchFailure (kUnreachable) when the body is not an Atom feed.
DhusPage parseDhusFeed(const std::string& body, const std::string& root);
// "POLYGON ((...))" or "MULTIPOLYGON (((...)),((...)))", optionally after
// "geography'SRID=4326;" (exposed for tests): the outer rings.
std::vector<Ring> parseWktPolygons(const std::string& wkt);

}  // namespace NORBS_HUB
