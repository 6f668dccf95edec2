// Why a downloader run ends early, and the exit status each reason gives.
#pragma once

#include <stdexcept>
#include <string>

namespace NORBS_FETCH {

// Exit statuses of the downloaders.  The service turns any non-zero status
// into its own error, so each status also comes with a last line saying why.
enum class Outcome : int {
    kDone = 0,                 // everything in scope is present and verified
    kInternal = 1,             // an unexpected failure of the program itself
    kBadArguments = 2,         // command line or parameter file unusable
    kAuthenticationRefused = 3,
    kQueryRefused = 4,         // a clause we cannot translate, or the hub refuses the query
    kSomeFailed = 5,           // some products failed or are offline; the others are in place
    kStopped = 6,              // the user asked to stop through the progress file
    kUnreachable = 7,          // the hub does not answer (network, 5xx after the retries)
};

inline int exitStatus(Outcome outcome) { return static_cast<int>(outcome); }

// A failure that ends the run with `outcome`.  The message must never hold
// a credential: it is printed and written to the progress file.
class CFetchFailure : public std::runtime_error {
public:
    CFetchFailure(Outcome outcome, const std::string& message) : std::runtime_error(message), mOutcome(outcome) {}
    Outcome outcome() const { return mOutcome; }

private:
    Outcome mOutcome;
};

}  // namespace NORBS_FETCH
