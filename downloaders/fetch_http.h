// The HTTP layer of the downloaders, on libcurl: single requests with
// retries, hand-followed redirects and credentials sent only where they
// belong.  Parallel file transfers live in fetch_transfers.h.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

typedef void CURL;

namespace NORBS_FETCH {

// Scheme, host and port of a URL: what decides whether a request may carry
// credentials.  The port is always filled in (80/443 from the scheme).
struct Origin {
    std::string scheme;
    std::string host;
    long port = 0;
    auto operator<=>(const Origin&) const = default;
};
std::optional<Origin> originOf(const std::string& url);
// `location` (absolute or relative, as a Location header gives it) resolved
// against `base`; empty when it cannot be.
std::string resolveUrl(const std::string& base, const std::string& location);
std::string urlEncode(const std::string& text);

struct HttpSettings {
    std::string caBundle;            // empty: the system's certificate store
    int maxAttempts = 6;             // per request, the first one included
    double backoffSeconds = 2.0;     // first pause; doubled per attempt, jittered
    double backoffMaxSeconds = 120.0;
    long connectTimeoutSeconds = 30;
    long stallSeconds = 120;         // a transfer that moves nothing this long is cut and retried
    int maxRedirects = 10;
    std::string userAgent = "HubFetch/1 (Orbiscan)";
};

// How long to wait before attempt `attempt` + 1: exponential backoff with
// jitter (so parallel clients do not come back in step), never less than
// what the server asked for in Retry-After, scaled by ORBISCAN_PAUSE_SCALE.
double retryPauseSeconds(const HttpSettings& settings, int attempt, std::optional<double> retryAfter);
// A Retry-After value: delay seconds or an HTTP date; none when unreadable.
// A server asking for more than an hour gets an hour: a wait of days would
// look like a hang to the user, who can stop the run meanwhile anyway.
inline constexpr double kLongestRetryAfterSeconds = 3600;
std::optional<double> parseRetryAfter(const std::string& value);
// Statuses worth another attempt: 408, 429, 5xx; 0 is a transport failure.
bool isRetryableStatus(long status);

// Decides the Authorization header of a request.  Credentials go only to the
// origins given at construction: a redirect to any other scheme, host or
// port gets no header at all.
class CAuthorizer {
public:
    explicit CAuthorizer(std::set<Origin> trusted) : mTrusted(std::move(trusted)) {}
    virtual ~CAuthorizer() = default;
    bool trusts(const std::string& url) const;
    // The header line for `url`, none for an untrusted origin.
    std::optional<std::string> headerFor(const std::string& url);
    // After a 401: get fresh credentials; false when there is nothing new to try.
    virtual bool renew() = 0;

protected:
    virtual std::string header() = 0;

private:
    std::set<Origin> mTrusted;
};

// HTTP Basic authentication (legacy hubs).
class CBasicAuthorizer : public CAuthorizer {
public:
    CBasicAuthorizer(std::set<Origin> trusted, const std::string& user, const std::string& password);
    bool renew() override { return false; }

protected:
    std::string header() override { return mHeader; }

private:
    std::string mHeader;
};

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    std::string body;          // form body of a POST
    bool authorize = false;    // attach the authorizer's header (trusted origins only)
};

struct HttpReply {
    long status = 0;           // 0: no HTTP answer (see error)
    std::string body;
    std::string error;         // transport failure text
    std::string url;           // the URL that gave the final answer
    std::map<std::string, std::string> headers;  // lower-case names
};

// Throws for an answer that is not a page of results from `service` (a
// text such as "The hub https://..."): kUnreachable for no answer or 5xx,
// kAuthenticationRefused for 401 and 403, kQueryRefused otherwise.
void checkReply(const HttpReply& reply, const std::string& service);
// A server's answer in a message: its first line, shortened.
std::string excerpt(const std::string& body);

// Common options of every easy handle: TLS, timeouts, proxies from the
// environment (libcurl's own handling), no automatic redirects.
void applyCommonOptions(CURL* handle, const HttpSettings& settings);

// Returns true when the run must stop (the user's stop request).
using StopCheck = std::function<bool()>;

class CHttpClient {
public:
    CHttpClient(HttpSettings settings, CAuthorizer* authorizer, StopCheck stop);
    ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // Sends the request, following redirects by hand and retrying
    // retryable answers; the final answer whatever its status.  Throws
    // CFetchFailure(kStopped) on a stop request.
    HttpReply send(const HttpRequest& request);
    const HttpSettings& settings() const { return mSettings; }
    // Waits `seconds`, in short steps that watch the stop request.
    void pause(double seconds);

private:
    HttpReply sendOnce(const HttpRequest& request, const std::string& url);

    HttpSettings mSettings;
    CAuthorizer* mAuthorizer;
    StopCheck mStop;
    struct Handle;
    std::unique_ptr<Handle> mHandle;
};

}  // namespace NORBS_FETCH
