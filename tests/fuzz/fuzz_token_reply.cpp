// Answers of a token endpoint: any bytes give a token or a refused login,
// with lifetimes that a clock can add (0 to a year); and Retry-After values,
// which bound the wait a hub can ask for.
#include "fetch_auth.h"
#include "fetch_failure.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(orbs_fuzz::asText(data, size));
    constexpr double kYear = 365 * 86400.0;
    orbs_fuzz::tolerateRaise<NORBS_FETCH::CFetchFailure>([&] {
        const NORBS_FETCH::TokenReply token = NORBS_FETCH::parseTokenReply(text);
        for (double lifetime : {token.lifetime, token.refreshLifetime})
            if (!(lifetime >= 0 && lifetime <= kYear)) std::abort();
    });
    if (const std::optional<double> wait = NORBS_FETCH::parseRetryAfter(text))
        if (!(*wait >= 0 && *wait <= NORBS_FETCH::kLongestRetryAfterSeconds)) std::abort();
    return 0;
}
