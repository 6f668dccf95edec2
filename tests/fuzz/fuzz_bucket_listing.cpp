// Pages of the orbit bucket's S3 listing: any bytes are a listing or
// refused as none.
#include "aux_sources.h"
#include "fetch_failure.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orbs_fuzz::tolerateRaise<NORBS_FETCH::CFetchFailure>([&] {
        const NORBS_AUX::BucketPage page =
            NORBS_AUX::parseBucketListing(std::string(orbs_fuzz::asText(data, size)), "the bucket");
        if (page.objects.size() > size) std::abort();  // each object takes an element of its own
    });
    return 0;
}
