// Atom feeds of a legacy hub's search: any bytes are a page of products or
// refused as no feed; each product's addresses are made of its id.
#include "fetch_failure.h"
#include "fuzz_support.h"
#include "hub_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string root = "http://127.0.0.1:9/dhus";
    orbs_fuzz::tolerateRaise<NORBS_FETCH::CFetchFailure>([&] {
        const NORBS_HUB::DhusPage page = NORBS_HUB::parseDhusFeed(std::string(orbs_fuzz::asText(data, size)), root);
        for (const NORBS_HUB::Product& p : page.products) {
            const std::string product = root + "/odata/v1/Products('" + p.id + "')";
            if (p.downloadUrl != product + "/$value" || p.checksumUrl != product + "/Checksum/Value/$value")
                std::abort();
        }
    });
    return 0;
}
