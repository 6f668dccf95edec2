// Pages of an OData product search: any bytes are a page of products or
// refused as none; each product's download address is made of its id, and
// an MD5 is always lower-case.
#include "fetch_failure.h"
#include "fuzz_support.h"
#include "hub_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string root = "http://127.0.0.1:9";
    orbs_fuzz::tolerateRaise<NORBS_FETCH::CFetchFailure>([&] {
        for (const NORBS_HUB::Product& p : NORBS_HUB::parseODataPage(std::string(orbs_fuzz::asText(data, size)), root)) {
            if (p.downloadUrl != root + "/odata/v1/Products(" + p.id + ")/$value") std::abort();
            if (p.md5.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos) std::abort();
        }
    });
    return 0;
}
