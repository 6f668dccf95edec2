// The error catalogue: loaded from any bytes (trimmed and as written), then
// every code it can describe, and codes around them, turned into the texts
// of a report.  The input's first line also serves as a detail text.
#include <algorithm>
#include "fuzz_support.h"

ORBS_FUZZ_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orbs_fuzz::writeInput("orbs_errors_catalog.des", data, size);
    for (const bool trim : {true, false}) {
        orbs_fuzz::tolerateRaise([&] {
            CErrorCatalogue catalogue;
            if (NORBS_ERROR_MANAGER::loadErrorCatalogue(catalogue, path, trim) != 1) return;
            const auto count = static_cast<std::size_t>(catalogue.mPECNbr);
            if (catalogue.mPECName.size() != count || catalogue.mPECDes.size() != count ||
                catalogue.mSECNbr.size() != count || catalogue.mSECDes.size() != count)
                std::abort();
            std::string primary, secondary;
            for (int pec = -1; pec <= std::min(catalogue.mPECNbr, 40); ++pec) {
                for (const int sec : {-1, 0, 1, 2, 9999}) {
                    const int code = pec * 10000 + sec + 1;
                    NORBS_ERROR_MANAGER::getErrorMessage(&catalogue, code, primary, secondary);
                    NORBS_ERROR_MANAGER::getReportMessage(&catalogue, code);
                }
            }
        });
    }
    const std::string_view text = orbs_fuzz::asText(data, size);
    const std::string detail(text.substr(0, std::min(text.find('\n'), text.find('\0'))));
    for (const int code : {40002, 130005})
        if (NORBS_ERROR_MANAGER::formatErrorDetails(code, {detail.c_str(), "", detail.c_str()}).size() > 3)
            std::abort();
    return 0;
}
