// Single HTTP requests on libcurl's easy interface.
#include "fetch_http.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <random>
#include <thread>

#include "fetch_failure.h"
#include "orbs_file.h"

namespace NORBS_FETCH {

namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

std::string urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
    std::string value(text);
    curl_free(text);
    return value;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

size_t appendBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// Header lines of the last answer only: a redirect or "100 Continue" starts
// a new set.
size_t collectHeader(char* data, size_t size, size_t count, void* target) {
    auto& headers = *static_cast<std::map<std::string, std::string>*>(target);
    std::string line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) headers.clear();
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r\n") + 1);
        headers[lowerCase(line.substr(0, colon))] = value;
    }
    return size * count;
}

int watchStop(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return (*static_cast<StopCheck*>(stop))() ? 1 : 0;
}

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
};

}  // namespace

std::optional<Origin> originOf(const std::string& url) {
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
    Origin origin;
    origin.scheme = lowerCase(urlPart(handle.get(), CURLUPART_SCHEME));
    origin.host = lowerCase(urlPart(handle.get(), CURLUPART_HOST));
    const std::string port = urlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (origin.host.empty() || port.empty()) return std::nullopt;
    origin.port = std::stol(port);
    return origin;
}

std::string resolveUrl(const std::string& base, const std::string& location) {
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) return {};
    if (curl_url_set(handle.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK) return {};
    return urlPart(handle.get(), CURLUPART_URL);
}

std::string urlEncode(const std::string& text) {
    char* encoded = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string value = encoded ? encoded : "";
    curl_free(encoded);
    return value;
}

double retryPauseSeconds(const HttpSettings& settings, int attempt, std::optional<double> retryAfter) {
    static thread_local std::mt19937 generator{std::random_device{}()};
    const double backoff =
        std::min(settings.backoffMaxSeconds, settings.backoffSeconds * std::pow(2.0, std::max(0, attempt - 1)));
    // Full jitter on the upper half: between half and all of the backoff.
    const double jittered = backoff * std::uniform_real_distribution<double>(0.5, 1.0)(generator);
    return std::max(jittered, retryAfter.value_or(0.0)) * pauseScale();
}

std::optional<double> parseRetryAfter(const std::string& value) {
    if (value.empty()) return std::nullopt;
    double seconds = 0;
    if (std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); })) {
        seconds = std::strtod(value.c_str(), nullptr);  // HUGE_VAL past the range of a double, never a throw
    } else {
        const time_t when = curl_getdate(value.c_str(), nullptr);
        if (when < 0) return std::nullopt;
        seconds = std::difftime(when, std::time(nullptr));
    }
    return std::clamp(seconds, 0.0, kLongestRetryAfterSeconds);
}

bool isRetryableStatus(long status) { return status == 0 || status == 408 || status == 429 || status >= 500; }

bool CAuthorizer::trusts(const std::string& url) const {
    const auto origin = originOf(url);
    return origin && mTrusted.count(*origin) != 0;
}

std::optional<std::string> CAuthorizer::headerFor(const std::string& url) {
    if (!trusts(url)) return std::nullopt;
    return header();
}

CBasicAuthorizer::CBasicAuthorizer(std::set<Origin> trusted, const std::string& user, const std::string& password)
    : CAuthorizer(std::move(trusted)) {
    const std::string pair = user + ":" + password;
    std::string encoded(4 * ((pair.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                       reinterpret_cast<const unsigned char*>(pair.data()),
                                       static_cast<int>(pair.size()));
    encoded.resize(static_cast<size_t>(length));
    mHeader = "Authorization: Basic " + encoded;
}

std::string excerpt(const std::string& body) {
    std::string text = body.substr(0, body.find('\n'));
    return text.size() > 300 ? text.substr(0, 300) + "..." : text;
}

void checkReply(const HttpReply& reply, const std::string& service) {
    if (reply.status == 200) return;
    if (reply.status == 0) throw CFetchFailure(Outcome::kUnreachable, service + " does not answer: " + reply.error);
    if (reply.status >= 500)
        throw CFetchFailure(Outcome::kUnreachable,
                            service + " fails (HTTP " + std::to_string(reply.status) + "): " + excerpt(reply.body));
    if (reply.status == 401 || reply.status == 403)
        throw CFetchFailure(Outcome::kAuthenticationRefused,
                            service + " refused the search (HTTP " + std::to_string(reply.status) + ")");
    throw CFetchFailure(Outcome::kQueryRefused,
                        service + " refused the query (HTTP " + std::to_string(reply.status) + "): " + excerpt(reply.body));
}

void applyCommonOptions(CURL* handle, const HttpSettings& settings) {
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, settings.connectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, settings.stallSeconds);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caBundle.empty()) curl_easy_setopt(handle, CURLOPT_CAINFO, settings.caBundle.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, settings.userAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
}

struct CHttpClient::Handle {
    CURL* curl = curl_easy_init();
    ~Handle() { curl_easy_cleanup(curl); }
};

CHttpClient::CHttpClient(HttpSettings settings, CAuthorizer* authorizer, StopCheck stop)
    : mSettings(std::move(settings)), mAuthorizer(authorizer), mStop(std::move(stop)),
      mHandle(std::make_unique<Handle>()) {}

CHttpClient::~CHttpClient() = default;

void CHttpClient::pause(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (mStop && mStop()) throw CFetchFailure(Outcome::kStopped, "Stopped at the user's request");
        std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(200), end - now));
    }
}

HttpReply CHttpClient::sendOnce(const HttpRequest& request, const std::string& url) {
    HttpReply reply;
    CURL* curl = mHandle->curl;
    curl_easy_reset(curl);
    applyCommonOptions(curl, mSettings);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    HeaderList headers;
    if (request.authorize && mAuthorizer != nullptr) {
        if (auto line = mAuthorizer->headerFor(url)) headers.add(*line);
    }
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
        headers.add("Content-Type: application/x-www-form-urlencoded");
    }
    headers.add("Accept: application/json, application/atom+xml;q=0.9, */*;q=0.5");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    if (mStop) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, watchStop);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &mStop);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_ABORTED_BY_CALLBACK) throw CFetchFailure(Outcome::kStopped, "Stopped at the user's request");
    if (result != CURLE_OK) {
        reply.error = curl_easy_strerror(result);
        return reply;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.url = url;
    return reply;
}

HttpReply CHttpClient::send(const HttpRequest& request) {
    HttpReply reply;
    bool renewed = false;
    for (int attempt = 1; attempt <= mSettings.maxAttempts; ++attempt) {
        std::string url = request.url;
        HttpRequest current = request;
        for (int hop = 0;; ++hop) {
            reply = sendOnce(current, url);
            if (reply.status < 300 || reply.status >= 400 || reply.status == 304) break;
            const std::string next = resolveUrl(url, reply.headers["location"]);
            if (next.empty() || hop >= mSettings.maxRedirects) break;
            // A redirected POST becomes a GET, as browsers do for 301 to 303.
            if (reply.status != 307 && reply.status != 308) current.method = "GET";
            url = next;
        }
        if (reply.status == 401 && request.authorize && mAuthorizer != nullptr && !renewed) {
            renewed = true;
            if (mAuthorizer->renew()) {
                --attempt;
                continue;
            }
        }
        if (!isRetryableStatus(reply.status) || attempt == mSettings.maxAttempts) break;
        pause(retryPauseSeconds(mSettings, attempt, parseRetryAfter(reply.headers["retry-after"])));
    }
    return reply;
}

}  // namespace NORBS_FETCH
