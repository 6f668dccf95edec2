// Hub credentials and the token session.
#include "fetch_auth.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fetch_failure.h"

namespace NORBS_FETCH {

namespace {
// The longest token lifetime taken from an answer (a year).
constexpr double kLongestLifetime = 365 * 86400.0;
}  // namespace

std::string defaultNetrcPath() {
    if (const char* path = std::getenv("NETRC"); path != nullptr && *path != '\0') return path;
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) + "/.netrc" : std::string();
}

std::optional<Credentials> netrcCredentials(const std::string& netrcPath, const std::string& host) {
    std::ifstream in(netrcPath);
    if (!in) return std::nullopt;
    // Whitespace-separated tokens: machine NAME | default, then login and
    // password pairs; "macdef" bodies end at an empty line.
    std::optional<Credentials> match;
    std::optional<Credentials> fallback;
    std::string line;
    bool inMacro = false;
    Credentials entry;
    enum class Target { kNone, kMatch, kDefault } target = Target::kNone;
    auto flush = [&] {
        if (target == Target::kMatch && !match) match = entry;
        if (target == Target::kDefault && !fallback) fallback = entry;
        entry = {};
        target = Target::kNone;
    };
    while (std::getline(in, line)) {
        if (inMacro) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) inMacro = false;
            continue;
        }
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            if (word == "machine" || word == "default") {
                flush();
                std::string name;
                if (word == "machine") words >> name;
                target = word == "default" ? Target::kDefault : (name == host ? Target::kMatch : Target::kNone);
            } else if (word == "login") {
                words >> entry.user;
            } else if (word == "password") {
                words >> entry.password;
            } else if (word == "macdef") {
                inMacro = true;
                break;
            }
        }
    }
    flush();
    return match ? match : fallback;
}

Credentials readCredentials(const CParameterFile& parameters, const std::string& section, const std::string& loginUrl) {
    Credentials credentials{parameters.text(section, "username", ""), parameters.text(section, "password", "")};
    if (credentials.empty()) {
        if (const auto origin = originOf(loginUrl))
            if (auto entry = netrcCredentials(defaultNetrcPath(), origin->host)) credentials = *entry;
    }
    return credentials;
}

TokenReply parseTokenReply(const std::string& body) {
    const auto json = nlohmann::json::parse(body, nullptr, false);
    const auto access = json.find("access_token");
    if (access == json.end() || !access->is_string())
        throw CFetchFailure(Outcome::kAuthenticationRefused, "The token endpoint gave no access token");
    TokenReply token;
    token.accessToken = access->get<std::string>();
    if (const auto refresh = json.find("refresh_token"); refresh != json.end() && refresh->is_string())
        token.refreshToken = refresh->get<std::string>();
    auto seconds = [&json](const char* key, double& lifetime) {
        const auto found = json.find(key);
        if (found != json.end() && found->is_number())
            lifetime = std::clamp(found->get<double>(), 0.0, kLongestLifetime);  // NaN cannot come from JSON
    };
    seconds("expires_in", token.lifetime);
    seconds("refresh_expires_in", token.refreshLifetime);
    return token;
}

CTokenSession::CTokenSession(std::set<Origin> trusted, std::string tokenUrl, std::string clientId,
                             Credentials credentials, HttpSettings settings, std::string credentialsSource)
    : CAuthorizer(std::move(trusted)), mTokenUrl(std::move(tokenUrl)), mClientId(std::move(clientId)),
      mCredentials(std::move(credentials)), mSettings(std::move(settings)),
      mCredentialsSource(std::move(credentialsSource)) {}

bool CTokenSession::grant(const std::string& form, bool passwordGrant) {
    // Its own client without an authorizer: the form carries the secrets,
    // and a token endpoint never needs a bearer token.
    CHttpClient client(mSettings, nullptr, nullptr);
    const HttpReply reply = client.send({"POST", mTokenUrl, form + "&client_id=" + urlEncode(mClientId), false});
    if (reply.status == 0 || reply.status >= 500)
        throw CFetchFailure(Outcome::kUnreachable,
                            "The token endpoint " + mTokenUrl + " does not answer: " +
                                (reply.status ? "HTTP " + std::to_string(reply.status) : reply.error));
    if (reply.status != 200) {
        if (!passwordGrant) return false;  // an expired refresh token: log in again
        throw CFetchFailure(Outcome::kAuthenticationRefused,
                            "The hub refused the login (HTTP " + std::to_string(reply.status) + "): check " +
                                mCredentialsSource + " or ~/.netrc");
    }
    const TokenReply token = parseTokenReply(reply.body);
    mAccessToken = token.accessToken;
    mRefreshToken = token.refreshToken;
    const double lifetime = token.lifetime, refreshLifetime = token.refreshLifetime;
    // Renew a minute before expiry, or at half the lifetime of a short token.
    const double margin = std::min(60.0, lifetime / 2.0);
    const auto now = Clock::now();
    mFreshUntil = now + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(std::min(10.0, lifetime / 4.0)));
    mRenewAt = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(lifetime - margin));
    mRefreshUntil = now + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(refreshLifetime - std::min(60.0, refreshLifetime / 2.0)));
    return true;
}

void CTokenSession::login() {
    if (mCredentials.empty())
        throw CFetchFailure(Outcome::kBadArguments, "No hub credentials: fill " + mCredentialsSource +
                                                        ", or add the token endpoint's host to ~/.netrc");
    ++mLogins;
    grant("grant_type=password&username=" + urlEncode(mCredentials.user) +
              "&password=" + urlEncode(mCredentials.password),
          true);
}

bool CTokenSession::renew() {
    // A 401 right after a new token is not about the token: renewing again
    // would only open more sessions.
    if (!mAccessToken.empty() && Clock::now() < mFreshUntil) return false;
    mRenewAt = Clock::now();
    header();
    return true;
}

std::string CTokenSession::header() {
    if (mAccessToken.empty()) {
        login();
    } else if (Clock::now() >= mRenewAt) {
        if (mRefreshToken.empty() || Clock::now() >= mRefreshUntil ||
            !grant("grant_type=refresh_token&refresh_token=" + urlEncode(mRefreshToken), false))
            login();
    }
    return "Authorization: Bearer " + mAccessToken;
}

}  // namespace NORBS_FETCH
