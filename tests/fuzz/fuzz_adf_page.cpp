// Pages of the calibration service: any bytes are a page of results or
// refused as none; the addresses a page gives are resolved against the
// page's own as the listing does.
#include "aux_sources.h"
#include "fetch_failure.h"
#include "fetch_http.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string url = "http://127.0.0.1:9/api/v1/?product_type=AUX_CAL";
    orbs_fuzz::tolerateRaise<NORBS_FETCH::CFetchFailure>([&] {
        const NORBS_AUX::AdfPage page = NORBS_AUX::parseAdfPage(std::string(orbs_fuzz::asText(data, size)), "the service");
        for (const auto& [name, remote] : page.files) NORBS_FETCH::resolveUrl(url, remote);
        if (page.next) NORBS_FETCH::resolveUrl(url, *page.next);
    });
    return 0;
}
